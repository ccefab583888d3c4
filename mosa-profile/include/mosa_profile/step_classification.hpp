#pragma once

// Step kinds as the queries name them, their display names, and the useful-work estimate that a
// producer attaches to a step as the metadata entries "usefulCycles" and "physicalWorkCycles".

#include <cstdint>
#include <optional>
#include <string_view>

#include <mosa_package/profile.hpp>

namespace mosa_profile {

enum class StepKind : std::uint8_t { Exchange, Compute, Synchronization, Idle };

// The step kind of the sample's record kind, member for member.
StepKind kind_of(const mosa_package::CycleSample& sample) noexcept;

// "exchange", "compute", "synchronization" or "idle": constant text, never allocated.
std::string_view kind_name(const mosa_package::CycleSample& sample) noexcept;

// A well-formed work estimate: 0 <= useful <= physical <= 2^64.
struct WorkEstimate {
  double useful = 0.0;
  double physical = 0.0;
};

// The pair ("usefulCycles", "physicalWorkCycles") of the sample's step, or absent when either is
// unusable or physical < useful. Each key is read from its first entry only (exact, case-sensitive
// name); a value is a plain decimal number with nothing around it: optional sign, digits with an
// optional decimal point (5, 5., .5, 5.25), optional exponent (1e2, 1E-3), rounded to the nearest
// double. Infinite, NaN, hexadecimal and negative values are unusable; values that round to zero
// (-0, 1e-400) are zero. So are values above 2^64 cycles (1e20), more than any cycle count of the
// time line: sums of the figures of fewer than 2^32 samples then stay finite. Allocates nothing.
std::optional<WorkEstimate> useful_work(const mosa_package::CycleSample& sample) noexcept;

}  // namespace mosa_profile
