#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/cycle_arithmetic.hpp>

namespace {

using mosa_profile::Interval;

TEST(Duration, WrapsModuloTwoToThe32) {
  const struct {
    std::uint32_t start, end, expected;
  } cases[] = {{1000, 1250, 250}, {4294967290U, 10, 16}, {7, 7, 0}, {100, 99, 4294967295U}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " -> " << c.end);
    mosa_package::CycleSample sample{.start_cycle = c.start, .end_cycle = c.end};
    EXPECT_EQ(mosa_profile::duration(sample), c.expected);
  }
}

TEST(CyclesToMs, ConvertsAtTheClockAndGivesZeroWithoutOne) {
  EXPECT_EQ(mosa_profile::cycles_to_ms(1'000'000, 1'000'000'000), 1.0);
  EXPECT_EQ(mosa_profile::cycles_to_ms(0, 1'000'000'000), 0.0);
  EXPECT_EQ(mosa_profile::cycles_to_ms(5, 0), 0.0);
  EXPECT_FALSE(std::signbit(mosa_profile::cycles_to_ms(5, 0)));
  // Multiplication first, then division, in double arithmetic.
  EXPECT_EQ(mosa_profile::cycles_to_ms(30, 1'500'000'000), (30.0 * 1000.0) / 1.5e9);
}

TEST(Percentile, PicksLowerNearestRank) {
  const std::vector<std::uint32_t> four{10, 20, 30, 40};
  std::vector<std::uint32_t> hundred;
  for (std::uint32_t v = 1; v <= 100; ++v) hundred.push_back(v);
  const std::vector<std::uint32_t> one{7};
  const struct {
    const std::vector<std::uint32_t>* values;
    std::size_t percentage;
    std::uint32_t expected;
  } cases[] = {{&four, 0, 10},
               {&four, 50, 20},
               {&four, 95, 30},
               {&four, 100, 40},
               {&hundred, 0, 1},
               {&hundred, 50, 50},
               {&hundred, 95, 95},
               {&hundred, 100, 100},
               {&one, 0, 7},
               {&one, 50, 7},
               {&one, 100, 7},
               // Above 100 the index stays on the last element.
               {&four, 101, 40},
               {&four, SIZE_MAX, 40},
               {&one, SIZE_MAX, 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.values->size() << " values at " << c.percentage);
    EXPECT_EQ(mosa_profile::percentile(*c.values, c.percentage), c.expected);
  }
}

TEST(Percentile, EmptyListGivesZero) {
  for (std::size_t percentage : {0U, 50U, 95U, 100U, 1000U}) {
    EXPECT_EQ(mosa_profile::percentile({}, percentage), 0U);
  }
}

TEST(UnionLength, CountsCoveredPositionsOnce) {
  const struct {
    std::vector<Interval> intervals;
    std::uint64_t expected;
  } cases[] = {
      {{}, 0},
      {{{0, 10}, {5, 20}}, 20},
      {{{0, 10}, {10, 20}}, 20},
      {{{0, 10}, {11, 20}}, 19},
      {{{30, 40}, {0, 10}}, 20},
      {{{0, 100}, {10, 20}}, 100},
      {{{5, 5}}, 0},
      {{{0, 10}, {10, 10}}, 10},
      {{{0, UINT64_MAX}, {5, 6}}, UINT64_MAX},
      // A reversed interval covers nothing, alone or beside others.
      {{{20, 10}}, 0},
      {{{0, 10}, {50, 5}}, 10},
      {{{50, 5}, {0, 10}, {8, 12}}, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.intervals.size() << " intervals, expected " << c.expected);
    EXPECT_EQ(mosa_profile::union_length(c.intervals), c.expected);
  }
}

TEST(UnionLength, MatchesMarkedPositionsOnRandomLists) {
  std::mt19937_64 rng{0x756e696f6e};
  for (int iteration = 0; iteration < 500; ++iteration) {
    SCOPED_TRACE(iteration);
    std::vector<Interval> intervals(std::uniform_int_distribution<std::size_t>{0, 12}(rng));
    std::vector<bool> covered(64, false);
    for (auto& interval : intervals) {
      interval.start = std::uniform_int_distribution<std::uint64_t>{0, 63}(rng);
      interval.end = std::uniform_int_distribution<std::uint64_t>{0, 64}(rng);
      for (std::uint64_t p = interval.start; p < interval.end; ++p) covered[p] = true;
    }
    const auto expected =
        static_cast<std::uint64_t>(std::count(covered.begin(), covered.end(), true));
    EXPECT_EQ(mosa_profile::union_length(intervals), expected);
  }
}

// A plain sweep over a list sorted by (start, end), for lists too wide to mark position by
// position.
std::uint64_t swept_union(std::vector<Interval> intervals) {
  std::erase_if(intervals, [](const Interval& i) { return i.start >= i.end; });
  std::sort(intervals.begin(), intervals.end(), [](const Interval& a, const Interval& b) {
    return a.start != b.start ? a.start < b.start : a.end < b.end;
  });
  std::uint64_t total = 0;
  std::uint64_t covered_to = 0;
  for (const Interval& i : intervals) {
    const std::uint64_t from = std::max(i.start, covered_to);
    if (i.end > from) total += i.end - from;
    covered_to = std::max(covered_to, i.end);
  }
  return total;
}

TEST(UnionLength, MatchesASweepOnLongAndWideLists) {
  std::mt19937_64 rng{0x77696465};
  for (int iteration = 0; iteration < 60; ++iteration) {
    SCOPED_TRACE(iteration);
    // Long enough for the linear sort; starts from a few bits wide up to the full 64 bits.
    const unsigned bits = 4 + static_cast<unsigned>(iteration);
    const std::uint64_t top = bits >= 64 ? UINT64_MAX : (std::uint64_t{1} << bits) - 1;
    std::vector<Interval> intervals(std::uniform_int_distribution<std::size_t>{200, 3000}(rng));
    for (auto& interval : intervals) {
      interval.start = std::uniform_int_distribution<std::uint64_t>{0, top}(rng);
      const std::uint64_t length =
          std::uniform_int_distribution<std::uint64_t>{0, top / 64 + 3}(rng);
      interval.end = interval.start > UINT64_MAX - length ? UINT64_MAX : interval.start + length;
      if (rng() % 16 == 0) std::swap(interval.start, interval.end);
    }
    EXPECT_EQ(mosa_profile::union_length(intervals), swept_union(intervals));
  }
}

}  // namespace
