#pragma once

// Order statistics of a list of sample lengths by selection instead of a full sort: the element
// at a given index of the sorted list is the same value either way, so the results are those of
// sorting, at linear cost.

#include <cstddef>
#include <cstdint>
#include <span>

namespace mosa_profile::detail {

// Index of the lower nearest-rank percentile in a sorted list of `count` elements:
// ((count - 1) * percentage) / 100, truncated, with a percentage above 100 read as 100.
// `count` must not be 0.
constexpr std::size_t percentile_index(std::size_t count, std::size_t percentage) noexcept {
  return ((count - 1) * (percentage < 100 ? percentage : 100)) / 100;
}
static_assert(percentile_index(4, 50) == 1 && percentile_index(4, 95) == 2);
static_assert(percentile_index(1, 1000) == 0);

// Smallest, 50th and 95th percentile (as `percentile` gives them over the sorted list) and largest
// of a list; all 0 for an empty one.
struct OrderStatistics {
  std::uint32_t minimum = 0;
  std::uint32_t median = 0;
  std::uint32_t p95 = 0;
  std::uint32_t maximum = 0;
};

// The order statistics of `values`, whose order it changes. O(n) expected time, no allocation.
OrderStatistics order_statistics(std::span<std::uint32_t> values) noexcept;

}  // namespace mosa_profile::detail
