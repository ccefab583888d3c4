#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include <mosa_profile/calibration.hpp>

#include "bench_profiles.hpp"
#include "synthetic_profile.hpp"

namespace {

// Four runs of one program on one target: the same plan, other skews and jitter.
const std::vector<mosa_package::ProfileReport>& four_runs() {
  static const std::vector<mosa_package::ProfileReport> runs = [] {
    std::vector<mosa_package::ProfileReport> built;
    for (std::uint64_t run = 0; run < 4; ++run) {
      built.push_back(
          mosa_synthetic::synthetic_profile({.tiles = mosa_bench::real_tiles,
                                             .samples_per_tile = mosa_bench::real_samples_per_tile,
                                             .seed = mosa_synthetic::SyntheticProfileOptions{}.seed,
                                             .run = run}));
    }
    return built;
  }();
  return runs;
}

void BM_CalibrateProfiles_FourRuns(benchmark::State& state) {
  const auto& runs = four_runs();
  std::int64_t samples = 0;
  for (const auto& run : runs)
    samples += static_cast<std::int64_t>(mosa_synthetic::sample_count(run));
  for (auto _ : state) {
    benchmark::DoNotOptimize(mosa_profile::calibrate_profiles(runs, "mosa7", "bench"));
  }
  state.SetItemsProcessed(state.iterations() * samples);
}
BENCHMARK(BM_CalibrateProfiles_FourRuns)->Unit(benchmark::kMillisecond);

}  // namespace
