#include <mosa_profile/exchange_activity_summary.hpp>
#include <mosa_profile/exchange_boundaries.hpp>
#include <mosa_profile/exchange_roles.hpp>
#include <mosa_profile/time_origin.hpp>

#include "boundary_grouping.hpp"
#include "role_sweep.hpp"
#include "saturating.hpp"

namespace mosa_profile {
namespace {

bool describes_activities(const mosa_package::ProfileStep& step) {
  return step.exchange_event_cycles != 0 && !step.exchange_activities.empty();
}

// Every activity counts by kind, also one the role accounting clips away.
void count_intervals(ExchangeActivitySummary& summary, const mosa_package::ProfileStep& step) {
  for (const auto& activity : step.exchange_activities) {
    switch (activity.kind) {
      case mosa_package::ProfileExchangeActivityKind::Send:
        ++summary.send_intervals;
        break;
      case mosa_package::ProfileExchangeActivityKind::Receive:
        ++summary.receive_intervals;
        break;
      case mosa_package::ProfileExchangeActivityKind::PartnerBusy:
        ++summary.partner_busy_intervals;
        break;
    }
  }
}

void add_roles(ExchangeActivitySummary& summary, const ExchangeRoleCycles& roles) {
  summary.estimated_send_work_cycles += roles.send;
  summary.estimated_receive_work_cycles += roles.receive;
  summary.estimated_simultaneous_work_cycles += roles.simultaneous;
  summary.estimated_partner_busy_work_cycles += roles.partner_busy;
  summary.estimated_idle_work_cycles += roles.idle;
}

// `events` is the role accounting's working space, shared by all samples of one call.
void add_sample(ExchangeActivitySummary& summary, const mosa_package::CycleSample& sample,
                std::vector<detail::RoleEvent>& events) {
  ++summary.exchange_samples;
  if (!describes_activities(sample.step)) return;
  ++summary.described_samples;
  count_intervals(summary, sample.step);
  add_roles(summary, detail::swept_role_cycles(sample.step.exchange_activities,
                                               sample.step.exchange_event_cycles, events));
}

void add_boundary(ExchangeActivitySummary& summary, const ExchangeBoundary& boundary) {
  if (!boundary.scheduled_event_cycles) return;
  const std::uint64_t scheduled = *boundary.scheduled_event_cycles;
  summary.measured_phase_cycles += boundary.after_last_arrival_cycles;
  summary.scheduled_event_cycles += scheduled;
  summary.arrival_wait_cycles += boundary.arrival_spread_cycles;
  // Floored per boundary: an exchange within its schedule adds 0, not a negative amount.
  summary.phase_boundary_cycles +=
      detail::floored_difference(boundary.after_last_arrival_cycles, scheduled);
}

}  // namespace

ExchangeActivitySummary exchange_activity_summary(const mosa_package::ProfileReport& report) {
  ExchangeActivitySummary summary;
  std::vector<detail::RoleEvent> events;
  // The boundaries are grouped in the same pass over the samples.
  detail::BoundaryGrouping grouping(cycle_origin(report));
  for (const auto& tile : report.tiles) {
    for (const auto& sample : tile.samples) {
      if (sample.step.kind == mosa_package::ProfileStepKind::Exchange) {
        add_sample(summary, sample, events);
        grouping.add(tile.physical_tile, sample);
      }
    }
  }
  for (const ExchangeBoundary& boundary : grouping.boundaries()) add_boundary(summary, boundary);
  return summary;
}

}  // namespace mosa_profile
