#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>

#include <mosa_profile/calibration.hpp>
#include <mosa_profile/cycle_arithmetic.hpp>

#include "order_statistics.hpp"

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

// Orders texts by unsigned byte values (memcmp compares bytes as unsigned char); a proper prefix
// is smaller.
std::strong_ordering compare_bytes(std::string_view left, std::string_view right) noexcept {
  const std::size_t common = std::min(left.size(), right.size());
  const int order = common == 0 ? 0 : std::memcmp(left.data(), right.data(), common);
  if (order != 0) return order < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
  return left.size() <=> right.size();
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

// A key seen through views into one sample: the kernel and the dimension pairs in ascending name
// order. Looking a sample up by its view builds no texts; only a new key is copied.
struct KeyView {
  std::string_view kernel;
  std::span<const std::pair<std::string_view, std::string_view>> dimensions;
};

// The step's semantic metadata in ascending name order, into `dimensions`; a later entry of a
// repeated name replaces an earlier one.
void collect_dimensions(const ProfileStep& step,
                        std::vector<std::pair<std::string_view, std::string_view>>& dimensions) {
  dimensions.clear();
  for (const auto& entry : step.metadata) {
    if (!is_bookkeeping(entry.name)) dimensions.emplace_back(entry.name, entry.value);
  }
  // A stable insertion sort, without the buffer of std::stable_sort: a step has a handful of
  // entries, and among equal names the last entry stays last and is the one kept.
  for (auto next = dimensions.begin(); next != dimensions.end(); ++next) {
    std::rotate(std::upper_bound(dimensions.begin(), next, *next,
                                 [](const auto& left, const auto& right) {
                                   return compare_bytes(left.first, right.first) < 0;
                                 }),
                next, next + 1);
  }
  const auto last_of_each_name =
      std::unique(dimensions.rbegin(), dimensions.rend(),
                  [](const auto& left, const auto& right) { return left.first == right.first; });
  dimensions.erase(dimensions.begin(), last_of_each_name.base());
}

// The one order of keys: kernel by unsigned bytes, then the (name, value) pairs in name order,
// name before value, a proper prefix first.
template <typename LeftDimensions, typename RightDimensions>
std::strong_ordering compare_keys(std::string_view left_kernel, const LeftDimensions& left,
                                  std::string_view right_kernel,
                                  const RightDimensions& right) noexcept {
  if (const auto order = compare_bytes(left_kernel, right_kernel); order != 0) return order;
  return std::lexicographical_compare_three_way(
      left.begin(), left.end(), right.begin(), right.end(), [](const auto& a, const auto& b) {
        if (const auto order = compare_bytes(a.first, b.first); order != 0) return order;
        return compare_bytes(a.second, b.second);
      });
}

// Hashes stored keys and views alike, the kernel and then the pairs in name order, so the table
// is searched by a view.
struct KeyHash {
  using is_transparent = void;

  static std::uint64_t mix(std::uint64_t hash, std::string_view text) noexcept {
    return (hash ^ std::hash<std::string_view>{}(text)) * 0x9E37'79B9'7F4A'7C15U;
  }
  template <typename Dimensions>
  static std::size_t of(std::string_view kernel, const Dimensions& dimensions) noexcept {
    std::uint64_t hash = mix(0, kernel);
    for (const auto& [name, value] : dimensions) hash = mix(mix(hash, name), value);
    return static_cast<std::size_t>(hash);
  }
  std::size_t operator()(const CalibrationKey& key) const noexcept {
    return of(key.kernel, key.dimensions);
  }
  std::size_t operator()(const KeyView& key) const noexcept {
    return of(key.kernel, key.dimensions);
  }
};

// Equality in the one order of keys, for stored keys and views alike.
struct KeyEqual {
  using is_transparent = void;

  bool operator()(const CalibrationKey& left, const CalibrationKey& right) const noexcept {
    return left == right;
  }
  bool operator()(const KeyView& left, const CalibrationKey& right) const noexcept {
    return compare_keys(left.kernel, left.dimensions, right.kernel, right.dimensions) == 0;
  }
  bool operator()(const CalibrationKey& left, const KeyView& right) const noexcept {
    return compare_keys(left.kernel, left.dimensions, right.kernel, right.dimensions) == 0;
  }
};

CalibrationKey stored_key(const KeyView& view) {
  CalibrationKey key{.kernel = std::string(view.kernel), .dimensions = {}};
  for (const auto& [name, value] : view.dimensions) {
    key.dimensions.emplace_hint(key.dimensions.end(), name, value);
  }
  return key;
}

// `cycles` / `count`, rounded up; `count` is at least 1.
std::uint32_t per_invocation(std::uint32_t cycles, std::uint32_t count) noexcept {
  return cycles / count + (cycles % count != 0 ? 1U : 0U);
}

CalibrationMeasurement measurement_of(CalibrationKey key, std::vector<std::uint32_t> values) {
  const detail::OrderStatistics statistics = detail::order_statistics(values);
  return CalibrationMeasurement{
      .key = std::move(key),
      .samples = static_cast<std::uint64_t>(values.size()),
      .minimum_cycles = statistics.minimum,
      .median_cycles = statistics.median,
      .p95_cycles = statistics.p95,
      .maximum_cycles = statistics.maximum,
  };
}

}  // namespace

std::strong_ordering operator<=>(const CalibrationKey& left, const CalibrationKey& right) noexcept {
  return compare_keys(left.kernel, left.dimensions, right.kernel, right.dimensions);
}

CalibrationResult calibrate_profiles(std::span<const mosa_package::ProfileReport> reports,
                                     std::string_view target, std::string_view build_id) {
  if (reports.empty()) return CalibrationError{no_profiles_message};
  const std::uint64_t clock_hz = reports.front().clock_hz;
  if (std::any_of(reports.begin(), reports.end(),
                  [clock_hz](const auto& report) { return report.clock_hz != clock_hz; })) {
    return CalibrationError{clock_mismatch_message};
  }

  // Looked up by hash per sample; ordered once per key at the end.
  std::unordered_map<CalibrationKey, std::vector<std::uint32_t>, KeyHash, KeyEqual> values_by_key;
  std::vector<std::pair<std::string_view, std::string_view>> dimensions;
  for (const auto& report : reports) {
    for (const auto& tile : report.tiles) {
      for (const auto& sample : tile.samples) {
        const ProfileStep& step = sample.step;
        if (step.kind != mosa_package::ProfileStepKind::Compute || step.kernel.empty()) continue;
        const std::uint32_t count = invocation_count(step);
        // Dividing a merged step is only sound when its invocations had one geometry.
        if (count > 1 && !declares_uniform_invocations(step)) continue;
        collect_dimensions(step, dimensions);
        const KeyView view{.kernel = step.kernel, .dimensions = dimensions};
        auto found = values_by_key.find(view);
        if (found == values_by_key.end()) {
          found = values_by_key.emplace(stored_key(view), std::vector<std::uint32_t>{}).first;
        }
        found->second.push_back(per_invocation(duration(sample), count));
      }
    }
  }

  CalibrationDatabase database{.schema_version = 1,
                               .target = std::string(target),
                               .build_id = std::string(build_id),
                               .clock_hz = clock_hz,
                               .measurements = {}};
  std::vector<std::pair<CalibrationKey, std::vector<std::uint32_t>>> keyed_values;
  keyed_values.reserve(values_by_key.size());
  while (!values_by_key.empty()) {
    auto node = values_by_key.extract(values_by_key.begin());
    keyed_values.emplace_back(std::move(node.key()), std::move(node.mapped()));
  }
  // Keys are unique, so the order is total.
  std::sort(keyed_values.begin(), keyed_values.end(),
            [](const auto& left, const auto& right) { return left.first < right.first; });
  database.measurements.reserve(keyed_values.size());
  for (auto& [key, values] : keyed_values) {
    database.measurements.push_back(measurement_of(std::move(key), std::move(values)));
  }
  return database;
}

}  // namespace mosa_profile
