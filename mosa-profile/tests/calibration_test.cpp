#include <algorithm>
#include <compare>
#include <cstdint>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include <mosa_profile/calibration.hpp>

namespace mosa_profile {

// Readable failure reports for the records compared below.
void PrintTo(const CalibrationKey& key, std::ostream* out) {
  *out << "(" << testing::PrintToString(key.kernel) << ", {";
  for (const auto& [name, value] : key.dimensions) {
    *out << " " << testing::PrintToString(name) << ": " << testing::PrintToString(value);
  }
  *out << " })";
}

void PrintTo(const CalibrationMeasurement& measurement, std::ostream* out) {
  PrintTo(measurement.key, out);
  *out << " samples " << measurement.samples << ", minimum " << measurement.minimum_cycles
       << ", median " << measurement.median_cycles << ", p95 " << measurement.p95_cycles
       << ", maximum " << measurement.maximum_cycles;
}

}  // namespace mosa_profile

namespace {

using mosa_package::CycleSample;
using mosa_package::ProfileMetadata;
using mosa_package::ProfileReport;
using mosa_package::ProfileStepKind;
using mosa_profile::calibrate_profiles;
using mosa_profile::CalibrationDatabase;
using mosa_profile::CalibrationError;
using mosa_profile::CalibrationKey;
using mosa_profile::CalibrationMeasurement;
using mosa_profile::CalibrationResult;
using Dimensions = std::map<std::string, std::string>;

CycleSample compute(std::string kernel, std::uint32_t start, std::uint32_t end,
                    std::vector<ProfileMetadata> metadata = {}) {
  CycleSample sample{.step = {}, .start_cycle = start, .end_cycle = end};
  sample.step.kind = ProfileStepKind::Compute;
  sample.step.kernel = std::move(kernel);
  sample.step.metadata = std::move(metadata);
  return sample;
}

ProfileReport one_tile(std::vector<CycleSample> samples, std::uint64_t clock_hz = 1'000'000'000) {
  return ProfileReport{.clock_hz = clock_hz,
                       .tiles = {{.physical_tile = 0, .samples = std::move(samples)}}};
}

// The measurements of a database; a failure (and none) for an error.
std::vector<CalibrationMeasurement> measurements_of(const std::vector<ProfileReport>& reports) {
  const CalibrationResult result = calibrate_profiles(reports, "mosa7", "build");
  if (const auto* error = std::get_if<CalibrationError>(&result)) {
    ADD_FAILURE() << "unexpected error: " << error->message;
    return {};
  }
  return std::get<CalibrationDatabase>(result).measurements;
}

std::vector<CalibrationMeasurement> measurements_of(std::vector<CycleSample> samples) {
  return measurements_of(std::vector{one_tile(std::move(samples))});
}

std::string error_of(const std::vector<ProfileReport>& reports) {
  const CalibrationResult result = calibrate_profiles(reports, "mosa7", "build");
  if (std::holds_alternative<CalibrationDatabase>(result)) return "no error";
  return std::string(std::get<CalibrationError>(result).message);
}

TEST(CalibrateProfiles, RequiresAtLeastOneProfile) {
  EXPECT_EQ(error_of({}), "at least one profile is required");
}

TEST(CalibrateProfiles, RequiresOneClockFrequency) {
  const ProfileReport measured = one_tile({compute("k", 0, 10)}, 1'500'000'000);
  const struct {
    const char* label;
    std::vector<ProfileReport> reports;
  } cases[] = {
      {"second without tiles", {measured, ProfileReport{.clock_hz = 1'000'000'000, .tiles = {}}}},
      {"first without tiles", {ProfileReport{.clock_hz = 1'000'000'000, .tiles = {}}, measured}},
      {"third differs", {measured, measured, one_tile({}, 1'500'000'001)}},
      {"one without a recorded clock", {measured, one_tile({compute("k", 0, 10)}, 0)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(error_of(c.reports), "profile clock frequencies differ");
  }
}

TEST(CalibrateProfiles, BuildsADatabaseWithoutMeasurementsFromUnmeasuredProfiles) {
  CycleSample exchange = compute("k", 0, 10);
  exchange.step.kind = ProfileStepKind::Exchange;
  const std::vector<ProfileReport> reports{one_tile({exchange}, 0), one_tile({}, 0),
                                           ProfileReport{.clock_hz = 0, .tiles = {}}};
  const CalibrationResult result = calibrate_profiles(reports, "", "");
  ASSERT_TRUE(std::holds_alternative<CalibrationDatabase>(result));
  const auto& database = std::get<CalibrationDatabase>(result);
  EXPECT_EQ(database.schema_version, 1U);
  EXPECT_EQ(database.target, "");
  EXPECT_EQ(database.build_id, "");
  EXPECT_EQ(database.clock_hz, 0U);
  EXPECT_TRUE(database.measurements.empty());
}

TEST(CalibrateProfiles, CopiesTargetBuildAndClock) {
  const std::vector<ProfileReport> reports{one_tile({compute("k", 0, 10)}, 1'500'000'000),
                                           one_tile({compute("k", 0, 30)}, 1'500'000'000)};
  const CalibrationResult result = calibrate_profiles(reports, "mosa7", "test-build");
  ASSERT_TRUE(std::holds_alternative<CalibrationDatabase>(result));
  const CalibrationDatabase expected{.schema_version = 1,
                                     .target = "mosa7",
                                     .build_id = "test-build",
                                     .clock_hz = 1'500'000'000,
                                     .measurements = {{.key = {.kernel = "k", .dimensions = {}},
                                                       .samples = 2,
                                                       .minimum_cycles = 10,
                                                       .median_cycles = 10,
                                                       .p95_cycles = 10,
                                                       .maximum_cycles = 30}}};
  const auto& database = std::get<CalibrationDatabase>(result);
  EXPECT_EQ(database.schema_version, expected.schema_version);
  EXPECT_EQ(database.target, expected.target);
  EXPECT_EQ(database.build_id, expected.build_id);
  EXPECT_EQ(database.clock_hz, expected.clock_hz);
  EXPECT_EQ(database.measurements, expected.measurements);
}

TEST(CalibrateProfiles, MeasuresOnlyComputeSamplesWithAKernel) {
  std::vector<CycleSample> samples;
  for (const ProfileStepKind kind :
       {ProfileStepKind::Exchange, ProfileStepKind::Synchronization, ProfileStepKind::Idle}) {
    samples.push_back(compute("k", 0, 100));
    samples.back().step.kind = kind;
  }
  samples.push_back(compute("", 0, 200));
  samples.push_back(compute("k", 0, 7));
  const auto measurements = measurements_of(samples);
  ASSERT_EQ(measurements.size(), 1U);
  EXPECT_EQ(measurements[0].key, (CalibrationKey{.kernel = "k", .dimensions = {}}));
  EXPECT_EQ(measurements[0].samples, 1U);
  EXPECT_EQ(measurements[0].maximum_cycles, 7U);
}

TEST(CalibrateProfiles, ReadsTheInvocationCountAsAnUnsigned32BitDecimal) {
  const struct {
    const char* text;
    std::uint32_t count;
  } cases[] = {{"2", 2},
               {"+2", 2},
               {"0002", 2},
               {"3", 3},
               {"4294967295", 4294967295U},
               {"+0004294967295", 4294967295U},
               {"1", 1},
               {"4294967296", 1},
               {"99999999999999999999", 1},
               {"0", 1},
               {"+0", 1},
               {"000", 1},
               {"-1", 1},
               {"-0", 1},
               {"2a", 1},
               {"", 1},
               {"+", 1},
               {"++2", 1},
               {" 2", 1},
               {"2 ", 1},
               {"\t2", 1},
               {"2.0", 1},
               {"1e1", 1},
               {"0x10", 1},
               {"abc", 1},
               {"\xd9\xa2", 1}};  // a non-ASCII digit two
  constexpr std::uint32_t cycles = 1'000'000;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    const std::uint32_t expected = cycles / c.count + (cycles % c.count != 0 ? 1U : 0U);

    const auto declared = measurements_of(
        {compute("k", 0, cycles, {{"invocations", c.text}, {"uniformInvocations", "true"}})});
    ASSERT_EQ(declared.size(), 1U);
    EXPECT_EQ(declared[0].minimum_cycles, expected);

    // Only a count above 1 needs the declaration.
    const auto undeclared = measurements_of({compute("k", 0, cycles, {{"invocations", c.text}})});
    if (c.count == 1) {
      ASSERT_EQ(undeclared.size(), 1U);
      EXPECT_EQ(undeclared[0].minimum_cycles, cycles);
    } else {
      EXPECT_TRUE(undeclared.empty());
    }
  }
}

TEST(CalibrateProfiles, ReadsOnlyTheFirstInvocationsEntry) {
  const auto unreadable_first =
      measurements_of({compute("k", 0, 100, {{"invocations", "x"}, {"invocations", "4"}})});
  ASSERT_EQ(unreadable_first.size(), 1U);
  EXPECT_EQ(unreadable_first[0].minimum_cycles, 100U);

  const auto merged_first =
      measurements_of({compute("k", 0, 100, {{"invocations", "4"}, {"invocations", "1"}})});
  EXPECT_TRUE(merged_first.empty());

  const auto declared = measurements_of({compute(
      "k", 0, 100, {{"invocations", "4"}, {"invocations", "1"}, {"uniformInvocations", "true"}})});
  ASSERT_EQ(declared.size(), 1U);
  EXPECT_EQ(declared[0].minimum_cycles, 25U);
}

TEST(CalibrateProfiles, KeepsAMergedSampleOnlyWithAnExactTrueDeclaration) {
  const struct {
    const char* label;
    std::vector<ProfileMetadata> metadata;
    bool kept;
  } cases[] = {
      {"no declaration", {{"invocations", "2"}}, false},
      {"true", {{"invocations", "2"}, {"uniformInvocations", "true"}}, true},
      {"declared first", {{"uniformInvocations", "true"}, {"invocations", "2"}}, true},
      {"a later entry declares",
       {{"invocations", "2"}, {"uniformInvocations", "false"}, {"uniformInvocations", "true"}},
       true},
      {"false", {{"invocations", "2"}, {"uniformInvocations", "false"}}, false},
      {"True", {{"invocations", "2"}, {"uniformInvocations", "True"}}, false},
      {"TRUE", {{"invocations", "2"}, {"uniformInvocations", "TRUE"}}, false},
      {"1", {{"invocations", "2"}, {"uniformInvocations", "1"}}, false},
      {"trailing space", {{"invocations", "2"}, {"uniformInvocations", "true "}}, false},
      {"empty", {{"invocations", "2"}, {"uniformInvocations", ""}}, false},
      {"name in other case", {{"invocations", "2"}, {"UniformInvocations", "true"}}, false},
      {"true under another name", {{"invocations", "2"}, {"uniform", "true"}}, false},
      {"single invocation declared false",
       {{"invocations", "1"}, {"uniformInvocations", "false"}},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(measurements_of({compute("k", 0, 100, c.metadata)}).size(), c.kept ? 1U : 0U);
  }
}

TEST(CalibrateProfiles, DividesTheDurationByTheCountRoundingUp) {
  const struct {
    std::uint32_t start, end;
    const char* count;
    std::uint32_t expected;
  } cases[] = {{0, 41, "2", 21},         {0, 40, "2", 20},           {0, 0, "5", 0},
               {0, 1, "4294967295", 1},  {4294967290U, 10, "1", 16}, {4294967290U, 10, "3", 6},
               {1, 0, "1", 4294967295U}, {1, 0, "2", 2147483648U},   {1, 0, "4294967295", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " -> " << c.end << " / " << c.count);
    const auto measurements = measurements_of(
        {compute("k", c.start, c.end, {{"invocations", c.count}, {"uniformInvocations", "true"}})});
    ASSERT_EQ(measurements.size(), 1U);
    EXPECT_EQ(measurements[0].minimum_cycles, c.expected);
  }
}

TEST(CalibrateProfiles, LeavesBookkeepingEntriesOutOfTheKey) {
  const std::vector<ProfileMetadata> bookkeeping[] = {
      {},
      {{"reason", "OperatorKernel"}},
      {{"value", "3"}, {"workEstimateBasis", "model"}},
      {{"usefulCycles", "10"}, {"physicalWorkCycles", "20"}},
      {{"invocations", "2"}, {"uniformInvocations", "true"}},
      {{"invocations", "1"}, {"uniformInvocations", "false"}, {"reason", "x"}, {"value", ""}},
  };
  std::vector<CycleSample> samples;
  for (const auto& entries : bookkeeping) {
    auto metadata = entries;
    metadata.insert(metadata.begin() + static_cast<std::ptrdiff_t>(metadata.size() / 2),
                    ProfileMetadata{"block", "0"});
    samples.push_back(compute("k", 0, 100, metadata));
  }
  // A name that differs in letter case is an ordinary dimension.
  samples.push_back(compute("k", 0, 100, {{"block", "0"}, {"Reason", "x"}}));

  const auto measurements = measurements_of(samples);
  ASSERT_EQ(measurements.size(), 2U);
  EXPECT_EQ(measurements[0].key,
            (CalibrationKey{.kernel = "k", .dimensions = {{"Reason", "x"}, {"block", "0"}}}));
  EXPECT_EQ(measurements[0].samples, 1U);
  EXPECT_EQ(measurements[1].key, (CalibrationKey{.kernel = "k", .dimensions = {{"block", "0"}}}));
  EXPECT_EQ(measurements[1].samples, std::size(bookkeeping));
}

TEST(CalibrateProfiles, KeepsTheLastValueOfARepeatedDimension) {
  const auto measurements = measurements_of({
      compute("k", 0, 10, {{"shape", "a"}, {"block", "0"}, {"shape", "b"}}),
      compute("k", 0, 20, {{"block", "0"}, {"shape", "b"}}),
      compute("k", 0, 30, {{"shape", "b"}, {"block", "0"}, {"shape", "a"}}),
  });
  const std::vector<CalibrationMeasurement> expected{
      {.key = {.kernel = "k", .dimensions = {{"block", "0"}, {"shape", "a"}}},
       .samples = 1,
       .minimum_cycles = 30,
       .median_cycles = 30,
       .p95_cycles = 30,
       .maximum_cycles = 30},
      {.key = {.kernel = "k", .dimensions = {{"block", "0"}, {"shape", "b"}}},
       .samples = 2,
       .minimum_cycles = 10,
       .median_cycles = 10,
       .p95_cycles = 10,
       .maximum_cycles = 20}};
  EXPECT_EQ(measurements, expected);
}

TEST(CalibrateProfiles, OrdersMeasurementsByKernelThenDimensions) {
  // In ascending order; unsigned bytes put 0x80 and above after every ASCII byte.
  const std::vector<CalibrationKey> ordered{
      {.kernel = "B", .dimensions = {}},
      {.kernel = "a", .dimensions = {}},
      {.kernel = "a", .dimensions = {{"n", "1"}}},
      {.kernel = "a", .dimensions = {{"n", "1"}, {"z", ""}}},
      {.kernel = "a", .dimensions = {{"n", "2"}}},
      {.kernel = "a", .dimensions = {{"n", "\x80"}}},
      {.kernel = "a", .dimensions = {{"o", "0"}}},
      {.kernel = "a", .dimensions = {{"\xc3\xa9", "0"}}},
      {.kernel = "ab", .dimensions = {}},
      {.kernel = "b", .dimensions = {}},
      {.kernel = "\xc3\xa9", .dimensions = {}},
  };
  std::vector<CycleSample> samples;
  for (const auto& key : ordered) {
    std::vector<ProfileMetadata> metadata;
    for (const auto& [name, value] : key.dimensions) metadata.push_back({name, value});
    samples.push_back(compute(key.kernel, 0, static_cast<std::uint32_t>(samples.size()), metadata));
  }
  std::reverse(samples.begin(), samples.end());
  std::swap(samples[2], samples[7]);

  const auto measurements = measurements_of(samples);
  ASSERT_EQ(measurements.size(), ordered.size());
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(measurements[i].key, ordered[i]);
    EXPECT_EQ(measurements[i].minimum_cycles, i);
  }
}

TEST(CalibrationKey, OrdersByUnsignedBytesPairByPair) {
  const struct {
    const char* label;
    CalibrationKey smaller, larger;
  } cases[] = {
      {"kernel bytes", {"a", {}}, {"b", {}}},
      {"kernel prefix", {"a", {}}, {"ab", {}}},
      {"empty kernel", {"", {}}, {"a", {}}},
      {"kernel byte 0x80 after ASCII", {"z", {}}, {"\x80", {}}},
      {"kernel byte 0x7f before 0x80", {"\x7f", {}}, {"\x80", {}}},
      {"kernel before dimensions", {"a", {{"z", "9"}}}, {"b", {}}},
      {"no dimensions first", {"a", {}}, {"a", {{"x", "1"}}}},
      {"dimension prefix", {"a", {{"x", "1"}}}, {"a", {{"x", "1"}, {"y", "0"}}}},
      {"name before value", {"a", {{"a", "9"}}}, {"a", {{"b", "0"}}}},
      {"value bytes", {"a", {{"x", "1"}}}, {"a", {{"x", "2"}}}},
      {"value prefix", {"a", {{"x", "1"}}}, {"a", {{"x", "10"}}}},
      {"value byte 0xff after ASCII", {"a", {{"x", "a"}}}, {"a", {{"x", "\xff"}}}},
      {"name byte 0xc3 after ASCII", {"a", {{"z", "1"}}}, {"a", {{"\xc3\xa9", "0"}}}},
      {"second pair decides", {"a", {{"b", "1"}, {"z", "0"}}}, {"a", {{"b", "1"}, {"\x80", "0"}}}},
      {"first differing pair before length", {"a", {{"x", "10"}, {"y", "0"}}}, {"a", {{"x", "2"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.smaller <=> c.larger, std::strong_ordering::less);
    EXPECT_EQ(c.larger <=> c.smaller, std::strong_ordering::greater);
    EXPECT_EQ(c.smaller <=> c.smaller, std::strong_ordering::equal);
    EXPECT_TRUE(c.smaller < c.larger);
    EXPECT_FALSE(c.smaller == c.larger);
    EXPECT_TRUE(c.larger == CalibrationKey(c.larger));
  }
}

TEST(CalibrateProfiles, PoolsOneKeyOverTilesAndProfiles) {
  // The values 1 to 20, spread over two profiles of two tiles each, in no particular order.
  const ProfileReport two_tiles{
      .clock_hz = 1'000'000'000,
      .tiles = {{.physical_tile = 3, .samples = {}}, {.physical_tile = 9, .samples = {}}}};
  std::vector<ProfileReport> reports{two_tiles, two_tiles};
  for (std::uint32_t value = 1; value <= 20; ++value) {
    CycleSample sample = compute("k", 1000 * value, 1000 * value + (21 - value), {{"block", "0"}});
    sample.step.phase = value;
    sample.step.operation = "operation " + std::to_string(value);
    reports[value % 2].tiles[(value / 2) % 2].samples.push_back(sample);
  }
  const auto measurements = measurements_of(reports);
  const std::vector<CalibrationMeasurement> expected{
      {.key = {.kernel = "k", .dimensions = {{"block", "0"}}},
       .samples = 20,
       .minimum_cycles = 1,
       .median_cycles = 10,
       .p95_cycles = 19,
       .maximum_cycles = 20}};
  EXPECT_EQ(measurements, expected);
}

// A brute-force calibration written from the definitions, over byte sequences.
using Bytes = std::vector<unsigned char>;
using ModelKey = std::pair<Bytes, std::vector<std::pair<Bytes, Bytes>>>;

Bytes bytes_of(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

std::string text_of(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// The first "invocations" entry as text: an optional "+" and one or more digits, whose value
// without leading zeros has at most ten digits and is not above "4294967295"; else 1, and 0 is 1.
std::uint64_t model_count(const std::vector<ProfileMetadata>& metadata) {
  const auto entry = std::find_if(metadata.begin(), metadata.end(),
                                  [](const auto& e) { return e.name == "invocations"; });
  if (entry == metadata.end()) return 1;
  std::string digits = entry->value;
  if (digits.starts_with('+')) digits.erase(0, 1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return 1;
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  if (digits.size() > 10 || (digits.size() == 10 && digits > "4294967295")) return 1;
  const std::uint64_t count = digits.empty() ? 0 : std::stoull(digits);
  return count == 0 ? 1 : count;
}

bool model_declared(const std::vector<ProfileMetadata>& metadata) {
  for (const auto& entry : metadata) {
    if (entry.name == "uniformInvocations" && entry.value == "true") return true;
  }
  return false;
}

std::vector<std::pair<Bytes, Bytes>> model_dimensions(
    const std::vector<ProfileMetadata>& metadata) {
  const std::vector<std::string> excluded{"reason",           "value",
                                          "invocations",      "uniformInvocations",
                                          "usefulCycles",     "physicalWorkCycles",
                                          "workEstimateBasis"};
  std::vector<std::pair<Bytes, Bytes>> dimensions;
  for (const auto& entry : metadata) {
    if (std::find(excluded.begin(), excluded.end(), entry.name) != excluded.end()) continue;
    const auto same_name = [&](const auto& pair) { return pair.first == bytes_of(entry.name); };
    const auto known = std::find_if(dimensions.begin(), dimensions.end(), same_name);
    if (known != dimensions.end()) {
      known->second = bytes_of(entry.value);
    } else {
      dimensions.emplace_back(bytes_of(entry.name), bytes_of(entry.value));
    }
  }
  std::sort(dimensions.begin(), dimensions.end());
  return dimensions;
}

CalibrationKey key_of(const ModelKey& model) {
  CalibrationKey key{.kernel = text_of(model.first), .dimensions = {}};
  for (const auto& [name, value] : model.second) key.dimensions[text_of(name)] = text_of(value);
  return key;
}

std::vector<CalibrationMeasurement> model_measurements(const std::vector<ProfileReport>& reports) {
  std::map<ModelKey, std::vector<std::uint32_t>> values;
  for (const auto& report : reports) {
    for (const auto& tile : report.tiles) {
      for (const auto& sample : tile.samples) {
        const auto& step = sample.step;
        if (step.kind != ProfileStepKind::Compute || step.kernel.empty()) continue;
        const std::uint64_t count = model_count(step.metadata);
        if (count > 1 && !model_declared(step.metadata)) continue;
        const std::uint64_t cycles =
            (std::uint64_t{sample.end_cycle} + (std::uint64_t{1} << 32) - sample.start_cycle) %
            (std::uint64_t{1} << 32);
        values[{bytes_of(step.kernel), model_dimensions(step.metadata)}].push_back(
            static_cast<std::uint32_t>((cycles + count - 1) / count));
      }
    }
  }
  std::vector<CalibrationMeasurement> measurements;
  for (auto& [key, list] : values) {
    std::sort(list.begin(), list.end());
    const std::size_t last = list.size() - 1;
    measurements.push_back({.key = key_of(key),
                            .samples = list.size(),
                            .minimum_cycles = list.front(),
                            .median_cycles = list[last * 50 / 100],
                            .p95_cycles = list[last * 95 / 100],
                            .maximum_cycles = list.back()});
  }
  return measurements;
}

template <typename T>
const T& pick(std::mt19937_64& rng, const std::vector<T>& pool) {
  return pool[std::uniform_int_distribution<std::size_t>{0, pool.size() - 1}(rng)];
}

std::size_t draw(std::mt19937_64& rng, std::size_t low, std::size_t high) {
  return std::uniform_int_distribution<std::size_t>{low, high}(rng);
}

CycleSample random_sample(std::mt19937_64& rng) {
  static const std::vector<std::string> kernels{"", "a", "ab", "b", "A", "\x80"};
  static const std::vector<std::string> names{"block",
                                              "shape",
                                              "\xe2\x82\xac",
                                              "Invocations",
                                              "reason",
                                              "value",
                                              "invocations",
                                              "invocations",
                                              "uniformInvocations",
                                              "uniformInvocations",
                                              "usefulCycles",
                                              "physicalWorkCycles",
                                              "workEstimateBasis"};
  static const std::vector<std::string> values{
      "",   "0",  "1",    "2",    "3",     "+2",   "007", "4294967295", "4294967296",
      "-1", " 2", "true", "true", "false", "True", "x",   "\x80"};
  static const std::vector<ProfileStepKind> kinds{
      ProfileStepKind::Compute,  ProfileStepKind::Compute,         ProfileStepKind::Compute,
      ProfileStepKind::Exchange, ProfileStepKind::Synchronization, ProfileStepKind::Idle};

  const auto start = std::uniform_int_distribution<std::uint32_t>{}(rng);
  // Mostly short steps, some of them across a counter wrap, and a few of any length.
  const std::uint32_t length = draw(rng, 0, 9) == 0
                                   ? std::uniform_int_distribution<std::uint32_t>{}(rng)
                                   : std::uniform_int_distribution<std::uint32_t>{0, 100}(rng);
  std::vector<ProfileMetadata> metadata(draw(rng, 0, 6));
  for (auto& entry : metadata) entry = {pick(rng, names), pick(rng, values)};
  CycleSample sample = compute(pick(rng, kernels), start, start + length, std::move(metadata));
  sample.step.kind = pick(rng, kinds);
  return sample;
}

TEST(CalibrateProfiles, MatchesTheDefinitionsOnRandomProfiles) {
  std::mt19937_64 rng{0x63616C6962726174};
  for (int n = 0; n < 400; ++n) {
    const std::uint64_t clock_hz = draw(rng, 0, 2'000'000'000);
    std::vector<ProfileReport> reports(draw(rng, 1, 3));
    for (auto& report : reports) {
      report.clock_hz = clock_hz;
      report.tiles.resize(draw(rng, 0, 3));
      for (auto& tile : report.tiles) {
        tile.samples.resize(draw(rng, 0, 12));
        for (auto& sample : tile.samples) sample = random_sample(rng);
      }
    }
    ASSERT_EQ(measurements_of(reports), model_measurements(reports)) << "case " << n;

    // The order of reports, tiles and samples does not show in the result.
    std::reverse(reports.begin(), reports.end());
    for (auto& report : reports) {
      std::reverse(report.tiles.begin(), report.tiles.end());
      for (auto& tile : report.tiles) std::shuffle(tile.samples.begin(), tile.samples.end(), rng);
    }
    ASSERT_EQ(measurements_of(reports), model_measurements(reports)) << "case " << n;
  }
}

TEST(CalibrationKey, MatchesByteSequenceOrderOnRandomKeys) {
  const std::vector<char> alphabet{'\0', 'a', 'b', '\x7f', '\x80', '\xff'};
  std::mt19937_64 rng{0x6B65796F72646572};
  const auto random_text = [&] {
    std::string text(draw(rng, 0, 3), ' ');
    for (char& c : text) c = pick(rng, alphabet);
    return text;
  };
  const auto random_key = [&] {
    CalibrationKey key{.kernel = random_text(), .dimensions = {}};
    for (std::size_t i = draw(rng, 0, 3); i > 0; --i) key.dimensions[random_text()] = random_text();
    return key;
  };
  const auto model_of = [](const CalibrationKey& key) {
    ModelKey model{bytes_of(key.kernel), {}};
    for (const auto& [name, value] : key.dimensions) {
      model.second.emplace_back(bytes_of(name), bytes_of(value));
    }
    std::sort(model.second.begin(), model.second.end());
    return model;
  };
  for (int n = 0; n < 20000; ++n) {
    const CalibrationKey left = random_key();
    // Often a near copy, so that later bytes and pairs decide.
    CalibrationKey right = draw(rng, 0, 1) == 0 ? random_key() : left;
    if (right == left && draw(rng, 0, 1) == 0) right.dimensions[random_text()] = random_text();
    ASSERT_EQ(left <=> right, model_of(left) <=> model_of(right)) << "case " << n;
    ASSERT_EQ(left == right, model_of(left) == model_of(right)) << "case " << n;
  }
}

}  // namespace
