#include <algorithm>
#include <vector>

#include <mosa_profile/cycle_arithmetic.hpp>

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
  // Reading a percentage above 100 as 100 keeps the index on the last element and the product
  // below overflow.
  const std::size_t bounded = std::min<std::size_t>(percentage, 100);
  return sorted[((sorted.size() - 1) * bounded) / 100];
}

std::uint64_t union_length(std::span<const Interval> intervals) {
  std::vector<Interval> sorted;
  sorted.reserve(intervals.size());
  // A reversed interval covers nothing, like an empty one.
  std::copy_if(intervals.begin(), intervals.end(), std::back_inserter(sorted),
               [](const Interval& interval) { return interval.start < interval.end; });
  if (sorted.empty()) return 0;
  std::sort(sorted.begin(), sorted.end(), [](const Interval& left, const Interval& right) {
    return left.start != right.start ? left.start < right.start : left.end < right.end;
  });

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
