#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/exchange_roles.hpp>

#include "checks.hpp"

namespace mosa_profile::tests {
namespace {

using mosa_package::ProfileExchangeActivity;
using mosa_package::ProfileExchangeActivityKind;

std::uint32_t draw(std::mt19937_64& rng, std::uint32_t low, std::uint32_t high) {
  return std::uniform_int_distribution<std::uint32_t>{low, high}(rng);
}

bool active_at(const std::vector<ProfileExchangeActivity>& activities,
               ProfileExchangeActivityKind kind, std::uint32_t cycle) {
  for (const auto& activity : activities) {
    if (activity.kind == kind && activity.start_cycle <= cycle && cycle < activity.end_cycle) {
      return true;
    }
  }
  return false;
}

// Classifies every cycle of the window on its own.
ExchangeRoleCycles cycle_by_cycle(const std::vector<ProfileExchangeActivity>& activities,
                                  std::uint32_t event_cycles) {
  ExchangeRoleCycles expected;
  for (std::uint32_t cycle = 0; cycle < event_cycles; ++cycle) {
    const bool send = active_at(activities, ProfileExchangeActivityKind::Send, cycle);
    const bool receive = active_at(activities, ProfileExchangeActivityKind::Receive, cycle);
    const bool busy = active_at(activities, ProfileExchangeActivityKind::PartnerBusy, cycle);
    if (send) ++expected.send;
    if (receive) ++expected.receive;
    if (send && receive) ++expected.simultaneous;
    if (busy) ++expected.partner_busy;
    if (!send && !receive && !busy) ++expected.idle;
  }
  return expected;
}

}  // namespace

void randomized_exchange_role_accounting_tracks_simultaneous_intervals() {
  std::mt19937_64 rng{0x65786368726F6C65};
  for (int iteration = 0; iteration < 256; ++iteration) {
    const std::uint32_t event_cycles = draw(rng, 1, 200);
    const std::uint32_t count = draw(rng, 0, 40);
    std::vector<ProfileExchangeActivity> activities;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t start = draw(rng, 0, event_cycles - 1);
      const auto kind = static_cast<ProfileExchangeActivityKind>(draw(rng, 0, 2));
      const std::uint32_t end = draw(rng, start + 1, event_cycles);
      activities.push_back(
          {.fanout = 0, .paired = false, .kind = kind, .start_cycle = start, .end_cycle = end});
    }
    ASSERT_EQ(exchange_role_cycles(activities, event_cycles),
              cycle_by_cycle(activities, event_cycles));
  }
}

}  // namespace mosa_profile::tests
