#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/query_selection.hpp>

namespace {

using mosa_package::CycleSample;
using mosa_package::ProfileMetadata;
using mosa_package::ProfileStepKind;
using mosa_profile::GroupBy;
using mosa_profile::MetadataFilter;
using mosa_profile::Query;
using mosa_profile::StepKind;

constexpr std::uint64_t top = std::numeric_limits<std::uint64_t>::max();

CycleSample step(std::string kernel, std::string operation,
                 std::vector<ProfileMetadata> metadata = {}) {
  CycleSample sample;
  sample.step.phase = 3;
  sample.step.kind = ProfileStepKind::Compute;
  sample.step.kernel = std::move(kernel);
  sample.step.operation = std::move(operation);
  sample.step.metadata = std::move(metadata);
  return sample;
}

// Kernel "gemm", operation "madd rows", phase 3, metadata (block, 0), (block, 1), (tag, "").
CycleSample tagged_gemm() {
  return step("gemm", "madd rows", {{"block", "0"}, {"block", "1"}, {"tag", ""}});
}

TEST(MatchesQuery, TestsEveryConditionTheQuerySets) {
  const struct {
    const char* label;
    Query query;
    CycleSample sample;
    bool expected;
  } cases[] = {
      {"default query", {}, tagged_gemm(), true},
      {"kind equal", {.kind = StepKind::Compute}, tagged_gemm(), true},
      {"kind different", {.kind = StepKind::Exchange}, tagged_gemm(), false},
      {"kernel equal", {.kernel = "gemm"}, tagged_gemm(), true},
      {"kernel differs in case", {.kernel = "Gemm"}, tagged_gemm(), false},
      {"kernel prefix", {.kernel = "gem"}, tagged_gemm(), false},
      {"empty kernel filter, step with kernel", {.kernel = ""}, tagged_gemm(), false},
      {"empty kernel filter, step without kernel", {.kernel = ""}, step("", "x"), true},
      {"group name as filter, step without kernel",
       {.kernel = "(no kernel)"},
       step("", "x"),
       false},
      {"group name as filter, literal kernel",
       {.kernel = "(no kernel)"},
       step("(no kernel)", "x"),
       true},
      {"empty operation text", {.operation_contains = ""}, tagged_gemm(), true},
      {"empty operation text, empty operation", {.operation_contains = ""}, step("", ""), true},
      {"operation substring", {.operation_contains = "add"}, tagged_gemm(), true},
      {"operation whole", {.operation_contains = "madd rows"}, tagged_gemm(), true},
      {"operation substring differs in case", {.operation_contains = "Add"}, tagged_gemm(), false},
      {"operation longer than the name",
       {.operation_contains = "madd rows!"},
       tagged_gemm(),
       false},
      {"tile listed", {.tiles = {2, 7}}, tagged_gemm(), true},
      {"tile not listed", {.tiles = {2, 8}}, tagged_gemm(), false},
      {"phase listed", {.phases = {3}}, tagged_gemm(), true},
      {"phase not listed", {.phases = {0, 4}}, tagged_gemm(), false},
      {"name filter, any value", {.metadata = {{.name = "block"}}}, tagged_gemm(), true},
      {"name filter, empty value", {.metadata = {{.name = "tag"}}}, tagged_gemm(), true},
      {"value filter, empty value",
       {.metadata = {{.name = "tag", .value = ""}}},
       tagged_gemm(),
       true},
      {"value of a later entry",
       {.metadata = {{.name = "block", .value = "1"}}},
       tagged_gemm(),
       true},
      {"value of no entry", {.metadata = {{.name = "block", .value = "2"}}}, tagged_gemm(), false},
      {"name absent", {.metadata = {{.name = "size"}}}, tagged_gemm(), false},
      {"name differs in case", {.metadata = {{.name = "Block"}}}, tagged_gemm(), false},
      {"no metadata", {.metadata = {{.name = "block"}}}, step("gemm", "x"), false},
      {"filters met by different entries",
       {.metadata = {{.name = "block", .value = "0"}, {.name = "block", .value = "1"}}},
       tagged_gemm(),
       true},
      {"one of two filters unmet",
       {.metadata = {{.name = "block", .value = "1"}, {.name = "tag", .value = "x"}}},
       tagged_gemm(),
       false},
      {"name and value on different entries",
       {.metadata = {{.name = "a", .value = "2"}}},
       step("k", "x", {{"a", "1"}, {"b", "2"}}),
       false},
      {"every condition met",
       {.kind = StepKind::Compute,
        .kernel = "gemm",
        .operation_contains = "rows",
        .tiles = {7},
        .phases = {3},
        .metadata = {{.name = "tag"}},
        .at_offset = 105},
       tagged_gemm(),
       true},
      {"all but the last condition met",
       {.kind = StepKind::Compute,
        .kernel = "gemm",
        .operation_contains = "rows",
        .tiles = {7},
        .phases = {3},
        .metadata = {{.name = "size"}},
        .at_offset = 105},
       tagged_gemm(),
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(mosa_profile::matches_query(c.query, 7, c.sample, 100, 10), c.expected);
  }
}

TEST(MatchesQuery, AtOffsetSelectsTheHalfOpenRangeOfTheSample) {
  const struct {
    std::uint64_t offset;
    std::uint32_t duration;
    std::uint64_t at;
    bool expected;
  } cases[] = {
      {100, 10, 99, false},
      {100, 10, 100, true},
      {100, 10, 109, true},
      {100, 10, 110, false},
      {0, 1, 0, true},
      {0, 1, 1, false},
      // The end passes 2^64 - 1 and stops there instead of wrapping to a small number.
      {top - 5, 10, top - 1, true},
      {top - 5, 10, top, false},
      {top - 5, 10, top - 6, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " + " << c.duration << " at " << c.at);
    EXPECT_EQ(
        mosa_profile::matches_query({.at_offset = c.at}, 7, tagged_gemm(), c.offset, c.duration),
        c.expected);
  }
}

TEST(GroupKey, NamesAndDimensionsOfEveryGrouping) {
  using Dimensions = std::map<std::string, std::string>;
  CycleSample late = step("gemm", "op");
  late.step.phase = 10;
  late.step.epoch = 4294967295U;
  CycleSample exchange = tagged_gemm();
  exchange.step.kind = ProfileStepKind::Exchange;
  const auto by_key = [](std::optional<std::string> key) {
    return Query{.group_by = GroupBy::Metadata, .metadata_key = std::move(key)};
  };
  const struct {
    const char* label;
    Query query;
    std::uint32_t tile;
    CycleSample sample;
    std::string name;
    Dimensions dimensions;
  } cases[] = {
      {"kind", {.group_by = GroupBy::Kind}, 7, tagged_gemm(), "compute", {}},
      {"kind exchange", {.group_by = GroupBy::Kind}, 7, exchange, "exchange", {}},
      {"kernel", {.group_by = GroupBy::Kernel}, 7, tagged_gemm(), "gemm", {}},
      {"no kernel", {.group_by = GroupBy::Kernel}, 7, step("", "op"), "(no kernel)", {}},
      {"literal no kernel",
       {.group_by = GroupBy::Kernel},
       7,
       step("(no kernel)", "op"),
       "(no kernel)",
       {}},
      {"operation", {.group_by = GroupBy::Operation}, 7, tagged_gemm(), "madd rows", {}},
      {"empty operation", {.group_by = GroupBy::Operation}, 7, step("gemm", ""), "", {}},
      {"phase",
       {.group_by = GroupBy::Phase},
       7,
       tagged_gemm(),
       "phase 3/0",
       {{"epoch", "0"}, {"phase", "3"}}},
      {"phase of a late epoch",
       {.group_by = GroupBy::Phase},
       7,
       late,
       "phase 10/4294967295",
       {{"epoch", "4294967295"}, {"phase", "10"}}},
      {"tile", {.group_by = GroupBy::Tile}, 7, tagged_gemm(), "tile 7", {{"physicalTile", "7"}}},
      {"tile 0", {.group_by = GroupBy::Tile}, 0, tagged_gemm(), "tile 0", {{"physicalTile", "0"}}},
      {"first of repeated entries",
       by_key("block"),
       7,
       tagged_gemm(),
       "0",
       {{"metadataKey", "block"}, {"metadataValue", "0"}}},
      {"empty value",
       by_key("tag"),
       7,
       tagged_gemm(),
       "",
       {{"metadataKey", "tag"}, {"metadataValue", ""}}},
      {"entry missing",
       by_key("block"),
       7,
       step("gemm", "op"),
       "(missing)",
       {{"metadataKey", "block"}, {"metadataValue", "(missing)"}}},
      {"literal missing value",
       by_key("block"),
       7,
       step("gemm", "op", {{"block", "(missing)"}}),
       "(missing)",
       {{"metadataKey", "block"}, {"metadataValue", "(missing)"}}},
      {"key differs in case",
       by_key("Block"),
       7,
       tagged_gemm(),
       "(missing)",
       {{"metadataKey", "Block"}, {"metadataValue", "(missing)"}}},
      {"no key",
       by_key(std::nullopt),
       7,
       tagged_gemm(),
       "(missing)",
       {{"metadataKey", ""}, {"metadataValue", "(missing)"}}},
      {"no key, entry with an empty name",
       by_key(std::nullopt),
       7,
       step("gemm", "op", {{"block", "0"}, {"", "unnamed"}}),
       "unnamed",
       {{"metadataKey", ""}, {"metadataValue", "unnamed"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const mosa_profile::GroupKey key = mosa_profile::group_key(c.query, c.tile, c.sample);
    EXPECT_EQ(key.name, c.name);
    EXPECT_EQ(key.dimensions, c.dimensions);
  }
}

TEST(SampleRecord, CopiesTheCandidateAndItsStep) {
  CycleSample sample = step("gemm", "madd rows", {{"block", "1"}, {"block", "0"}, {"", ""}});
  sample.step.kind = ProfileStepKind::Synchronization;
  sample.step.epoch = 4;
  sample.step.local_index = 99;
  const mosa_profile::SampleRecord record = mosa_profile::sample_record(
      {.tile = 12, .offset = 5000000000, .duration = 17, .sample = &sample});
  EXPECT_EQ(record.physical_tile, 12U);
  EXPECT_EQ(record.offset, 5000000000U);
  EXPECT_EQ(record.duration, 17U);
  EXPECT_EQ(record.phase, 3U);
  EXPECT_EQ(record.epoch, 4U);
  EXPECT_EQ(record.kind, "synchronization");
  EXPECT_EQ(record.operation, "madd rows");
  EXPECT_EQ(record.kernel, "gemm");
  ASSERT_EQ(record.metadata.size(), 3U);
  const std::pair<std::string, std::string> expected[] = {{"block", "1"}, {"block", "0"}, {"", ""}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(record.metadata[i].name, expected[i].first);
    EXPECT_EQ(record.metadata[i].value, expected[i].second);
  }
}

TEST(SampleRecord, KeepsAMissingKernelEmpty) {
  const CycleSample sample = step("", "op");
  const auto record = mosa_profile::sample_record({.tile = 1, .sample = &sample});
  EXPECT_EQ(record.kernel, "");
  EXPECT_EQ(record.kind, "compute");
  EXPECT_TRUE(record.metadata.empty());
}

}  // namespace
