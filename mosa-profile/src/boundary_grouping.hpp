#pragma once

// The grouping behind exchange_boundaries, fed one exchange sample at a time, so an analysis that
// already walks the samples builds the boundaries in the same pass.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include <mosa_profile/exchange_boundaries.hpp>

namespace mosa_profile::detail {

class BoundaryGrouping {
 public:
  // Entries are measured from `origin`, the profile's cycle_origin.
  explicit BoundaryGrouping(std::uint32_t origin) : origin_(origin) {}

  // Adds one Exchange sample of physical tile `tile`, in profile order (tiles in list order, then
  // samples in list order): on equal entries the first sample added names the last arriving tile.
  void add(std::uint32_t tile, const mosa_package::CycleSample& sample);

  // The boundaries of the samples added, as exchange_boundaries returns them.
  std::vector<ExchangeBoundary> boundaries() const;

 private:
  std::uint32_t origin_;
  // Keyed by (epoch << 32) | phase, so one phase in several epochs stays apart. Hashed: the final
  // sort by (last_exit, epoch, phase) fixes the order, and a lookup stays constant as the epochs
  // of a long profile add up.
  std::unordered_map<std::uint64_t, ExchangeBoundary> groups_;
};

}  // namespace mosa_profile::detail
