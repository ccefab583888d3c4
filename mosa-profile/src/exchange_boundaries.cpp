#include <algorithm>
#include <tuple>

#include <mosa_profile/cycle_arithmetic.hpp>
#include <mosa_profile/exchange_boundaries.hpp>
#include <mosa_profile/time_origin.hpp>

#include "boundary_grouping.hpp"

namespace mosa_profile {
namespace {

std::uint64_t phase_key(const mosa_package::ProfileStep& step) {
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

}  // namespace

namespace detail {

void BoundaryGrouping::add(std::uint32_t tile, const mosa_package::CycleSample& sample) {
  const Placement placement = place(origin_, tile, sample);
  widen(
      groups_.try_emplace(phase_key(sample.step), opened_by(sample.step, placement)).first->second,
      placement);
}

std::vector<ExchangeBoundary> BoundaryGrouping::boundaries() const {
  std::vector<ExchangeBoundary> boundaries;
  boundaries.reserve(groups_.size());
  for (const auto& [key, group] : groups_) {
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

}  // namespace detail

std::vector<ExchangeBoundary> exchange_boundaries(const mosa_package::ProfileReport& report) {
  detail::BoundaryGrouping grouping(cycle_origin(report));
  for (const auto& tile : report.tiles) {
    for (const auto& sample : tile.samples) {
      if (sample.step.kind == mosa_package::ProfileStepKind::Exchange) {
        grouping.add(tile.physical_tile, sample);
      }
    }
  }
  return grouping.boundaries();
}

}  // namespace mosa_profile
