#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/exchange_activity_summary.hpp>
#include <mosa_profile/exchange_boundaries.hpp>

#include "checks.hpp"
#include "exchange_profiles.hpp"

namespace mosa_profile {

// Failure reports show every field of a summary.
void PrintTo(const ExchangeActivitySummary& s, std::ostream* out) {
  *out << "{samples " << s.exchange_samples << ", described " << s.described_samples
       << ", intervals " << s.send_intervals << "/" << s.receive_intervals << "/"
       << s.partner_busy_intervals << ", estimated " << s.estimated_send_work_cycles << "/"
       << s.estimated_receive_work_cycles << "/" << s.estimated_simultaneous_work_cycles << "/"
       << s.estimated_partner_busy_work_cycles << "/" << s.estimated_idle_work_cycles
       << ", measured " << s.measured_phase_cycles << ", scheduled " << s.scheduled_event_cycles
       << ", arrival wait " << s.arrival_wait_cycles << ", phase boundary "
       << s.phase_boundary_cycles << "}";
}

}  // namespace mosa_profile

namespace {

using mosa_package::ProfileExchangeActivity;
using mosa_package::ProfileExchangeActivityKind;
using mosa_package::ProfileReport;
using mosa_package::ProfileStepKind;
using mosa_profile::exchange_activity_summary;
using mosa_profile::ExchangeActivitySummary;
using mosa_profile::test_profiles::exchange;

using mosa_profile::test_profiles::activity;
using mosa_profile::test_profiles::PartnerBusy;
using mosa_profile::test_profiles::Receive;
using mosa_profile::test_profiles::Send;

ProfileReport one_tile(std::vector<mosa_package::CycleSample> samples) {
  return {.clock_hz = 1'000'000'000,
          .tiles = {{.physical_tile = 0, .samples = std::move(samples)}}};
}

TEST(ExchangeActivitySummary, AllZeroWithoutExchangeSamples) {
  const auto compute = mosa_profile::tests::sample(1, ProfileStepKind::Compute, "add", 10, 20);
  EXPECT_EQ(exchange_activity_summary({}), ExchangeActivitySummary{});
  EXPECT_EQ(exchange_activity_summary(one_tile({compute, compute})), ExchangeActivitySummary{});
}

TEST(ExchangeActivitySummary, DescribesOnlyStepsWithAWindowAndActivities) {
  auto unscheduled = exchange(0, 1, 100, 150);
  unscheduled.step.exchange_activities = {activity(Send, 0, 10), activity(Receive, 2, 5)};
  const auto silent = exchange(0, 1, 100, 150, 40);
  auto clipped = exchange(0, 1, 100, 110, 10);
  clipped.step.exchange_activities = {activity(Send, 5, 5), activity(Receive, 3, 9)};
  auto mixed = exchange(0, 1, 100, 130, 10);
  mixed.step.exchange_activities = {activity(Send, 2, 6),        activity(Receive, 4, 8),
                                    activity(PartnerBusy, 7, 9), activity(PartnerBusy, 12, 20),
                                    activity(Send, 6, 2),        activity(Receive, 10, 11)};
  const struct {
    const char* label;
    mosa_package::CycleSample sample;
    ExchangeActivitySummary expected;
  } cases[] = {
      {"activities without a window", unscheduled, {.exchange_samples = 1}},
      {"a window without activities: timing only",
       silent,
       {.exchange_samples = 1,
        .measured_phase_cycles = 50,
        .scheduled_event_cycles = 40,
        .phase_boundary_cycles = 10}},
      {"empty and partly clipped activities",
       clipped,
       {.exchange_samples = 1,
        .described_samples = 1,
        .send_intervals = 1,
        .receive_intervals = 1,
        .estimated_receive_work_cycles = 6,
        .estimated_idle_work_cycles = 4,
        .measured_phase_cycles = 10,
        .scheduled_event_cycles = 10}},
      {"activities outside the window are counted but add no cycles",
       mixed,
       {.exchange_samples = 1,
        .described_samples = 1,
        .send_intervals = 2,
        .receive_intervals = 2,
        .partner_busy_intervals = 2,
        .estimated_send_work_cycles = 4,
        .estimated_receive_work_cycles = 4,
        .estimated_simultaneous_work_cycles = 2,
        .estimated_partner_busy_work_cycles = 2,
        .estimated_idle_work_cycles = 3,
        .measured_phase_cycles = 30,
        .scheduled_event_cycles = 10,
        .phase_boundary_cycles = 20}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(exchange_activity_summary(one_tile({c.sample})), c.expected);
  }
}

TEST(ExchangeActivitySummary, FloorsEachOverrunOnItsOwnAndSkipsUnscheduledBoundaries) {
  // Phase 1 overruns its schedule of 40 by 10 after a 5-cycle arrival skew, phase 2 finishes 10
  // inside it, and phase 3 has no schedule despite a skew of 1000.
  const ProfileReport report{
      .clock_hz = 1'000'000'000,
      .tiles = {{.physical_tile = 0,
                 .samples = {exchange(0, 1, 1000, 1050, 40), exchange(0, 2, 1100, 1130, 40),
                             exchange(0, 3, 1200, 1210)}},
                {.physical_tile = 1,
                 .samples = {exchange(0, 1, 1005, 1055), exchange(0, 3, 2200, 2210)}}}};
  const ExchangeActivitySummary expected{.exchange_samples = 5,
                                         .measured_phase_cycles = 80,
                                         .scheduled_event_cycles = 80,
                                         .arrival_wait_cycles = 5,
                                         .phase_boundary_cycles = 10};
  EXPECT_EQ(exchange_activity_summary(report), expected);
}

// The summary written out from its definition, with the role figures counted cycle by cycle.
bool active_at(const std::vector<ProfileExchangeActivity>& activities,
               ProfileExchangeActivityKind kind, std::uint64_t cycle) {
  for (const auto& a : activities) {
    if (a.kind == kind && a.start_cycle <= cycle && cycle < a.end_cycle) return true;
  }
  return false;
}

void add_described(ExchangeActivitySummary& expected, const mosa_package::ProfileStep& step) {
  ++expected.described_samples;
  for (const auto& a : step.exchange_activities) {
    if (a.kind == Send) ++expected.send_intervals;
    if (a.kind == Receive) ++expected.receive_intervals;
    if (a.kind == PartnerBusy) ++expected.partner_busy_intervals;
  }
  for (std::uint64_t cycle = 0; cycle < step.exchange_event_cycles; ++cycle) {
    const bool send = active_at(step.exchange_activities, Send, cycle);
    const bool receive = active_at(step.exchange_activities, Receive, cycle);
    const bool busy = active_at(step.exchange_activities, PartnerBusy, cycle);
    expected.estimated_send_work_cycles += send ? 1 : 0;
    expected.estimated_receive_work_cycles += receive ? 1 : 0;
    expected.estimated_simultaneous_work_cycles += send && receive ? 1 : 0;
    expected.estimated_partner_busy_work_cycles += busy ? 1 : 0;
    expected.estimated_idle_work_cycles += !send && !receive && !busy ? 1 : 0;
  }
}

ExchangeActivitySummary oracle_summary(const ProfileReport& report) {
  ExchangeActivitySummary expected;
  for (const auto& tile : report.tiles) {
    for (const auto& s : tile.samples) {
      if (s.step.kind != ProfileStepKind::Exchange) continue;
      ++expected.exchange_samples;
      if (s.step.exchange_event_cycles != 0 && !s.step.exchange_activities.empty()) {
        add_described(expected, s.step);
      }
    }
  }
  for (const auto& b : mosa_profile::exchange_boundaries(report)) {
    if (!b.scheduled_event_cycles) continue;
    const std::uint64_t scheduled = *b.scheduled_event_cycles;
    expected.measured_phase_cycles += b.after_last_arrival_cycles;
    expected.scheduled_event_cycles += scheduled;
    expected.arrival_wait_cycles += b.arrival_spread_cycles;
    if (b.after_last_arrival_cycles > scheduled) {
      expected.phase_boundary_cycles += b.after_last_arrival_cycles - scheduled;
    }
  }
  return expected;
}

TEST(ExchangeActivitySummary, MatchesTheDefinitionOnRandomProfiles) {
  std::mt19937_64 rng{0x73756D6D61727921};
  for (int n = 0; n < 2000; ++n) {
    SCOPED_TRACE(testing::Message() << "case " << n);
    const ProfileReport report = mosa_profile::test_profiles::random_profile(rng);
    const ExchangeActivitySummary summary = exchange_activity_summary(report);
    ASSERT_EQ(summary, oracle_summary(report));
    EXPECT_GE(summary.phase_boundary_cycles + summary.scheduled_event_cycles,
              summary.measured_phase_cycles);
  }
}

}  // namespace
