#pragma once

// Calibration databases: per-invocation cycle statistics of every compute kernel and every
// combination of its semantic metadata, pooled over all tiles of several profiles taken on one
// target with one build.

#include <compare>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <mosa_package/profile.hpp>

namespace mosa_profile {

// What one measurement describes: a kernel and the semantic metadata of its steps.
//
// Keys are totally ordered by unsigned byte values, whatever the signedness of `char`: first the
// kernel, byte by byte; then the dimensions as the sequence of their (name, value) pairs in
// ascending name order, pair by pair, name before value. A text or a sequence that is a proper
// prefix of the other is smaller. Example: (a, {}) < (a, {n: 1}) < (a, {n: 2}) < (ab, {}) < (b, {})
// < ("\xc3\xa9", {}).
struct CalibrationKey {
  std::string kernel;  // never empty in a database
  // Every metadata entry of the step except the bookkeeping names (see calibrate_profiles), one
  // value per name.
  std::map<std::string, std::string> dimensions;

  friend std::strong_ordering operator<=>(const CalibrationKey& left,
                                          const CalibrationKey& right) noexcept;
  friend bool operator==(const CalibrationKey&, const CalibrationKey&) = default;
};

// The statistics of one key over its normalised values, in cycles per invocation. Percentiles
// are lower nearest-rank (see `percentile`): for the values 20 and 30 the median and the 95th
// percentile are both 20.
struct CalibrationMeasurement {
  CalibrationKey key;
  std::uint64_t samples = 0;  // number of normalised values, at least 1
  std::uint32_t minimum_cycles = 0;
  std::uint32_t median_cycles = 0;
  std::uint32_t p95_cycles = 0;
  std::uint32_t maximum_cycles = 0;
  friend bool operator==(const CalibrationMeasurement&, const CalibrationMeasurement&) = default;
};

struct CalibrationDatabase {
  std::uint32_t schema_version = 1;  // format version; always 1
  std::string target;
  std::string build_id;
  std::uint64_t clock_hz = 0;                        // the common clock of the input profiles
  std::vector<CalibrationMeasurement> measurements;  // one per distinct key, ascending by key
  friend bool operator==(const CalibrationDatabase&, const CalibrationDatabase&) = default;
};

// Why no database was built: "at least one profile is required" or
// "profile clock frequencies differ", constant texts that outlive every call.
struct CalibrationError {
  std::string_view message;
};

using CalibrationResult = std::variant<CalibrationDatabase, CalibrationError>;

// The calibration database of `reports`, with copies of `target` and `build_id` (also when
// empty) and the profiles' common clock.
//
// Errors, tested before anything else, with no partial database: an empty list of reports gives
// "at least one profile is required"; a report whose clock_hz differs from the first report's
// gives "profile clock frequencies differ" (also when that report has no tiles).
//
// Measured are the Compute samples with a non-empty kernel, from every tile of every report:
// - Invocation count: the first "invocations" entry, read as an unsigned 32-bit decimal (an
//   optional "+", then digits only, leading zeros allowed, at most 4294967295). Absent, any other
//   text, or 0 counts as 1. A sample with a count above 1 is measured only when some entry
//   ("uniformInvocations", "true") declares that its invocations had one geometry (exact bytes:
//   "True" or "1" do not declare it); without that it is left out.
// - Value: the sample's duration across counter wraps divided by the count, rounded up.
//   Example: 41 cycles with "invocations" 2 -> 21.
// - Key: the kernel and every metadata entry except the bookkeeping names "reason", "value",
//   "invocations", "uniformInvocations", "usefulCycles", "physicalWorkCycles" and
//   "workEstimateBasis" (exact names); of a repeated name the last entry wins.
// Values of one key are pooled over tiles and reports; the result does not depend on the order of
// reports, tiles or samples. Profiles without measured samples give a database without
// measurements.
//
// Cost: one pass over the samples with at most three scans of each sample's metadata and one
// hash-table lookup per measured sample (no allocation when its key exists), then one sort of the
// distinct keys and a linear selection of each key's statistics.
CalibrationResult calibrate_profiles(std::span<const mosa_package::ProfileReport> reports,
                                     std::string_view target, std::string_view build_id);

}  // namespace mosa_profile
