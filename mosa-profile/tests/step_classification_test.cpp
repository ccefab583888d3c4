#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/step_classification.hpp>

namespace {

using mosa_package::CycleSample;
using mosa_package::ProfileMetadata;
using mosa_package::ProfileStepKind;
using mosa_profile::StepKind;

CycleSample with_metadata(std::vector<ProfileMetadata> metadata) {
  CycleSample sample;
  sample.step.metadata = std::move(metadata);
  return sample;
}

// The useful figure alone, read through a pair whose physical figure is the largest usable, 2^64.
std::optional<double> useful_figure(const std::string& text) {
  const auto estimate = mosa_profile::useful_work(
      with_metadata({{"usefulCycles", text}, {"physicalWorkCycles", "18446744073709551616"}}));
  if (!estimate) return std::nullopt;
  return estimate->useful;
}

TEST(StepClassification, MapsEveryRecordKindToItsNamedKind) {
  const struct {
    ProfileStepKind record;
    StepKind kind;
    const char* name;
  } cases[] = {{ProfileStepKind::Exchange, StepKind::Exchange, "exchange"},
               {ProfileStepKind::Compute, StepKind::Compute, "compute"},
               {ProfileStepKind::Synchronization, StepKind::Synchronization, "synchronization"},
               {ProfileStepKind::Idle, StepKind::Idle, "idle"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CycleSample sample;
    sample.step.kind = c.record;
    EXPECT_EQ(mosa_profile::kind_of(sample), c.kind);
    EXPECT_EQ(mosa_profile::kind_name(sample), c.name);
  }
}

TEST(UsefulWork, AcceptsPlainDecimalNumbers) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {{"300", 300.0},
               {"1e2", 100.0},
               {"+7", 7.0},
               {".5", 0.5},
               {"5.", 5.0},
               {"-0", 0.0},
               {"0", 0.0},
               {"007", 7.0},
               {"2.5E+1", 25.0},
               {"25e-1", 2.5},
               {"-0.0e5", 0.0},
               {"1e-400", 0.0},
               {"-1e-400", 0.0},
               {"0.1", 0.1},
               {"18446744073709551616", 0x1p64},
               {"18446744073709551617", 0x1p64},
               {"1.8446744073709551616e19", 0x1p64},
               {"0.000000000000000000001e-300", 1e-321},
               // Integers short enough to be exact, and longer ones that must round to nearest.
               {"123456789012345", 123456789012345.0},
               {"999999999999999", 999999999999999.0},
               {"9007199254740993", 9007199254740992.0},
               {"12345678901234567890", 12345678901234567890.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<double> value = useful_figure(c.text);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, c.expected);
  }
}

TEST(UsefulWork, RejectsEveryOtherText) {
  const char* const cases[] = {" 1",  "1 ",  "",    "1_000", "0x10",     "-1",       "-0.5",
                               "nan", "NaN", "inf", "-inf",  "Infinity", "infinity", "1e400",
                               "1e",  "1e+", ".",   "+",     "-",        "e5",       "1.2.3",
                               "++1", "1,5", "5f",  "1e5.0", "\t2",      "1e-"};
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(useful_figure(text).has_value());
  }
  // Above 2^64 cycles: the next double, and up to the top of the double range.
  for (const char* text : {"18446744073709555712", "1e20", "1.7976931348623157e308"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(useful_figure(text).has_value());
  }
  // Beyond the double range without an exponent.
  EXPECT_FALSE(useful_figure("1" + std::string(400, '0')).has_value());
  EXPECT_EQ(useful_figure("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(UsefulWork, PairsUsefulWithPhysicalWork) {
  const struct {
    const char* label;
    std::vector<ProfileMetadata> metadata;
    std::optional<std::pair<double, double>> expected;
  } cases[] = {
      {"both present", {{"usefulCycles", "300"}, {"physicalWorkCycles", "400"}}, {{300.0, 400.0}}},
      {"equal", {{"usefulCycles", "400"}, {"physicalWorkCycles", "400"}}, {{400.0, 400.0}}},
      {"physical below useful", {{"usefulCycles", "500"}, {"physicalWorkCycles", "400"}}, {}},
      {"only useful", {{"usefulCycles", "300"}}, {}},
      {"only physical", {{"physicalWorkCycles", "400"}}, {}},
      {"no metadata", {}, {}},
      {"name differs in case", {{"UsefulCycles", "300"}, {"physicalWorkCycles", "400"}}, {}},
      {"first entry unusable",
       {{"usefulCycles", "many"}, {"usefulCycles", "300"}, {"physicalWorkCycles", "400"}},
       {}},
      {"first entry counts",
       {{"physicalWorkCycles", "400"},
        {"usefulCycles", "300"},
        {"usefulCycles", "x"},
        {"physicalWorkCycles", "1"}},
       {{300.0, 400.0}}},
      {"both zero", {{"usefulCycles", "0"}, {"physicalWorkCycles", "0"}}, {{0.0, 0.0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto estimate = mosa_profile::useful_work(with_metadata(c.metadata));
    ASSERT_EQ(estimate.has_value(), c.expected.has_value());
    if (estimate) {
      EXPECT_EQ(estimate->useful, c.expected->first);
      EXPECT_EQ(estimate->physical, c.expected->second);
    }
  }
}

}  // namespace
