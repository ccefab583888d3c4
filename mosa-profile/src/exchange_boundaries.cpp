#include <algorithm>
#include <tuple>
#include <unordered_map>
#include <utility>

#include <mosa_profile/cycle_arithmetic.hpp>
#include <mosa_profile/exchange_boundaries.hpp>
#include <mosa_profile/time_origin.hpp>

namespace mosa_profile {
namespace {

// (epoch, phase) as (epoch << 32) | phase, so one phase in several epochs stays apart.
using PhaseKey = std::uint64_t;

PhaseKey phase_key(const mosa_package::ProfileStep& step) {
  return std::uint64_t{step.epoch} << 32 | step.phase;
}

// One exchange sample placed on the common time line.
struct Placement {
  std::uint64_t entry = 0;
  std::uint64_t exit = 0;
  std::uint32_t tile = 0;
  std::uint32_t scheduled = 0;
};

Placement place(std::uint32_t origin, std::uint32_t tile, const mosa_package::CycleSample& sample) {
  const std::uint64_t entry = offset_from(origin, sample.start_cycle);
  return {.entry = entry,
          .exit = entry + duration(sample),
          .tile = tile,
          .scheduled = sample.step.exchange_event_cycles};
}

ExchangeBoundary opened_by(const mosa_package::ProfileStep& step, const Placement& placement) {
  return {.epoch = step.epoch,
          .phase = step.phase,
          .first_entry = placement.entry,
          .last_entry = placement.entry,
          .last_exit = placement.exit,
          .last_arriving_tile = placement.tile};
}

void widen(ExchangeBoundary& boundary, const Placement& placement) {
  boundary.first_entry = std::min(boundary.first_entry, placement.entry);
  // Only a strictly later entry takes the place: on a tie the sample seen first keeps it.
  if (placement.entry > boundary.last_entry) {
    boundary.last_entry = placement.entry;
    boundary.last_arriving_tile = placement.tile;
  }
  boundary.last_exit = std::max(boundary.last_exit, placement.exit);
  // A scheduled length of 0 means none was recorded; it neither sets nor lowers the largest.
  if (placement.scheduled != 0) {
    boundary.scheduled_event_cycles =
        std::max<std::uint64_t>(boundary.scheduled_event_cycles.value_or(0), placement.scheduled);
  }
}

// Hashed: the final sort by (last_exit, epoch, phase) fixes the order, so no ordered map is needed
// to keep it, and a lookup stays constant as the epochs of a long profile add up.
std::unordered_map<PhaseKey, ExchangeBoundary> grouped_by_phase(
    const mosa_package::ProfileReport& report) {
  const std::uint32_t origin = cycle_origin(report);
  std::unordered_map<PhaseKey, ExchangeBoundary> groups;
  for (const auto& tile : report.tiles) {
    for (const auto& sample : tile.samples) {
      if (sample.step.kind != mosa_package::ProfileStepKind::Exchange) continue;
      const Placement placement = place(origin, tile.physical_tile, sample);
      widen(groups.try_emplace(phase_key(sample.step), opened_by(sample.step, placement))
                .first->second,
            placement);
    }
  }
  return groups;
}

}  // namespace

std::vector<ExchangeBoundary> exchange_boundaries(const mosa_package::ProfileReport& report) {
  const std::unordered_map<PhaseKey, ExchangeBoundary> groups = grouped_by_phase(report);
  std::vector<ExchangeBoundary> boundaries;
  boundaries.reserve(groups.size());
  for (const auto& [key, group] : groups) {
    ExchangeBoundary& boundary = boundaries.emplace_back(group);
    boundary.arrival_spread_cycles = boundary.last_entry - boundary.first_entry;
    boundary.after_last_arrival_cycles = boundary.last_exit - boundary.last_entry;
  }
  // (epoch, phase) is unique, so the order is total.
  std::sort(boundaries.begin(), boundaries.end(),
            [](const ExchangeBoundary& left, const ExchangeBoundary& right) {
              return std::tie(left.last_exit, left.epoch, left.phase) <
                     std::tie(right.last_exit, right.epoch, right.phase);
            });
  return boundaries;
}

}  // namespace mosa_profile
