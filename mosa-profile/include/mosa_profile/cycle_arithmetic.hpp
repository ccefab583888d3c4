#pragma once

// Cycle counts from raw counter readings: sample lengths across counter wraps, milliseconds,
// percentiles of sample lengths and the length covered by a set of intervals.

#include <cstddef>
#include <cstdint>
#include <span>

#include <mosa_package/profile.hpp>

namespace mosa_profile {

// A half-open range of positions on the common time line: [start, end).
struct Interval {
  std::uint64_t start = 0;  // first position covered
  std::uint64_t end = 0;    // one past the last position covered
  friend bool operator==(const Interval&, const Interval&) = default;
};

// Length of `sample` in cycles: (end_cycle - start_cycle) mod 2^32. A sample across a counter
// wrap keeps its true length; a step longer than one counter period cannot be told apart from a
// shorter one. Example: start 4294967290, end 10 -> 16.
std::uint32_t duration(const mosa_package::CycleSample& sample) noexcept;

// `cycles` clock cycles in milliseconds: (cycles * 1000.0) / clock_hz in double arithmetic, in
// that order. 0.0 when `clock_hz` is 0 (frequency not recorded).
double cycles_to_ms(std::uint64_t cycles, std::uint64_t clock_hz) noexcept;

// Lower nearest-rank percentile of an ascending list: the element at index
// ((n - 1) * percentage) / 100, truncated. Percentage 0 gives the smallest element and 100 the
// largest; a percentage above 100 is read as 100. 0 for an empty list. The order is not checked.
// Example: [10, 20, 30, 40] at 50 -> 20, at 95 -> 30.
std::uint32_t percentile(std::span<const std::uint32_t> sorted, std::size_t percentage) noexcept;

// Number of positions covered by at least one interval, overlapping and touching intervals
// counted once; intervals may come in any order. An interval whose start is not below its end
// covers nothing. Linear time for long lists (a radix sort by start) and O(n log n) for short
// ones; allocates a working copy of the list and, for long lists, a buffer of the same size.
// Example: (0, 10), (5, 20) -> 20; (0, 100), (10, 20) -> 100.
std::uint64_t union_length(std::span<const Interval> intervals);

}  // namespace mosa_profile
