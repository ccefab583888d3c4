#pragma once

// A profile's exchange behaviour in one record: the role accounting of the exchange steps that
// describe their activities, and the timing of the exchanges that have a scheduled length.
// "estimated" figures come from activity intervals, "measured" ones from sample time stamps,
// "scheduled" ones from the steps' exchange_event_cycles.

#include <cstddef>
#include <cstdint>

#include <mosa_package/profile.hpp>

namespace mosa_profile {

// A described sample is an Exchange sample whose step has a non-zero exchange_event_cycles (its
// window W) and at least one activity. Every activity of a described sample is counted by kind,
// also one that lies outside the window or is empty; the role figures sum exchange_role_cycles
// over the described samples. The timing figures sum over the exchange boundaries that have a
// scheduled length S; the others add nothing.
struct ExchangeActivitySummary {
  std::size_t exchange_samples = 0;        // Exchange samples of all tiles
  std::size_t described_samples = 0;       // of those, the described ones
  std::size_t send_intervals = 0;          // Send activities of described samples
  std::size_t receive_intervals = 0;       // Receive activities of described samples
  std::size_t partner_busy_intervals = 0;  // PartnerBusy activities of described samples
  std::uint64_t estimated_send_work_cycles = 0;
  std::uint64_t estimated_receive_work_cycles = 0;
  std::uint64_t estimated_simultaneous_work_cycles = 0;
  std::uint64_t estimated_partner_busy_work_cycles = 0;
  std::uint64_t estimated_idle_work_cycles = 0;
  std::uint64_t measured_phase_cycles = 0;   // sum of after_last_arrival_cycles
  std::uint64_t scheduled_event_cycles = 0;  // sum of S
  std::uint64_t arrival_wait_cycles = 0;     // sum of arrival_spread_cycles
  // Sum of after_last_arrival_cycles - S, each boundary's term floored at 0: an exchange that
  // finished within its schedule does not cancel another's overrun.
  std::uint64_t phase_boundary_cycles = 0;
  friend bool operator==(const ExchangeActivitySummary&, const ExchangeActivitySummary&) = default;
};

// The summary of `report`; all zero when it has no Exchange sample. One role accounting per
// described sample (O(n log n) in its activities, independent of W) and one computation of
// exchange_boundaries. Sums are 64-bit and cannot overflow: every term is below 2^33.
// Example: boundaries with (after_last_arrival_cycles, S) of (50, 40) and (30, 40) ->
// measured_phase_cycles 80, scheduled_event_cycles 80, phase_boundary_cycles 10.
ExchangeActivitySummary exchange_activity_summary(const mosa_package::ProfileReport& report);

}  // namespace mosa_profile
