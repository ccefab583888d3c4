#include "order_statistics.hpp"

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/cycle_arithmetic.hpp>

#include "flat_set.hpp"

namespace {

TEST(OrderStatistics, MatchesPercentilesOfTheSortedList) {
  std::mt19937_64 rng{0x73656c656374};
  for (int iteration = 0; iteration < 2000; ++iteration) {
    SCOPED_TRACE(iteration);
    std::vector<std::uint32_t> values(std::uniform_int_distribution<std::size_t>{0, 300}(rng));
    // Narrow ranges make many equal values, wide ones reach the 32-bit extremes.
    const std::uint32_t top = iteration % 2 == 0 ? 5 : UINT32_MAX;
    for (auto& value : values) value = std::uniform_int_distribution<std::uint32_t>{0, top}(rng);
    std::vector<std::uint32_t> sorted = values;
    std::sort(sorted.begin(), sorted.end());

    const auto statistics = mosa_profile::detail::order_statistics(values);
    EXPECT_EQ(statistics.minimum, sorted.empty() ? 0 : sorted.front());
    EXPECT_EQ(statistics.median, mosa_profile::percentile(sorted, 50));
    EXPECT_EQ(statistics.p95, mosa_profile::percentile(sorted, 95));
    EXPECT_EQ(statistics.maximum, sorted.empty() ? 0 : sorted.back());
  }
}

TEST(FlatSet64, CountsDistinctKeysLikeAnOrderedSet) {
  std::mt19937_64 rng{0x666c6174};
  for (int iteration = 0; iteration < 200; ++iteration) {
    SCOPED_TRACE(iteration);
    mosa_profile::detail::FlatSet64 flat;
    std::set<std::uint64_t> reference;
    const std::size_t inserts = std::uniform_int_distribution<std::size_t>{0, 3000}(rng);
    for (std::size_t i = 0; i < inserts; ++i) {
      // Few distinct keys or many; the top key is the table's free-slot marker.
      std::uint64_t key = iteration % 3 == 0 ? rng() : rng() % 64;
      if (i % 97 == 0) key = UINT64_MAX;
      flat.insert(key);
      reference.insert(key);
      ASSERT_EQ(flat.size(), reference.size());
    }
  }
}

}  // namespace
