#include <algorithm>
#include <string_view>

#include <mosa_profile/query_selection.hpp>

#include "group_identity.hpp"
#include "saturating.hpp"

namespace mosa_profile {
namespace {

constexpr std::string_view no_kernel = "(no kernel)";
constexpr std::string_view missing_value = "(missing)";

bool satisfies(const MetadataFilter& filter, const mosa_package::ProfileMetadata& entry) {
  return entry.name == filter.name && (!filter.value || entry.value == *filter.value);
}

bool satisfies_all(const std::vector<MetadataFilter>& filters,
                   const std::vector<mosa_package::ProfileMetadata>& metadata) {
  return std::all_of(filters.begin(), filters.end(), [&metadata](const MetadataFilter& filter) {
    return std::any_of(metadata.begin(), metadata.end(),
                       [&filter](const auto& entry) { return satisfies(filter, entry); });
  });
}

// Half-open: the sample runs at its start, not at its end.
bool runs_at(std::uint64_t at_offset, std::uint64_t offset, std::uint32_t sample_duration) {
  return offset <= at_offset && at_offset < detail::saturating_sum(offset, sample_duration);
}

std::string_view metadata_key_of(const Query& query) {
  return query.metadata_key ? std::string_view(*query.metadata_key) : std::string_view();
}

// The value of the first entry named `key`; later entries of that name are ignored.
std::string_view first_value(const std::vector<mosa_package::ProfileMetadata>& metadata,
                             std::string_view key) {
  const auto entry = std::find_if(metadata.begin(), metadata.end(),
                                  [key](const auto& candidate) { return candidate.name == key; });
  return entry == metadata.end() ? missing_value : std::string_view(entry->value);
}

}  // namespace

namespace detail {

GroupIdentity group_identity(const Query& query, std::uint32_t tile,
                             const mosa_package::CycleSample& sample) noexcept {
  const mosa_package::ProfileStep& step = sample.step;
  switch (query.group_by) {
    case GroupBy::Kind:
      return {.text = kind_name(sample)};
    case GroupBy::Kernel:
      return {.text = step.kernel.empty() ? no_kernel : std::string_view(step.kernel)};
    case GroupBy::Operation:
      return {.text = step.operation};
    case GroupBy::Phase:
      return {.number = (std::uint64_t{step.phase} << 32U) | step.epoch};
    case GroupBy::Tile:
      return {.number = tile};
    case GroupBy::Metadata:
      return {.text = first_value(step.metadata, metadata_key_of(query))};
  }
  return {};
}

}  // namespace detail

bool matches_query(const Query& query, std::uint32_t tile, const mosa_package::CycleSample& sample,
                   std::uint64_t offset, std::uint32_t sample_duration) noexcept {
  const mosa_package::ProfileStep& step = sample.step;
  if (query.kind && *query.kind != kind_of(sample)) return false;
  if (query.kernel && *query.kernel != step.kernel) return false;
  if (query.operation_contains &&
      std::string_view(step.operation).find(*query.operation_contains) == std::string_view::npos) {
    return false;
  }
  if (!query.tiles.empty() && !query.tiles.contains(tile)) return false;
  if (!query.phases.empty() && !query.phases.contains(step.phase)) return false;
  if (query.at_offset && !runs_at(*query.at_offset, offset, sample_duration)) return false;
  return satisfies_all(query.metadata, step.metadata);
}

GroupKey group_key(const Query& query, std::uint32_t tile,
                   const mosa_package::CycleSample& sample) {
  const mosa_package::ProfileStep& step = sample.step;
  switch (query.group_by) {
    case GroupBy::Kind:
    case GroupBy::Kernel:
    case GroupBy::Operation:
      return {.name = std::string(detail::group_identity(query, tile, sample).text)};
    case GroupBy::Phase: {
      std::string phase = std::to_string(step.phase);
      std::string epoch = std::to_string(step.epoch);
      std::string name = "phase " + phase + "/" + epoch;
      return {.name = std::move(name),
              .dimensions = {{"phase", std::move(phase)}, {"epoch", std::move(epoch)}}};
    }
    case GroupBy::Tile: {
      std::string number = std::to_string(tile);
      return {.name = "tile " + number, .dimensions = {{"physicalTile", std::move(number)}}};
    }
    case GroupBy::Metadata: {
      std::string value(detail::group_identity(query, tile, sample).text);
      return {.name = value,
              .dimensions = {{"metadataKey", std::string(metadata_key_of(query))},
                             {"metadataValue", std::move(value)}}};
    }
  }
  return {};
}

SampleRecord sample_record(Candidate candidate) {
  const mosa_package::ProfileStep& step = candidate.sample->step;
  SampleRecord record{
      .physical_tile = candidate.tile,
      .offset = candidate.offset,
      .duration = candidate.duration,
      .phase = step.phase,
      .epoch = step.epoch,
      .kind = std::string(kind_name(*candidate.sample)),
      .operation = step.operation,
      .kernel = step.kernel,
  };
  record.metadata.reserve(step.metadata.size());
  for (const auto& entry : step.metadata) {
    record.metadata.push_back({.name = entry.name, .value = entry.value});
  }
  return record;
}

}  // namespace mosa_profile
