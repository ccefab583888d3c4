// Every entry of the library run from several threads at once on one shared, const profile, each
// result compared with a run on one thread. Under the tsan preset ThreadSanitizer watches the
// runs; elsewhere the test still shows that no call changes what another one reads.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <latch>
#include <span>
#include <thread>
#include <tuple>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/mosa_profile.hpp>

#include "synthetic_profile.hpp"

namespace {

using mosa_package::ProfileReport;
using mosa_profile::GroupBy;
using mosa_profile::GroupSummary;
using mosa_profile::Query;
using mosa_profile::QueryReport;
using mosa_profile::SampleRecord;
using mosa_profile::SortBy;

// What every entry answers for one profile (the calibration pools it with a second run).
struct Answers {
  std::uint32_t origin = 0;
  std::uint64_t entry_span = 0;
  std::vector<QueryReport> queries;
  std::vector<mosa_profile::ExchangeBoundary> boundaries;
  mosa_profile::ExchangeActivitySummary summary;
  std::vector<mosa_profile::ExchangeRoleCycles> roles;  // one per exchange step of the first tile
  mosa_profile::CalibrationResult calibration;
};

std::vector<Query> queries() {
  return {
      {},
      {.group_by = GroupBy::Kind, .sort_by = SortBy::Samples, .sample_limit = 40},
      {.group_by = GroupBy::Phase, .sort_by = SortBy::Name, .limit = 5, .sample_limit = 3},
      {.group_by = GroupBy::Metadata,
       .kind = mosa_profile::StepKind::Compute,
       .metadata = {{.name = "kernelSpec"}},
       .metadata_key = "block"},
      {.group_by = GroupBy::Tile, .at_offset = 50'000, .shared_clock = true, .sample_limit = 10},
      {.group_by = GroupBy::Operation, .operation_contains = "op", .tiles = {1, 3, 5}},
  };
}

Answers answer(std::span<const ProfileReport> runs) {
  const ProfileReport& profile = runs.front();
  Answers answers;
  answers.origin = mosa_profile::cycle_origin(profile);
  answers.entry_span = mosa_profile::initial_sample_entry_span(profile, answers.origin);
  for (const Query& query : queries())
    answers.queries.push_back(mosa_profile::query(profile, query));
  answers.boundaries = mosa_profile::exchange_boundaries(profile);
  answers.summary = mosa_profile::exchange_activity_summary(profile);
  for (const auto& sample : profile.tiles.front().samples) {
    if (sample.step.exchange_activities.empty()) continue;
    answers.roles.push_back(mosa_profile::exchange_role_cycles(sample.step.exchange_activities,
                                                               sample.step.exchange_event_cycles));
  }
  answers.calibration = mosa_profile::calibrate_profiles(runs, "target", "build");
  return answers;
}

bool same(const SampleRecord& a, const SampleRecord& b) {
  const auto entries_equal = [](const auto& x, const auto& y) {
    return x.name == y.name && x.value == y.value;
  };
  return std::tie(a.physical_tile, a.offset, a.duration, a.phase, a.epoch, a.kind, a.operation,
                  a.kernel) == std::tie(b.physical_tile, b.offset, b.duration, b.phase, b.epoch,
                                        b.kind, b.operation, b.kernel) &&
         std::equal(a.metadata.begin(), a.metadata.end(), b.metadata.begin(), b.metadata.end(),
                    entries_equal);
}

bool same(const GroupSummary& a, const GroupSummary& b) {
  const auto fields = [](const GroupSummary& g) {
    return std::tie(g.name, g.dimensions, g.sample_count, g.tile_count, g.phase_count,
                    g.phase_cycles, g.phase_ms, g.work_cycles, g.average_active_tiles,
                    g.useful_cycles, g.estimated_work_cycles, g.useful_utilization,
                    g.work_lane_occupancy, g.device_useful_utilization, g.mean_cycles, g.p50_cycles,
                    g.p95_cycles, g.maximum_cycles, g.first_offset, g.last_offset);
  };
  return fields(a) == fields(b);
}

bool same(const QueryReport& a, const QueryReport& b) {
  const auto same_group = [](const GroupSummary& x, const GroupSummary& y) { return same(x, y); };
  const auto same_sample = [](const SampleRecord& x, const SampleRecord& y) { return same(x, y); };
  return std::tie(a.clock_hz, a.tile_count, a.sample_count, a.matched_sample_count,
                  a.profile_span_cycles, a.profile_span_ms, a.at_offset) ==
             std::tie(b.clock_hz, b.tile_count, b.sample_count, b.matched_sample_count,
                      b.profile_span_cycles, b.profile_span_ms, b.at_offset) &&
         std::equal(a.groups.begin(), a.groups.end(), b.groups.begin(), b.groups.end(),
                    same_group) &&
         std::equal(a.samples.begin(), a.samples.end(), b.samples.begin(), b.samples.end(),
                    same_sample);
}

void expect_same(const Answers& actual, const Answers& expected) {
  EXPECT_EQ(actual.origin, expected.origin);
  EXPECT_EQ(actual.entry_span, expected.entry_span);
  ASSERT_EQ(actual.queries.size(), expected.queries.size());
  for (std::size_t i = 0; i < actual.queries.size(); ++i) {
    EXPECT_TRUE(same(actual.queries[i], expected.queries[i])) << "query " << i;
  }
  EXPECT_EQ(actual.boundaries, expected.boundaries);
  EXPECT_EQ(actual.summary, expected.summary);
  EXPECT_EQ(actual.roles, expected.roles);
  using mosa_profile::CalibrationDatabase;
  ASSERT_TRUE(std::holds_alternative<CalibrationDatabase>(actual.calibration));
  EXPECT_TRUE(std::get<CalibrationDatabase>(actual.calibration) ==
              std::get<CalibrationDatabase>(expected.calibration));
}

TEST(Concurrency, EveryEntryAnswersAlikeFromSeveralThreadsOnOneSharedProfile) {
  const std::vector<ProfileReport> runs{
      mosa_synthetic::synthetic_profile({.tiles = 24, .samples_per_tile = 240, .run = 0}),
      mosa_synthetic::synthetic_profile({.tiles = 24, .samples_per_tile = 240, .run = 1})};
  const Answers expected = answer(runs);
  // The profile is rich enough for every entry to have something to answer.
  ASSERT_FALSE(expected.boundaries.empty());
  ASSERT_FALSE(expected.roles.empty());
  ASSERT_GT(expected.summary.described_samples, 0U);
  ASSERT_TRUE(std::holds_alternative<mosa_profile::CalibrationDatabase>(expected.calibration));

  constexpr std::size_t threads = 4;
  constexpr int rounds = 2;
  std::vector<std::vector<Answers>> answers(threads);
  std::latch start(threads);
  {
    std::vector<std::jthread> workers;
    for (std::size_t t = 0; t < threads; ++t) {
      workers.emplace_back([&runs, &start, &mine = answers[t]] {
        start.arrive_and_wait();
        for (int round = 0; round < rounds; ++round) mine.push_back(answer(runs));
      });
    }
  }
  for (std::size_t t = 0; t < threads; ++t) {
    ASSERT_EQ(answers[t].size(), static_cast<std::size_t>(rounds));
    for (const Answers& actual : answers[t]) {
      SCOPED_TRACE(testing::Message() << "thread " << t);
      expect_same(actual, expected);
    }
  }
}

}  // namespace
