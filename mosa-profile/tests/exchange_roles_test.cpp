#include <algorithm>
#include <cstdint>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/exchange_roles.hpp>

#include "exchange_profiles.hpp"

namespace {

using mosa_package::ProfileExchangeActivity;
using mosa_package::ProfileExchangeActivityKind;
using mosa_profile::ExchangeRoleCycles;

using mosa_profile::test_profiles::activity;
using mosa_profile::test_profiles::PartnerBusy;
using mosa_profile::test_profiles::Receive;
using mosa_profile::test_profiles::Send;

TEST(ExchangeRoleCycles, WorkedWindows) {
  const struct {
    const char* label;
    std::uint64_t window;
    std::vector<ProfileExchangeActivity> activities;
    ExchangeRoleCycles expected;
  } cases[] = {
      {"no activity", 7, {}, {.idle = 7}},
      {"all three roles",
       10,
       {activity(Send, 2, 6), activity(Receive, 4, 8), activity(PartnerBusy, 7, 9)},
       {.send = 4, .receive = 4, .simultaneous = 2, .partner_busy = 2, .idle = 3}},
      {"overlap of one kind counted once",
       10,
       {activity(Send, 0, 5), activity(Send, 3, 8)},
       {.send = 8, .idle = 2}},
      {"touching intervals leave no gap",
       8,
       {activity(Send, 0, 4), activity(Send, 4, 8)},
       {.send = 8}},
      {"nested intervals",
       10,
       {activity(Receive, 1, 9), activity(Receive, 3, 4)},
       {.receive = 8, .idle = 2}},
      {"empty and reversed intervals",
       10,
       {activity(Send, 5, 5), activity(Receive, 6, 2)},
       {.idle = 10}},
      {"end clipped to the window", 10, {activity(Send, 8, 15)}, {.send = 2, .idle = 8}},
      {"starting beyond the window", 10, {activity(Receive, 12, 20)}, {.idle = 10}},
      {"starting at the window's end", 10, {activity(Receive, 10, 20)}, {.idle = 10}},
      {"partner busy is not simultaneous",
       10,
       {activity(Send, 0, 10), activity(PartnerBusy, 0, 10)},
       {.send = 10, .partner_busy = 10}},
      {"empty window", 0, {activity(Send, 0, 10), activity(Receive, 0, 3)}, {}},
      {"widest window",
       UINT32_MAX,
       {activity(Send, 0, UINT32_MAX), activity(Receive, UINT32_MAX - 1, UINT32_MAX)},
       {.send = UINT32_MAX, .receive = 1, .simultaneous = 1}},
      {"window wider than any reading",
       std::uint64_t{1} << 40,
       {activity(Send, 0, UINT32_MAX)},
       {.send = UINT32_MAX, .idle = (std::uint64_t{1} << 40) - UINT32_MAX}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(mosa_profile::exchange_role_cycles(c.activities, c.window), c.expected);
  }
}

TEST(ExchangeRoleCycles, IgnoresOrderFanoutAndPairing) {
  std::vector<ProfileExchangeActivity> activities{activity(Send, 2, 6), activity(Receive, 4, 8),
                                                  activity(PartnerBusy, 7, 9),
                                                  activity(Send, 5, 12)};
  const ExchangeRoleCycles expected = mosa_profile::exchange_role_cycles(activities, 10);
  const auto by_start = [](const auto& a, const auto& b) { return a.start_cycle < b.start_cycle; };
  std::sort(activities.begin(), activities.end(), by_start);
  for (auto& a : activities) {
    a.fanout = 9;
    a.paired = true;
  }
  do {
    EXPECT_EQ(mosa_profile::exchange_role_cycles(activities, 10), expected);
  } while (std::next_permutation(activities.begin(), activities.end(), by_start));
}

TEST(ExchangeRoleCycles, WritesItsTextForm) {
  std::ostringstream text;
  text << ExchangeRoleCycles{
      .send = 4, .receive = 4, .simultaneous = 2, .partner_busy = 2, .idle = 3};
  EXPECT_EQ(
      text.str(),
      "ExchangeRoleCycles { send: 4, receive: 4, simultaneous: 2, partner_busy: 2, idle: 3 }");
}

}  // namespace
