#include <cstdint>
#include <string_view>

#include <benchmark/benchmark.h>

#include "bench_profiles.hpp"
#include "synthetic_profile.hpp"

namespace {

// The floor of every analysis: one pass that reads what the default query must read of each
// sample, once: its counter readings, its kernel text and the names of its metadata entries.
std::uint64_t scan(const mosa_package::ProfileReport& report) {
  std::uint64_t checksum = 0;
  for (const auto& tile : report.tiles) {
    for (const auto& sample : tile.samples) {
      checksum += static_cast<std::uint32_t>(sample.end_cycle - sample.start_cycle);
      for (const char c : sample.step.kernel) {
        checksum = checksum * 31 + static_cast<unsigned char>(c);
      }
      for (const auto& entry : sample.step.metadata) {
        if (std::string_view(entry.name) == "usefulCycles") ++checksum;
      }
    }
  }
  return checksum;
}

void BM_Scan_Floor(benchmark::State& state) {
  const auto& report =
      mosa_bench::profile(mosa_bench::real_tiles, mosa_bench::real_samples_per_tile);
  for (auto _ : state) benchmark::DoNotOptimize(scan(report));
  state.SetItemsProcessed(state.iterations() *
                          static_cast<std::int64_t>(mosa_synthetic::sample_count(report)));
}
BENCHMARK(BM_Scan_Floor)->Unit(benchmark::kMillisecond);

void BM_Scan_Size(benchmark::State& state) {
  const auto& report = mosa_bench::profile_of_size(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(scan(report));
  state.SetItemsProcessed(state.iterations() *
                          static_cast<std::int64_t>(mosa_synthetic::sample_count(report)));
}
BENCHMARK(BM_Scan_Size)
    ->RangeMultiplier(10)
    ->Range(10'000, 10'000'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
