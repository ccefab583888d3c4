#include "bench_profiles.hpp"

#include <algorithm>
#include <memory>

#include "synthetic_profile.hpp"

namespace mosa_bench {

const mosa_package::ProfileReport& profile(std::size_t tiles, std::size_t samples_per_tile) {
  // One profile at a time: the size sweep reaches ten million samples.
  static std::unique_ptr<mosa_package::ProfileReport> cached;
  static std::size_t cached_tiles = 0;
  static std::size_t cached_samples_per_tile = 0;
  if (!cached || cached_tiles != tiles || cached_samples_per_tile != samples_per_tile) {
    cached.reset();
    cached = std::make_unique<mosa_package::ProfileReport>(
        mosa_synthetic::synthetic_profile({.tiles = tiles, .samples_per_tile = samples_per_tile}));
    cached_tiles = tiles;
    cached_samples_per_tile = samples_per_tile;
  }
  return *cached;
}

const mosa_package::ProfileReport& profile_of_size(std::size_t samples) {
  return profile(real_tiles, std::max<std::size_t>(1, samples / real_tiles));
}

}  // namespace mosa_bench
