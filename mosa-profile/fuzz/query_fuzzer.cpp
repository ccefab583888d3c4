// query over a decoded profile and a decoded query (every field). The report is checked against
// its own invariants and against a recount from the definitions: the time line and crop, the
// selection, each group's counts, sums, offsets and percentiles, the group order and limit, and
// the listing.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <mosa_profile/cycle_arithmetic.hpp>
#include <mosa_profile/query.hpp>
#include <mosa_profile/query_selection.hpp>
#include <mosa_profile/time_origin.hpp>

#include "byte_reader.hpp"
#include "invariant.hpp"
#include "record_decoder.hpp"

namespace {

using mosa_fuzz::require;
using mosa_package::CycleSample;
using mosa_package::ProfileReport;
using mosa_profile::GroupBy;
using mosa_profile::GroupSummary;
using mosa_profile::Query;
using mosa_profile::QueryReport;
using mosa_profile::SampleRecord;
using mosa_profile::SortBy;

struct Place {
  std::uint64_t offset = 0;
  std::uint64_t end = 0;
  std::uint32_t duration = 0;
  bool trimmed = false;
};

// The sample on the time line: both ends moved back by the crop and floored at 0.
Place place(std::uint32_t base, std::uint64_t crop, const CycleSample& sample) {
  const std::uint64_t raw = mosa_profile::offset_from(base, sample.start_cycle);
  const std::uint32_t length = mosa_profile::duration(sample);
  Place placed;
  placed.offset = raw > crop ? raw - crop : 0;
  placed.end = raw + length > crop ? raw + length - crop : 0;
  placed.duration = static_cast<std::uint32_t>(placed.end - placed.offset);
  placed.trimmed = placed.duration != length;
  return placed;
}

struct ExpectedGroup {
  std::vector<std::uint32_t> durations;
  std::set<std::uint32_t> tiles;
  std::set<std::pair<std::uint32_t, std::uint32_t>> phases;
  std::uint64_t work = 0;
  std::uint64_t estimated = 0;
  double useful = 0.0;
  double physical = 0.0;
  std::uint64_t first = UINT64_MAX;
  std::uint64_t last = 0;
};

struct Candidate {
  std::uint32_t tile = 0;
  Place placed;
  const CycleSample* sample = nullptr;
};

struct Expected {
  std::size_t samples = 0;
  std::size_t matched = 0;
  std::uint64_t span = 0;
  std::map<std::string, ExpectedGroup> groups;
  std::vector<Candidate> candidates;  // walk order
};

Expected recount(const ProfileReport& profile, const Query& query) {
  const std::uint32_t base = mosa_profile::cycle_origin(profile);
  const std::uint64_t crop =
      query.shared_clock ? 0 : mosa_profile::initial_sample_entry_span(profile, base);
  Expected expected;
  for (const auto& tile : profile.tiles) {
    for (const CycleSample& sample : tile.samples) {
      ++expected.samples;
      const Place placed = place(base, crop, sample);
      expected.span = std::max(expected.span, placed.end);
      if (placed.duration == 0 || !mosa_profile::matches_query(query, tile.physical_tile, sample,
                                                               placed.offset, placed.duration)) {
        continue;
      }
      ++expected.matched;
      ExpectedGroup& group =
          expected.groups[mosa_profile::group_key(query, tile.physical_tile, sample).name];
      group.durations.push_back(placed.duration);
      group.tiles.insert(tile.physical_tile);
      group.phases.insert({sample.step.phase, sample.step.epoch});
      group.work += placed.duration;
      if (const auto work = mosa_profile::useful_work(sample); work && !placed.trimmed) {
        group.useful += work->useful;
        group.physical += work->physical;
        group.estimated += placed.duration;
      }
      group.first = std::min(group.first, placed.offset);
      group.last = std::max(group.last, placed.offset + placed.duration);
      expected.candidates.push_back({tile.physical_tile, placed, &sample});
    }
  }
  return expected;
}

bool finite_and_not_negative(const std::optional<double>& figure) {
  return !figure || (std::isfinite(*figure) && *figure >= 0.0);
}

void check_dimensions(const Query& query, const GroupSummary& group) {
  const auto& dimensions = group.dimensions;
  switch (query.group_by) {
    case GroupBy::Kind:
    case GroupBy::Kernel:
    case GroupBy::Operation:
      require(dimensions.empty(), "kind, kernel and operation groups have no dimensions");
      break;
    case GroupBy::Phase:
      require(dimensions.size() == 2 && dimensions.contains("phase") &&
                  dimensions.contains("epoch") &&
                  group.name == "phase " + dimensions.at("phase") + "/" + dimensions.at("epoch"),
              "phase group named by its dimensions");
      break;
    case GroupBy::Tile:
      require(dimensions.size() == 1 && dimensions.contains("physicalTile") &&
                  group.name == "tile " + dimensions.at("physicalTile"),
              "tile group named by its dimension");
      break;
    case GroupBy::Metadata:
      require(dimensions.size() == 2 && dimensions.contains("metadataKey") &&
                  dimensions.at("metadataKey") == query.metadata_key.value_or("") &&
                  dimensions.contains("metadataValue") &&
                  dimensions.at("metadataValue") == group.name,
              "metadata group named by its value");
      break;
  }
}

void check_group(const Query& query, const QueryReport& report, const GroupSummary& group,
                 ExpectedGroup expected) {
  std::sort(expected.durations.begin(), expected.durations.end());
  const std::size_t n = expected.durations.size();
  require(group.sample_count == n && n > 0, "group sample count");
  require(group.tile_count == expected.tiles.size() && group.tile_count <= n, "group tile count");
  require(group.phase_count == expected.phases.size() && group.phase_count <= n,
          "group phase count");
  require(group.work_cycles == expected.work, "work_cycles is the sum of the durations");
  require(group.maximum_cycles == expected.durations.back(), "maximum_cycles");
  require(group.p50_cycles == expected.durations[(n - 1) * 50 / 100] &&
              group.p95_cycles == expected.durations[(n - 1) * 95 / 100],
          "percentiles are lower nearest-rank");
  require(group.p50_cycles <= group.p95_cycles && group.p95_cycles <= group.maximum_cycles,
          "p50 <= p95 <= maximum");
  require(group.first_offset == expected.first && group.last_offset == expected.last,
          "first and last offset");
  require(group.first_offset < group.last_offset, "first_offset < last_offset");
  require(group.last_offset <= report.profile_span_cycles, "group ends within the span");
  require(group.maximum_cycles <= group.phase_cycles && group.phase_cycles <= group.work_cycles &&
              group.phase_cycles <= group.last_offset - group.first_offset,
          "maximum <= phase_cycles <= min(work_cycles, last - first)");
  require(group.average_active_tiles >= 1.0, "average_active_tiles >= 1");
  require(group.mean_cycles > 0.0 && group.mean_cycles <= group.maximum_cycles,
          "0 < mean <= maximum");
  require(group.estimated_work_cycles == expected.estimated &&
              group.estimated_work_cycles <= group.work_cycles,
          "estimated_work_cycles sums the untrimmed estimated samples");
  require(group.useful_cycles == expected.useful && group.useful_cycles >= 0.0,
          "useful_cycles sums the estimates in walk order");
  require(group.useful_utilization.has_value() == (group.estimated_work_cycles > 0),
          "useful_utilization present exactly when some work was estimated");
  require(group.device_useful_utilization.has_value() == (group.estimated_work_cycles > 0),
          "device_useful_utilization present exactly when some work was estimated");
  require(group.work_lane_occupancy.has_value() == (expected.physical > 0.0),
          "work_lane_occupancy present exactly when some physical work was estimated");
  require(finite_and_not_negative(group.useful_utilization) &&
              finite_and_not_negative(group.work_lane_occupancy) &&
              finite_and_not_negative(group.device_useful_utilization),
          "utilisation figures finite and not negative");
  require(!group.work_lane_occupancy || *group.work_lane_occupancy <= 1.0,
          "work_lane_occupancy <= 1");
  require(std::isfinite(group.phase_ms) && group.phase_ms >= 0.0, "phase_ms finite");
  if (query.at_offset) {
    require(group.first_offset <= *query.at_offset && *query.at_offset < group.last_offset,
            "every sample of the group runs at at_offset");
  }
  check_dimensions(query, group);
}

std::uint64_t primary_key(SortBy sort_by, const GroupSummary& group) {
  switch (sort_by) {
    case SortBy::PhaseCycles:
      return group.phase_cycles;
    case SortBy::WorkCycles:
      return group.work_cycles;
    case SortBy::MaximumCycles:
      return group.maximum_cycles;
    case SortBy::Samples:
      return group.sample_count;
    case SortBy::Name:
      break;
  }
  return 0;
}

void check_group_order(const Query& query, const QueryReport& report) {
  for (std::size_t i = 1; i < report.groups.size(); ++i) {
    const GroupSummary& before = report.groups[i - 1];
    const GroupSummary& after = report.groups[i];
    require(mosa_profile::compare_groups(query.sort_by, before, after) < 0,
            "groups in compare_groups order");
    if (query.sort_by == SortBy::Name) {
      require(before.name < after.name, "names ascending under SortBy::Name");
    } else {
      require(primary_key(query.sort_by, before) >= primary_key(query.sort_by, after),
              "numeric sort key descending");
    }
  }
}

void check_groups(const Query& query, const QueryReport& report, Expected& expected) {
  std::set<std::string> names;
  std::size_t grouped = 0;
  for (const GroupSummary& group : report.groups) {
    require(names.insert(group.name).second, "group names unique");
    const auto found = expected.groups.find(group.name);
    require(found != expected.groups.end(), "every group holds selected samples");
    check_group(query, report, group, found->second);
    grouped += group.sample_count;
  }
  const std::size_t kept =
      query.limit ? std::min(*query.limit, expected.groups.size()) : expected.groups.size();
  require(report.groups.size() == kept, "one group per name, cut to the limit");
  if (!query.limit) require(grouped == report.matched_sample_count, "groups add up to matched");
  check_group_order(query, report);
}

void check_listing(const Query& query, const QueryReport& report, Expected& expected) {
  std::stable_sort(expected.candidates.begin(), expected.candidates.end(),
                   [](const Candidate& a, const Candidate& b) {
                     if (a.placed.duration != b.placed.duration) {
                       return a.placed.duration > b.placed.duration;
                     }
                     if (a.tile != b.tile) return a.tile < b.tile;
                     return a.placed.offset < b.placed.offset;
                   });
  require(report.samples.size() == std::min(query.sample_limit, expected.candidates.size()),
          "listing holds min(sample_limit, matched) samples");
  for (std::size_t i = 0; i < report.samples.size(); ++i) {
    const SampleRecord& record = report.samples[i];
    const Candidate& candidate = expected.candidates[i];
    const auto& step = candidate.sample->step;
    require(record.physical_tile == candidate.tile && record.offset == candidate.placed.offset &&
                record.duration == candidate.placed.duration,
            "listing in order: longer, smaller tile, smaller offset, walk order");
    require(record.offset + record.duration <= report.profile_span_cycles,
            "listed sample ends within the span");
    require(record.phase == step.phase && record.epoch == step.epoch &&
                record.operation == step.operation && record.kernel == step.kernel &&
                record.kind == mosa_profile::kind_name(*candidate.sample) &&
                record.metadata.size() == step.metadata.size(),
            "listed sample copies its step");
    for (std::size_t m = 0; m < record.metadata.size(); ++m) {
      require(record.metadata[m].name == step.metadata[m].name &&
                  record.metadata[m].value == step.metadata[m].value,
              "listed sample copies its metadata in order");
    }
  }
}

// The groups kept under a limit are the first groups of the same query without it.
void check_limit_keeps_prefix(const ProfileReport& profile, Query query,
                              const QueryReport& report) {
  query.limit.reset();
  query.sample_limit = 0;
  const QueryReport unlimited = mosa_profile::query(profile, query);
  require(report.groups.size() <= unlimited.groups.size(), "a limit never adds groups");
  for (std::size_t i = 0; i < report.groups.size(); ++i) {
    require(report.groups[i].name == unlimited.groups[i].name &&
                report.groups[i].sample_count == unlimited.groups[i].sample_count,
            "limited groups are a prefix of the unlimited ones");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mosa_fuzz::ByteReader reader(std::span(data, size));
  const ProfileReport profile = mosa_fuzz::profile(reader);
  const Query query = mosa_fuzz::query(reader);

  const QueryReport report = mosa_profile::query(profile, query);
  Expected expected = recount(profile, query);
  require(report.clock_hz == profile.clock_hz && report.tile_count == profile.tiles.size() &&
              report.at_offset == query.at_offset,
          "clock, tile count and at_offset copied");
  require(report.sample_count == expected.samples, "sample_count counts every sample");
  require(report.matched_sample_count == expected.matched &&
              report.matched_sample_count <= report.sample_count,
          "matched_sample_count counts the selected samples");
  require(report.profile_span_cycles == expected.span, "profile span is the latest end");
  require(report.profile_span_cycles <= 2 * (std::uint64_t{1} << 32) - 2, "no end beyond 2^33 - 2");
  require(std::isfinite(report.profile_span_ms) && report.profile_span_ms >= 0.0,
          "profile_span_ms finite");
  check_groups(query, report, expected);
  check_listing(query, report, expected);
  if (query.limit) check_limit_keeps_prefix(profile, query, report);
  return 0;
}
