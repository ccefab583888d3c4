#include <gtest/gtest.h>

#include <mosa_package/profile.hpp>

namespace {

using namespace mosa_package;

TEST(ProfileRecords, CopiesAreDeepAndIndependent) {
  const CycleSample original{
      .step = {.phase = 3,
               .operation = "matmul",
               .kind = ProfileStepKind::Exchange,
               .kernel = "gemm",
               .metadata = {{.name = "block", .value = "3"}},
               .exchange_activities = {{.kind = ProfileExchangeActivityKind::Receive,
                                        .start_cycle = 1,
                                        .end_cycle = 4}},
               .exchange_event_cycles = 40},
      .start_cycle = 4294967290U,
      .end_cycle = 10};
  const ProfileReport report{.clock_hz = 1'000'000'000,
                             .tiles = {{.physical_tile = 2, .samples = {original}}}};

  ProfileReport copy = report;
  CycleSample& changed = copy.tiles[0].samples[0];
  changed.step.epoch = 5;
  changed.step.metadata.push_back({.name = "extra", .value = "1"});
  changed.step.operation[0] = 'M';
  changed.step.exchange_activities[0].end_cycle = 9;

  const CycleSample& kept = report.tiles[0].samples[0];
  EXPECT_EQ(kept.step.epoch, 0U);
  EXPECT_EQ(kept.step.metadata.size(), 1U);
  EXPECT_EQ(kept.step.operation, "matmul");
  EXPECT_EQ(kept.step.exchange_activities[0].end_cycle, 4U);
}

TEST(ProfileRecords, EnumerationsHaveTheirRecordedValues) {
  EXPECT_EQ(static_cast<int>(ProfileStepKind::Exchange), 0);
  EXPECT_EQ(static_cast<int>(ProfileStepKind::Compute), 1);
  EXPECT_EQ(static_cast<int>(ProfileStepKind::Synchronization), 2);
  EXPECT_EQ(static_cast<int>(ProfileStepKind::Idle), 3);
  EXPECT_EQ(static_cast<int>(ProfileExchangeActivityKind::Send), 0);
  EXPECT_EQ(static_cast<int>(ProfileExchangeActivityKind::Receive), 1);
  EXPECT_EQ(static_cast<int>(ProfileExchangeActivityKind::PartnerBusy), 2);
}

}  // namespace
