// exchange_role_cycles over a decoded window (up to the top of the 64-bit range) and activity
// list. The totals are checked against their invariants, against the same list in reverse order,
// and against a recount from the definition: cycle by cycle for windows of a few hundred cycles,
// and otherwise over the stretches between the clipped ends of the activities, testing every
// activity on each stretch.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include <mosa_profile/exchange_roles.hpp>

#include "byte_reader.hpp"
#include "invariant.hpp"
#include "record_decoder.hpp"

namespace {

using mosa_fuzz::require;
using mosa_package::ProfileExchangeActivity;
using mosa_package::ProfileExchangeActivityKind;
using mosa_profile::ExchangeRoleCycles;

constexpr std::uint64_t cycle_by_cycle_limit = 400;
constexpr std::size_t stretch_recount_limit = 300;

std::uint64_t decoded_window(mosa_fuzz::ByteReader& reader) {
  switch (reader.below(6)) {
    case 0:
      return 0;
    case 1:
      return reader.byte();
    case 2:
      return reader.integer<std::uint16_t>() % cycle_by_cycle_limit;
    case 3:
      return reader.integer<std::uint32_t>();
    case 4:
      return std::numeric_limits<std::uint64_t>::max() - reader.byte();
    default:
      return reader.integer<std::uint64_t>();
  }
}

// Whether `activity` covers the cycles [from, to) of the window [0, window) after clipping.
bool covers(const ProfileExchangeActivity& activity, std::uint64_t window, std::uint64_t from,
            std::uint64_t to) {
  const std::uint64_t start = std::min<std::uint64_t>(activity.start_cycle, window);
  const std::uint64_t end = std::min<std::uint64_t>(activity.end_cycle, window);
  return start <= from && to <= end && from < to;
}

// Adds `cycles` cycles of one stretch, on which the activities active are given by kind.
void credit(ExchangeRoleCycles& totals, std::span<const ProfileExchangeActivity> activities,
            std::uint64_t window, std::uint64_t from, std::uint64_t to) {
  bool send = false;
  bool receive = false;
  bool partner_busy = false;
  for (const auto& activity : activities) {
    if (!covers(activity, window, from, to)) continue;
    send = send || activity.kind == ProfileExchangeActivityKind::Send;
    receive = receive || activity.kind == ProfileExchangeActivityKind::Receive;
    partner_busy = partner_busy || activity.kind == ProfileExchangeActivityKind::PartnerBusy;
  }
  const std::uint64_t cycles = to - from;
  if (send) totals.send += cycles;
  if (receive) totals.receive += cycles;
  if (send && receive) totals.simultaneous += cycles;
  if (partner_busy) totals.partner_busy += cycles;
  if (!send && !receive && !partner_busy) totals.idle += cycles;
}

ExchangeRoleCycles cycle_by_cycle(std::span<const ProfileExchangeActivity> activities,
                                  std::uint64_t window) {
  ExchangeRoleCycles totals;
  for (std::uint64_t cycle = 0; cycle < window; ++cycle) {
    credit(totals, activities, window, cycle, cycle + 1);
  }
  return totals;
}

// The window cut at 0, W and every clipped start and end: on each stretch between two cuts the
// set of active activities is constant.
ExchangeRoleCycles stretch_by_stretch(std::span<const ProfileExchangeActivity> activities,
                                      std::uint64_t window) {
  std::vector<std::uint64_t> cuts{0, window};
  for (const auto& activity : activities) {
    cuts.push_back(std::min<std::uint64_t>(activity.start_cycle, window));
    cuts.push_back(std::min<std::uint64_t>(activity.end_cycle, window));
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  ExchangeRoleCycles totals;
  for (std::size_t i = 1; i < cuts.size(); ++i) {
    credit(totals, activities, window, cuts[i - 1], cuts[i]);
  }
  return totals;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mosa_fuzz::ByteReader reader(std::span(data, size));
  const std::uint64_t window = decoded_window(reader);
  std::vector<ProfileExchangeActivity> activities;
  while (!reader.exhausted()) activities.push_back(mosa_fuzz::activity(reader, window));

  const ExchangeRoleCycles roles = mosa_profile::exchange_role_cycles(activities, window);
  require(roles.simultaneous <= std::min(roles.send, roles.receive),
          "simultaneous <= min(send, receive)");
  require(roles.send <= window && roles.receive <= window && roles.partner_busy <= window &&
              roles.idle <= window,
          "no total above the window");
  const std::uint64_t send_or_receive = roles.send + roles.receive - roles.simultaneous;
  require(send_or_receive <= window, "send or receive within the window");
  require(roles.idle + std::max(send_or_receive, roles.partner_busy) <= window &&
              window - roles.idle <= send_or_receive + roles.partner_busy,
          "idle + cycles with any activity = window");

  std::vector<ProfileExchangeActivity> reversed(activities.rbegin(), activities.rend());
  require(mosa_profile::exchange_role_cycles(reversed, window) == roles,
          "the order of the activities changes nothing");

  if (window <= cycle_by_cycle_limit) {
    require(roles == cycle_by_cycle(activities, window), "equal to the cycle-by-cycle count");
  } else if (activities.size() <= stretch_recount_limit) {
    require(roles == stretch_by_stretch(activities, window), "equal to the stretch recount");
  }
  return 0;
}
