#pragma once

// Deterministic synthetic profiles at the scale of real programs, for benchmarks and tests.
// Every tile runs the same repeating plan of steps: exchanges (no kernel, scheduled windows of a
// few hundred to a few thousand cycles, up to eight activities), compute steps (kernels from a pool
// of forty names, with "block" and "kernelSpec" metadata and sometimes merged invocations or a
// work estimate), synchronizations and idle periods. Each pass over the plan is a new epoch. Tiles
// enter up to a few thousand cycles apart, and every counter starts a few million cycles below
// 2^32, so all counters wrap during the profile.

#include <cstddef>
#include <cstdint>

#include <mosa_package/profile.hpp>

namespace mosa_synthetic {

struct SyntheticProfileOptions {
  std::size_t tiles = 16;
  std::size_t samples_per_tile = 100;
  // Seeds the step plan: profiles of one seed are runs of one program.
  std::uint64_t seed = 0x6d6f7361;
  // Seeds the entry skews and the jitter of one run of the program.
  std::uint64_t run = 0;
  std::uint64_t clock_hz = 1'330'000'000;
  // Cycles below 2^32 at which the earliest tile's counter starts.
  std::uint32_t cycles_before_wrap = 100'000;
};

// The same options give the same profile, sample for sample.
mosa_package::ProfileReport synthetic_profile(const SyntheticProfileOptions& options);

// Number of samples over all tiles.
std::size_t sample_count(const mosa_package::ProfileReport& report);

}  // namespace mosa_synthetic
