#include <algorithm>
#include <functional>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include <mosa_profile/cycle_arithmetic.hpp>
#include <mosa_profile/query.hpp>
#include <mosa_profile/query_selection.hpp>
#include <mosa_profile/time_origin.hpp>

#include "flat_set.hpp"
#include "group_identity.hpp"
#include "order_statistics.hpp"
#include "saturating.hpp"

namespace mosa_profile {
namespace {

// One shared base for every tile and at most one crop, so skew between tiles stays as it is.
struct TimeLine {
  std::uint32_t shared_base = 0;
  std::uint64_t crop = 0;
};

// A sample's place on the time line: [offset, end), end - offset cycles long.
struct Placement {
  std::uint64_t offset = 0;
  std::uint64_t end = 0;
  std::uint32_t duration = 0;
};

TimeLine time_line(const mosa_package::ProfileReport& report, const Query& query) {
  const std::uint32_t shared_base = cycle_origin(report);
  return {.shared_base = shared_base,
          .crop = query.shared_clock ? 0 : initial_sample_entry_span(report, shared_base)};
}

// Both ends move back by the crop and stop at 0, so a sample ending at or before the crop point
// keeps no length and one straddling it keeps its part after it.
Placement place(const TimeLine& line, const mosa_package::CycleSample& sample) {
  const std::uint64_t raw_offset = offset_from(line.shared_base, sample.start_cycle);
  const std::uint64_t raw_end = detail::saturating_sum(raw_offset, duration(sample));
  const std::uint64_t offset = detail::floored_difference(raw_offset, line.crop);
  const std::uint64_t end = detail::floored_difference(raw_end, line.crop);
  // The crop only shortens a sample, so the length fits 32 bits; the clamp only states it.
  const std::uint64_t length = std::min<std::uint64_t>(detail::floored_difference(end, offset),
                                                       std::numeric_limits<std::uint32_t>::max());
  return {.offset = offset, .end = end, .duration = static_cast<std::uint32_t>(length)};
}

// The running state of one group during the walk.
struct Accumulator {
  GroupKey key;
  std::vector<std::uint32_t> durations;
  // Only the numbers of distinct tiles and (phase, epoch) pairs are reported.
  detail::FlatSet64 tiles;
  detail::FlatSet64 phases;  // (phase << 32) | epoch
  std::vector<Interval> intervals;
  std::uint64_t work_cycles = 0;
  double useful_cycles = 0.0;
  double physical_work_cycles = 0.0;
  std::uint64_t estimated_work_cycles = 0;
  std::uint64_t first_offset = 0;
  std::uint64_t last_offset = 0;
};

struct GroupIdentityHash {
  std::size_t operator()(const detail::GroupIdentity& identity) const noexcept {
    return std::hash<std::string_view>{}(identity.text) ^
           std::hash<std::uint64_t>{}(identity.number);
  }
};

// Positions in the group list by identity; the identities view the profile during one call.
using GroupIndex = std::unordered_map<detail::GroupIdentity, std::size_t, GroupIdentityHash>;

void add_sample(Accumulator& group, std::uint32_t tile, const mosa_package::CycleSample& sample,
                const Placement& placement) {
  const std::uint64_t end = placement.offset + placement.duration;
  group.durations.push_back(placement.duration);
  group.tiles.insert(tile);
  group.phases.insert(std::uint64_t{sample.step.phase} << 32 | sample.step.epoch);
  group.intervals.push_back({.start = placement.offset, .end = end});
  group.work_cycles += placement.duration;
  // A trimmed sample did only part of its estimated work inside the time line, so its estimate
  // does not count.
  if (placement.duration == duration(sample)) {
    if (const std::optional<WorkEstimate> work = useful_work(sample)) {
      group.useful_cycles += work->useful;
      group.physical_work_cycles += work->physical;
      group.estimated_work_cycles += placement.duration;
    }
  }
  group.first_offset = std::min(group.first_offset, placement.offset);
  group.last_offset = std::max(group.last_offset, end);
}

// A listing candidate with its position in the walk, the last tie-break of the listing order.
struct RankedCandidate {
  Candidate candidate;
  std::size_t walk_index = 0;
};

// Listing order: longer first, then smaller tile, then smaller offset, then earlier in the walk.
bool listed_before(const RankedCandidate& left, const RankedCandidate& right) {
  const Candidate& l = left.candidate;
  const Candidate& r = right.candidate;
  if (l.duration != r.duration) return l.duration > r.duration;
  if (l.tile != r.tile) return l.tile < r.tile;
  if (l.offset != r.offset) return l.offset < r.offset;
  return left.walk_index < right.walk_index;
}

// Keeps the first `limit` candidates in listing order as a heap whose top is the last of them.
// The order is total (walk indices differ), so this keeps exactly what a stable sort of all
// candidates would put first.
void offer(std::vector<RankedCandidate>& kept, std::size_t limit,
           const RankedCandidate& candidate) {
  if (kept.size() < limit) {
    kept.push_back(candidate);
    std::push_heap(kept.begin(), kept.end(), listed_before);
  } else if (!kept.empty() && listed_before(candidate, kept.front())) {
    std::pop_heap(kept.begin(), kept.end(), listed_before);
    kept.back() = candidate;
    std::push_heap(kept.begin(), kept.end(), listed_before);
  }
}

std::vector<SampleRecord> listing(std::vector<RankedCandidate> kept) {
  std::sort_heap(kept.begin(), kept.end(), listed_before);
  std::vector<SampleRecord> records;
  records.reserve(kept.size());
  for (const RankedCandidate& ranked : kept) records.push_back(sample_record(ranked.candidate));
  return records;
}

// What one pass over the samples gathers.
struct Walk {
  std::size_t sample_count = 0;
  std::size_t matched_sample_count = 0;
  std::uint64_t profile_span_cycles = 0;
  std::vector<Accumulator> groups;
  std::vector<RankedCandidate> kept;
};

Accumulator& group_of(Walk& walk, GroupIndex& index, const Query& query, std::uint32_t tile,
                      const mosa_package::CycleSample& sample, std::uint64_t offset) {
  const auto [position, inserted] =
      index.try_emplace(detail::group_identity(query, tile, sample), walk.groups.size());
  if (inserted) {
    walk.groups.push_back({.key = group_key(query, tile, sample), .first_offset = offset});
  }
  return walk.groups[position->second];
}

Walk walk_samples(const mosa_package::ProfileReport& report, const Query& query) {
  const TimeLine line = time_line(report, query);
  Walk walk;
  GroupIndex index;
  for (const mosa_package::TileProfile& tile : report.tiles) {
    for (const mosa_package::CycleSample& sample : tile.samples) {
      const std::size_t walk_index = walk.sample_count++;
      const Placement placement = place(line, sample);
      walk.profile_span_cycles = std::max(walk.profile_span_cycles, placement.end);
      if (placement.duration == 0) continue;
      if (!matches_query(query, tile.physical_tile, sample, placement.offset, placement.duration)) {
        continue;
      }
      ++walk.matched_sample_count;
      add_sample(group_of(walk, index, query, tile.physical_tile, sample, placement.offset),
                 tile.physical_tile, sample, placement);
      offer(walk.kept, query.sample_limit,
            {.candidate = {.tile = tile.physical_tile,
                           .offset = placement.offset,
                           .duration = placement.duration,
                           .sample = &sample},
             .walk_index = walk_index});
    }
  }
  return walk;
}

std::optional<double> ratio_if(bool defined, double numerator, double denominator) {
  if (!defined) return std::nullopt;
  return numerator / denominator;
}

GroupSummary summary(Accumulator&& group, std::uint64_t clock_hz, std::size_t profile_tiles) {
  const detail::OrderStatistics lengths = detail::order_statistics(group.durations);
  const std::uint64_t phase_cycles = union_length(group.intervals);
  const auto work = static_cast<double>(group.work_cycles);
  const auto phase = static_cast<double>(phase_cycles);
  const std::size_t sample_count = group.durations.size();
  return {
      .name = std::move(group.key.name),
      .dimensions = std::move(group.key.dimensions),
      .sample_count = sample_count,
      .tile_count = group.tiles.size(),
      .phase_count = group.phases.size(),
      .phase_cycles = phase_cycles,
      .phase_ms = cycles_to_ms(phase_cycles, clock_hz),
      .work_cycles = group.work_cycles,
      .average_active_tiles = phase_cycles > 0 ? work / phase : 0.0,
      .useful_cycles = group.useful_cycles,
      .estimated_work_cycles = group.estimated_work_cycles,
      .useful_utilization = ratio_if(group.estimated_work_cycles > 0, group.useful_cycles,
                                     static_cast<double>(group.estimated_work_cycles)),
      .work_lane_occupancy = ratio_if(group.physical_work_cycles > 0.0, group.useful_cycles,
                                      group.physical_work_cycles),
      .device_useful_utilization =
          ratio_if(group.estimated_work_cycles > 0 && phase_cycles > 0, group.useful_cycles,
                   phase * static_cast<double>(profile_tiles)),
      .mean_cycles = sample_count > 0 ? work / static_cast<double>(sample_count) : 0.0,
      .p50_cycles = lengths.median,
      .p95_cycles = lengths.p95,
      .maximum_cycles = lengths.maximum,
      .first_offset = group.first_offset,
      .last_offset = group.last_offset,
  };
}

std::vector<GroupSummary> ordered_groups(std::vector<Accumulator> groups, const Query& query,
                                         const mosa_package::ProfileReport& report) {
  std::vector<GroupSummary> summaries;
  summaries.reserve(groups.size());
  for (Accumulator& group : groups) {
    summaries.push_back(summary(std::move(group), report.clock_hz, report.tiles.size()));
  }
  std::stable_sort(summaries.begin(), summaries.end(),
                   [sort_by = query.sort_by](const GroupSummary& left, const GroupSummary& right) {
                     return compare_groups(sort_by, left, right) < 0;
                   });
  if (query.limit && *query.limit < summaries.size()) {
    summaries.erase(summaries.begin() + static_cast<std::ptrdiff_t>(*query.limit), summaries.end());
  }
  return summaries;
}

std::strong_ordering primary_order(SortBy sort_by, const GroupSummary& left,
                                   const GroupSummary& right) noexcept {
  switch (sort_by) {
    case SortBy::PhaseCycles:
      return right.phase_cycles <=> left.phase_cycles;
    case SortBy::WorkCycles:
      return right.work_cycles <=> left.work_cycles;
    case SortBy::MaximumCycles:
      return right.maximum_cycles <=> left.maximum_cycles;
    case SortBy::Samples:
      return right.sample_count <=> left.sample_count;
    case SortBy::Name:
      return left.name <=> right.name;
  }
  return std::strong_ordering::equal;
}

}  // namespace

std::strong_ordering compare_groups(SortBy sort_by, const GroupSummary& left,
                                    const GroupSummary& right) noexcept {
  if (const auto order = primary_order(sort_by, left, right); order != 0) return order;
  if (const auto order = left.first_offset <=> right.first_offset; order != 0) return order;
  return left.name <=> right.name;
}

QueryReport query(const mosa_package::ProfileReport& report, const Query& query) {
  Walk walk = walk_samples(report, query);
  return {
      .clock_hz = report.clock_hz,
      .tile_count = report.tiles.size(),
      .sample_count = walk.sample_count,
      .matched_sample_count = walk.matched_sample_count,
      .profile_span_cycles = walk.profile_span_cycles,
      .profile_span_ms = cycles_to_ms(walk.profile_span_cycles, report.clock_hz),
      .at_offset = query.at_offset,
      .groups = ordered_groups(std::move(walk.groups), query, report),
      .samples = listing(std::move(walk.kept)),
  };
}

}  // namespace mosa_profile
