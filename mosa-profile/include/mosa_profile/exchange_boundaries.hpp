#pragma once

// Exchange boundaries: for every (epoch, phase) of a profile's exchange steps, when the tiles
// entered and left the exchange on the common time line, how far apart their arrivals were, and
// how long the exchange still ran after the last arrival.

#include <cstdint>
#include <optional>
#include <vector>

#include <mosa_package/profile.hpp>

namespace mosa_profile {

// One exchange of one (epoch, phase), over the exchange samples of all tiles. Positions are
// cycles on the common time line from the profile's time origin, without a crop: a sample's entry
// is (start_cycle - origin) mod 2^32 and its exit is entry + duration, so an exit is at most
// 2^33 - 2. Always first_entry <= last_entry <= last_exit, and
// arrival_spread_cycles + after_last_arrival_cycles = last_exit - first_entry.
struct ExchangeBoundary {
  std::uint32_t epoch = 0;
  std::uint32_t phase = 0;
  std::uint64_t first_entry = 0;  // earliest entry of the group's samples
  std::uint64_t last_entry = 0;   // latest entry of the group's samples
  std::uint64_t last_exit = 0;    // latest exit of the group's samples
  // physical_tile of the sample that set last_entry; on equal entries the first in profile order
  // (tiles in list order, then samples in list order) keeps the place.
  std::uint32_t last_arriving_tile = 0;
  std::uint64_t arrival_spread_cycles = 0;      // last_entry - first_entry
  std::uint64_t after_last_arrival_cycles = 0;  // last_exit - last_entry
  // Largest non-zero exchange_event_cycles among the group's steps; absent when all are 0.
  std::optional<std::uint64_t> scheduled_event_cycles;
  friend bool operator==(const ExchangeBoundary&, const ExchangeBoundary&) = default;
};

// One boundary per distinct (epoch, phase) of the report's Exchange samples, ordered by
// (last_exit, epoch, phase) ascending; empty when there is no Exchange sample. The time origin is
// cycle_origin(report), taken over every tile's first sample whatever its kind; samples of other
// kinds are otherwise ignored. Entries across a counter wrap keep their true order and distance
// while the profile spans less than 2^32 cycles from the origin; a sample starting before the
// origin lands near 2^32. O(S + G log G) for S exchange samples in G groups, memory O(G).
// Example: tile 2 enters at counter 4294967276 and leaves at 50, tile 3 enters at 5 and leaves
// at 55, same epoch and phase -> first_entry 0, last_entry 25, last_exit 75,
// last_arriving_tile 3, arrival_spread_cycles 25, after_last_arrival_cycles 50.
std::vector<ExchangeBoundary> exchange_boundaries(const mosa_package::ProfileReport& report);

}  // namespace mosa_profile
