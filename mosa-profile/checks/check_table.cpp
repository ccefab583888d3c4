#include "check_table.hpp"

#include <array>
#include <string>

#include <gtest/gtest.h>

#include "checks.hpp"

namespace mosa_profile::tests {
namespace {

constexpr std::array table{
    Check{"boundaries_separate_arrival_skew_and_preserve_epochs_across_clock_wrap",
          &boundaries_separate_arrival_skew_and_preserve_epochs_across_clock_wrap},
    Check{"calibration_excludes_merged_calls_without_uniform_geometry",
          &calibration_excludes_merged_calls_without_uniform_geometry},
    Check{"calibration_normalizes_merged_invocations_and_excludes_graph_metadata",
          &calibration_normalizes_merged_invocations_and_excludes_graph_metadata},
    Check{"randomized_exchange_role_accounting_tracks_simultaneous_intervals",
          &randomized_exchange_role_accounting_tracks_simultaneous_intervals},
};

class CheckTest : public ::testing::Test {
 public:
  explicit CheckTest(void (*function)()) : function_(function) {}
  void TestBody() override { function_(); }

 private:
  void (*function_)();
};

void register_checks(std::span<const Check> checks) {
  for (const Check& check : checks) {
    ::testing::RegisterTest(
        "tests", std::string(check.name).c_str(), nullptr, nullptr, __FILE__, __LINE__,
        [function = check.function]() -> CheckTest* { return new CheckTest(function); });
  }
}

}  // namespace

std::span<const Check> check_table() noexcept {
  return table;
}

int run_checks(std::span<const Check> checks, int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  register_checks(checks);
  return RUN_ALL_TESTS();
}

}  // namespace mosa_profile::tests
