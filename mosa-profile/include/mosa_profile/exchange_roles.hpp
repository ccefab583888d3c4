#pragma once

// Role accounting of one exchange step: how the cycles of its exchange-event window divide into
// sending, receiving, both at once, waiting on a busy partner, and idle.

#include <cstdint>
#include <iosfwd>
#include <span>

#include <mosa_package/profile.hpp>

namespace mosa_profile {

// Cycle totals over a window of W cycles. Roles are counted independently, each cycle at most
// once per role: idle + (cycles with any activity) = W, simultaneous <= min(send, receive), and no
// field exceeds W.
struct ExchangeRoleCycles {
  std::uint64_t send = 0;          // cycles with at least one Send active
  std::uint64_t receive = 0;       // cycles with at least one Receive active
  std::uint64_t simultaneous = 0;  // cycles with a Send and a Receive active
  std::uint64_t partner_busy = 0;  // cycles with at least one PartnerBusy active
  std::uint64_t idle = 0;          // cycles with no activity at all
  friend bool operator==(const ExchangeRoleCycles&, const ExchangeRoleCycles&) = default;
};

// Writes "ExchangeRoleCycles { send: 4, receive: 4, simultaneous: 2, partner_busy: 2, idle: 3 }".
std::ostream& operator<<(std::ostream& out, const ExchangeRoleCycles& roles);

// The role totals of `activities` over the window [0, event_cycles). Each activity is clipped to
// the window at both ends; one that is empty after clipping (empty, reversed, or starting at or
// after the window's end) counts nothing. Order, fanout and paired change nothing. A window of 0
// gives all zero. O(n log n) in the number of activities, independent of the window length.
// Example: W 10, Send [2,6), Receive [4,8), PartnerBusy [7,9) -> send 4, receive 4,
// simultaneous 2, partner_busy 2, idle 3.
ExchangeRoleCycles exchange_role_cycles(
    std::span<const mosa_package::ProfileExchangeActivity> activities, std::uint64_t event_cycles);

}  // namespace mosa_profile
