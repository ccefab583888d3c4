#pragma once

// Per-sample answers of a query: whether a sample is selected, which group it joins, and the
// listing record of a sample chosen for the report.

#include <cstdint>
#include <map>
#include <string>

#include <mosa_package/profile.hpp>
#include <mosa_profile/query_model.hpp>

namespace mosa_profile {

// A selected sample remembered for the listing. Refers into the profile, so it must not outlive
// the profile it was taken from.
struct Candidate {
  std::uint32_t tile = 0;      // physical tile of the TileProfile holding the sample
  std::uint64_t offset = 0;    // start on the time line, after the crop
  std::uint32_t duration = 0;  // cycles, after the crop
  const mosa_package::CycleSample* sample = nullptr;  // never null when handed to sample_record
};

// The name of a sample's group and what the group stands for. Equal names always come with equal
// dimensions.
struct GroupKey {
  std::string name;
  std::map<std::string, std::string> dimensions;
};

// Whether `query` selects `sample` of physical tile `tile`, which lies at [offset,
// offset + sample_duration) on the time line. Every condition the query sets must hold:
// - kind: kind_of(sample) equals it;
// - kernel: the step's kernel equals it byte for byte; "" selects the steps without kernel, and
//   "(no kernel)" only steps whose kernel is literally that text;
// - operation_contains: a byte-wise substring of the operation ("" is part of every operation);
// - tiles / phases: contain `tile` / the step's phase, unless empty;
// - at_offset: offset <= at_offset < offset + sample_duration (the sum saturating at 2^64 - 1);
// - metadata: each filter is satisfied by some entry of the step (different filters may be
//   satisfied by different entries).
// Allocates nothing.
bool matches_query(const Query& query, std::uint32_t tile, const mosa_package::CycleSample& sample,
                   std::uint64_t offset, std::uint32_t sample_duration) noexcept;

// The group of `sample` of physical tile `tile` under `query.group_by`:
//   Kind      "compute"                           no dimensions
//   Kernel    the kernel, "(no kernel)" if empty  no dimensions
//   Operation the operation, even if empty        no dimensions
//   Phase     "phase 3/0" (phase 3, epoch 0)      {"epoch": "0", "phase": "3"}
//   Tile      "tile 7"                            {"physicalTile": "7"}
//   Metadata  the value of the first entry named metadata_key (the empty name when the key is
//             absent), "(missing)" without one    {"metadataKey": key, "metadataValue": name}
// Numbers are plain decimals. Groups are identified by name alone: a kernel literally
// "(no kernel)" joins the steps without kernel, a value "(missing)" the steps without the entry.
GroupKey group_key(const Query& query, std::uint32_t tile, const mosa_package::CycleSample& sample);

// The listing record of `candidate`: its tile, offset and duration, and copies of the step's
// phase, epoch, kind name, operation, kernel (empty when none) and every metadata entry in order.
SampleRecord sample_record(Candidate candidate);

}  // namespace mosa_profile
