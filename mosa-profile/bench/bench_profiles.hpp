#pragma once

// Profiles for the benchmarks: built outside the timed loops and kept while consecutive
// benchmarks ask for the same shape, so a suite over one large profile builds it once.

#include <cstddef>

#include <mosa_package/profile.hpp>

namespace mosa_bench {

// The profile shape of a real program: 1472 tiles of 1000 samples.
inline constexpr std::size_t real_tiles = 1472;
inline constexpr std::size_t real_samples_per_tile = 1000;

const mosa_package::ProfileReport& profile(std::size_t tiles, std::size_t samples_per_tile);

// A profile of about `samples` samples over the real tile count (at least one sample a tile).
const mosa_package::ProfileReport& profile_of_size(std::size_t samples);

}  // namespace mosa_bench
