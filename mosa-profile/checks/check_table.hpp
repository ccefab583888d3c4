#pragma once

// The table of named scenario checks and its hand-over to GoogleTest: every entry becomes the
// test tests.NAME, so the runner lists, selects, isolates and reports each check on its own.

#include <span>
#include <string_view>

namespace mosa_profile::tests {

struct Check {
  std::string_view name;  // without the "tests::" prefix; the runner shows tests.NAME
  void (*function)();
};

// The fixed table of the library's scenario checks, ordered by name.
std::span<const Check> check_table() noexcept;

// Hands `table` to GoogleTest with the process command line and runs the selected checks.
// Returns 0 when every selected check passed, non-zero otherwise.
int run_checks(std::span<const Check> table, int argc, char** argv);

}  // namespace mosa_profile::tests
