#include <cstdint>

#include <benchmark/benchmark.h>

#include <mosa_profile/query.hpp>

#include "bench_profiles.hpp"
#include "synthetic_profile.hpp"

namespace {

using mosa_profile::GroupBy;
using mosa_profile::Query;

const mosa_package::ProfileReport& real_profile() {
  return mosa_bench::profile(mosa_bench::real_tiles, mosa_bench::real_samples_per_tile);
}

void run_query(benchmark::State& state, const mosa_package::ProfileReport& report,
               const Query& query) {
  for (auto _ : state) benchmark::DoNotOptimize(mosa_profile::query(report, query));
  state.SetItemsProcessed(state.iterations() *
                          static_cast<std::int64_t>(mosa_synthetic::sample_count(report)));
}

void BM_Query_Default(benchmark::State& state) {
  run_query(state, real_profile(), {});
}
BENCHMARK(BM_Query_Default)->Unit(benchmark::kMillisecond);

void BM_Query_GroupByPhase(benchmark::State& state) {
  run_query(state, real_profile(), {.group_by = GroupBy::Phase});
}
BENCHMARK(BM_Query_GroupByPhase)->Unit(benchmark::kMillisecond);

void BM_Query_GroupByTile(benchmark::State& state) {
  run_query(state, real_profile(), {.group_by = GroupBy::Tile});
}
BENCHMARK(BM_Query_GroupByTile)->Unit(benchmark::kMillisecond);

void BM_Query_GroupByMetadata(benchmark::State& state) {
  run_query(state, real_profile(), {.group_by = GroupBy::Metadata, .metadata_key = "kernelSpec"});
}
BENCHMARK(BM_Query_GroupByMetadata)->Unit(benchmark::kMillisecond);

void BM_Query_KernelFilter(benchmark::State& state) {
  run_query(state, real_profile(), {.kernel = "kernel7"});
}
BENCHMARK(BM_Query_KernelFilter)->Unit(benchmark::kMillisecond);

void BM_Query_AtOffset(benchmark::State& state) {
  run_query(state, real_profile(), {.at_offset = 500'000});
}
BENCHMARK(BM_Query_AtOffset)->Unit(benchmark::kMillisecond);

void BM_Query_Listing20(benchmark::State& state) {
  run_query(state, real_profile(), {.sample_limit = 20});
}
BENCHMARK(BM_Query_Listing20)->Unit(benchmark::kMillisecond);

void BM_Query_Size(benchmark::State& state) {
  run_query(state, mosa_bench::profile_of_size(static_cast<std::size_t>(state.range(0))), {});
}
BENCHMARK(BM_Query_Size)
    ->RangeMultiplier(10)
    ->Range(10'000, 10'000'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
