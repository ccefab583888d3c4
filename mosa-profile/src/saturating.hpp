#pragma once

// Arithmetic rules shared by the analyses: subtractions that could go negative stop at 0, sums
// that could pass the top of the range stop there.

#include <cstdint>
#include <limits>

namespace mosa_profile::detail {

// a - b, or 0 when b > a.
constexpr std::uint64_t floored_difference(std::uint64_t a, std::uint64_t b) noexcept {
  return a > b ? a - b : 0;
}
static_assert(floored_difference(3, 5) == 0);
static_assert(floored_difference(5, 3) == 2);

// a + b, or the largest 64-bit value when the sum would not fit.
constexpr std::uint64_t saturating_sum(std::uint64_t a, std::uint64_t b) noexcept {
  return a > std::numeric_limits<std::uint64_t>::max() - b
             ? std::numeric_limits<std::uint64_t>::max()
             : a + b;
}
static_assert(saturating_sum(std::numeric_limits<std::uint64_t>::max() - 1, 5) ==
              std::numeric_limits<std::uint64_t>::max());
static_assert(saturating_sum(2, 3) == 5);

}  // namespace mosa_profile::detail
