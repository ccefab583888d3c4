#include <algorithm>

#include <mosa_profile/time_origin.hpp>

namespace mosa_profile {
namespace {

const mosa_package::TileProfile* first_entered_tile(const mosa_package::ProfileReport& report) {
  const auto found = std::find_if(report.tiles.begin(), report.tiles.end(),
                                  [](const auto& tile) { return !tile.samples.empty(); });
  return found == report.tiles.end() ? nullptr : &*found;
}

std::uint32_t entry_of(const mosa_package::TileProfile& tile) {
  return tile.samples.front().start_cycle;
}

// (entry - reference) mod 2^32 read as two's complement: a distance of 2^31 or more is a step back.
std::int64_t signed_distance(std::uint32_t reference, std::uint32_t entry) {
  const std::uint32_t forward = entry - reference;
  return forward >= 0x8000'0000U ? static_cast<std::int64_t>(forward) - 0x1'0000'0000LL
                                 : static_cast<std::int64_t>(forward);
}

}  // namespace

std::uint32_t cycle_origin(const mosa_package::ProfileReport& report) noexcept {
  const mosa_package::TileProfile* reference_tile = first_entered_tile(report);
  if (reference_tile == nullptr) return 0;
  const std::uint32_t reference = entry_of(*reference_tile);

  std::int64_t minimum_delta = 0;
  for (const auto& tile : report.tiles) {
    if (tile.samples.empty()) continue;
    minimum_delta = std::min(minimum_delta, signed_distance(reference, entry_of(tile)));
  }
  // minimum_delta lies in [-2^31, 0]; stepping back from the reference wraps below 0.
  return reference - static_cast<std::uint32_t>(-minimum_delta);
}

std::uint64_t initial_sample_entry_span(const mosa_package::ProfileReport& report,
                                        std::uint32_t shared_base) noexcept {
  std::uint64_t span = 0;
  for (const auto& tile : report.tiles) {
    if (tile.samples.empty()) continue;
    span = std::max(span, offset_from(shared_base, entry_of(tile)));
  }
  return span;
}

}  // namespace mosa_profile
