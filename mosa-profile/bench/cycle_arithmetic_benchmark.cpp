#include <cstdint>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include <mosa_profile/cycle_arithmetic.hpp>

namespace {

// Items are intervals: overlapping busy intervals of many tiles, in walk order.
void BM_UnionLength_Intervals(benchmark::State& state) {
  std::mt19937_64 rng{0x756e696f6e};
  std::vector<mosa_profile::Interval> intervals(static_cast<std::size_t>(state.range(0)));
  for (auto& interval : intervals) {
    interval.start = std::uniform_int_distribution<std::uint64_t>{0, 50'000'000}(rng);
    interval.end = interval.start + std::uniform_int_distribution<std::uint64_t>{1, 4'000}(rng);
  }
  for (auto _ : state) benchmark::DoNotOptimize(mosa_profile::union_length(intervals));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UnionLength_Intervals)->RangeMultiplier(10)->Range(10, 1'000'000);

}  // namespace
