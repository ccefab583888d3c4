#pragma once

// A question about one profile and its answer: which samples to select, how to group and order
// them and how many to list (Query), and the per-group statistics and sample listing that answer
// it (QueryReport). Cycles are cycles of the profile's clock; offsets are positions on the query's
// time line (see query.hpp); milliseconds come from cycles_to_ms at the profile's clock_hz.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <mosa_profile/step_classification.hpp>

namespace mosa_profile {

// What the selected samples are grouped by. The default is Kernel, not the first member.
enum class GroupBy : std::uint8_t {
  Kind,       // the step kind, named "exchange", "compute", "synchronization" or "idle"
  Kernel,     // the step's kernel; steps without kernel are named "(no kernel)"
  Operation,  // the step's operation name, even when empty
  Phase,      // the (phase, epoch) pair, named "phase 3/0"
  Tile,       // the physical tile, named "tile 7"
  Metadata,   // the value of the first metadata entry named Query::metadata_key
};

// Order of the groups in a report: the numeric members put the larger value first, Name sorts
// ascending by bytes. Ties go to the smaller first_offset, then to the smaller name.
enum class SortBy : std::uint8_t { PhaseCycles, WorkCycles, MaximumCycles, Samples, Name };

// One condition on a step's metadata: some entry carries `name` and, when `value` is present,
// that value too (both on the same entry, compared byte for byte).
struct MetadataFilter {
  std::string name;
  std::optional<std::string> value;  // absent: any value will do
};

// The default query groups by kernel, sorts by phase cycles, selects every sample of non-zero
// length on the cropped time line, keeps every group and lists no samples.
struct Query {
  GroupBy group_by = GroupBy::Kernel;
  SortBy sort_by = SortBy::PhaseCycles;
  std::optional<StepKind> kind;                   // only steps of this kind
  std::optional<std::string> kernel;              // only steps whose kernel is exactly this text
  std::optional<std::string> operation_contains;  // only operations containing this text
  std::set<std::uint32_t> tiles;                  // only these physical tiles; empty: all
  std::set<std::uint32_t> phases;                 // only these phases; empty: all
  std::vector<MetadataFilter> metadata;           // every filter must hold
  std::optional<std::string> metadata_key;        // names the group under GroupBy::Metadata
  std::optional<std::uint64_t> at_offset;         // only samples running at this offset
  bool shared_clock = false;         // false: crop the initial entry span off the time line
  std::optional<std::size_t> limit;  // keep at most this many groups, after sorting
  std::size_t sample_limit = 0;      // list at most this many samples; 0 lists none
};

// The report's own copy of one metadata pair of a step.
struct MetadataEntry {
  std::string name;
  std::string value;
};

// One listed sample, placed on the query's time line.
struct SampleRecord {
  std::uint32_t physical_tile = 0;
  std::uint64_t offset = 0;    // start, after the crop
  std::uint32_t duration = 0;  // cycles, after the crop
  std::uint32_t phase = 0;
  std::uint32_t epoch = 0;
  std::string kind;                     // display name of the step kind
  std::string operation;                // the step's operation name
  std::string kernel;                   // as recorded: empty when the step has none
  std::vector<MetadataEntry> metadata;  // every entry of the step, in recorded order
};

// Statistics of one group. Durations are those after the crop of the time line; a work estimate
// counts only for samples the crop left whole.
struct GroupSummary {
  std::string name;                               // unique within the report
  std::map<std::string, std::string> dimensions;  // empty for kind, kernel and operation groups
  std::size_t sample_count = 0;
  std::size_t tile_count = 0;      // distinct physical tiles
  std::size_t phase_count = 0;     // distinct (phase, epoch) pairs
  std::uint64_t phase_cycles = 0;  // length of the union of the samples' [offset, end) intervals
  double phase_ms = 0.0;
  std::uint64_t work_cycles = 0;              // sum of the durations
  double average_active_tiles = 0.0;          // work_cycles / phase_cycles
  double useful_cycles = 0.0;                 // sum of the useful estimates
  std::uint64_t estimated_work_cycles = 0;    // sum of the durations of the estimated samples
  std::optional<double> useful_utilization;   // useful_cycles / estimated_work_cycles
  std::optional<double> work_lane_occupancy;  // useful_cycles / sum of the physical estimates
  // useful_cycles / (phase_cycles * number of tiles in the profile)
  std::optional<double> device_useful_utilization;
  double mean_cycles = 0.0;
  std::uint32_t p50_cycles = 0;  // lower nearest-rank percentiles of the durations
  std::uint32_t p95_cycles = 0;
  std::uint32_t maximum_cycles = 0;
  std::uint64_t first_offset = 0;  // earliest start of a sample of the group
  std::uint64_t last_offset = 0;   // latest end of a sample of the group
};

// The answer to one query. Owns every text, map and list: nothing refers back into the profile.
struct QueryReport {
  std::uint64_t clock_hz = 0;
  std::size_t tile_count = 0;             // tiles of the profile, those without samples included
  std::size_t sample_count = 0;           // samples of the profile, selected or not
  std::size_t matched_sample_count = 0;   // samples that passed the selection
  std::uint64_t profile_span_cycles = 0;  // latest end of any sample on the time line
  double profile_span_ms = 0.0;
  std::optional<std::uint64_t> at_offset;  // the query's, copied
  std::vector<GroupSummary> groups;        // sorted, then limited
  std::vector<SampleRecord> samples;       // longest first
};

}  // namespace mosa_profile
