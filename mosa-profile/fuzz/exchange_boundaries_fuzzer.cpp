// exchange_boundaries and exchange_activity_summary over a decoded profile. The boundaries are
// checked against their invariants and against a regrouping of the exchange samples from the
// definition; the summary against counts taken here, the role accounting of each described
// sample on its own, and sums over the boundaries.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

#include <mosa_profile/cycle_arithmetic.hpp>
#include <mosa_profile/exchange_activity_summary.hpp>
#include <mosa_profile/exchange_boundaries.hpp>
#include <mosa_profile/exchange_roles.hpp>
#include <mosa_profile/time_origin.hpp>

#include "byte_reader.hpp"
#include "invariant.hpp"
#include "record_decoder.hpp"

namespace {

using mosa_fuzz::require;
using mosa_package::ProfileExchangeActivityKind;
using mosa_package::ProfileReport;
using mosa_package::ProfileStepKind;
using mosa_profile::ExchangeActivitySummary;
using mosa_profile::ExchangeBoundary;

// Regroups the exchange samples by (epoch, phase): entry and exit on the time line from the
// origin, the first tile in profile order keeping the latest entry on a tie.
std::map<std::pair<std::uint32_t, std::uint32_t>, ExchangeBoundary> regrouped(
    const ProfileReport& profile) {
  const std::uint32_t origin = mosa_profile::cycle_origin(profile);
  std::map<std::pair<std::uint32_t, std::uint32_t>, ExchangeBoundary> groups;
  for (const auto& tile : profile.tiles) {
    for (const auto& sample : tile.samples) {
      if (sample.step.kind != ProfileStepKind::Exchange) continue;
      const std::uint64_t entry = static_cast<std::uint32_t>(sample.start_cycle - origin);
      const std::uint64_t exit =
          entry + static_cast<std::uint32_t>(sample.end_cycle - sample.start_cycle);
      const auto key = std::pair(sample.step.epoch, sample.step.phase);
      auto [found, inserted] = groups.try_emplace(key);
      ExchangeBoundary& group = found->second;
      if (inserted) {
        group = {.epoch = key.first,
                 .phase = key.second,
                 .first_entry = entry,
                 .last_entry = entry,
                 .last_exit = exit,
                 .last_arriving_tile = tile.physical_tile};
      }
      group.first_entry = std::min(group.first_entry, entry);
      if (entry > group.last_entry) {
        group.last_entry = entry;
        group.last_arriving_tile = tile.physical_tile;
      }
      group.last_exit = std::max(group.last_exit, exit);
      if (sample.step.exchange_event_cycles != 0) {
        group.scheduled_event_cycles = std::max<std::uint64_t>(
            group.scheduled_event_cycles.value_or(0), sample.step.exchange_event_cycles);
      }
    }
  }
  for (auto& [key, group] : groups) {
    group.arrival_spread_cycles = group.last_entry - group.first_entry;
    group.after_last_arrival_cycles = group.last_exit - group.last_entry;
  }
  return groups;
}

void check_boundaries(const ProfileReport& profile,
                      const std::vector<ExchangeBoundary>& boundaries) {
  constexpr std::uint64_t latest_exit = 2 * (std::uint64_t{1} << 32) - 2;
  const auto expected = regrouped(profile);
  require(boundaries.size() == expected.size(), "one boundary per (epoch, phase)");
  std::set<std::pair<std::uint32_t, std::uint32_t>> keys;
  for (std::size_t i = 0; i < boundaries.size(); ++i) {
    const ExchangeBoundary& b = boundaries[i];
    require(keys.insert({b.epoch, b.phase}).second, "(epoch, phase) unique");
    require(
        b.first_entry <= b.last_entry && b.last_entry <= b.last_exit && b.last_exit <= latest_exit,
        "first_entry <= last_entry <= last_exit <= 2^33 - 2");
    require(b.arrival_spread_cycles + b.after_last_arrival_cycles == b.last_exit - b.first_entry,
            "spread + after last arrival = last_exit - first_entry");
    require(!b.scheduled_event_cycles ||
                (*b.scheduled_event_cycles > 0 && *b.scheduled_event_cycles <= UINT32_MAX),
            "scheduled length present only when non-zero");
    if (i > 0) {
      const ExchangeBoundary& a = boundaries[i - 1];
      require(std::tie(a.last_exit, a.epoch, a.phase) < std::tie(b.last_exit, b.epoch, b.phase),
              "ordered by (last_exit, epoch, phase)");
    }
    const auto found = expected.find({b.epoch, b.phase});
    require(found != expected.end() && found->second == b, "boundary equals the regrouping");
  }
}

void check_summary(const ProfileReport& profile, const std::vector<ExchangeBoundary>& boundaries,
                   const ExchangeActivitySummary& summary) {
  ExchangeActivitySummary expected;
  std::uint64_t windows = 0;
  for (const auto& tile : profile.tiles) {
    for (const auto& sample : tile.samples) {
      const auto& step = sample.step;
      if (step.kind != ProfileStepKind::Exchange) continue;
      ++expected.exchange_samples;
      if (step.exchange_event_cycles == 0 || step.exchange_activities.empty()) continue;
      ++expected.described_samples;
      windows += step.exchange_event_cycles;
      for (const auto& activity : step.exchange_activities) {
        expected.send_intervals += activity.kind == ProfileExchangeActivityKind::Send ? 1 : 0;
        expected.receive_intervals += activity.kind == ProfileExchangeActivityKind::Receive ? 1 : 0;
        expected.partner_busy_intervals +=
            activity.kind == ProfileExchangeActivityKind::PartnerBusy ? 1 : 0;
      }
      const auto roles =
          mosa_profile::exchange_role_cycles(step.exchange_activities, step.exchange_event_cycles);
      expected.estimated_send_work_cycles += roles.send;
      expected.estimated_receive_work_cycles += roles.receive;
      expected.estimated_simultaneous_work_cycles += roles.simultaneous;
      expected.estimated_partner_busy_work_cycles += roles.partner_busy;
      expected.estimated_idle_work_cycles += roles.idle;
    }
  }
  for (const ExchangeBoundary& b : boundaries) {
    if (!b.scheduled_event_cycles) continue;
    expected.measured_phase_cycles += b.after_last_arrival_cycles;
    expected.scheduled_event_cycles += *b.scheduled_event_cycles;
    expected.arrival_wait_cycles += b.arrival_spread_cycles;
    expected.phase_boundary_cycles += b.after_last_arrival_cycles > *b.scheduled_event_cycles
                                          ? b.after_last_arrival_cycles - *b.scheduled_event_cycles
                                          : 0;
  }
  require(summary == expected, "summary equals the per-sample and per-boundary sums");

  const std::uint64_t send_or_receive = summary.estimated_send_work_cycles +
                                        summary.estimated_receive_work_cycles -
                                        summary.estimated_simultaneous_work_cycles;
  require(summary.estimated_simultaneous_work_cycles <=
              std::min(summary.estimated_send_work_cycles, summary.estimated_receive_work_cycles),
          "simultaneous <= min(send, receive)");
  require(summary.estimated_idle_work_cycles +
                      std::max(send_or_receive, summary.estimated_partner_busy_work_cycles) <=
                  windows &&
              windows <= summary.estimated_idle_work_cycles + send_or_receive +
                             summary.estimated_partner_busy_work_cycles,
          "idle + active cycles add up to the described windows");
  require(summary.phase_boundary_cycles + summary.scheduled_event_cycles >=
              summary.measured_phase_cycles,
          "phase_boundary_cycles >= measured - scheduled");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mosa_fuzz::ByteReader reader(std::span(data, size));
  const ProfileReport profile = mosa_fuzz::profile(reader);
  const std::vector<ExchangeBoundary> boundaries = mosa_profile::exchange_boundaries(profile);
  check_boundaries(profile, boundaries);
  check_summary(profile, boundaries, mosa_profile::exchange_activity_summary(profile));
  return 0;
}
