// Counts heap allocations while `query` runs, through a replaced global operator new, to show
// that a query allocates per group and per container growth, not per sample: the same groups over
// ten times the samples cost only the few extra doublings of the lists that hold one entry per
// sample.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include <mosa_profile/query.hpp>

namespace {

std::atomic<std::size_t> allocations{0};

}  // namespace

// The replacements pair malloc with free; g++ cannot see that and takes the free in operator delete
// for a mismatch with the operator new it inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

void* counted_allocation(std::size_t size) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}

void* counted_allocation_or_throw(std::size_t size) {
  if (void* memory = counted_allocation(size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

// Every form that the standard library may use, so that each allocation is counted and every
// deallocation matches its allocation.
void* operator new(std::size_t size) {
  return counted_allocation_or_throw(size);
}
void* operator new[](std::size_t size) {
  return counted_allocation_or_throw(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return counted_allocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return counted_allocation(size);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}

namespace {

using mosa_package::ProfileStepKind;
using mosa_profile::GroupBy;
using mosa_profile::Query;

constexpr std::uint32_t kernels = 6;
constexpr std::uint32_t phases = 4;
constexpr std::uint32_t tiles = 8;

// Every tile runs the same repeating steps, so more samples per tile add no group, tile, phase or
// metadata value: only more samples of each.
mosa_package::ProfileReport profile(std::uint32_t samples_per_tile) {
  mosa_package::ProfileReport report{.clock_hz = 1'000'000'000, .tiles = {}};
  for (std::uint32_t tile = 0; tile < tiles; ++tile) {
    mosa_package::TileProfile& profile = report.tiles.emplace_back();
    profile.physical_tile = tile;
    std::uint32_t counter = 4'294'000'000U + tile * 7;
    for (std::uint32_t i = 0; i < samples_per_tile; ++i) {
      mosa_package::CycleSample& sample = profile.samples.emplace_back();
      sample.step.phase = i % phases;
      sample.step.kind = i % 3 == 0 ? ProfileStepKind::Exchange : ProfileStepKind::Compute;
      sample.step.kernel = i % 3 == 0 ? "" : "kernel" + std::to_string(i % kernels);
      sample.step.operation = "op" + std::to_string(i % kernels);
      sample.step.metadata = {{"block", std::to_string(i % 2)}};
      if (i % 4 == 0) {
        sample.step.metadata.push_back({"usefulCycles", "30"});
        sample.step.metadata.push_back({"physicalWorkCycles", "60"});
      }
      sample.start_cycle = counter;
      sample.end_cycle = counter + 100 + i % 50;
      counter = sample.end_cycle + 3;
    }
  }
  return report;
}

std::size_t allocations_of(const mosa_package::ProfileReport& report, const Query& query) {
  const std::size_t before = allocations.load();
  const mosa_profile::QueryReport result = mosa_profile::query(report, query);
  const std::size_t during = allocations.load() - before;
  EXPECT_GT(result.matched_sample_count, 0U);
  return during;
}

TEST(QueryAllocations, DoNotGrowWithTheNumberOfSamples) {
  const mosa_package::ProfileReport small = profile(1'000);
  const mosa_package::ProfileReport large = profile(10'000);
  const struct {
    const char* label;
    Query query;
    std::size_t groups;
  } cases[] = {
      {"default", {}, kernels + 1},
      {"by phase", {.group_by = GroupBy::Phase}, phases},
      {"by tile", {.group_by = GroupBy::Tile}, tiles},
      {"by metadata", {.group_by = GroupBy::Metadata, .metadata_key = "block"}, 2},
      {"kernel filter", {.kernel = "kernel1"}, 1},
      {"at offset", {.at_offset = 1'000, .shared_clock = true}, kernels + 1},
      {"listing of 20", {.sample_limit = 20}, kernels + 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::size_t at_n = allocations_of(small, c.query);
    const std::size_t at_ten_n = allocations_of(large, c.query);
    std::cout << c.label << ": " << at_n << " allocations over " << tiles * 1'000 << " samples, "
              << at_ten_n << " over " << tiles * 10'000 << '\n';
    // Each group holds two lists with one entry per sample (durations and busy intervals); ten
    // times the entries take at most four more doublings of each.
    EXPECT_LE(at_ten_n, at_n + 8 * c.groups + 8);
  }
}

}  // namespace
