// Builds a two-tile profile whose counters wrap and prints where its first tile's exchange went.
#include <cstdlib>
#include <iostream>

#include <mosa_profile/mosa_profile.hpp>

int main() {
  using mosa_package::ProfileExchangeActivityKind;
  mosa_package::CycleSample exchange{
      .step = {.phase = 1,
               .operation = "halo exchange",
               .kind = mosa_package::ProfileStepKind::Exchange,
               .exchange_activities = {{.kind = ProfileExchangeActivityKind::Send,
                                        .start_cycle = 2,
                                        .end_cycle = 6},
                                       {.kind = ProfileExchangeActivityKind::Receive,
                                        .start_cycle = 4,
                                        .end_cycle = 8}},
               .exchange_event_cycles = 10},
      .start_cycle = 4294967290U,
      .end_cycle = 4};
  const mosa_package::ProfileReport report{
      .clock_hz = 1'000'000'000,
      .tiles = {{.physical_tile = 0, .samples = {exchange}},
                {.physical_tile = 1, .samples = {{.start_cycle = 3, .end_cycle = 9}}}}};

  const std::uint32_t base = mosa_profile::cycle_origin(report);
  const auto roles = mosa_profile::exchange_role_cycles(exchange.step.exchange_activities,
                                                        exchange.step.exchange_event_cycles);
  std::cout << "shared base " << base << ", last tile entered "
            << mosa_profile::initial_sample_entry_span(report, base) << " cycles later\n"
            << "exchange of " << mosa_profile::duration(exchange) << " cycles: " << roles << '\n';
  return roles.simultaneous == 2 ? EXIT_SUCCESS : EXIT_FAILURE;
}
