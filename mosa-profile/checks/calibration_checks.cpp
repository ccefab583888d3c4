#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/calibration.hpp>

#include "checks.hpp"

namespace mosa_profile::tests {

using mosa_package::ProfileReport;
using mosa_package::ProfileStepKind;

void calibration_normalizes_merged_invocations_and_excludes_graph_metadata() {
  auto first = sample(0, ProfileStepKind::Compute, "gemm-f16", 10, 50);
  first.step.metadata.push_back({.name = "kernelSpec", .value = "Gemm"});
  first.step.metadata.push_back({.name = "invocations", .value = "2"});
  first.step.metadata.push_back({.name = "uniformInvocations", .value = "true"});
  first.step.metadata.push_back({.name = "reason", .value = "OperatorKernel"});
  auto second = first;
  second.start_cycle = 100;
  second.end_cycle = 160;
  const std::vector<ProfileReport> reports{
      {.clock_hz = 1'500'000'000, .tiles = {{.physical_tile = 0, .samples = {first, second}}}}};

  const CalibrationResult result = calibrate_profiles(reports, "mosa7", "test-build");

  ASSERT_TRUE(std::holds_alternative<CalibrationDatabase>(result));
  const auto& measurements = std::get<CalibrationDatabase>(result).measurements;
  ASSERT_EQ(measurements.size(), 1U);
  ASSERT_EQ(measurements[0].samples, 2U);
  ASSERT_EQ(measurements[0].minimum_cycles, 20U);
  ASSERT_EQ(measurements[0].maximum_cycles, 30U);
  ASSERT_FALSE(measurements[0].key.dimensions.contains("reason"));
  ASSERT_FALSE(measurements[0].key.dimensions.contains("invocations"));
}

void calibration_excludes_merged_calls_without_uniform_geometry() {
  auto unproven = sample(0, ProfileStepKind::Compute, "reduction", 0, 1000);
  unproven.step.metadata.push_back({.name = "invocations", .value = "2"});
  auto mixed = unproven;
  mixed.step.metadata.push_back({.name = "uniformInvocations", .value = "false"});
  const auto single = sample(1, ProfileStepKind::Compute, "reduction", 1000, 1600);
  const std::vector<ProfileReport> reports{
      {.clock_hz = 1'500'000'000,
       .tiles = {{.physical_tile = 0, .samples = {unproven, mixed, single}}}}};

  const CalibrationResult result = calibrate_profiles(reports, "mosa7", "test");

  ASSERT_TRUE(std::holds_alternative<CalibrationDatabase>(result));
  const auto& measurements = std::get<CalibrationDatabase>(result).measurements;
  ASSERT_EQ(measurements.size(), 1U);
  ASSERT_EQ(measurements[0].samples, 1U);
  ASSERT_EQ(measurements[0].minimum_cycles, 600U);
}

}  // namespace mosa_profile::tests
