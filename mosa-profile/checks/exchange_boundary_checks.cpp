#include <cstdint>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/exchange_activity_summary.hpp>
#include <mosa_profile/exchange_boundaries.hpp>

#include "checks.hpp"

namespace mosa_profile::tests {

void boundaries_separate_arrival_skew_and_preserve_epochs_across_clock_wrap() {
  using mosa_package::ProfileStepKind;
  // Tile 2 enters 20 cycles before its counter wraps, tile 3 five cycles after the wrap; tile 2
  // later runs phase 7 again in epoch 1, without a scheduled length.
  auto early = sample(7, ProfileStepKind::Exchange, "exchange", 4294967276U, 50);
  early.step.exchange_event_cycles = 40;
  auto late = sample(7, ProfileStepKind::Exchange, "exchange", 5, 55);
  late.step.exchange_event_cycles = 40;
  auto repeated = sample(7, ProfileStepKind::Exchange, "exchange", 80, 100);
  repeated.step.epoch = 1;
  const mosa_package::ProfileReport report{
      .clock_hz = 1'000'000'000,
      .tiles = {{.physical_tile = 2, .samples = {early, repeated}},
                {.physical_tile = 3, .samples = {late}}}};

  const std::vector<ExchangeBoundary> boundaries = exchange_boundaries(report);
  ASSERT_EQ(boundaries.size(), 2U);
  ASSERT_EQ(boundaries[0].arrival_spread_cycles, 25U);
  ASSERT_EQ(boundaries[0].after_last_arrival_cycles, 50U);
  ASSERT_EQ(boundaries[0].scheduled_event_cycles, std::optional<std::uint64_t>{40});
  ASSERT_EQ(boundaries[0].last_arriving_tile, 3U);
  ASSERT_EQ(boundaries[1].epoch, 1U);
  ASSERT_EQ(boundaries[1].scheduled_event_cycles, std::optional<std::uint64_t>{});

  const ExchangeActivitySummary summary = exchange_activity_summary(report);
  ASSERT_EQ(summary.arrival_wait_cycles, 25U);
  ASSERT_EQ(summary.measured_phase_cycles, 50U);
  ASSERT_EQ(summary.phase_boundary_cycles, 10U);
}

}  // namespace mosa_profile::tests
