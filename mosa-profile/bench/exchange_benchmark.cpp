#include <cstdint>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include <mosa_profile/exchange_activity_summary.hpp>
#include <mosa_profile/exchange_boundaries.hpp>
#include <mosa_profile/exchange_roles.hpp>

#include "bench_profiles.hpp"
#include "synthetic_profile.hpp"

namespace {

std::int64_t samples_of(const mosa_package::ProfileReport& report) {
  return static_cast<std::int64_t>(mosa_synthetic::sample_count(report));
}

void BM_ExchangeBoundaries_RealProfile(benchmark::State& state) {
  const auto& report =
      mosa_bench::profile(mosa_bench::real_tiles, mosa_bench::real_samples_per_tile);
  for (auto _ : state) benchmark::DoNotOptimize(mosa_profile::exchange_boundaries(report));
  state.SetItemsProcessed(state.iterations() * samples_of(report));
}
BENCHMARK(BM_ExchangeBoundaries_RealProfile)->Unit(benchmark::kMillisecond);

void BM_ExchangeActivitySummary_RealProfile(benchmark::State& state) {
  const auto& report =
      mosa_bench::profile(mosa_bench::real_tiles, mosa_bench::real_samples_per_tile);
  for (auto _ : state) benchmark::DoNotOptimize(mosa_profile::exchange_activity_summary(report));
  state.SetItemsProcessed(state.iterations() * samples_of(report));
}
BENCHMARK(BM_ExchangeActivitySummary_RealProfile)->Unit(benchmark::kMillisecond);

void BM_ExchangeBoundaries_Size(benchmark::State& state) {
  const auto& report = mosa_bench::profile_of_size(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(mosa_profile::exchange_boundaries(report));
  state.SetItemsProcessed(state.iterations() * samples_of(report));
}
BENCHMARK(BM_ExchangeBoundaries_Size)
    ->RangeMultiplier(10)
    ->Range(10'000, 10'000'000)
    ->Unit(benchmark::kMillisecond);

// Items are activities; the window is wide, so the cost must not follow its length.
void BM_ExchangeRoleCycles_Activities(benchmark::State& state) {
  std::mt19937_64 rng{0x726f6c6573};
  const std::uint32_t window = 1'000'000;
  std::vector<mosa_package::ProfileExchangeActivity> activities(
      static_cast<std::size_t>(state.range(0)));
  for (auto& activity : activities) {
    activity.kind = static_cast<mosa_package::ProfileExchangeActivityKind>(
        std::uniform_int_distribution<int>{0, 2}(rng));
    activity.start_cycle = std::uniform_int_distribution<std::uint32_t>{0, window - 1}(rng);
    activity.end_cycle =
        std::uniform_int_distribution<std::uint32_t>{activity.start_cycle + 1, window}(rng);
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(mosa_profile::exchange_role_cycles(activities, window));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ExchangeRoleCycles_Activities)->RangeMultiplier(8)->Range(8, 32'768);

}  // namespace
