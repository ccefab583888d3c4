#include <cstdint>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/time_origin.hpp>

namespace {

using mosa_package::ProfileReport;

// A profile with one tile per entry; an absent entry is a tile without samples. Each tile with an
// entry holds one sample starting there.
ProfileReport entering_at(const std::vector<std::optional<std::uint32_t>>& entries) {
  ProfileReport report{.clock_hz = 1'000'000'000};
  std::uint32_t tile = 0;
  for (const auto& entry : entries) {
    mosa_package::TileProfile profile{.physical_tile = tile++};
    if (entry) profile.samples.push_back({.start_cycle = *entry, .end_cycle = *entry + 10});
    report.tiles.push_back(profile);
  }
  return report;
}

TEST(TimeOrigin, EarliestEntryAcrossWrapsAndLatestEntryOffset) {
  const struct {
    const char* label;
    std::vector<std::optional<std::uint32_t>> entries;
    std::uint32_t base;
    std::uint64_t span;
  } cases[] = {
      {"no tiles", {}, 0, 0},
      {"tiles without samples", {std::nullopt, std::nullopt}, 0, 0},
      {"earlier tile in the middle", {1000, 900, 1100}, 900, 200},
      {"earliest tile first", {900, 1000, 1100}, 900, 200},
      {"empty tile first", {std::nullopt, 1000, 900}, 900, 100},
      {"counter wrapped between tiles", {5, 4294967286U}, 4294967286U, 15},
      {"wrapped tile first", {4294967286U, 5}, 4294967286U, 15},
      {"exactly 2^31 later counts as earlier", {0, 2147483648U}, 2147483648U, 2147483648U},
      {"2^31 - 1 later counts as later", {0, 2147483647U}, 0, 2147483647U},
      {"2^31 before the reference", {2147483648U, 0}, 0, 2147483648U},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const ProfileReport report = entering_at(c.entries);
    const std::uint32_t base = mosa_profile::cycle_origin(report);
    EXPECT_EQ(base, c.base);
    EXPECT_EQ(mosa_profile::initial_sample_entry_span(report, base), c.span);
  }
}

TEST(TimeOrigin, SpanIsZeroForEveryBaseWithoutSamples) {
  const ProfileReport report = entering_at({std::nullopt});
  for (std::uint32_t base : {0U, 17U, 4294967295U}) {
    EXPECT_EQ(mosa_profile::initial_sample_entry_span(report, base), 0U);
  }
}

TEST(TimeOrigin, OnlyTheFirstSampleOfATileIsItsEntry) {
  ProfileReport report = entering_at({100, 120});
  report.tiles[1].samples.push_back({.start_cycle = 50, .end_cycle = 60});
  const std::uint32_t base = mosa_profile::cycle_origin(report);
  EXPECT_EQ(base, 100U);
  EXPECT_EQ(mosa_profile::initial_sample_entry_span(report, base), 20U);
}

TEST(OffsetFrom, PlacesReadingsAfterAWrapBeyondIt) {
  EXPECT_EQ(mosa_profile::offset_from(4294967200U, 100), 196U);
  EXPECT_EQ(mosa_profile::offset_from(100, 100), 0U);
  EXPECT_EQ(mosa_profile::offset_from(100, 99), 4294967295U);
}

}  // namespace
