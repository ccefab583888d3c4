#include "synthetic_profile.hpp"

#include <algorithm>
#include <cstdint>
#include <set>

#include <gtest/gtest.h>

#include <mosa_profile/cycle_arithmetic.hpp>
#include <mosa_profile/time_origin.hpp>

namespace {

using mosa_package::ProfileStepKind;

bool same_samples(const mosa_package::ProfileReport& left,
                  const mosa_package::ProfileReport& right) {
  if (left.clock_hz != right.clock_hz || left.tiles.size() != right.tiles.size()) return false;
  for (std::size_t t = 0; t < left.tiles.size(); ++t) {
    const auto& a = left.tiles[t].samples;
    const auto& b = right.tiles[t].samples;
    if (left.tiles[t].physical_tile != right.tiles[t].physical_tile || a.size() != b.size()) {
      return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i].start_cycle != b[i].start_cycle || a[i].end_cycle != b[i].end_cycle ||
          a[i].step.kernel != b[i].step.kernel || a[i].step.epoch != b[i].step.epoch ||
          a[i].step.metadata.size() != b[i].step.metadata.size()) {
        return false;
      }
    }
  }
  return true;
}

TEST(SyntheticProfile, SameOptionsGiveTheSameProfile) {
  const mosa_synthetic::SyntheticProfileOptions options{.tiles = 6, .samples_per_tile = 300};
  EXPECT_TRUE(same_samples(mosa_synthetic::synthetic_profile(options),
                           mosa_synthetic::synthetic_profile(options)));
  auto other_run = options;
  other_run.run = 1;
  EXPECT_FALSE(same_samples(mosa_synthetic::synthetic_profile(options),
                            mosa_synthetic::synthetic_profile(other_run)));
}

TEST(SyntheticProfile, HasTheShapeOfARealProgram) {
  const auto report = mosa_synthetic::synthetic_profile({.tiles = 12, .samples_per_tile = 400});
  EXPECT_EQ(mosa_synthetic::sample_count(report), 12U * 400U);

  const std::uint32_t base = mosa_profile::cycle_origin(report);
  const std::uint64_t skew = mosa_profile::initial_sample_entry_span(report, base);
  EXPECT_GT(skew, 0U);
  EXPECT_LE(skew, 3000U);

  std::set<std::string> kernels;
  std::set<std::uint32_t> epochs;
  bool every_counter_wraps = true;
  for (const auto& tile : report.tiles) {
    bool wrapped = false;
    for (std::size_t i = 1; i < tile.samples.size(); ++i) {
      wrapped = wrapped || tile.samples[i].start_cycle < tile.samples[i - 1].start_cycle;
    }
    every_counter_wraps = every_counter_wraps && wrapped;
    for (const auto& sample : tile.samples) {
      epochs.insert(sample.step.epoch);
      if (sample.step.kind == ProfileStepKind::Compute) kernels.insert(sample.step.kernel);
      if (sample.step.kind == ProfileStepKind::Exchange) {
        EXPECT_TRUE(sample.step.kernel.empty());
        EXPECT_LE(sample.step.exchange_activities.size(), 8U);
      }
    }
  }
  EXPECT_TRUE(every_counter_wraps);
  EXPECT_GT(kernels.size(), 5U);
  EXPECT_GT(epochs.size(), 3U);
}

TEST(SyntheticProfile, TilesLeaveASynchronizationTogether) {
  const auto report = mosa_synthetic::synthetic_profile({.tiles = 8, .samples_per_tile = 200});
  const std::uint32_t base = mosa_profile::cycle_origin(report);
  for (std::size_t i = 0; i < report.tiles[0].samples.size(); ++i) {
    if (report.tiles[0].samples[i].step.kind != ProfileStepKind::Synchronization) continue;
    std::uint64_t earliest = UINT64_MAX;
    std::uint64_t latest = 0;
    for (const auto& tile : report.tiles) {
      const auto& sample = tile.samples[i];
      const std::uint64_t end =
          mosa_profile::offset_from(base, sample.start_cycle) + mosa_profile::duration(sample);
      earliest = std::min(earliest, end);
      latest = std::max(latest, end);
    }
    EXPECT_LE(latest - earliest, 3U) << "step " << i;
  }
}

}  // namespace
