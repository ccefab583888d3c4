#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/exchange_boundaries.hpp>

#include "checks.hpp"
#include "exchange_profiles.hpp"

namespace mosa_profile {

// Failure reports show every field of a boundary.
void PrintTo(const ExchangeBoundary& b, std::ostream* out) {
  *out << "{epoch " << b.epoch << ", phase " << b.phase << ", entries " << b.first_entry << ".."
       << b.last_entry << ", last_exit " << b.last_exit << ", tile " << b.last_arriving_tile
       << ", spread " << b.arrival_spread_cycles << ", after " << b.after_last_arrival_cycles
       << ", scheduled ";
  if (b.scheduled_event_cycles) {
    *out << *b.scheduled_event_cycles << "}";
  } else {
    *out << "absent}";
  }
}

}  // namespace mosa_profile

namespace {

using mosa_package::CycleSample;
using mosa_package::ProfileReport;
using mosa_package::ProfileStepKind;
using mosa_profile::exchange_boundaries;
using mosa_profile::ExchangeBoundary;
using mosa_profile::test_profiles::exchange;

constexpr std::uint64_t kCounterPeriod = std::uint64_t{1} << 32;

ProfileReport profile(std::vector<mosa_package::TileProfile> tiles) {
  return {.clock_hz = 1'000'000'000, .tiles = std::move(tiles)};
}

ProfileReport reversed(ProfileReport report) {
  std::reverse(report.tiles.begin(), report.tiles.end());
  return report;
}

TEST(ExchangeBoundaries, NoExchangeSamplesGiveNoBoundaries) {
  const auto compute = mosa_profile::tests::sample(1, ProfileStepKind::Compute, "add", 10, 20);
  const auto sync = mosa_profile::tests::sample(2, ProfileStepKind::Synchronization, "", 20, 25);
  const auto idle = mosa_profile::tests::sample(3, ProfileStepKind::Idle, "", 25, 40);
  EXPECT_TRUE(exchange_boundaries(profile({})).empty());
  EXPECT_TRUE(exchange_boundaries(profile({{.physical_tile = 1}})).empty());
  EXPECT_TRUE(exchange_boundaries(profile({{.physical_tile = 1, .samples = {compute, sync, idle}}}))
                  .empty());
}

TEST(ExchangeBoundaries, SingleSampleAtTheOrigin) {
  for (const std::uint32_t scheduled : {0U, 25U}) {
    SCOPED_TRACE(scheduled);
    const auto boundaries = exchange_boundaries(
        profile({{.physical_tile = 4, .samples = {exchange(3, 5, 1000, 1030, scheduled)}}}));
    const ExchangeBoundary expected{
        .epoch = 3,
        .phase = 5,
        .first_entry = 0,
        .last_entry = 0,
        .last_exit = 30,
        .last_arriving_tile = 4,
        .arrival_spread_cycles = 0,
        .after_last_arrival_cycles = 30,
        .scheduled_event_cycles =
            scheduled == 0 ? std::nullopt : std::optional<std::uint64_t>{scheduled}};
    EXPECT_EQ(boundaries, std::vector{expected});
  }
}

TEST(ExchangeBoundaries, FirstSeenKeepsTheLatestEntryOnATie) {
  // Tiles 7 and 5 both enter at 40 after tile 9 entered at 0.
  const ProfileReport report = profile({{.physical_tile = 9, .samples = {exchange(0, 1, 0, 100)}},
                                        {.physical_tile = 7, .samples = {exchange(0, 1, 40, 90)}},
                                        {.physical_tile = 5, .samples = {exchange(0, 1, 40, 95)}}});
  const auto boundaries = exchange_boundaries(report);
  ASSERT_EQ(boundaries.size(), 1U);
  EXPECT_EQ(boundaries[0].last_entry, 40U);
  EXPECT_EQ(boundaries[0].last_arriving_tile, 7U);

  const auto swapped =
      exchange_boundaries(profile({report.tiles[0], report.tiles[2], report.tiles[1]}));
  ASSERT_EQ(swapped.size(), 1U);
  EXPECT_EQ(swapped[0].last_arriving_tile, 5U);
}

TEST(ExchangeBoundaries, KeepsTheLargestNonZeroScheduledLength) {
  const struct {
    std::uint32_t first;
    std::uint32_t second;
    std::optional<std::uint64_t> expected;
  } cases[] = {
      {40, 0, 40},  {0, 40, 40},          {30, 50, 50},
      {50, 30, 50}, {0, 0, std::nullopt}, {UINT32_MAX, 1, UINT32_MAX},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << ", " << c.second);
    const auto boundaries = exchange_boundaries(
        profile({{.physical_tile = 0, .samples = {exchange(0, 2, 10, 20, c.first)}},
                 {.physical_tile = 1, .samples = {exchange(0, 2, 12, 30, c.second)}}}));
    ASSERT_EQ(boundaries.size(), 1U);
    EXPECT_EQ(boundaries[0].scheduled_event_cycles, c.expected);
  }
}

TEST(ExchangeBoundaries, OrdersByLastExitThenEpochThenPhase) {
  // Entries from the origin 0 (tile 0's first sample). Three groups end at 100.
  const auto boundaries = exchange_boundaries(profile({{.physical_tile = 0,
                                                        .samples = {
                                                            exchange(0, 9, 0, 100),
                                                            exchange(1, 0, 10, 100),
                                                            exchange(1, 2, 20, 50),
                                                            exchange(0, 5, 30, 100),
                                                            exchange(0, 9, 40, 60),
                                                            exchange(2, 9, 50, 101),
                                                        }}}));
  std::vector<std::tuple<std::uint64_t, std::uint32_t, std::uint32_t>> order;
  for (const auto& b : boundaries) order.emplace_back(b.last_exit, b.epoch, b.phase);
  const decltype(order) expected{{50, 1, 2}, {100, 0, 5}, {100, 0, 9}, {100, 1, 0}, {101, 2, 9}};
  EXPECT_EQ(order, expected);
}

TEST(ExchangeBoundaries, SamePhaseInTwoEpochsStaysApart) {
  const auto boundaries = exchange_boundaries(
      profile({{.physical_tile = 0, .samples = {exchange(0, 3, 0, 10), exchange(1, 3, 20, 25)}},
               {.physical_tile = 1, .samples = {exchange(1, 3, 22, 40), exchange(0, 3, 5, 12)}}}));
  ASSERT_EQ(boundaries.size(), 2U);
  EXPECT_EQ(boundaries[0].epoch, 0U);
  EXPECT_EQ(boundaries[0].last_exit, 12U);
  EXPECT_EQ(boundaries[1].epoch, 1U);
  EXPECT_EQ(boundaries[1].last_exit, 40U);
  EXPECT_EQ(boundaries[1].last_arriving_tile, 1U);
  EXPECT_EQ(boundaries[1].arrival_spread_cycles, 2U);
}

TEST(ExchangeBoundaries, OtherKindsShapeTheOriginThroughTheFirstSample) {
  // Tile 1 enters with a compute step 10 cycles before the counter wraps; its exchange and tile
  // 0's are measured from there, not from tile 0's first sample.
  const auto compute =
      mosa_profile::tests::sample(0, ProfileStepKind::Compute, "add", UINT32_MAX - 9, 20);
  const auto boundaries = exchange_boundaries(
      profile({{.physical_tile = 0, .samples = {exchange(0, 1, 5, 70)}},
               {.physical_tile = 1, .samples = {compute, exchange(0, 1, 20, 60)}}}));
  ASSERT_EQ(boundaries.size(), 1U);
  EXPECT_EQ(boundaries[0].first_entry, 15U);
  EXPECT_EQ(boundaries[0].last_entry, 30U);
  EXPECT_EQ(boundaries[0].last_exit, 80U);
  EXPECT_EQ(boundaries[0].last_arriving_tile, 1U);
}

TEST(ExchangeBoundaries, MeasuresAcrossCounterWrapsOnTheWholeTimeLine) {
  // Origin 100 from tile 0. Tile 1's exchange starts before the origin and lands near 2^32; a
  // step of almost a whole counter period then ends beyond it.
  const auto boundaries = exchange_boundaries(profile(
      {{.physical_tile = 0, .samples = {exchange(0, 0, 100, 150), exchange(0, 1, 160, 159)}},
       {.physical_tile = 1, .samples = {exchange(0, 2, 130, 140), exchange(0, 3, 99, 98)}}}));
  ASSERT_EQ(boundaries.size(), 4U);
  EXPECT_EQ(boundaries[0].phase, 2U);
  EXPECT_EQ(boundaries[1].phase, 0U);
  EXPECT_EQ(boundaries[2].phase, 1U);
  EXPECT_EQ(boundaries[2].last_exit, 60 + kCounterPeriod - 1);
  EXPECT_EQ(boundaries[3].phase, 3U);
  EXPECT_EQ(boundaries[3].first_entry, kCounterPeriod - 1);
  EXPECT_EQ(boundaries[3].last_exit, 2 * kCounterPeriod - 2);
  EXPECT_EQ(boundaries[3].after_last_arrival_cycles, kCounterPeriod - 1);
}

TEST(ExchangeBoundaries, TileOrderDoesNotChangeBoundariesWithoutTies) {
  auto early = exchange(0, 7, 4294967276U, 50, 40);
  auto late = exchange(0, 7, 5, 55, 40);
  auto repeated = exchange(1, 7, 80, 100);
  const ProfileReport report = profile({{.physical_tile = 2, .samples = {early, repeated}},
                                        {.physical_tile = 3, .samples = {late}}});
  const auto boundaries = exchange_boundaries(report);
  const std::vector<ExchangeBoundary> expected{{.epoch = 0,
                                                .phase = 7,
                                                .first_entry = 0,
                                                .last_entry = 25,
                                                .last_exit = 75,
                                                .last_arriving_tile = 3,
                                                .arrival_spread_cycles = 25,
                                                .after_last_arrival_cycles = 50,
                                                .scheduled_event_cycles = 40},
                                               {.epoch = 1,
                                                .phase = 7,
                                                .first_entry = 100,
                                                .last_entry = 100,
                                                .last_exit = 120,
                                                .last_arriving_tile = 2,
                                                .arrival_spread_cycles = 0,
                                                .after_last_arrival_cycles = 20}};
  EXPECT_EQ(boundaries, expected);
  EXPECT_EQ(exchange_boundaries(reversed(report)), expected);
}

// The boundaries written out from their definitions. The origin is the first-sample reading from
// which every tile's first reading lies less than half a counter period ahead.
std::uint32_t earliest_entry(const ProfileReport& report) {
  for (const auto& candidate : report.tiles) {
    if (candidate.samples.empty()) continue;
    const std::uint64_t reading = candidate.samples.front().start_cycle;
    const bool earliest = std::all_of(report.tiles.begin(), report.tiles.end(), [&](const auto& t) {
      return t.samples.empty() ||
             (t.samples.front().start_cycle + kCounterPeriod - reading) % kCounterPeriod <
                 kCounterPeriod / 2;
    });
    if (earliest) return static_cast<std::uint32_t>(reading);
  }
  return 0;
}

bool exits_first(const ExchangeBoundary& l, const ExchangeBoundary& r) {
  return std::tie(l.last_exit, l.epoch, l.phase) < std::tie(r.last_exit, r.epoch, r.phase);
}

struct Placed {
  std::uint64_t entry;
  std::uint64_t exit;
  std::uint32_t tile;
  std::uint32_t scheduled;
};

std::vector<ExchangeBoundary> oracle_boundaries(const ProfileReport& report) {
  const std::uint64_t origin = earliest_entry(report);
  std::set<std::pair<std::uint32_t, std::uint32_t>> keys;
  for (const auto& tile : report.tiles) {
    for (const auto& s : tile.samples) {
      if (s.step.kind == ProfileStepKind::Exchange) keys.emplace(s.step.epoch, s.step.phase);
    }
  }
  std::vector<ExchangeBoundary> boundaries;
  for (const auto& [epoch, phase] : keys) {
    std::vector<Placed> members;  // in profile order
    for (const auto& tile : report.tiles) {
      for (const auto& s : tile.samples) {
        if (s.step.kind != ProfileStepKind::Exchange || s.step.epoch != epoch ||
            s.step.phase != phase) {
          continue;
        }
        const std::uint64_t entry = (s.start_cycle + kCounterPeriod - origin) % kCounterPeriod;
        const std::uint64_t length =
            (std::uint64_t{s.end_cycle} + kCounterPeriod - s.start_cycle) % kCounterPeriod;
        members.push_back(
            {entry, entry + length, tile.physical_tile, s.step.exchange_event_cycles});
      }
    }
    const auto by_entry = [](const Placed& l, const Placed& r) { return l.entry < r.entry; };
    const auto by_exit = [](const Placed& l, const Placed& r) { return l.exit < r.exit; };
    ExchangeBoundary b{.epoch = epoch, .phase = phase};
    b.first_entry = std::min_element(members.begin(), members.end(), by_entry)->entry;
    b.last_entry = std::max_element(members.begin(), members.end(), by_entry)->entry;
    b.last_exit = std::max_element(members.begin(), members.end(), by_exit)->exit;
    b.last_arriving_tile = std::find_if(members.begin(), members.end(), [&](const Placed& m) {
                             return m.entry == b.last_entry;
                           })->tile;
    b.arrival_spread_cycles = b.last_entry - b.first_entry;
    b.after_last_arrival_cycles = b.last_exit - b.last_entry;
    for (const auto& m : members) {
      if (m.scheduled != 0 && m.scheduled > b.scheduled_event_cycles.value_or(0)) {
        b.scheduled_event_cycles = m.scheduled;
      }
    }
    boundaries.push_back(b);
  }
  std::sort(boundaries.begin(), boundaries.end(), exits_first);
  return boundaries;
}

void expect_invariants(const std::vector<ExchangeBoundary>& boundaries) {
  std::set<std::pair<std::uint32_t, std::uint32_t>> keys;
  for (const auto& b : boundaries) {
    EXPECT_LE(b.first_entry, b.last_entry);
    EXPECT_LE(b.last_entry, b.last_exit);
    EXPECT_EQ(b.arrival_spread_cycles + b.after_last_arrival_cycles, b.last_exit - b.first_entry);
    EXPECT_TRUE(keys.emplace(b.epoch, b.phase).second) << b.epoch << ", " << b.phase;
  }
  EXPECT_TRUE(std::is_sorted(boundaries.begin(), boundaries.end(), exits_first));
}

TEST(ExchangeBoundaries, MatchesTheDefinitionOnRandomProfiles) {
  std::mt19937_64 rng{0x626F756E64617279};
  for (int n = 0; n < 2000; ++n) {
    SCOPED_TRACE(testing::Message() << "case " << n);
    const ProfileReport report = mosa_profile::test_profiles::random_profile(rng);
    const auto boundaries = exchange_boundaries(report);
    ASSERT_EQ(boundaries, oracle_boundaries(report));
    expect_invariants(boundaries);

    // Reversing the tiles changes at most which of several equal latest entries is named.
    const ProfileReport backwards = reversed(report);
    auto reordered = exchange_boundaries(backwards);
    ASSERT_EQ(reordered, oracle_boundaries(backwards));
    ASSERT_EQ(reordered.size(), boundaries.size());
    for (std::size_t i = 0; i < reordered.size(); ++i) {
      reordered[i].last_arriving_tile = boundaries[i].last_arriving_tile;
    }
    ASSERT_EQ(reordered, boundaries);
  }
}

}  // namespace
