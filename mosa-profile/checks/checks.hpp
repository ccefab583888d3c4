#pragma once

// The scenario checks of the analysis library and the builder of their samples. Each check builds
// its profiles in memory, runs one analysis and stops at the first result that differs from the
// expected one, through a fatal GoogleTest assertion.

#include <cstdint>
#include <string_view>

#include <mosa_package/profile.hpp>

namespace mosa_profile::tests {

// One sample of `kind` from counter reading `start` to `end` (end < start wraps): local index and
// phase `phase`, epoch 0, operation "operation <phase>", the given kernel, exactly one metadata
// entry ("block", "<phase>"), no exchange activities and no scheduled exchange length.
mosa_package::CycleSample sample(std::uint32_t phase, mosa_package::ProfileStepKind kind,
                                 std::string_view kernel, std::uint32_t start, std::uint32_t end);

// In name order, as in the check table.
void boundaries_separate_arrival_skew_and_preserve_epochs_across_clock_wrap();
void calibration_excludes_merged_calls_without_uniform_geometry();
void calibration_normalizes_merged_invocations_and_excludes_graph_metadata();
void common_origin_does_not_turn_first_exchange_skew_into_later_skew();
void filters_by_normalized_time_and_metadata_across_counter_wrap();
void groups_by_semantic_metadata_value();
void groups_parallel_samples_by_kernel();
void phase_cycles_include_sequential_repeated_operations();
void randomized_exchange_role_accounting_tracks_simultaneous_intervals();
void randomized_queries_crop_one_common_initial_entry_span();

}  // namespace mosa_profile::tests
