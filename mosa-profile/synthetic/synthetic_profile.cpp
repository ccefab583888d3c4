#include "synthetic_profile.hpp"

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace mosa_synthetic {
namespace {

using mosa_package::ProfileExchangeActivity;
using mosa_package::ProfileExchangeActivityKind;
using mosa_package::ProfileMetadata;
using mosa_package::ProfileStep;
using mosa_package::ProfileStepKind;

constexpr std::uint32_t plan_length = 48;
constexpr std::uint32_t kernel_pool = 40;
constexpr std::uint32_t phases_per_plan = 12;

std::uint32_t draw(std::mt19937_64& rng, std::uint32_t low, std::uint32_t high) {
  return std::uniform_int_distribution<std::uint32_t>{low, high}(rng);
}

// A step of the plan with the length it nominally takes; tiles vary around it.
struct PlannedStep {
  ProfileStep step;
  std::uint32_t nominal_cycles = 0;
};

std::vector<ProfileExchangeActivity> exchange_activities(std::mt19937_64& rng,
                                                         std::uint32_t window) {
  std::vector<ProfileExchangeActivity> activities(draw(rng, 0, 8));
  for (auto& activity : activities) {
    activity.kind = static_cast<ProfileExchangeActivityKind>(draw(rng, 0, 2));
    activity.fanout = static_cast<std::uint16_t>(draw(rng, 1, 4));
    activity.paired = draw(rng, 0, 1) == 1;
    activity.start_cycle = draw(rng, 0, window - 1);
    activity.end_cycle = draw(rng, activity.start_cycle + 1, window);
  }
  return activities;
}

std::vector<ProfileMetadata> compute_metadata(std::mt19937_64& rng, std::uint32_t kernel,
                                              std::uint32_t nominal_cycles) {
  std::vector<ProfileMetadata> metadata{
      {.name = "block", .value = std::to_string(draw(rng, 0, 7))},
      {.name = "kernelSpec", .value = "shape" + std::to_string(kernel % 6)}};
  if (draw(rng, 0, 3) == 0) {
    metadata.push_back({.name = "invocations", .value = std::to_string(draw(rng, 2, 4))});
    metadata.push_back({.name = "uniformInvocations", .value = "true"});
  }
  if (draw(rng, 0, 2) == 0) {
    const std::uint32_t physical = nominal_cycles - draw(rng, 0, nominal_cycles / 4);
    metadata.push_back(
        {.name = "usefulCycles", .value = std::to_string(physical - draw(rng, 0, physical / 2))});
    metadata.push_back({.name = "physicalWorkCycles", .value = std::to_string(physical)});
  }
  return metadata;
}

std::vector<PlannedStep> step_plan(std::mt19937_64& rng) {
  std::vector<PlannedStep> plan(plan_length);
  std::uint32_t index = 0;
  for (auto& planned : plan) {
    ProfileStep& step = planned.step;
    step.local_index = index;
    step.phase = index * phases_per_plan / plan_length;
    switch (index % 4) {
      case 0: {
        step.kind = ProfileStepKind::Exchange;
        step.operation = "exchange" + std::to_string(step.phase);
        step.exchange_event_cycles = draw(rng, 0, 9) == 0 ? 0 : draw(rng, 300, 3000);
        const std::uint32_t window =
            step.exchange_event_cycles == 0 ? 1000 : step.exchange_event_cycles;
        step.exchange_activities = exchange_activities(rng, window);
        planned.nominal_cycles = window + draw(rng, 0, 400);
        break;
      }
      case 1:
      case 2: {
        const std::uint32_t kernel = draw(rng, 0, kernel_pool - 1);
        step.kind = ProfileStepKind::Compute;
        step.kernel = "kernel" + std::to_string(kernel);
        step.operation = "op" + std::to_string(kernel % 10);
        planned.nominal_cycles = draw(rng, 200, 4000);
        step.metadata = compute_metadata(rng, kernel, planned.nominal_cycles);
        break;
      }
      default:
        step.kind = draw(rng, 0, 1) == 0 ? ProfileStepKind::Synchronization : ProfileStepKind::Idle;
        step.operation = step.kind == ProfileStepKind::Idle ? "idle" : "sync";
        planned.nominal_cycles = draw(rng, 20, 600);
        break;
    }
    ++index;
  }
  return plan;
}

// Counter readings (start, end) of every step of every tile, tile-major. All tiles run step i
// before any runs step i + 1, so a synchronization can end for all of them at once: when the last
// tile has arrived. Times count from the earliest possible entry; a counter reads its time plus
// `first_start`, modulo 2^32, so every counter wraps.
std::vector<std::pair<std::uint32_t, std::uint32_t>> step_readings(
    const SyntheticProfileOptions& options, const std::vector<PlannedStep>& plan,
    std::mt19937_64& rng) {
  const std::uint32_t first_start = 0U - options.cycles_before_wrap;
  const std::size_t steps = options.samples_per_tile;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> readings(options.tiles * steps);
  std::vector<std::uint64_t> times(options.tiles);
  for (auto& time : times) time = draw(rng, 0, 3000);
  for (std::size_t i = 0; i < steps; ++i) {
    const PlannedStep& planned = plan[i % plan.size()];
    const bool barrier = planned.step.kind == ProfileStepKind::Synchronization;
    const std::uint64_t release =
        barrier ? *std::max_element(times.begin(), times.end()) + planned.nominal_cycles : 0;
    for (std::size_t tile = 0; tile < options.tiles; ++tile) {
      const std::uint64_t end = barrier ? release + draw(rng, 0, 3)
                                        : times[tile] + planned.nominal_cycles +
                                              draw(rng, 0, planned.nominal_cycles / 8 + 1);
      readings[tile * steps + i] = {first_start + static_cast<std::uint32_t>(times[tile]),
                                    first_start + static_cast<std::uint32_t>(end)};
      times[tile] = end + draw(rng, 0, 3);
    }
  }
  return readings;
}

}  // namespace

mosa_package::ProfileReport synthetic_profile(const SyntheticProfileOptions& options) {
  std::mt19937_64 plan_rng{options.seed};
  const std::vector<PlannedStep> plan = step_plan(plan_rng);
  std::mt19937_64 rng{options.seed ^ (0x9e3779b97f4a7c15U * (options.run + 1))};
  const auto readings = step_readings(options, plan, rng);

  // Built tile by tile, as a decoder would, so each tile's samples lie together in memory.
  mosa_package::ProfileReport report{.clock_hz = options.clock_hz, .tiles = {}};
  report.tiles.reserve(options.tiles);
  for (std::size_t tile = 0; tile < options.tiles; ++tile) {
    mosa_package::TileProfile& profile = report.tiles.emplace_back();
    profile.physical_tile = static_cast<std::uint32_t>(tile);
    profile.samples.reserve(options.samples_per_tile);
    for (std::size_t i = 0; i < options.samples_per_tile; ++i) {
      mosa_package::CycleSample& sample = profile.samples.emplace_back();
      sample.step = plan[i % plan.size()].step;
      sample.step.epoch = static_cast<std::uint32_t>(i / plan.size());
      std::tie(sample.start_cycle, sample.end_cycle) =
          readings[tile * options.samples_per_tile + i];
    }
  }
  return report;
}

std::size_t sample_count(const mosa_package::ProfileReport& report) {
  std::size_t count = 0;
  for (const auto& tile : report.tiles) count += tile.samples.size();
  return count;
}

}  // namespace mosa_synthetic
