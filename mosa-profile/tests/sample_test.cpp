#include <gtest/gtest.h>

#include <mosa_profile/cycle_arithmetic.hpp>

#include "checks.hpp"

namespace {

using mosa_package::ProfileStepKind;

TEST(SampleBuilder, FillsEveryFieldFromItsArguments) {
  const auto built = mosa_profile::tests::sample(0, ProfileStepKind::Exchange, "", 100, 150);
  EXPECT_EQ(built.step.local_index, 0U);
  EXPECT_EQ(built.step.phase, 0U);
  EXPECT_EQ(built.step.epoch, 0U);
  EXPECT_EQ(built.step.operation, "operation 0");
  EXPECT_EQ(built.step.kind, ProfileStepKind::Exchange);
  EXPECT_EQ(built.step.kernel, "");
  ASSERT_EQ(built.step.metadata.size(), 1U);
  EXPECT_EQ(built.step.metadata[0].name, "block");
  EXPECT_EQ(built.step.metadata[0].value, "0");
  EXPECT_TRUE(built.step.exchange_activities.empty());
  EXPECT_EQ(built.step.exchange_event_cycles, 0U);
  EXPECT_EQ(built.start_cycle, 100U);
  EXPECT_EQ(built.end_cycle, 150U);
  EXPECT_EQ(mosa_profile::duration(built), 50U);
}

TEST(SampleBuilder, AcceptsAWrappedSample) {
  const auto built =
      mosa_profile::tests::sample(7, ProfileStepKind::Compute, "gemm", 4294967290U, 10);
  EXPECT_EQ(built.step.operation, "operation 7");
  EXPECT_EQ(built.step.local_index, 7U);
  EXPECT_EQ(built.step.kernel, "gemm");
  EXPECT_EQ(built.step.metadata[0].value, "7");
  EXPECT_EQ(mosa_profile::duration(built), 16U);
}

TEST(SampleBuilder, BuildsIndependentSamples) {
  auto first = mosa_profile::tests::sample(3, ProfileStepKind::Compute, "add", 1, 2);
  const auto second = mosa_profile::tests::sample(3, ProfileStepKind::Compute, "add", 1, 2);
  first.step.metadata[0].value = "changed";
  first.step.kernel += "x";
  EXPECT_EQ(second.step.metadata[0].value, "3");
  EXPECT_EQ(second.step.kernel, "add");
}

}  // namespace
