#include "order_statistics.hpp"

#include <algorithm>

namespace mosa_profile::detail {

OrderStatistics order_statistics(std::span<std::uint32_t> values) noexcept {
  if (values.empty()) return {};
  const auto p95 =
      values.begin() + static_cast<std::ptrdiff_t>(percentile_index(values.size(), 95));
  const auto median =
      values.begin() + static_cast<std::ptrdiff_t>(percentile_index(values.size(), 50));
  // After the first selection everything before p95 is no larger than it and everything after no
  // smaller, so the median lies in the front part and the extremes at the two ends.
  std::nth_element(values.begin(), p95, values.end());
  std::nth_element(values.begin(), median, p95);
  return {.minimum = *std::min_element(values.begin(), median + 1),
          .median = *median,
          .p95 = *p95,
          .maximum = *std::max_element(p95, values.end())};
}

}  // namespace mosa_profile::detail
