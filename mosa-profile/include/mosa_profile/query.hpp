#pragma once

// Answers a Query over a profile: places every sample on one time line, selects, groups,
// summarises, orders and lists.

#include <compare>

#include <mosa_package/profile.hpp>
#include <mosa_profile/query_model.hpp>

namespace mosa_profile {

// The answer to `query` over `report`. Never fails.
//
// Time line: one shared base for all tiles, cycle_origin(report); the crop is 0 with
// query.shared_clock, else initial_sample_entry_span(report, base). A sample lies at
// offset = max(0, (start_cycle - base) mod 2^32 - crop) up to
// end = max(0, (start_cycle - base) mod 2^32 + duration(sample) - crop), and its length there is
// end - offset. The crop thus starts the line where the last tile entered: a sample ending at or
// before that point keeps no length, one straddling it keeps its part after it.
// Example: entries at 100 and 120, later samples from 150 to 160 -> cropped they lie at 30 to 40,
// on the shared clock at 50 to 60.
//
// Samples of length 0 on the line count in sample_count only: never matched, grouped or listed.
// profile_span_cycles is the largest end over every sample. Each selected sample joins the group
// group_key names (group_key is called once per group). Work estimates (useful_work) count only
// for samples the crop left whole; the figures are absent when their divisor is 0
// (estimated_work_cycles for useful_utilization, the physical sum for work_lane_occupancy, either
// of estimated_work_cycles and phase_cycles for device_useful_utilization, which divides by the
// tile count of the whole profile). Groups are ordered by compare_groups and then cut to
// query.limit; the listing holds the first query.sample_limit selected samples by longer duration,
// then smaller tile, then smaller offset, then walk order (tiles in list order, samples in list
// order).
//
// Cost: one pass over the samples; per selected sample one group lookup without allocation, the
// appends and set inserts of its group, and with a listing a heap step over at most sample_limit
// candidates. Per group, the percentiles come from a linear selection over its durations and the
// phase cycles from union_length over its intervals.
QueryReport query(const mosa_package::ProfileReport& report, const Query& query);

// Order of two groups under `sort_by`: PhaseCycles, WorkCycles, MaximumCycles and Samples put the
// larger value first (less means `left` comes first), Name puts the smaller name first. Ties go to
// the smaller first_offset, then to the smaller name (bytes, a prefix before its extensions).
// Equal only for groups equal in all the keys compared.
std::strong_ordering compare_groups(SortBy sort_by, const GroupSummary& left,
                                    const GroupSummary& right) noexcept;

}  // namespace mosa_profile
