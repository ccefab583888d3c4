#include <algorithm>
#include <ostream>
#include <vector>

#include <mosa_profile/exchange_roles.hpp>

#include "role_sweep.hpp"
#include "saturating.hpp"

namespace mosa_profile {
namespace detail {
namespace {

RoleDeltas opening_deltas(mosa_package::ProfileExchangeActivityKind kind) {
  switch (kind) {
    case mosa_package::ProfileExchangeActivityKind::Send:
      return {.send = 1};
    case mosa_package::ProfileExchangeActivityKind::Receive:
      return {.receive = 1};
    case mosa_package::ProfileExchangeActivityKind::PartnerBusy:
      return {.partner_busy = 1};
  }
  return {};
}

RoleDeltas negated(RoleDeltas deltas) {
  return {.send = -deltas.send, .receive = -deltas.receive, .partner_busy = -deltas.partner_busy};
}

// One opening and one closing event per activity that keeps cycles inside [0, window).
void collect_clipped_events(std::span<const mosa_package::ProfileExchangeActivity> activities,
                            std::uint64_t window, std::vector<RoleEvent>& events) {
  events.clear();
  for (const auto& activity : activities) {
    const std::uint64_t start = std::min<std::uint64_t>(activity.start_cycle, window);
    const std::uint64_t end = std::min<std::uint64_t>(activity.end_cycle, window);
    if (end <= start) continue;
    const RoleDeltas deltas = opening_deltas(activity.kind);
    events.push_back({.time = start, .deltas = deltas});
    events.push_back({.time = end, .deltas = negated(deltas)});
  }
}

// Credits `gap` cycles to every role that the open depths make active.
void credit(ExchangeRoleCycles& totals, const RoleDeltas& depths, std::uint64_t gap) {
  if (depths.send > 0) totals.send += gap;
  if (depths.receive > 0) totals.receive += gap;
  if (depths.send > 0 && depths.receive > 0) totals.simultaneous += gap;
  if (depths.partner_busy > 0) totals.partner_busy += gap;
  if (depths.send == 0 && depths.receive == 0 && depths.partner_busy == 0) totals.idle += gap;
}

}  // namespace

ExchangeRoleCycles swept_role_cycles(
    std::span<const mosa_package::ProfileExchangeActivity> activities, std::uint64_t event_cycles,
    std::vector<RoleEvent>& events) {
  collect_clipped_events(activities, event_cycles, events);
  // Events of equal time are applied together, so their order among themselves does not matter.
  std::sort(events.begin(), events.end(),
            [](const RoleEvent& left, const RoleEvent& right) { return left.time < right.time; });

  ExchangeRoleCycles totals;
  RoleDeltas depths;
  std::uint64_t cursor = 0;
  for (auto event = events.begin(); event != events.end();) {
    const std::uint64_t time = event->time;
    credit(totals, depths, floored_difference(time, cursor));
    for (; event != events.end() && event->time == time; ++event) {
      depths.send += event->deltas.send;
      depths.receive += event->deltas.receive;
      depths.partner_busy += event->deltas.partner_busy;
    }
    cursor = time;
  }
  totals.idle += floored_difference(event_cycles, cursor);
  return totals;
}

}  // namespace detail

std::ostream& operator<<(std::ostream& out, const ExchangeRoleCycles& roles) {
  return out << "ExchangeRoleCycles { send: " << roles.send << ", receive: " << roles.receive
             << ", simultaneous: " << roles.simultaneous << ", partner_busy: " << roles.partner_busy
             << ", idle: " << roles.idle << " }";
}

ExchangeRoleCycles exchange_role_cycles(
    std::span<const mosa_package::ProfileExchangeActivity> activities, std::uint64_t event_cycles) {
  std::vector<detail::RoleEvent> events;
  events.reserve(2 * activities.size());
  return detail::swept_role_cycles(activities, event_cycles, events);
}

}  // namespace mosa_profile
