#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <utility>

#include <mosa_profile/calibration.hpp>
#include <mosa_profile/cycle_arithmetic.hpp>

namespace mosa_profile {
namespace {

using mosa_package::ProfileStep;

constexpr std::string_view no_profiles_message = "at least one profile is required";
constexpr std::string_view clock_mismatch_message = "profile clock frequencies differ";

// Entries that describe how a sample was recorded or estimated, not what the kernel computed;
// they never split a key.
constexpr std::array<std::string_view, 7> bookkeeping_names{
    "reason",           "value",
    "invocations",      "uniformInvocations",
    "usefulCycles",     "physicalWorkCycles",
    "workEstimateBasis"};

// Orders texts by unsigned byte values; a proper prefix is smaller.
std::strong_ordering compare_bytes(std::string_view left, std::string_view right) noexcept {
  return std::lexicographical_compare_three_way(
      left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return static_cast<unsigned char>(a) <=> static_cast<unsigned char>(b);
      });
}

// An unsigned 32-bit decimal: an optional "+", then one or more digits and nothing else.
std::optional<std::uint32_t> parse_count(std::string_view text) noexcept {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    // Leading zeros keep the value at 0, so any number of them is read.
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// How many invocations the step merged: its first "invocations" entry, 1 when that is absent,
// unreadable or 0.
std::uint32_t invocation_count(const ProfileStep& step) noexcept {
  const auto entry =
      std::find_if(step.metadata.begin(), step.metadata.end(),
                   [](const auto& candidate) { return candidate.name == "invocations"; });
  if (entry == step.metadata.end()) return 1;
  return std::max<std::uint32_t>(parse_count(entry->value).value_or(1), 1);
}

bool declares_uniform_invocations(const ProfileStep& step) noexcept {
  return std::any_of(step.metadata.begin(), step.metadata.end(), [](const auto& entry) {
    return entry.name == "uniformInvocations" && entry.value == "true";
  });
}

bool is_bookkeeping(std::string_view name) noexcept {
  return std::find(bookkeeping_names.begin(), bookkeeping_names.end(), name) !=
         bookkeeping_names.end();
}

// The step's semantic metadata; a later entry of a repeated name replaces an earlier one.
std::map<std::string, std::string> dimensions_of(const ProfileStep& step) {
  std::map<std::string, std::string> dimensions;
  for (const auto& entry : step.metadata) {
    if (!is_bookkeeping(entry.name)) dimensions.insert_or_assign(entry.name, entry.value);
  }
  return dimensions;
}

// `cycles` / `count`, rounded up; `count` is at least 1.
std::uint32_t per_invocation(std::uint32_t cycles, std::uint32_t count) noexcept {
  return cycles / count + (cycles % count != 0 ? 1U : 0U);
}

CalibrationMeasurement measurement_of(CalibrationKey key, std::vector<std::uint32_t> values) {
  std::sort(values.begin(), values.end());
  return CalibrationMeasurement{
      .key = std::move(key),
      .samples = static_cast<std::uint64_t>(values.size()),
      .minimum_cycles = values.front(),
      .median_cycles = percentile(values, 50),
      .p95_cycles = percentile(values, 95),
      .maximum_cycles = values.back(),
  };
}

}  // namespace

std::strong_ordering operator<=>(const CalibrationKey& left, const CalibrationKey& right) noexcept {
  if (const auto order = compare_bytes(left.kernel, right.kernel); order != 0) return order;
  return std::lexicographical_compare_three_way(
      left.dimensions.begin(), left.dimensions.end(), right.dimensions.begin(),
      right.dimensions.end(), [](const auto& a, const auto& b) {
        if (const auto order = compare_bytes(a.first, b.first); order != 0) return order;
        return compare_bytes(a.second, b.second);
      });
}

CalibrationResult calibrate_profiles(std::span<const mosa_package::ProfileReport> reports,
                                     std::string_view target, std::string_view build_id) {
  if (reports.empty()) return CalibrationError{no_profiles_message};
  const std::uint64_t clock_hz = reports.front().clock_hz;
  if (std::any_of(reports.begin(), reports.end(),
                  [clock_hz](const auto& report) { return report.clock_hz != clock_hz; })) {
    return CalibrationError{clock_mismatch_message};
  }

  std::map<CalibrationKey, std::vector<std::uint32_t>> values_by_key;
  for (const auto& report : reports) {
    for (const auto& tile : report.tiles) {
      for (const auto& sample : tile.samples) {
        const ProfileStep& step = sample.step;
        if (step.kind != mosa_package::ProfileStepKind::Compute || step.kernel.empty()) continue;
        const std::uint32_t count = invocation_count(step);
        // Dividing a merged step is only sound when its invocations had one geometry.
        if (count > 1 && !declares_uniform_invocations(step)) continue;
        values_by_key[CalibrationKey{.kernel = step.kernel, .dimensions = dimensions_of(step)}]
            .push_back(per_invocation(duration(sample), count));
      }
    }
  }

  CalibrationDatabase database{.schema_version = 1,
                               .target = std::string(target),
                               .build_id = std::string(build_id),
                               .clock_hz = clock_hz,
                               .measurements = {}};
  database.measurements.reserve(values_by_key.size());
  // Taking the nodes out in key order moves each key and its values into the measurement.
  while (!values_by_key.empty()) {
    auto node = values_by_key.extract(values_by_key.begin());
    database.measurements.push_back(
        measurement_of(std::move(node.key()), std::move(node.mapped())));
  }
  return database;
}

}  // namespace mosa_profile
