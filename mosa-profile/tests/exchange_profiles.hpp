#pragma once

// Profiles for the exchange tests: a builder of one exchange sample and a generator of random
// profiles that mix kinds, epochs, phases, windows and activities across counter wraps.

#include <cstdint>
#include <random>

#include <mosa_package/profile.hpp>

#include "checks.hpp"

namespace mosa_profile::test_profiles {

inline constexpr auto Send = mosa_package::ProfileExchangeActivityKind::Send;
inline constexpr auto Receive = mosa_package::ProfileExchangeActivityKind::Receive;
inline constexpr auto PartnerBusy = mosa_package::ProfileExchangeActivityKind::PartnerBusy;

inline mosa_package::ProfileExchangeActivity activity(
    mosa_package::ProfileExchangeActivityKind kind, std::uint32_t start, std::uint32_t end) {
  return {.kind = kind, .start_cycle = start, .end_cycle = end};
}

inline mosa_package::CycleSample exchange(std::uint32_t epoch, std::uint32_t phase,
                                          std::uint32_t start, std::uint32_t end,
                                          std::uint32_t scheduled = 0) {
  auto built =
      tests::sample(phase, mosa_package::ProfileStepKind::Exchange, "exchange", start, end);
  built.step.epoch = epoch;
  built.step.exchange_event_cycles = scheduled;
  return built;
}

inline std::uint32_t draw(std::mt19937_64& rng, std::uint32_t low, std::uint32_t high) {
  return std::uniform_int_distribution<std::uint32_t>{low, high}(rng);
}

inline mosa_package::ProfileExchangeActivity random_activity(std::mt19937_64& rng,
                                                             std::uint32_t window) {
  // Ends may lie before starts or beyond the window: such activities are counted but clipped.
  return {.fanout = static_cast<std::uint16_t>(draw(rng, 0, 8)),
          .paired = draw(rng, 0, 1) == 1,
          .kind = static_cast<mosa_package::ProfileExchangeActivityKind>(draw(rng, 0, 2)),
          .start_cycle = draw(rng, 0, window + 20),
          .end_cycle = draw(rng, 0, window + 20)};
}

inline mosa_package::CycleSample random_sample(std::mt19937_64& rng, std::uint32_t start) {
  const auto kind = draw(rng, 0, 1) == 0
                        ? mosa_package::ProfileStepKind::Exchange
                        : static_cast<mosa_package::ProfileStepKind>(draw(rng, 1, 3));
  // Mostly short steps; now and then one close to a whole counter period.
  const std::uint32_t length = draw(rng, 0, 7) == 0 ? draw(rng, 0, UINT32_MAX) : draw(rng, 0, 200);
  auto built = tests::sample(draw(rng, 0, 3), kind, "k", start, start + length);
  built.step.epoch = draw(rng, 0, 2);
  built.step.exchange_event_cycles = draw(rng, 0, 1) == 0 ? 0 : draw(rng, 1, 100);
  const std::uint32_t activities = draw(rng, 0, 4);
  for (std::uint32_t i = 0; i < activities; ++i) {
    built.step.exchange_activities.push_back(
        random_activity(rng, built.step.exchange_event_cycles));
  }
  return built;
}

// Up to five tiles, whose first samples lie within 2^31 - 1 cycles of each other so that the
// earliest entry is well defined; counters often wrap inside the profile. Later samples mostly
// follow closely (equal entries are frequent) and sometimes start anywhere on the counter.
inline mosa_package::ProfileReport random_profile(std::mt19937_64& rng) {
  const std::uint32_t base =
      draw(rng, 0, 1) == 0 ? UINT32_MAX - draw(rng, 0, 400) : draw(rng, 0, UINT32_MAX);
  const std::uint32_t spreads[] = {0, 40, 0x7FFF'FFFF};
  const std::uint32_t spread = spreads[draw(rng, 0, 2)];
  mosa_package::ProfileReport report{.clock_hz = 1'000'000'000};
  const std::uint32_t tiles = draw(rng, 0, 5);
  for (std::uint32_t t = 0; t < tiles; ++t) {
    mosa_package::TileProfile tile{.physical_tile = draw(rng, 0, 9)};
    std::uint32_t start = base + draw(rng, 0, spread);
    const std::uint32_t samples = draw(rng, 0, 6);
    for (std::uint32_t s = 0; s < samples; ++s) {
      tile.samples.push_back(random_sample(rng, start));
      start = draw(rng, 0, 15) == 0 ? draw(rng, 0, UINT32_MAX) : start + draw(rng, 0, 40);
    }
    report.tiles.push_back(tile);
  }
  return report;
}

}  // namespace mosa_profile::test_profiles
