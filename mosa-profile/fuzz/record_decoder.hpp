#pragma once

// Decodes profiles, exchange activities and queries from fuzzer bytes. The encoding leans towards
// the values where the analyses have edges (counter wraps, empty and full-period samples, tiles
// entering close together, windows and activities around their ends, the metadata names the
// analyses read) while any byte string still decodes to some valid record.
//
// Profile:  clock, tile count, base reading, then per tile its physical number, sample count and
//           samples. A sample is one shape byte (bits 0-1 kind, 2-3 how it starts, 4-5 how long
//           it lasts, 6 has kernel and operation, 7 has metadata), phase, epoch, the texts and
//           metadata its shape announces, and for an exchange its window and activities.
// Query:    one byte per field, each field read only when its byte says it is set.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <mosa_package/profile.hpp>
#include <mosa_profile/query_model.hpp>

#include "byte_reader.hpp"

namespace mosa_fuzz {

// Texts the analyses give a meaning to, and texts next to them.
inline constexpr std::string_view kernel_texts[] = {"", "(no kernel)", "add", "Add", "gemm"};
inline constexpr std::string_view operation_texts[] = {"", "madd", "add rows", "gemm", "Add"};
inline constexpr std::string_view metadata_names[] = {
    // read by the analyses
    "usefulCycles", "physicalWorkCycles", "invocations", "uniformInvocations", "reason", "value",
    "workEstimateBasis",
    // free names, and names next to the read ones
    "block", "Block", "", "tag", "usefulcycles"};
inline constexpr std::string_view metadata_values[] = {
    // plain numbers and flags
    "0", "1", "2", "30", "60", "true", "True", "(missing)", "", "+7", "-0", ".5", "5.", "1e2",
    // at the edges: of the double range, of the work figures, of the 32-bit counts; malformed
    "1e308", "1.7976931348623157e308", "1e400", "1e-400", "4.9e-324", "-1", "nan", "inf", "0x10",
    " 1", "1_0", "4294967295", "4294967296", "00000000000000000003", "18446744073709551616",
    "1e19"};

// A phase, epoch or similar number: mostly 0 to 3, so that samples share it, sometimes anything.
inline std::uint32_t small_or_any(ByteReader& reader) {
  const std::uint8_t choice = reader.byte();
  return choice < 240 ? choice % 4U : reader.integer<std::uint32_t>();
}

// A counter reading: small, just below the wrap, around 2^31, or anywhere.
inline std::uint32_t reading(ByteReader& reader) {
  switch (reader.below(4)) {
    case 0:
      return reader.byte();
    case 1:
      return std::numeric_limits<std::uint32_t>::max() - reader.byte();
    case 2:
      return 0x8000'0000U - 128U + reader.byte();
    default:
      return reader.integer<std::uint32_t>();
  }
}

// A length in cycles: short, zero, close to a whole counter period, or anything.
inline std::uint32_t length(ByteReader& reader, unsigned mode) {
  switch (mode) {
    case 0:
      return reader.byte();
    case 1:
      return 0;
    case 2:
      return std::numeric_limits<std::uint32_t>::max() - reader.byte();
    default:
      return reader.integer<std::uint32_t>();
  }
}

// Where a sample starts, from where the previous one of its tile started and ended: just after
// it, touching it, a little before the previous start, or at any reading.
inline std::uint32_t start(ByteReader& reader, unsigned mode, std::uint32_t previous_start,
                           std::uint32_t previous_end) {
  switch (mode) {
    case 0:
      return previous_end + reader.below(8);
    case 1:
      return previous_end;
    case 2:
      return previous_start - reader.below(32);
    default:
      return reading(reader);
  }
}

// An exchange-event window: none, short, longer, or any 32-bit length.
inline std::uint32_t window(ByteReader& reader) {
  switch (reader.below(4)) {
    case 0:
      return 0;
    case 1:
      return reader.byte();
    case 2:
      return reader.integer<std::uint16_t>();
    default:
      return reader.integer<std::uint32_t>();
  }
}

// A position inside or around a window of `window` cycles.
template <std::unsigned_integral Window>
std::uint32_t activity_position(ByteReader& reader, Window window) {
  const auto clipped = static_cast<std::uint32_t>(window < std::numeric_limits<std::uint32_t>::max()
                                                      ? window
                                                      : std::numeric_limits<std::uint32_t>::max());
  switch (reader.below(4)) {
    case 0:
      return reader.byte();
    case 1:
      return clipped - reader.below(8);
    case 2:
      return clipped + reader.below(8);
    default:
      return reader.integer<std::uint32_t>();
  }
}

template <std::unsigned_integral Window>
mosa_package::ProfileExchangeActivity activity(ByteReader& reader, Window window) {
  mosa_package::ProfileExchangeActivity decoded;
  decoded.kind = static_cast<mosa_package::ProfileExchangeActivityKind>(reader.below(3));
  decoded.fanout = reader.byte();
  decoded.paired = reader.flag();
  decoded.start_cycle = activity_position(reader, window);
  decoded.end_cycle = activity_position(reader, window);
  return decoded;
}

inline std::vector<mosa_package::ProfileMetadata> metadata(ByteReader& reader) {
  std::vector<mosa_package::ProfileMetadata> entries(reader.below(5));
  for (auto& entry : entries) {
    entry.name = reader.text(metadata_names);
    entry.value = reader.text(metadata_values);
  }
  return entries;
}

// One sample of a tile; `previous` holds the start and end of the tile's previous sample.
inline mosa_package::CycleSample sample(ByteReader& reader, std::uint32_t previous_start,
                                        std::uint32_t previous_end) {
  const std::uint8_t shape = reader.byte();
  mosa_package::CycleSample decoded;
  mosa_package::ProfileStep& step = decoded.step;
  step.kind = static_cast<mosa_package::ProfileStepKind>(shape & 3U);
  decoded.start_cycle = start(reader, (shape >> 2U) & 3U, previous_start, previous_end);
  decoded.end_cycle = decoded.start_cycle + length(reader, (shape >> 4U) & 3U);
  step.phase = small_or_any(reader);
  step.epoch = small_or_any(reader);
  if ((shape & 0x40U) != 0) {
    step.kernel = reader.text(kernel_texts);
    step.operation = reader.text(operation_texts);
  }
  if ((shape & 0x80U) != 0) step.metadata = metadata(reader);
  if (step.kind == mosa_package::ProfileStepKind::Exchange) {
    step.exchange_event_cycles = window(reader);
    step.exchange_activities.resize(reader.below(9));
    for (auto& decoded_activity : step.exchange_activities) {
      decoded_activity = activity(reader, step.exchange_event_cycles);
    }
  }
  return decoded;
}

// Up to six tiles whose first samples start near one base reading (or anywhere), with up to
// sixteen samples each; physical numbers are small and may repeat.
inline mosa_package::ProfileReport profile(ByteReader& reader) {
  mosa_package::ProfileReport report;
  switch (reader.below(3)) {
    case 0:
      report.clock_hz = 0;
      break;
    case 1:
      report.clock_hz = 1'000'000'000;
      break;
    default:
      report.clock_hz = reader.integer<std::uint64_t>();
      break;
  }
  report.tiles.resize(reader.below(7));
  const std::uint32_t base = reading(reader);
  for (auto& tile : report.tiles) {
    const std::uint8_t number = reader.byte();
    tile.physical_tile = number < 248 ? number % 8U : reader.integer<std::uint32_t>();
    tile.samples.resize(reader.below(17));
    std::uint32_t previous_start = base;
    std::uint32_t previous_end = base;
    for (auto& decoded : tile.samples) {
      decoded = sample(reader, previous_start, previous_end);
      previous_start = decoded.start_cycle;
      previous_end = decoded.end_cycle;
    }
  }
  return report;
}

// An offset on the query's time line: short, around the counter period, around the longest end
// (2^33 - 2), at the top of the 64-bit range, or anything.
inline std::uint64_t offset(ByteReader& reader) {
  constexpr std::uint64_t period = std::uint64_t{1} << 32;
  switch (reader.below(5)) {
    case 0:
      return reader.integer<std::uint16_t>();
    case 1:
      return period - 128 + reader.byte();
    case 2:
      return 2 * period - 128 + reader.byte();
    case 3:
      return std::numeric_limits<std::uint64_t>::max() - reader.byte();
    default:
      return reader.integer<std::uint64_t>();
  }
}

// A count: small, near the top of the range, or anything.
inline std::size_t count(ByteReader& reader) {
  switch (reader.below(3)) {
    case 0:
      return reader.below(8);
    case 1:
      return std::numeric_limits<std::size_t>::max() - reader.byte();
    default:
      return reader.integer<std::uint64_t>();
  }
}

// Up to three numbers, each drawn by `draw`.
template <typename Draw>
std::set<std::uint32_t> numbers(ByteReader& reader, Draw draw) {
  std::set<std::uint32_t> decoded;
  for (std::size_t n = reader.below(4); n > 0; --n) decoded.insert(draw(reader));
  return decoded;
}

inline mosa_profile::Query query(ByteReader& reader) {
  mosa_profile::Query decoded;
  decoded.group_by = static_cast<mosa_profile::GroupBy>(reader.below(6));
  decoded.sort_by = static_cast<mosa_profile::SortBy>(reader.below(5));
  if (reader.flag()) decoded.kind = static_cast<mosa_profile::StepKind>(reader.below(4));
  if (reader.flag()) decoded.kernel = reader.text(kernel_texts);
  if (reader.flag()) decoded.operation_contains = reader.text(operation_texts);
  if (reader.flag()) {
    decoded.tiles = numbers(reader, [](ByteReader& r) { return r.below(9); });
  }
  if (reader.flag()) decoded.phases = numbers(reader, small_or_any);
  if (reader.flag()) {
    decoded.metadata.resize(reader.below(3));
    for (auto& filter : decoded.metadata) {
      filter.name = reader.text(metadata_names);
      if (reader.flag()) filter.value = reader.text(metadata_values);
    }
  }
  if (reader.flag()) decoded.metadata_key = reader.text(metadata_names);
  if (reader.flag()) decoded.at_offset = offset(reader);
  decoded.shared_clock = reader.flag();
  if (reader.flag()) decoded.limit = count(reader);
  if (reader.flag()) decoded.sample_limit = count(reader);
  return decoded;
}

}  // namespace mosa_fuzz
