// calibrate_profiles over up to four decoded profiles whose clocks mostly agree, with metadata
// rich in "invocations" and "uniformInvocations" texts. The result is checked against its
// invariants and against a database rebuilt here from the definitions.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <mosa_profile/calibration.hpp>

#include "byte_reader.hpp"
#include "invariant.hpp"
#include "record_decoder.hpp"

namespace {

using mosa_fuzz::require;
using mosa_package::ProfileReport;
using mosa_profile::CalibrationDatabase;
using mosa_profile::CalibrationError;
using mosa_profile::CalibrationKey;

constexpr std::string_view bookkeeping[] = {"reason",           "value",
                                            "invocations",      "uniformInvocations",
                                            "usefulCycles",     "physicalWorkCycles",
                                            "workEstimateBasis"};

// An optional "+", then digits only, at most 4294967295 once leading zeros are dropped.
std::optional<std::uint64_t> count_text(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  const std::size_t leading = text.find_first_not_of('0');
  const std::string_view significant =
      leading == std::string_view::npos ? std::string_view() : text.substr(leading);
  if (significant.size() > 10) return std::nullopt;
  const std::uint64_t value = significant.empty() ? 0 : std::stoull(std::string(significant));
  if (value > 4294967295U) return std::nullopt;
  return value;
}

// The values of every kept sample by key, from the definitions.
std::map<CalibrationKey, std::vector<std::uint32_t>> expected_values(
    std::span<const ProfileReport> profiles) {
  std::map<CalibrationKey, std::vector<std::uint32_t>> values;
  for (const auto& profile : profiles) {
    for (const auto& tile : profile.tiles) {
      for (const auto& sample : tile.samples) {
        const auto& step = sample.step;
        if (step.kind != mosa_package::ProfileStepKind::Compute || step.kernel.empty()) continue;
        std::uint64_t count = 1;
        bool uniform = false;
        bool counted = false;
        CalibrationKey key{.kernel = step.kernel};
        for (const auto& entry : step.metadata) {
          if (entry.name == "invocations" && !counted) {
            count = std::max<std::uint64_t>(count_text(entry.value).value_or(1), 1);
            counted = true;
          }
          uniform = uniform || (entry.name == "uniformInvocations" && entry.value == "true");
          if (std::find(std::begin(bookkeeping), std::end(bookkeeping), entry.name) ==
              std::end(bookkeeping)) {
            key.dimensions[entry.name] = entry.value;
          }
        }
        if (count > 1 && !uniform) continue;
        const std::uint64_t cycles =
            static_cast<std::uint32_t>(sample.end_cycle - sample.start_cycle);
        values[key].push_back(static_cast<std::uint32_t>((cycles + count - 1) / count));
      }
    }
  }
  return values;
}

void check_database(std::span<const ProfileReport> profiles, std::string_view target,
                    std::string_view build_id, const CalibrationDatabase& database) {
  require(database.schema_version == 1 && database.target == target &&
              database.build_id == build_id && database.clock_hz == profiles.front().clock_hz,
          "schema version, target, build id and clock");
  auto expected = expected_values(profiles);
  require(database.measurements.size() == expected.size(), "one measurement per key");
  std::size_t measured = 0;
  for (std::size_t i = 0; i < database.measurements.size(); ++i) {
    const auto& m = database.measurements[i];
    require(i == 0 || database.measurements[i - 1].key < m.key, "keys strictly ascending");
    require(!m.key.kernel.empty(), "kernel never empty");
    for (const auto& name : bookkeeping) {
      require(!m.key.dimensions.contains(std::string(name)), "no bookkeeping dimension");
    }
    require(m.samples > 0 && m.minimum_cycles <= m.median_cycles &&
                m.median_cycles <= m.p95_cycles && m.p95_cycles <= m.maximum_cycles,
            "minimum <= median <= p95 <= maximum");
    auto found = expected.find(m.key);
    require(found != expected.end(), "every key comes from a kept sample");
    auto& values = found->second;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    require(m.samples == n && m.minimum_cycles == values.front() &&
                m.maximum_cycles == values.back() &&
                m.median_cycles == values[(n - 1) * 50 / 100] &&
                m.p95_cycles == values[(n - 1) * 95 / 100],
            "statistics of the key's values");
    measured += m.samples;
  }
  std::size_t kept = 0;
  for (const auto& [key, values] : expected) kept += values.size();
  require(measured == kept, "sample counts add up to the kept samples");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mosa_fuzz::ByteReader reader(std::span(data, size));
  const std::string target = reader.text(mosa_fuzz::kernel_texts);
  const std::string build_id = reader.text(mosa_fuzz::operation_texts);
  std::vector<ProfileReport> profiles(reader.below(5));
  for (auto& profile : profiles) {
    profile = mosa_fuzz::profile(reader);
    // Most profiles share the first one's clock, as the runs of one program do.
    if (&profile != &profiles.front() && reader.below(4) != 0) {
      profile.clock_hz = profiles.front().clock_hz;
    }
  }

  const auto result = mosa_profile::calibrate_profiles(profiles, target, build_id);
  const bool clocks_agree =
      !profiles.empty() && std::all_of(profiles.begin(), profiles.end(), [&](const auto& p) {
        return p.clock_hz == profiles.front().clock_hz;
      });
  if (profiles.empty()) {
    require(std::holds_alternative<CalibrationError>(result) &&
                std::get<CalibrationError>(result).message == "at least one profile is required",
            "no profiles: error");
  } else if (!clocks_agree) {
    require(std::holds_alternative<CalibrationError>(result) &&
                std::get<CalibrationError>(result).message == "profile clock frequencies differ",
            "clocks differ: error");
  } else {
    require(std::holds_alternative<CalibrationDatabase>(result), "agreeing clocks: a database");
    check_database(profiles, target, build_id, std::get<CalibrationDatabase>(result));
  }
  return 0;
}
