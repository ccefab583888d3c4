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
    Check{"common_origin_does_not_turn_first_exchange_skew_into_later_skew",
          &common_origin_does_not_turn_first_exchange_skew_into_later_skew},
    Check{"filters_by_normalized_time_and_metadata_across_counter_wrap",
          &filters_by_normalized_time_and_metadata_across_counter_wrap},
    Check{"groups_by_semantic_metadata_value", &groups_by_semantic_metadata_value},
    Check{"groups_parallel_samples_by_kernel", &groups_parallel_samples_by_kernel},
    Check{"phase_cycles_include_sequential_repeated_operations",
          &phase_cycles_include_sequential_repeated_operations},
    Check{"randomized_exchange_role_accounting_tracks_simultaneous_intervals",
          &randomized_exchange_role_accounting_tracks_simultaneous_intervals},
    Check{"randomized_queries_crop_one_common_initial_entry_span",
          &randomized_queries_crop_one_common_initial_entry_span},
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
