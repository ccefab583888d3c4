#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include <mosa_profile/cycle_arithmetic.hpp>

#include "order_statistics.hpp"

namespace mosa_profile {

std::uint32_t duration(const mosa_package::CycleSample& sample) noexcept {
  // Unsigned 32-bit subtraction wraps modulo 2^32, which is the counter's own arithmetic.
  return static_cast<std::uint32_t>(sample.end_cycle - sample.start_cycle);
}

double cycles_to_ms(std::uint64_t cycles, std::uint64_t clock_hz) noexcept {
  if (clock_hz == 0) return 0.0;
  return (static_cast<double>(cycles) * 1000.0) / static_cast<double>(clock_hz);
}

std::uint32_t percentile(std::span<const std::uint32_t> sorted, std::size_t percentage) noexcept {
  if (sorted.empty()) return 0;
  // A percentage above 100 reads as 100: the index stays on the last element and the product
  // below overflow.
  return sorted[detail::percentile_index(sorted.size(), percentage)];
}

namespace {

// Lists shorter than this are sorted by comparison; longer ones by radix.
constexpr std::size_t radix_sort_threshold = 256;
constexpr unsigned radix_bits = 8;

// Sorts by start, stable, with one counting pass per 11-bit digit that the largest start uses
// (three for starts below 2^33, the span of a profile's time line). Linear in the list length.
void radix_sort_by_start(std::vector<Interval>& intervals) {
  std::uint64_t largest = 0;
  for (const Interval& interval : intervals) largest = std::max(largest, interval.start);
  std::vector<Interval> buffer(intervals.size());
  for (unsigned shift = 0; shift < 64 && (largest >> shift) != 0; shift += radix_bits) {
    std::array<std::size_t, (1U << radix_bits) + 1> positions{};
    const auto digit = [shift](const Interval& interval) {
      return static_cast<std::size_t>((interval.start >> shift) & ((1U << radix_bits) - 1));
    };
    for (const Interval& interval : intervals) ++positions[digit(interval) + 1];
    std::partial_sum(positions.begin(), positions.end(), positions.begin());
    for (const Interval& interval : intervals) buffer[positions[digit(interval)]++] = interval;
    intervals.swap(buffer);
  }
}

// Only the order of starts matters to the sweep: intervals of equal start join one run whatever
// their order.
void sort_by_start(std::vector<Interval>& intervals) {
  if (intervals.size() < radix_sort_threshold) {
    std::sort(intervals.begin(), intervals.end(),
              [](const Interval& left, const Interval& right) { return left.start < right.start; });
  } else {
    radix_sort_by_start(intervals);
  }
}

}  // namespace

std::uint64_t union_length(std::span<const Interval> intervals) {
  std::vector<Interval> sorted;
  sorted.reserve(intervals.size());
  // A reversed interval covers nothing, like an empty one.
  std::copy_if(intervals.begin(), intervals.end(), std::back_inserter(sorted),
               [](const Interval& interval) { return interval.start < interval.end; });
  if (sorted.empty()) return 0;
  sort_by_start(sorted);

  std::uint64_t total = 0;
  Interval run = sorted.front();
  for (const Interval& next : std::span(sorted).subspan(1)) {
    if (next.start <= run.end) {
      // Overlapping or touching: the run grows, and its end never shrinks.
      run.end = std::max(run.end, next.end);
    } else {
      total += run.end - run.start;
      run = next;
    }
  }
  return total + (run.end - run.start);
}

}  // namespace mosa_profile
