#include <string>

#include "checks.hpp"

namespace mosa_profile::tests {

mosa_package::CycleSample sample(std::uint32_t phase, mosa_package::ProfileStepKind kind,
                                 std::string_view kernel, std::uint32_t start, std::uint32_t end) {
  const std::string phase_text = std::to_string(phase);
  return mosa_package::CycleSample{
      .step =
          mosa_package::ProfileStep{
              .local_index = phase,
              .phase = phase,
              .epoch = 0,
              .operation = "operation " + phase_text,
              .kind = kind,
              .kernel = std::string(kernel),
              .metadata = {{.name = "block", .value = phase_text}},
              .exchange_activities = {},
              .exchange_event_cycles = 0,
          },
      .start_cycle = start,
      .end_cycle = end,
  };
}

}  // namespace mosa_profile::tests
