#pragma once

// The common time line of all tiles. Every tile's counter readings are taken as readings of one
// time base modulo 2^32 and placed on one line by subtracting one shared base, so that skew between
// tiles stays visible and a counter wrap does not reorder samples. A tile's entry is the
// start_cycle of its first sample; tiles without samples have no entry.

#include <cstdint>

#include <mosa_package/profile.hpp>

namespace mosa_profile {

// Offset of `reading` on the common time line: (reading - shared_base) mod 2^32, widened to
// 64 bits. A reading just after a counter wrap lands after one just before it.
// Example: base 4294967200, reading 100 -> 196.
constexpr std::uint64_t offset_from(std::uint32_t shared_base, std::uint32_t reading) noexcept {
  return static_cast<std::uint32_t>(reading - shared_base);
}

// The shared base: the earliest tile entry, judged across counter wraps. Entries are compared
// with the first tile that has samples (the reference) by their signed 32-bit distance from it,
// so an entry up to 2^31 cycles before the reference (2^31 included) counts as earlier.
// 0 when no tile has a sample. Looks only at the first sample of each tile.
// Example: entries 1000, 900, 1100 -> 900; entries 5 and 4294967286 -> 4294967286.
std::uint32_t cycle_origin(const mosa_package::ProfileReport& report) noexcept;

// The initial entry span: the largest entry offset from `shared_base` over the tiles that have
// samples, that is, how long after the shared base the last tile entered. 0 when no tile has a
// sample. Example: entries 1000, 900, 1100 with base 900 -> 200.
std::uint64_t initial_sample_entry_span(const mosa_package::ProfileReport& report,
                                        std::uint32_t shared_base) noexcept;

}  // namespace mosa_profile
