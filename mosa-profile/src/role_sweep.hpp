#pragma once

// The sweep behind exchange_role_cycles, with its event list supplied by the caller, so that an
// analysis accounting many exchange steps reuses one list instead of allocating one per step.

#include <cstdint>
#include <span>
#include <vector>

#include <mosa_profile/exchange_roles.hpp>

namespace mosa_profile::detail {

// Changes of the number of open activities per kind at one position of the window.
struct RoleDeltas {
  std::int32_t send = 0;
  std::int32_t receive = 0;
  std::int32_t partner_busy = 0;
};

struct RoleEvent {
  std::uint64_t time = 0;
  RoleDeltas deltas;
};

// exchange_role_cycles(activities, event_cycles), using `events` as working space: its contents
// are replaced, its capacity is kept.
ExchangeRoleCycles swept_role_cycles(
    std::span<const mosa_package::ProfileExchangeActivity> activities, std::uint64_t event_cycles,
    std::vector<RoleEvent>& events);

}  // namespace mosa_profile::detail
