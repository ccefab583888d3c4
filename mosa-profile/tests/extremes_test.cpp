// Inputs at the limits of what a profile decoder can produce: samples a whole counter period long,
// ends near 2^33, a sample starting exactly at the crop, offsets at the top of the 64-bit range,
// metadata values of kilobytes and megabytes, tens of thousands of activities in one step, and
// profiles whose tiles are all empty.

#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/calibration.hpp>
#include <mosa_profile/exchange_activity_summary.hpp>
#include <mosa_profile/exchange_boundaries.hpp>
#include <mosa_profile/exchange_roles.hpp>
#include <mosa_profile/query.hpp>
#include <mosa_profile/query_selection.hpp>
#include <mosa_profile/step_classification.hpp>
#include <mosa_profile/time_origin.hpp>

#include "checks.hpp"

namespace {

using mosa_package::CycleSample;
using mosa_package::ProfileExchangeActivity;
using mosa_package::ProfileExchangeActivityKind;
using mosa_package::ProfileReport;
using mosa_package::ProfileStepKind;
using mosa_profile::CalibrationDatabase;
using mosa_profile::GroupBy;
using mosa_profile::Query;
using mosa_profile::QueryReport;
using mosa_profile::tests::sample;

constexpr std::uint32_t longest = std::numeric_limits<std::uint32_t>::max();  // 2^32 - 1
constexpr std::uint64_t period = std::uint64_t{1} << 32;
constexpr std::uint64_t top = std::numeric_limits<std::uint64_t>::max();

CycleSample compute(std::string_view kernel, std::uint32_t start, std::uint32_t end) {
  return sample(0, ProfileStepKind::Compute, kernel, start, end);
}

CycleSample with_metadata(CycleSample built, std::vector<mosa_package::ProfileMetadata> metadata) {
  built.step.metadata = std::move(metadata);
  return built;
}

CalibrationDatabase calibrated(const ProfileReport& profile) {
  const auto result = mosa_profile::calibrate_profiles({&profile, 1}, "target", "build");
  EXPECT_TRUE(std::holds_alternative<CalibrationDatabase>(result));
  return std::get<CalibrationDatabase>(result);
}

// One tile: a whole-period sample from the base 1000 up to 999, then another one from 999, which
// ends at 2^33 - 2, the latest end the time line has.
ProfileReport two_whole_periods() {
  return {.clock_hz = 1'000'000'000,
          .tiles = {
              {.physical_tile = 5, .samples = {compute("k", 1000, 999), compute("k", 999, 998)}}}};
}

TEST(Extremes, WholePeriodSamplesReachTheEndOfTheTimeLine) {
  const ProfileReport profile = two_whole_periods();
  const QueryReport report = mosa_profile::query(profile, {.sample_limit = 5});
  EXPECT_EQ(report.profile_span_cycles, 2 * period - 2);
  ASSERT_EQ(report.groups.size(), 1U);
  const auto& group = report.groups[0];
  EXPECT_EQ(group.phase_cycles, 2 * period - 2);  // touching intervals add up
  EXPECT_EQ(group.work_cycles, 2 * period - 2);
  EXPECT_EQ(group.average_active_tiles, 1.0);
  EXPECT_EQ(group.p50_cycles, longest);
  EXPECT_EQ(group.p95_cycles, longest);
  EXPECT_EQ(group.maximum_cycles, longest);
  EXPECT_EQ(group.first_offset, 0U);
  EXPECT_EQ(group.last_offset, 2 * period - 2);
  ASSERT_EQ(report.samples.size(), 2U);
  EXPECT_EQ(report.samples[1].offset, period - 1);
  EXPECT_EQ(report.samples[1].duration, longest);

  // The half-open ends of both samples, up to the last cycle of the time line.
  const struct {
    std::uint64_t at;
    std::size_t matched;
    std::uint64_t first_offset;
  } cases[] = {{0, 1, 0},
               {period - 2, 1, 0},
               {period - 1, 1, period - 1},
               {2 * period - 3, 1, period - 1},
               {2 * period - 2, 0, 0},
               {top, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at);
    const QueryReport at = mosa_profile::query(profile, {.at_offset = c.at});
    EXPECT_EQ(at.matched_sample_count, c.matched);
    ASSERT_EQ(at.groups.size(), c.matched);
    if (c.matched > 0) {
      EXPECT_EQ(at.groups[0].first_offset, c.first_offset);
    }
  }
}

TEST(Extremes, WholePeriodExchangesNearTheEndOfTheTimeLine) {
  // Both tiles enter at 1000 with a whole-period compute step; their exchanges start 2^32 - 1 and
  // 2^32 - 2 cycles after the origin and last a whole period each.
  auto late = sample(3, ProfileStepKind::Exchange, "", 999, 998);
  late.step.exchange_event_cycles = longest;
  late.step.exchange_activities = {
      {.kind = ProfileExchangeActivityKind::Send, .start_cycle = 0, .end_cycle = longest},
      {.kind = ProfileExchangeActivityKind::Receive,
       .start_cycle = longest - 1,
       .end_cycle = longest}};
  auto early = sample(3, ProfileStepKind::Exchange, "", 998, 997);
  const ProfileReport profile{
      .clock_hz = 1'000'000'000,
      .tiles = {{.physical_tile = 1, .samples = {compute("k", 1000, 999), late}},
                {.physical_tile = 2, .samples = {compute("k", 1000, 999), early}}}};

  const auto boundaries = mosa_profile::exchange_boundaries(profile);
  ASSERT_EQ(boundaries.size(), 1U);
  EXPECT_EQ(boundaries[0].first_entry, period - 2);
  EXPECT_EQ(boundaries[0].last_entry, period - 1);
  EXPECT_EQ(boundaries[0].last_exit, 2 * period - 2);
  EXPECT_EQ(boundaries[0].last_arriving_tile, 1U);
  EXPECT_EQ(boundaries[0].arrival_spread_cycles, 1U);
  EXPECT_EQ(boundaries[0].after_last_arrival_cycles, longest);
  EXPECT_EQ(boundaries[0].scheduled_event_cycles, longest);

  const auto summary = mosa_profile::exchange_activity_summary(profile);
  EXPECT_EQ(summary.described_samples, 1U);
  EXPECT_EQ(summary.estimated_send_work_cycles, longest);
  EXPECT_EQ(summary.estimated_simultaneous_work_cycles, 1U);
  EXPECT_EQ(summary.estimated_idle_work_cycles, 0U);
  EXPECT_EQ(summary.measured_phase_cycles, longest);
  EXPECT_EQ(summary.scheduled_event_cycles, longest);
  EXPECT_EQ(summary.arrival_wait_cycles, 1U);
  EXPECT_EQ(summary.phase_boundary_cycles, 0U);
}

TEST(Extremes, WholePeriodSamplesCalibratePerInvocation) {
  const struct {
    const char* invocations;
    std::uint32_t expected;
  } cases[] = {{"1", longest}, {"2", 0x8000'0000U}, {"4294967295", 1}, {"4294967296", longest}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.invocations);
    const ProfileReport profile{
        .tiles = {
            {.samples = {with_metadata(compute("k", 7, 6), {{"invocations", c.invocations},
                                                            {"uniformInvocations", "true"}})}}}};
    const CalibrationDatabase database = calibrated(profile);
    ASSERT_EQ(database.measurements.size(), 1U);
    EXPECT_EQ(database.measurements[0].maximum_cycles, c.expected);
  }
}

TEST(Extremes, ASampleStartingExactlyAtTheCropKeepsItsLengthAndItsEstimate) {
  // Tile 1 enters 50 cycles after tile 0; tile 0's first sample ends exactly there, and its next
  // sample starts there.
  const ProfileReport profile{
      .clock_hz = 1'000'000'000,
      .tiles = {
          {.physical_tile = 0,
           .samples = {compute("before", 100, 150),
                       with_metadata(compute("at", 150, 190),
                                     {{"usefulCycles", "10"}, {"physicalWorkCycles", "20"}})}},
          {.physical_tile = 1, .samples = {compute("entry", 150, 160)}}}};
  const QueryReport report = mosa_profile::query(profile, {.at_offset = 0, .sample_limit = 5});
  EXPECT_EQ(report.sample_count, 3U);
  EXPECT_EQ(report.matched_sample_count, 2U);
  EXPECT_EQ(report.profile_span_cycles, 40U);
  ASSERT_EQ(report.groups.size(), 2U);
  EXPECT_EQ(report.groups[0].name, "at");
  EXPECT_EQ(report.groups[0].first_offset, 0U);
  EXPECT_EQ(report.groups[0].work_cycles, 40U);
  EXPECT_EQ(report.groups[0].estimated_work_cycles, 40U);
  EXPECT_EQ(report.groups[0].useful_utilization, 0.25);
  EXPECT_EQ(report.groups[1].name, "entry");
  ASSERT_EQ(report.samples.size(), 2U);
  EXPECT_EQ(report.samples[0].offset, 0U);
  EXPECT_EQ(report.samples[0].duration, 40U);
}

TEST(Extremes, OffsetsAtTheTopOfThe64BitRange) {
  const CycleSample any = compute("k", 0, 10);
  // An end beyond 2^64 - 1 saturates there, so the last position of the range is never covered.
  const struct {
    std::uint64_t offset;
    std::uint32_t duration;
    std::uint64_t at;
    bool selected;
  } cases[] = {{top - 5, 10, top - 5, true}, {top - 5, 10, top - 1, true},
               {top - 5, 10, top, false},    {top - 5, 3, top - 3, true},
               {top - 5, 3, top - 2, false}, {0, longest, top, false},
               {top - 5, 10, top - 6, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " + " << c.duration << " at " << c.at);
    EXPECT_EQ(mosa_profile::matches_query({.at_offset = c.at}, 0, any, c.offset, c.duration),
              c.selected);
  }

  for (const std::uint64_t at : {top, top - 1, 2 * period - 2, 2 * period}) {
    SCOPED_TRACE(at);
    const QueryReport report =
        mosa_profile::query(two_whole_periods(), {.at_offset = at, .sample_limit = 3});
    EXPECT_EQ(report.matched_sample_count, 0U);
    EXPECT_TRUE(report.groups.empty());
    EXPECT_TRUE(report.samples.empty());
    EXPECT_EQ(report.at_offset, at);
  }
}

TEST(Extremes, KilobyteMetadataValues) {
  const std::string zeros(4096, '0');
  const std::string value(3000, 'v');

  const auto work = [](const std::string& useful, const std::string& physical) {
    return mosa_profile::useful_work(
        with_metadata({}, {{"usefulCycles", useful}, {"physicalWorkCycles", physical}}));
  };
  const auto padded = work(zeros + "30", "60." + zeros + "e0");
  ASSERT_TRUE(padded.has_value());
  EXPECT_EQ(padded->useful, 30.0);
  EXPECT_EQ(padded->physical, 60.0);
  EXPECT_EQ(work("0", "0." + zeros + "1")->physical, 0.0);
  EXPECT_EQ(work("0", "0." + zeros + "1e4100")->physical, 1e3);
  EXPECT_FALSE(work("0", "1" + zeros).has_value());

  CycleSample tagged = with_metadata(compute("k", 0, 10), {{"block", value}, {"tag", value}});
  const ProfileReport profile{.tiles = {{.samples = {tagged}}}};
  const QueryReport report =
      mosa_profile::query(profile, {.group_by = GroupBy::Metadata,
                                    .metadata = {{.name = "tag", .value = value}},
                                    .metadata_key = "block",
                                    .sample_limit = 1});
  ASSERT_EQ(report.groups.size(), 1U);
  EXPECT_EQ(report.groups[0].name, value);
  ASSERT_EQ(report.samples.size(), 1U);
  EXPECT_EQ(report.samples[0].metadata[1].value, value);

  tagged.step.metadata.push_back({"invocations", zeros + "2"});
  tagged.step.metadata.push_back({"uniformInvocations", "true"});
  const CalibrationDatabase database = calibrated({.tiles = {{.samples = {tagged}}}});
  ASSERT_EQ(database.measurements.size(), 1U);
  EXPECT_EQ(database.measurements[0].key.dimensions.at("tag"), value);
  EXPECT_EQ(database.measurements[0].maximum_cycles, 5U);
}

// A number's side of the double range is decided by the power of ten of its leading digit, also
// when megabytes of digits stand between that digit and the decimal point.
TEST(Extremes, MegabyteDigitRunsKeepTheirSideOfTheDoubleRange) {
  const std::string run(2'000'000, '0');
  const auto useful = [](const std::string& text) -> std::optional<double> {
    const auto estimate = mosa_profile::useful_work(
        with_metadata({}, {{"usefulCycles", text}, {"physicalWorkCycles", "1e19"}}));
    if (!estimate) return std::nullopt;
    return estimate->useful;
  };
  EXPECT_FALSE(useful("0." + run + "1e2000400").has_value());  // 1e399
  EXPECT_EQ(useful("1" + run + "e-2000400"), 0.0);             // 1e-400
  EXPECT_EQ(useful("0." + run + "1e2000000"), 0.1);
  EXPECT_FALSE(useful("1" + run + "e-1999000").has_value());  // 1e1000
}

// Work figures up to 2^64 keep the sums of a group finite; larger ones are not work estimates, so
// they cannot turn the utilisation figures infinite or NaN.
TEST(Extremes, WorkFiguresNearTheTopOfTheDoubleRangeLeaveTheFiguresFinite) {
  const auto estimated = [](std::uint32_t start, const char* useful, const char* physical) {
    return with_metadata(compute("k", start, start + 10),
                         {{"usefulCycles", useful}, {"physicalWorkCycles", physical}});
  };
  const ProfileReport huge{.tiles = {{.samples = {estimated(0, "1e308", "1.7976931348623157e308"),
                                                  estimated(10, "1e308", "1e308")}}}};
  const QueryReport unestimated_report = mosa_profile::query(huge, {});
  const auto& unestimated = unestimated_report.groups.at(0);
  EXPECT_EQ(unestimated.useful_cycles, 0.0);
  EXPECT_FALSE(unestimated.useful_utilization.has_value());
  EXPECT_FALSE(unestimated.work_lane_occupancy.has_value());

  const ProfileReport largest{
      .tiles = {{.samples = {estimated(0, "18446744073709551616", "18446744073709551616"),
                             estimated(10, "18446744073709551616", "18446744073709551616")}},
                {.samples = {estimated(0, "0", "18446744073709551616")}}}};
  const QueryReport report = mosa_profile::query(largest, {});
  const auto& group = report.groups.at(0);
  EXPECT_EQ(group.useful_cycles, 0x1p65);
  EXPECT_EQ(group.useful_utilization, 0x1p65 / 30);
  EXPECT_EQ(group.work_lane_occupancy, 0x1p65 / (3 * 0x1p64));
  EXPECT_EQ(group.device_useful_utilization, 0x1p65 / (20.0 * 2));
}

TEST(Extremes, TensOfThousandsOfActivitiesInOneStep) {
  constexpr std::uint32_t window = 3000;
  std::mt19937_64 rng{0x6163746976697479};
  const auto draw = [&rng](std::uint32_t low, std::uint32_t high) {
    return std::uniform_int_distribution<std::uint32_t>{low, high}(rng);
  };
  std::vector<ProfileExchangeActivity> activities;
  for (int i = 0; i < 40'000; ++i) {
    const std::uint32_t start = draw(0, window + 20);
    activities.push_back({.kind = static_cast<ProfileExchangeActivityKind>(draw(0, 2)),
                          .start_cycle = start,
                          .end_cycle = start + draw(0, 40) - 5});
  }
  // Ten thousand copies of one activity open at once.
  activities.insert(
      activities.end(), 10'000,
      {.kind = ProfileExchangeActivityKind::PartnerBusy, .start_cycle = 100, .end_cycle = 200});

  std::vector<std::uint8_t> active(window, 0);  // bit per kind: send 1, receive 2, busy 4
  for (const auto& activity : activities) {
    const auto bit = static_cast<std::uint8_t>(1U << static_cast<unsigned>(activity.kind));
    for (std::uint32_t c = activity.start_cycle; c < std::min(activity.end_cycle, window); ++c) {
      active[c] |= bit;
    }
  }
  mosa_profile::ExchangeRoleCycles expected;
  for (const std::uint8_t flags : active) {
    expected.send += flags & 1U;
    expected.receive += (flags >> 1U) & 1U;
    expected.simultaneous += (flags & 3U) == 3U ? 1U : 0U;
    expected.partner_busy += (flags >> 2U) & 1U;
    expected.idle += flags == 0 ? 1U : 0U;
  }
  EXPECT_EQ(mosa_profile::exchange_role_cycles(activities, window), expected);

  auto step = sample(0, ProfileStepKind::Exchange, "", 0, window);
  step.step.exchange_event_cycles = window;
  step.step.exchange_activities = activities;
  const auto summary = mosa_profile::exchange_activity_summary({.tiles = {{.samples = {step}}}});
  EXPECT_EQ(summary.send_intervals + summary.receive_intervals + summary.partner_busy_intervals,
            activities.size());
  EXPECT_EQ(summary.estimated_send_work_cycles, expected.send);
  EXPECT_EQ(summary.estimated_idle_work_cycles, expected.idle);
}

TEST(Extremes, ProfilesWithEmptyTilesOnly) {
  for (const std::size_t tiles : {0U, 1U, 5U}) {
    SCOPED_TRACE(tiles);
    ProfileReport profile{.clock_hz = 1'500'000'000};
    for (std::size_t t = 0; t < tiles; ++t) {
      profile.tiles.push_back({.physical_tile = static_cast<std::uint32_t>(t)});
    }
    EXPECT_EQ(mosa_profile::cycle_origin(profile), 0U);
    EXPECT_EQ(mosa_profile::initial_sample_entry_span(profile, 12345), 0U);
    for (const GroupBy group_by : {GroupBy::Kind, GroupBy::Kernel, GroupBy::Operation,
                                   GroupBy::Phase, GroupBy::Tile, GroupBy::Metadata}) {
      const QueryReport report = mosa_profile::query(
          profile, {.group_by = group_by, .at_offset = 0, .shared_clock = true, .sample_limit = 9});
      EXPECT_EQ(report.clock_hz, profile.clock_hz);
      EXPECT_EQ(report.tile_count, tiles);
      EXPECT_EQ(report.sample_count, 0U);
      EXPECT_EQ(report.matched_sample_count, 0U);
      EXPECT_EQ(report.profile_span_cycles, 0U);
      EXPECT_EQ(report.profile_span_ms, 0.0);
      EXPECT_TRUE(report.groups.empty());
      EXPECT_TRUE(report.samples.empty());
    }
    EXPECT_TRUE(mosa_profile::exchange_boundaries(profile).empty());
    EXPECT_EQ(mosa_profile::exchange_activity_summary(profile),
              mosa_profile::ExchangeActivitySummary{});
    const CalibrationDatabase database = calibrated(profile);
    EXPECT_EQ(database.clock_hz, profile.clock_hz);
    EXPECT_TRUE(database.measurements.empty());
  }
}

}  // namespace
