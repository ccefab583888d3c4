#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/cycle_arithmetic.hpp>
#include <mosa_profile/query.hpp>
#include <mosa_profile/step_classification.hpp>

#include "checks.hpp"

namespace {

using mosa_package::CycleSample;
using mosa_package::ProfileMetadata;
using mosa_package::ProfileReport;
using mosa_package::ProfileStepKind;
using mosa_package::TileProfile;
using mosa_profile::GroupBy;
using mosa_profile::GroupSummary;
using mosa_profile::Query;
using mosa_profile::QueryReport;
using mosa_profile::SampleRecord;
using mosa_profile::SortBy;
using mosa_profile::StepKind;
using mosa_profile::tests::sample;

constexpr std::uint64_t gigahertz = 1'000'000'000;

CycleSample compute(std::uint32_t phase, std::uint32_t start, std::uint32_t end,
                    std::string_view kernel = "k") {
  return sample(phase, ProfileStepKind::Compute, kernel, start, end);
}

CycleSample with_work(CycleSample sample, const char* useful, const char* physical) {
  sample.step.metadata.push_back({"usefulCycles", useful});
  sample.step.metadata.push_back({"physicalWorkCycles", physical});
  return sample;
}

// (tile, offset, duration, phase) of every listed sample, in listing order.
using Placed = std::tuple<std::uint32_t, std::uint64_t, std::uint32_t, std::uint32_t>;

std::vector<Placed> placed(const QueryReport& report) {
  std::vector<Placed> result;
  for (const SampleRecord& record : report.samples) {
    result.emplace_back(record.physical_tile, record.offset, record.duration, record.phase);
  }
  return result;
}

std::vector<std::string> group_names(const QueryReport& report) {
  std::vector<std::string> names;
  for (const GroupSummary& group : report.groups) names.push_back(group.name);
  return names;
}

const GroupSummary& group_named(const QueryReport& report, const std::string& name) {
  const auto found =
      std::find_if(report.groups.begin(), report.groups.end(),
                   [&name](const GroupSummary& group) { return group.name == name; });
  if (found == report.groups.end()) {
    ADD_FAILURE() << "no group " << name;
    static const GroupSummary none;
    return none;
  }
  return *found;
}

TEST(QueryModel, DefaultsGroupByKernelSortByPhaseCyclesAndListNothing) {
  const Query query;
  EXPECT_EQ(query.group_by, GroupBy::Kernel);
  EXPECT_EQ(query.sort_by, SortBy::PhaseCycles);
  EXPECT_FALSE(query.kind || query.kernel || query.operation_contains || query.metadata_key ||
               query.at_offset || query.limit);
  EXPECT_TRUE(query.tiles.empty() && query.phases.empty() && query.metadata.empty());
  EXPECT_FALSE(query.shared_clock);
  EXPECT_EQ(query.sample_limit, 0U);
}

// Tiles entering at 100 and 120, each followed by a sample from 150 to 160.
ProfileReport skewed_entry() {
  return {.clock_hz = gigahertz,
          .tiles = {{.physical_tile = 0, .samples = {compute(0, 100, 150), compute(1, 150, 160)}},
                    {.physical_tile = 1, .samples = {compute(0, 120, 150), compute(1, 150, 160)}}}};
}

TEST(Query, CropsTheInitialEntrySpanUnlessTheClockIsShared) {
  const ProfileReport profile = skewed_entry();

  const QueryReport cropped = mosa_profile::query(profile, {.sample_limit = 10});
  EXPECT_EQ(placed(cropped),
            (std::vector<Placed>{{0, 0, 30, 0}, {1, 0, 30, 0}, {0, 30, 10, 1}, {1, 30, 10, 1}}));
  EXPECT_EQ(cropped.profile_span_cycles, 40U);

  const QueryReport shared =
      mosa_profile::query(profile, {.shared_clock = true, .sample_limit = 10});
  EXPECT_EQ(placed(shared),
            (std::vector<Placed>{{0, 0, 50, 0}, {1, 20, 30, 0}, {0, 50, 10, 1}, {1, 50, 10, 1}}));
  EXPECT_EQ(shared.profile_span_cycles, 60U);
}

TEST(Query, ZeroLengthSamplesCountOnlyInTheProfile) {
  // Tile 0's first sample ends where tile 1 enters, and tile 1's last sample has no length.
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 0, .samples = {compute(0, 100, 120), compute(1, 120, 130)}},
                {.physical_tile = 1, .samples = {compute(1, 120, 125), compute(2, 400, 400)}}}};
  const Query by_operation{.group_by = GroupBy::Operation, .sample_limit = 10};

  const QueryReport cropped = mosa_profile::query(profile, by_operation);
  EXPECT_EQ(cropped.sample_count, 4U);
  EXPECT_EQ(cropped.matched_sample_count, 2U);
  EXPECT_EQ(group_names(cropped), std::vector<std::string>{"operation 1"});
  EXPECT_EQ(placed(cropped), (std::vector<Placed>{{0, 0, 10, 1}, {1, 0, 5, 1}}));
  // The empty sample still ends the time line.
  EXPECT_EQ(cropped.profile_span_cycles, 280U);

  Query shared = by_operation;
  shared.shared_clock = true;
  const QueryReport uncropped = mosa_profile::query(profile, shared);
  EXPECT_EQ(uncropped.matched_sample_count, 3U);
  EXPECT_EQ(group_names(uncropped), (std::vector<std::string>{"operation 0", "operation 1"}));
  EXPECT_EQ(uncropped.profile_span_cycles, 300U);

  Query at_the_empty_sample = by_operation;
  at_the_empty_sample.at_offset = 280;
  EXPECT_EQ(mosa_profile::query(profile, at_the_empty_sample).matched_sample_count, 0U);
}

TEST(Query, WorkEstimatesCountOnlyForSamplesTheCropLeftWhole) {
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 0, .samples = {with_work(compute(0, 100, 150), "10", "20")}},
                {.physical_tile = 1, .samples = {with_work(compute(0, 120, 150), "10", "20")}}}};

  const QueryReport cropped = mosa_profile::query(profile, {.group_by = GroupBy::Tile});
  const GroupSummary& trimmed = group_named(cropped, "tile 0");
  EXPECT_EQ(trimmed.work_cycles, 30U);
  EXPECT_EQ(trimmed.useful_cycles, 0.0);
  EXPECT_EQ(trimmed.estimated_work_cycles, 0U);
  EXPECT_EQ(trimmed.useful_utilization, std::nullopt);
  EXPECT_EQ(trimmed.work_lane_occupancy, std::nullopt);
  EXPECT_EQ(trimmed.device_useful_utilization, std::nullopt);
  const GroupSummary& whole = group_named(cropped, "tile 1");
  EXPECT_EQ(whole.useful_cycles, 10.0);
  EXPECT_EQ(whole.estimated_work_cycles, 30U);
  EXPECT_EQ(whole.useful_utilization, 10.0 / 30.0);
  EXPECT_EQ(whole.work_lane_occupancy, 0.5);
  EXPECT_EQ(whole.device_useful_utilization, 10.0 / (30.0 * 2.0));

  const QueryReport shared =
      mosa_profile::query(profile, {.group_by = GroupBy::Tile, .shared_clock = true});
  EXPECT_EQ(group_named(shared, "tile 0").estimated_work_cycles, 50U);
  EXPECT_EQ(group_named(shared, "tile 0").useful_utilization, 10.0 / 50.0);
}

TEST(Query, UtilisationFiguresAreAbsentWhenTheirDivisorIsZero) {
  const struct {
    const char* label;
    std::optional<std::pair<const char*, const char*>> work;
    double useful;
    std::uint64_t estimated;
    std::optional<double> utilization;
    std::optional<double> occupancy;
    std::optional<double> device;
  } cases[] = {
      {"useful 30 of physical 60", {{"30", "60"}}, 30.0, 100, 0.3, 0.5, 0.075},
      {"both zero", {{"0", "0"}}, 0.0, 100, 0.0, std::nullopt, 0.0},
      {"no useful work", {{"0", "10"}}, 0.0, 100, 0.0, 0.0, 0.0},
      {"physical below useful", {{"50", "40"}}, 0.0, 0, std::nullopt, std::nullopt, std::nullopt},
      {"no estimate", std::nullopt, 0.0, 0, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    CycleSample only = compute(0, 1000, 1100);
    if (c.work) only = with_work(only, c.work->first, c.work->second);
    // Four tiles in the profile, one of them with samples: the device figure divides by four.
    const ProfileReport profile{.clock_hz = gigahertz,
                                .tiles = {{.physical_tile = 0, .samples = {only}},
                                          {.physical_tile = 1},
                                          {.physical_tile = 2},
                                          {.physical_tile = 3}}};
    const QueryReport report = mosa_profile::query(profile, {});
    ASSERT_EQ(report.groups.size(), 1U);
    const GroupSummary& group = report.groups[0];
    EXPECT_EQ(group.work_cycles, 100U);
    EXPECT_EQ(group.useful_cycles, c.useful);
    EXPECT_EQ(group.estimated_work_cycles, c.estimated);
    EXPECT_EQ(group.useful_utilization, c.utilization);
    EXPECT_EQ(group.work_lane_occupancy, c.occupancy);
    EXPECT_EQ(group.device_useful_utilization, c.device);
  }
}

TEST(Query, SummarisesParallelAndSequentialSamples) {
  const ProfileReport profile{
      .clock_hz = 2'000'000'000,
      .tiles = {{.physical_tile = 4, .samples = {compute(0, 0, 10), compute(0, 10, 20)}},
                {.physical_tile = 5, .samples = {compute(0, 0, 8), compute(0, 8, 16)}}}};
  const QueryReport report = mosa_profile::query(profile, {});
  ASSERT_EQ(report.groups.size(), 1U);
  const GroupSummary& group = report.groups[0];
  EXPECT_EQ(group.name, "k");
  EXPECT_TRUE(group.dimensions.empty());
  EXPECT_EQ(group.sample_count, 4U);
  EXPECT_EQ(group.tile_count, 2U);
  EXPECT_EQ(group.phase_count, 1U);
  EXPECT_EQ(group.phase_cycles, 20U);
  EXPECT_EQ(group.phase_ms, 20.0 * 1000.0 / 2e9);
  EXPECT_EQ(group.work_cycles, 36U);
  EXPECT_EQ(group.average_active_tiles, 1.8);
  EXPECT_EQ(group.mean_cycles, 9.0);
  EXPECT_EQ(group.p50_cycles, 8U);
  EXPECT_EQ(group.p95_cycles, 10U);
  EXPECT_EQ(group.maximum_cycles, 10U);
  EXPECT_EQ(group.first_offset, 0U);
  EXPECT_EQ(group.last_offset, 20U);
  EXPECT_EQ(report.profile_span_ms, 20.0 * 1000.0 / 2e9);
}

TEST(Query, PlacesSamplesAcrossACounterWrap) {
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 0, .samples = {compute(0, 4294967291U, 5), compute(1, 5, 15)}}}};
  const QueryReport report = mosa_profile::query(profile, {.sample_limit = 5});
  EXPECT_EQ(placed(report), (std::vector<Placed>{{0, 0, 10, 0}, {0, 10, 10, 1}}));
  EXPECT_EQ(report.profile_span_cycles, 20U);
  ASSERT_EQ(report.groups.size(), 1U);
  EXPECT_EQ(report.groups[0].phase_cycles, 20U);
}

TEST(Query, ProfilesWithoutSamplesGiveAnEmptyReport) {
  const struct {
    const char* label;
    ProfileReport profile;
  } cases[] = {
      {"no tiles", {.clock_hz = gigahertz}},
      {"no clock", {.clock_hz = 0, .tiles = {{.physical_tile = 3}}}},
      {"tiles without samples", {.clock_hz = gigahertz, .tiles = {{.physical_tile = 1}, {}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const QueryReport report =
        mosa_profile::query(c.profile, {.at_offset = 0, .shared_clock = true, .sample_limit = 3});
    EXPECT_EQ(report.clock_hz, c.profile.clock_hz);
    EXPECT_EQ(report.tile_count, c.profile.tiles.size());
    EXPECT_EQ(report.sample_count, 0U);
    EXPECT_EQ(report.matched_sample_count, 0U);
    EXPECT_EQ(report.profile_span_cycles, 0U);
    EXPECT_EQ(report.profile_span_ms, 0.0);
    EXPECT_EQ(report.at_offset, std::optional<std::uint64_t>{0});
    EXPECT_TRUE(report.groups.empty());
    EXPECT_TRUE(report.samples.empty());
  }
}

TEST(Query, LimitsApplyAfterSorting) {
  // Kernels a, b, c with 5, 30 and 20 phase cycles.
  const ProfileReport profile{.clock_hz = gigahertz,
                              .tiles = {{.physical_tile = 0,
                                         .samples = {compute(0, 0, 5, "a"), compute(1, 5, 35, "b"),
                                                     compute(2, 35, 55, "c")}}}};
  const struct {
    std::optional<std::size_t> limit;
    std::vector<std::string> names;
  } group_cases[] = {
      {std::nullopt, {"b", "c", "a"}}, {0, {}}, {1, {"b"}}, {2, {"b", "c"}}, {9, {"b", "c", "a"}}};
  for (const auto& c : group_cases) {
    SCOPED_TRACE(c.limit.value_or(999));
    const QueryReport report = mosa_profile::query(profile, {.limit = c.limit});
    EXPECT_EQ(group_names(report), c.names);
    EXPECT_TRUE(report.samples.empty());
  }
  const struct {
    std::size_t sample_limit;
    std::vector<std::uint32_t> phases;
  } sample_cases[] = {{0, {}}, {1, {1}}, {2, {1, 2}}, {3, {1, 2, 0}}, {50, {1, 2, 0}}};
  for (const auto& c : sample_cases) {
    SCOPED_TRACE(c.sample_limit);
    const QueryReport report =
        mosa_profile::query(profile, {.limit = 0, .sample_limit = c.sample_limit});
    std::vector<std::uint32_t> phases;
    for (const SampleRecord& record : report.samples) phases.push_back(record.phase);
    EXPECT_EQ(phases, c.phases);
    EXPECT_EQ(report.matched_sample_count, 3U);
  }
}

TEST(Query, SortsNamesAsBytes) {
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 0,
                 .samples = {compute(2, 0, 5), compute(10, 5, 10), compute(1, 10, 15)}}}};
  const QueryReport report =
      mosa_profile::query(profile, {.group_by = GroupBy::Phase, .sort_by = SortBy::Name});
  EXPECT_EQ(group_names(report),
            (std::vector<std::string>{"phase 1/0", "phase 10/0", "phase 2/0"}));
}

GroupSummary summary_of(std::string name, std::uint64_t key, std::uint64_t first_offset) {
  return {.name = std::move(name),
          .sample_count = key,
          .phase_cycles = key,
          .work_cycles = key,
          .maximum_cycles = static_cast<std::uint32_t>(key),
          .first_offset = first_offset};
}

TEST(CompareGroups, OrdersByTheKeyThenFirstOffsetThenName) {
  using std::strong_ordering;
  const struct {
    const char* label;
    GroupSummary left;
    GroupSummary right;
    strong_ordering numeric;  // the same for the four numeric keys
    strong_ordering by_name;
  } cases[] = {
      {"larger key first", summary_of("b", 9, 5), summary_of("a", 3, 0), strong_ordering::less,
       strong_ordering::greater},
      {"equal key, earlier first", summary_of("b", 4, 1), summary_of("a", 4, 2),
       strong_ordering::less, strong_ordering::greater},
      {"equal key and offset, smaller name", summary_of("a", 4, 2), summary_of("b", 4, 2),
       strong_ordering::less, strong_ordering::less},
      {"prefix first", summary_of("ab", 4, 2), summary_of("a", 4, 2), strong_ordering::greater,
       strong_ordering::greater},
      {"bytes, not numbers", summary_of("phase 10/0", 4, 2), summary_of("phase 2/0", 4, 2),
       strong_ordering::less, strong_ordering::less},
      {"upper case before lower case", summary_of("B", 4, 2), summary_of("a", 4, 2),
       strong_ordering::less, strong_ordering::less},
      {"high bytes after ASCII", summary_of("\xC3\xA9", 4, 2), summary_of("z", 4, 2),
       strong_ordering::greater, strong_ordering::greater},
      {"name decides before offset", summary_of("a", 4, 9), summary_of("b", 4, 1),
       strong_ordering::greater, strong_ordering::less},
      {"equal", summary_of("a", 4, 2), summary_of("a", 4, 2), strong_ordering::equal,
       strong_ordering::equal},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    for (const SortBy numeric :
         {SortBy::PhaseCycles, SortBy::WorkCycles, SortBy::MaximumCycles, SortBy::Samples}) {
      EXPECT_TRUE(mosa_profile::compare_groups(numeric, c.left, c.right) == c.numeric);
    }
    EXPECT_TRUE(mosa_profile::compare_groups(SortBy::Name, c.left, c.right) == c.by_name);
  }
}

TEST(CompareGroups, EachNumericKeyDecidesAlone) {
  GroupSummary left = summary_of("a", 5, 0);
  GroupSummary right = summary_of("b", 5, 0);
  left.phase_cycles = 6;
  left.work_cycles = 4;
  right.maximum_cycles = 6;
  right.sample_count = 4;
  EXPECT_TRUE(mosa_profile::compare_groups(SortBy::PhaseCycles, left, right) < 0);
  EXPECT_TRUE(mosa_profile::compare_groups(SortBy::WorkCycles, left, right) > 0);
  EXPECT_TRUE(mosa_profile::compare_groups(SortBy::MaximumCycles, left, right) > 0);
  EXPECT_TRUE(mosa_profile::compare_groups(SortBy::Samples, left, right) < 0);
}

TEST(Query, ListsLongerThenSmallerTileThenEarlierThenInWalkOrder) {
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 3, .samples = {compute(0, 100, 110), compute(5, 110, 140)}},
                {.physical_tile = 2,
                 .samples = {compute(1, 100, 110), compute(2, 110, 120), compute(3, 100, 110)}}}};
  const QueryReport report =
      mosa_profile::query(profile, {.shared_clock = true, .sample_limit = 10});
  EXPECT_EQ(placed(report),
            (std::vector<Placed>{
                {3, 10, 30, 5}, {2, 0, 10, 1}, {2, 0, 10, 3}, {2, 10, 10, 2}, {3, 0, 10, 0}}));
}

TEST(Query, EqualGroupNamesShareOneGroup) {
  CycleSample literal = compute(1, 10, 20, "(no kernel)");
  literal.step.metadata = {{"block", "(missing)"}};
  CycleSample without = compute(2, 20, 30, "");
  without.step.metadata.clear();
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 0, .samples = {compute(0, 0, 10, "x"), literal, without}}}};

  const QueryReport by_kernel = mosa_profile::query(profile, {});
  EXPECT_EQ(group_names(by_kernel), (std::vector<std::string>{"(no kernel)", "x"}));
  EXPECT_EQ(group_named(by_kernel, "(no kernel)").sample_count, 2U);

  const QueryReport by_block =
      mosa_profile::query(profile, {.group_by = GroupBy::Metadata, .metadata_key = "block"});
  EXPECT_EQ(group_names(by_block), (std::vector<std::string>{"(missing)", "0"}));
  const GroupSummary& missing = group_named(by_block, "(missing)");
  EXPECT_EQ(missing.sample_count, 2U);
  EXPECT_EQ(missing.dimensions, (std::map<std::string, std::string>{
                                    {"metadataKey", "block"}, {"metadataValue", "(missing)"}}));
}

TEST(Query, ReportOutlivesItsProfile) {
  auto profile = std::make_unique<ProfileReport>(ProfileReport{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 6,
                 .samples = {with_work(compute(4, 0, 10, "a kernel name longer than any buffer"),
                                       "1", "2")}}}});
  const QueryReport by_block = mosa_profile::query(
      *profile, {.group_by = GroupBy::Metadata, .metadata_key = "block", .sample_limit = 1});
  const QueryReport by_kernel = mosa_profile::query(*profile, {});
  profile.reset();

  ASSERT_EQ(by_block.groups.size(), 1U);
  EXPECT_EQ(by_block.groups[0].name, "4");
  EXPECT_EQ(by_block.groups[0].dimensions.at("metadataKey"), "block");
  EXPECT_EQ(by_block.groups[0].dimensions.at("metadataValue"), "4");
  ASSERT_EQ(by_block.samples.size(), 1U);
  const SampleRecord& listed = by_block.samples[0];
  EXPECT_EQ(listed.kind, "compute");
  EXPECT_EQ(listed.operation, "operation 4");
  EXPECT_EQ(listed.kernel, "a kernel name longer than any buffer");
  ASSERT_EQ(listed.metadata.size(), 3U);
  EXPECT_EQ(listed.metadata[2].name, "physicalWorkCycles");
  EXPECT_EQ(listed.metadata[2].value, "2");
  ASSERT_EQ(by_kernel.groups.size(), 1U);
  EXPECT_EQ(by_kernel.groups[0].name, "a kernel name longer than any buffer");
}

// ---------------------------------------------------------------------------------------------
// Brute force from the definitions.

std::uint32_t pick(std::mt19937_64& rng, std::uint32_t low, std::uint32_t high) {
  return std::uniform_int_distribution<std::uint32_t>{low, high}(rng);
}

template <typename T>
T one_of(std::mt19937_64& rng, const std::vector<T>& values) {
  return values[pick(rng, 0, static_cast<std::uint32_t>(values.size() - 1))];
}

// Shared base and crop: the earliest entry judged by signed 32-bit distance from the first tile's
// entry, and the latest entry's distance from it.
struct OracleLine {
  std::uint32_t base = 0;
  std::uint64_t crop = 0;
};

OracleLine oracle_line(const ProfileReport& report, bool shared_clock) {
  std::vector<std::uint32_t> entries;
  for (const TileProfile& tile : report.tiles) {
    if (!tile.samples.empty()) entries.push_back(tile.samples.front().start_cycle);
  }
  if (entries.empty()) return {};
  std::int64_t earliest = 0;
  for (const std::uint32_t entry : entries) {
    const std::uint32_t forward = entry - entries.front();
    const std::int64_t signed_distance = forward >= 0x80000000U
                                             ? static_cast<std::int64_t>(forward) - (1LL << 32)
                                             : static_cast<std::int64_t>(forward);
    earliest = std::min(earliest, signed_distance);
  }
  OracleLine line{.base = static_cast<std::uint32_t>(entries.front() + earliest)};
  if (!shared_clock) {
    for (const std::uint32_t entry : entries) {
      line.crop = std::max<std::uint64_t>(line.crop, static_cast<std::uint32_t>(entry - line.base));
    }
  }
  return line;
}

struct OraclePlace {
  std::uint64_t offset = 0;
  std::uint64_t end = 0;
  std::uint32_t duration = 0;
  bool trimmed = false;
};

OraclePlace oracle_place(const OracleLine& line, const CycleSample& sample) {
  const std::uint64_t raw = static_cast<std::uint32_t>(sample.start_cycle - line.base);
  const std::uint32_t length = sample.end_cycle - sample.start_cycle;
  const std::uint64_t raw_end = raw + length;
  OraclePlace place;
  place.offset = raw >= line.crop ? raw - line.crop : 0;
  place.end = raw_end >= line.crop ? raw_end - line.crop : 0;
  place.duration = static_cast<std::uint32_t>(place.end - place.offset);
  place.trimmed = place.duration != length;
  return place;
}

const char* oracle_kind_name(ProfileStepKind kind) {
  switch (kind) {
    case ProfileStepKind::Exchange:
      return "exchange";
    case ProfileStepKind::Compute:
      return "compute";
    case ProfileStepKind::Synchronization:
      return "synchronization";
    case ProfileStepKind::Idle:
      return "idle";
  }
  return "";
}

bool oracle_selects(const Query& query, std::uint32_t tile, const CycleSample& sample,
                    const OraclePlace& place) {
  const auto& step = sample.step;
  if (query.kind && static_cast<int>(*query.kind) != static_cast<int>(step.kind)) return false;
  if (query.kernel && *query.kernel != step.kernel) return false;
  if (query.operation_contains &&
      step.operation.find(*query.operation_contains) == std::string::npos) {
    return false;
  }
  if (!query.tiles.empty() && query.tiles.count(tile) == 0) return false;
  if (!query.phases.empty() && query.phases.count(step.phase) == 0) return false;
  if (query.at_offset &&
      !(place.offset <= *query.at_offset && *query.at_offset < place.offset + place.duration)) {
    return false;
  }
  for (const auto& filter : query.metadata) {
    bool met = false;
    for (const auto& entry : step.metadata) {
      met = met || (entry.name == filter.name && (!filter.value || *filter.value == entry.value));
    }
    if (!met) return false;
  }
  return true;
}

std::pair<std::string, std::map<std::string, std::string>> oracle_group(const Query& query,
                                                                        std::uint32_t tile,
                                                                        const CycleSample& sample) {
  const auto& step = sample.step;
  switch (query.group_by) {
    case GroupBy::Kind:
      return {oracle_kind_name(step.kind), {}};
    case GroupBy::Kernel:
      return {step.kernel == "" ? "(no kernel)" : step.kernel, {}};
    case GroupBy::Operation:
      return {step.operation, {}};
    case GroupBy::Phase:
      return {"phase " + std::to_string(step.phase) + "/" + std::to_string(step.epoch),
              {{"phase", std::to_string(step.phase)}, {"epoch", std::to_string(step.epoch)}}};
    case GroupBy::Tile:
      return {"tile " + std::to_string(tile), {{"physicalTile", std::to_string(tile)}}};
    case GroupBy::Metadata: {
      const std::string key = query.metadata_key.value_or("");
      std::string value = "(missing)";
      for (auto entry = step.metadata.rbegin(); entry != step.metadata.rend(); ++entry) {
        if (entry->name == key) value = entry->value;
      }
      return {value, {{"metadataKey", key}, {"metadataValue", value}}};
    }
  }
  return {};
}

struct OracleGroup {
  std::map<std::string, std::string> dimensions;
  std::vector<std::uint32_t> durations;
  std::set<std::uint32_t> tiles;
  std::set<std::pair<std::uint32_t, std::uint32_t>> phases;
  std::set<std::uint64_t> busy_cycles;
  std::uint64_t work = 0;
  double useful = 0.0;
  double physical = 0.0;
  std::uint64_t estimated = 0;
  std::uint64_t first = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t last = 0;
};

struct OracleCandidate {
  std::uint32_t tile = 0;
  OraclePlace place;
  const CycleSample* sample = nullptr;
};

GroupSummary oracle_summary(const std::string& name, OracleGroup group,
                            const ProfileReport& report) {
  std::sort(group.durations.begin(), group.durations.end());
  const std::size_t n = group.durations.size();
  const std::uint64_t phase = group.busy_cycles.size();
  GroupSummary summary{
      .name = name,
      .dimensions = group.dimensions,
      .sample_count = n,
      .tile_count = group.tiles.size(),
      .phase_count = group.phases.size(),
      .phase_cycles = phase,
      .phase_ms = report.clock_hz == 0
                      ? 0.0
                      : static_cast<double>(phase) * 1000.0 / static_cast<double>(report.clock_hz),
      .work_cycles = group.work,
      .average_active_tiles = static_cast<double>(group.work) / static_cast<double>(phase),
      .useful_cycles = group.useful,
      .estimated_work_cycles = group.estimated,
      .mean_cycles = static_cast<double>(group.work) / static_cast<double>(n),
      .p50_cycles = group.durations[(n - 1) * 50 / 100],
      .p95_cycles = group.durations[(n - 1) * 95 / 100],
      .maximum_cycles = group.durations.back(),
      .first_offset = group.first,
      .last_offset = group.last,
  };
  if (group.estimated > 0) {
    summary.useful_utilization = group.useful / static_cast<double>(group.estimated);
    summary.device_useful_utilization =
        group.useful / (static_cast<double>(phase) * static_cast<double>(report.tiles.size()));
  }
  if (group.physical > 0.0) summary.work_lane_occupancy = group.useful / group.physical;
  return summary;
}

std::uint64_t sort_key(SortBy sort_by, const GroupSummary& group) {
  switch (sort_by) {
    case SortBy::PhaseCycles:
      return group.phase_cycles;
    case SortBy::WorkCycles:
      return group.work_cycles;
    case SortBy::MaximumCycles:
      return group.maximum_cycles;
    case SortBy::Samples:
      return group.sample_count;
    case SortBy::Name:
      return 0;
  }
  return 0;
}

bool oracle_group_before(SortBy sort_by, const GroupSummary& a, const GroupSummary& b) {
  if (sort_by == SortBy::Name && a.name != b.name) return a.name < b.name;
  if (sort_key(sort_by, a) != sort_key(sort_by, b))
    return sort_key(sort_by, a) > sort_key(sort_by, b);
  if (a.first_offset != b.first_offset) return a.first_offset < b.first_offset;
  return a.name < b.name;
}

SampleRecord oracle_record(const OracleCandidate& candidate) {
  SampleRecord record{.physical_tile = candidate.tile,
                      .offset = candidate.place.offset,
                      .duration = candidate.place.duration,
                      .phase = candidate.sample->step.phase,
                      .epoch = candidate.sample->step.epoch,
                      .kind = oracle_kind_name(candidate.sample->step.kind),
                      .operation = candidate.sample->step.operation,
                      .kernel = candidate.sample->step.kernel};
  for (const auto& entry : candidate.sample->step.metadata) {
    record.metadata.push_back({entry.name, entry.value});
  }
  return record;
}

// Every selected sample, in walk order, stably sorted into listing order; the first `limit`.
std::vector<SampleRecord> oracle_listing(std::vector<OracleCandidate> candidates,
                                         std::size_t limit) {
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const OracleCandidate& a, const OracleCandidate& b) {
                     if (a.place.duration != b.place.duration) {
                       return a.place.duration > b.place.duration;
                     }
                     if (a.tile != b.tile) return a.tile < b.tile;
                     return a.place.offset < b.place.offset;
                   });
  std::vector<SampleRecord> records;
  for (std::size_t i = 0; i < std::min(limit, candidates.size()); ++i) {
    records.push_back(oracle_record(candidates[i]));
  }
  return records;
}

QueryReport oracle_query(const ProfileReport& report, const Query& query) {
  const OracleLine line = oracle_line(report, query.shared_clock);
  QueryReport expected{
      .clock_hz = report.clock_hz, .tile_count = report.tiles.size(), .at_offset = query.at_offset};
  std::map<std::string, OracleGroup> groups;
  std::vector<OracleCandidate> candidates;
  for (const TileProfile& tile : report.tiles) {
    for (const CycleSample& sample : tile.samples) {
      ++expected.sample_count;
      const OraclePlace place = oracle_place(line, sample);
      expected.profile_span_cycles = std::max(expected.profile_span_cycles, place.end);
      if (place.duration == 0 || !oracle_selects(query, tile.physical_tile, sample, place)) {
        continue;
      }
      ++expected.matched_sample_count;
      auto [name, dimensions] = oracle_group(query, tile.physical_tile, sample);
      OracleGroup& group = groups[name];
      if (group.durations.empty()) group.dimensions = dimensions;
      group.durations.push_back(place.duration);
      group.tiles.insert(tile.physical_tile);
      group.phases.insert({sample.step.phase, sample.step.epoch});
      for (std::uint64_t cycle = place.offset; cycle < place.offset + place.duration; ++cycle) {
        group.busy_cycles.insert(cycle);
      }
      group.work += place.duration;
      const auto work = mosa_profile::useful_work(sample);
      if (!place.trimmed && work) {
        group.useful += work->useful;
        group.physical += work->physical;
        group.estimated += place.duration;
      }
      group.first = std::min(group.first, place.offset);
      group.last = std::max(group.last, place.offset + place.duration);
      candidates.push_back({.tile = tile.physical_tile, .place = place, .sample = &sample});
    }
  }
  expected.profile_span_ms = report.clock_hz == 0
                                 ? 0.0
                                 : static_cast<double>(expected.profile_span_cycles) * 1000.0 /
                                       static_cast<double>(report.clock_hz);
  for (auto& [name, group] : groups) {
    expected.groups.push_back(oracle_summary(name, std::move(group), report));
  }
  std::stable_sort(expected.groups.begin(), expected.groups.end(),
                   [&query](const GroupSummary& a, const GroupSummary& b) {
                     return oracle_group_before(query.sort_by, a, b);
                   });
  if (query.limit && *query.limit < expected.groups.size()) expected.groups.resize(*query.limit);
  expected.samples = oracle_listing(std::move(candidates), query.sample_limit);
  return expected;
}

void expect_same_report(const QueryReport& actual, const QueryReport& expected) {
  EXPECT_EQ(actual.clock_hz, expected.clock_hz);
  EXPECT_EQ(actual.tile_count, expected.tile_count);
  EXPECT_EQ(actual.sample_count, expected.sample_count);
  EXPECT_EQ(actual.matched_sample_count, expected.matched_sample_count);
  EXPECT_EQ(actual.profile_span_cycles, expected.profile_span_cycles);
  EXPECT_EQ(actual.profile_span_ms, expected.profile_span_ms);
  EXPECT_EQ(actual.at_offset, expected.at_offset);
  EXPECT_EQ(group_names(actual), group_names(expected));
  for (std::size_t i = 0; i < std::min(actual.groups.size(), expected.groups.size()); ++i) {
    const GroupSummary& a = actual.groups[i];
    const GroupSummary& e = expected.groups[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(a.dimensions, e.dimensions);
    EXPECT_EQ(a.sample_count, e.sample_count);
    EXPECT_EQ(a.tile_count, e.tile_count);
    EXPECT_EQ(a.phase_count, e.phase_count);
    EXPECT_EQ(a.phase_cycles, e.phase_cycles);
    EXPECT_EQ(a.phase_ms, e.phase_ms);
    EXPECT_EQ(a.work_cycles, e.work_cycles);
    EXPECT_EQ(a.average_active_tiles, e.average_active_tiles);
    EXPECT_EQ(a.useful_cycles, e.useful_cycles);
    EXPECT_EQ(a.estimated_work_cycles, e.estimated_work_cycles);
    EXPECT_EQ(a.useful_utilization, e.useful_utilization);
    EXPECT_EQ(a.work_lane_occupancy, e.work_lane_occupancy);
    EXPECT_EQ(a.device_useful_utilization, e.device_useful_utilization);
    EXPECT_EQ(a.mean_cycles, e.mean_cycles);
    EXPECT_EQ(a.p50_cycles, e.p50_cycles);
    EXPECT_EQ(a.p95_cycles, e.p95_cycles);
    EXPECT_EQ(a.maximum_cycles, e.maximum_cycles);
    EXPECT_EQ(a.first_offset, e.first_offset);
    EXPECT_EQ(a.last_offset, e.last_offset);
  }
  EXPECT_EQ(placed(actual), placed(expected));
  for (std::size_t i = 0; i < std::min(actual.samples.size(), expected.samples.size()); ++i) {
    const SampleRecord& a = actual.samples[i];
    const SampleRecord& e = expected.samples[i];
    SCOPED_TRACE(testing::Message() << "listed sample " << i);
    EXPECT_EQ(a.epoch, e.epoch);
    EXPECT_EQ(a.kind, e.kind);
    EXPECT_EQ(a.operation, e.operation);
    EXPECT_EQ(a.kernel, e.kernel);
    ASSERT_EQ(a.metadata.size(), e.metadata.size());
    for (std::size_t m = 0; m < a.metadata.size(); ++m) {
      EXPECT_EQ(a.metadata[m].name, e.metadata[m].name);
      EXPECT_EQ(a.metadata[m].value, e.metadata[m].value);
    }
  }
}

const std::vector<std::string> kernels{"", "(no kernel)", "add", "Add", "gemm"};
const std::vector<std::string> operations{"", "madd", "add rows", "gemm"};
const std::vector<std::string> metadata_names{"block", "tag", "", "Block"};
const std::vector<std::string> metadata_values{"0", "1", "(missing)", "", "x"};

std::vector<ProfileMetadata> random_metadata(std::mt19937_64& rng) {
  std::vector<ProfileMetadata> metadata;
  for (std::uint32_t i = pick(rng, 0, 3); i > 0; --i) {
    metadata.push_back({one_of(rng, metadata_names), one_of(rng, metadata_values)});
  }
  if (pick(rng, 0, 1) == 0) {
    metadata.push_back(
        {"usefulCycles", one_of<std::string>(rng, {"0", "10", "30", "2.5", "-1", "x"})});
    metadata.push_back(
        {"physicalWorkCycles", one_of<std::string>(rng, {"0", "10", "60", "45.25", "1e400"})});
  }
  return metadata;
}

// A few tiles (physical numbers may repeat), entering within 60 cycles of an origin that often
// lies just before a counter wrap; samples mostly follow each other, sometimes step back or
// repeat, and some have no length.
ProfileReport random_profile(std::mt19937_64& rng) {
  ProfileReport report{.clock_hz = one_of<std::uint64_t>(rng, {0, gigahertz, 1'500'000'000})};
  const std::uint32_t origin =
      pick(rng, 0, 2) == 0 ? pick(rng, 0, 0xFFFFFFFFU) : 0xFFFFFFFFU - pick(rng, 0, 100);
  for (std::uint32_t t = pick(rng, 0, 5); t > 0; --t) {
    TileProfile tile{.physical_tile = pick(rng, 0, 6)};
    std::uint32_t cursor = origin + pick(rng, 0, 60);
    for (std::uint32_t s = pick(rng, 0, 8); s > 0; --s) {
      const std::uint32_t start =
          pick(rng, 0, 5) == 0 ? cursor - pick(rng, 0, 20) : cursor + pick(rng, 0, 8);
      const std::uint32_t length = pick(rng, 0, 4) == 0 ? 0 : pick(rng, 1, 30);
      CycleSample sample{.start_cycle = start, .end_cycle = start + length};
      sample.step.phase = pick(rng, 0, 3);
      sample.step.epoch = pick(rng, 0, 1);
      sample.step.kind = static_cast<ProfileStepKind>(pick(rng, 0, 3));
      sample.step.kernel = one_of(rng, kernels);
      sample.step.operation = one_of(rng, operations);
      sample.step.metadata = random_metadata(rng);
      tile.samples.push_back(sample);
      cursor = start + length;
    }
    report.tiles.push_back(tile);
  }
  return report;
}

Query random_query(std::mt19937_64& rng) {
  Query query{.group_by = static_cast<GroupBy>(pick(rng, 0, 5)),
              .sort_by = static_cast<SortBy>(pick(rng, 0, 4))};
  if (pick(rng, 0, 3) == 0) query.kind = static_cast<StepKind>(pick(rng, 0, 3));
  if (pick(rng, 0, 3) == 0) query.kernel = one_of(rng, kernels);
  if (pick(rng, 0, 3) == 0) {
    query.operation_contains = one_of<std::string>(rng, {"", "add", "Add", "m", "gemm"});
  }
  if (pick(rng, 0, 3) == 0) {
    for (std::uint32_t i = pick(rng, 1, 3); i > 0; --i) query.tiles.insert(pick(rng, 0, 6));
  }
  if (pick(rng, 0, 3) == 0) {
    for (std::uint32_t i = pick(rng, 1, 2); i > 0; --i) query.phases.insert(pick(rng, 0, 3));
  }
  if (pick(rng, 0, 3) == 0) {
    for (std::uint32_t i = pick(rng, 1, 2); i > 0; --i) {
      mosa_profile::MetadataFilter filter{.name = one_of(rng, metadata_names)};
      if (pick(rng, 0, 1) == 0) filter.value = one_of(rng, metadata_values);
      query.metadata.push_back(filter);
    }
  }
  if (pick(rng, 0, 1) == 0) query.metadata_key = one_of(rng, metadata_names);
  if (pick(rng, 0, 3) == 0) query.at_offset = pick(rng, 0, 300);
  query.shared_clock = pick(rng, 0, 1) == 0;
  if (pick(rng, 0, 2) == 0) query.limit = pick(rng, 0, 5);
  query.sample_limit = pick(rng, 0, 2) == 0 ? 0 : pick(rng, 1, 40);
  return query;
}

TEST(Query, MatchesABruteForceRecomputationOnRandomProfiles) {
  std::mt19937_64 rng{0x71756572792D6F72};
  for (int n = 0; n < 1500; ++n) {
    SCOPED_TRACE(testing::Message() << "case " << n);
    const ProfileReport report = random_profile(rng);
    const Query query = random_query(rng);
    expect_same_report(mosa_profile::query(report, query), oracle_query(report, query));
    if (HasFailure()) return;
  }
}

// Many samples with few distinct durations, tiles and offsets, so that most comparisons are ties;
// each sample's phase is its walk position.
TEST(Query, ListingEqualsAStableSortOfEverySelectedSample) {
  std::mt19937_64 rng{0x6C697374696E6773};
  for (int n = 0; n < 300; ++n) {
    SCOPED_TRACE(testing::Message() << "case " << n);
    ProfileReport report{.clock_hz = gigahertz};
    std::uint32_t walk = 0;
    for (std::uint32_t t = pick(rng, 1, 4); t > 0; --t) {
      TileProfile tile{.physical_tile = pick(rng, 0, 3)};
      for (std::uint32_t s = pick(rng, 0, 60); s > 0; --s) {
        const std::uint32_t start = 1000 + pick(rng, 0, 12);
        tile.samples.push_back(compute(walk++, start, start + pick(rng, 0, 3)));
      }
      report.tiles.push_back(tile);
    }
    const Query query{.shared_clock = pick(rng, 0, 1) == 0,
                      .sample_limit = pick(rng, 1, 3) == 1 ? pick(rng, 1, 5) : pick(rng, 1, 250)};

    const OracleLine line = oracle_line(report, query.shared_clock);
    std::vector<OracleCandidate> all;
    for (const TileProfile& tile : report.tiles) {
      for (const CycleSample& sample : tile.samples) {
        const OraclePlace place = oracle_place(line, sample);
        if (place.duration > 0) all.push_back({tile.physical_tile, place, &sample});
      }
    }
    QueryReport expected;
    expected.samples = oracle_listing(std::move(all), query.sample_limit);
    ASSERT_EQ(placed(mosa_profile::query(report, query)), placed(expected));
  }
}

}  // namespace
