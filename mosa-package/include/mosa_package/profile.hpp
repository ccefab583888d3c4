#pragma once

// Records of one execution profile of a many-tile processor: per tile, one sample per executed
// step, stamped with readings of the tile's free-running 32-bit cycle counter. Plain values that
// own all their data; copies are deep and independent. No field is validated.

#include <cstdint>
#include <string>
#include <vector>

namespace mosa_package {

enum class ProfileStepKind : std::uint8_t {
  Exchange = 0,
  Compute = 1,
  Synchronization = 2,
  Idle = 3,
};

enum class ProfileExchangeActivityKind : std::uint8_t {
  Send = 0,
  Receive = 1,
  PartnerBusy = 2,
};

// One name/value pair attached to a step. Names need not be unique; numeric values are decimal
// texts that the reading analysis parses itself.
struct ProfileMetadata {
  std::string name;
  std::string value;
};

// One interval of exchange activity inside an exchange step: the half-open range
// [start_cycle, end_cycle) counted from cycle 0 of the step's exchange-event window (positions
// inside the window, not counter readings).
struct ProfileExchangeActivity {
  std::uint16_t fanout = 0;
  bool paired = false;
  ProfileExchangeActivityKind kind = ProfileExchangeActivityKind::Send;
  std::uint32_t start_cycle = 0;
  std::uint32_t end_cycle = 0;
};

// The planned step that a sample executed.
struct ProfileStep {
  std::uint32_t local_index = 0;
  std::uint32_t phase = 0;
  // The same phase recurs in several epochs; (epoch, phase) identifies one execution of a phase.
  std::uint32_t epoch = 0;
  std::string operation;
  ProfileStepKind kind = ProfileStepKind::Compute;
  // Empty when the step runs no kernel.
  std::string kernel;
  std::vector<ProfileMetadata> metadata;
  // Exchange steps only: send, receive and partner-busy intervals inside the event window.
  std::vector<ProfileExchangeActivity> exchange_activities;
  // Exchange steps only: scheduled length of the exchange-event window; 0 when not recorded.
  std::uint32_t exchange_event_cycles = 0;
};

// One execution of one step on one tile. The counter wraps, so end_cycle may be smaller than
// start_cycle; the length is (end_cycle - start_cycle) mod 2^32.
struct CycleSample {
  ProfileStep step;
  std::uint32_t start_cycle = 0;
  std::uint32_t end_cycle = 0;
};

// The samples of one tile, in execution order. The first sample's start_cycle is the tile's entry
// into the profiled program.
struct TileProfile {
  std::uint32_t physical_tile = 0;
  std::vector<CycleSample> samples;
};

// One profile. A clock_hz of 0 means the frequency was not recorded.
struct ProfileReport {
  std::uint64_t clock_hz = 0;
  std::vector<TileProfile> tiles;
};

}  // namespace mosa_package
