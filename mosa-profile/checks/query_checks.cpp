#include <algorithm>
#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/query.hpp>

#include "checks.hpp"

namespace mosa_profile::tests {
namespace {

using mosa_package::ProfileReport;
using mosa_package::ProfileStepKind;
using mosa_package::TileProfile;

constexpr std::uint64_t gigahertz = 1'000'000'000;

std::uint32_t draw(std::mt19937_64& rng, std::uint32_t low, std::uint32_t high) {
  return std::uniform_int_distribution<std::uint32_t>{low, high}(rng);
}

const GroupSummary* find_group(const QueryReport& report, std::string_view name) {
  const auto found = std::find_if(report.groups.begin(), report.groups.end(),
                                  [name](const GroupSummary& group) { return group.name == name; });
  return found == report.groups.end() ? nullptr : &*found;
}

}  // namespace

void groups_by_semantic_metadata_value() {
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 1,
                 .samples = {sample(0, ProfileStepKind::Compute, "add", 0, 10),
                             sample(1, ProfileStepKind::Compute, "add", 10, 30)}}}};

  const QueryReport report =
      query(profile, {.group_by = GroupBy::Metadata, .metadata_key = "block"});

  ASSERT_EQ(report.groups.size(), 2U);
  ASSERT_EQ(report.groups[0].name, "1");
  ASSERT_EQ(report.groups[1].name, "0");
}

void groups_parallel_samples_by_kernel() {
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {
          {.physical_tile = 2, .samples = {sample(0, ProfileStepKind::Compute, "add", 100, 120)}},
          {.physical_tile = 3, .samples = {sample(1, ProfileStepKind::Compute, "add", 100, 130)}}}};

  const QueryReport report = query(profile, {});

  ASSERT_EQ(report.groups.size(), 1U);
  ASSERT_EQ(report.groups[0].phase_cycles, 30U);
  ASSERT_EQ(report.groups[0].work_cycles, 50U);
  ASSERT_EQ(report.groups[0].average_active_tiles, 50.0 / 30.0);
  ASSERT_EQ(report.profile_span_cycles, 30U);
}

void phase_cycles_include_sequential_repeated_operations() {
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 2,
                 .samples = {sample(0, ProfileStepKind::Compute, "gemm", 100, 110),
                             sample(0, ProfileStepKind::Compute, "gemm", 110, 120)}},
                {.physical_tile = 3,
                 .samples = {sample(0, ProfileStepKind::Compute, "gemm", 100, 108),
                             sample(0, ProfileStepKind::Compute, "gemm", 108, 116)}}}};

  const QueryReport report = query(profile, {});

  ASSERT_FALSE(report.groups.empty());
  ASSERT_EQ(report.groups[0].phase_cycles, 20U);
  ASSERT_EQ(report.groups[0].work_cycles, 36U);
  ASSERT_EQ(report.groups[0].average_active_tiles, 1.8);
}

void randomized_queries_crop_one_common_initial_entry_span() {
  std::mt19937_64 rng{31651020194079085};
  for (int n = 0; n < 64; ++n) {
    const std::uint32_t tile_count = draw(rng, 2, 32);
    std::vector<std::uint32_t> starts;
    for (std::uint32_t i = 0; i < tile_count; ++i) starts.push_back(draw(rng, 1000, 10000));
    const std::uint32_t margin = draw(rng, 1, 2000);
    const std::uint32_t boundary = *std::max_element(starts.begin(), starts.end()) + margin;
    const std::uint32_t work = draw(rng, 1, 2000);

    ProfileReport profile{.clock_hz = gigahertz};
    for (std::uint32_t i = 0; i < tile_count; ++i) {
      profile.tiles.push_back(TileProfile{
          .physical_tile = i,
          .samples = {sample(0, ProfileStepKind::Synchronization, "", starts[i], boundary),
                      sample(1, ProfileStepKind::Compute, "work", boundary, boundary + work)}});
    }
    const std::uint64_t skew = margin;

    const QueryReport cropped = query(profile, {.group_by = GroupBy::Kind});
    const QueryReport shared = query(profile, {.shared_clock = true});

    ASSERT_EQ(cropped.profile_span_cycles, skew + work) << "case " << n;
    ASSERT_GE(shared.profile_span_cycles, cropped.profile_span_cycles) << "case " << n;
    const GroupSummary* synchronization = find_group(cropped, "synchronization");
    ASSERT_NE(synchronization, nullptr) << "case " << n;
    ASSERT_EQ(synchronization->first_offset, 0U) << "case " << n;
    ASSERT_EQ(synchronization->maximum_cycles, skew) << "case " << n;
    const GroupSummary* compute = find_group(cropped, "compute");
    ASSERT_NE(compute, nullptr) << "case " << n;
    ASSERT_EQ(compute->first_offset, skew) << "case " << n;
  }
}

void filters_by_normalized_time_and_metadata_across_counter_wrap() {
  const ProfileReport profile{
      .clock_hz = 1'500'000'000,
      .tiles = {{.physical_tile = 9,
                 .samples = {sample(0, ProfileStepKind::Exchange, "", 4294967291U, 5),
                             sample(1, ProfileStepKind::Compute, "add", 5, 15)}}}};

  const QueryReport report = query(
      profile, {.metadata = {{.name = "block", .value = "1"}}, .at_offset = 12, .sample_limit = 1});

  ASSERT_EQ(report.matched_sample_count, 1U);
  ASSERT_FALSE(report.samples.empty());
  ASSERT_EQ(report.samples[0].phase, 1U);
  ASSERT_EQ(report.samples[0].offset, 10U);
}

void common_origin_does_not_turn_first_exchange_skew_into_later_skew() {
  const ProfileReport profile{
      .clock_hz = gigahertz,
      .tiles = {{.physical_tile = 2,
                 .samples = {sample(0, ProfileStepKind::Exchange, "", 100, 150),
                             sample(1, ProfileStepKind::Compute, "gemm", 150, 160)}},
                {.physical_tile = 3,
                 .samples = {sample(0, ProfileStepKind::Exchange, "", 120, 150),
                             sample(1, ProfileStepKind::Compute, "gemm", 150, 160)}}}};

  const QueryReport report =
      query(profile, {.kind = StepKind::Compute, .shared_clock = true, .sample_limit = 2});

  ASSERT_EQ(report.samples.size(), 2U);
  for (const SampleRecord& listed : report.samples) ASSERT_EQ(listed.offset, 50U);
  ASSERT_FALSE(report.groups.empty());
  ASSERT_EQ(report.groups[0].phase_cycles, 10U);
}

}  // namespace mosa_profile::tests
