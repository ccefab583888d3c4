// A check executable over a small table, for the tests of the check runner: "passing" runs three
// passing checks, "failing" puts a failing check between two passing ones.
#include <array>
#include <string_view>

#include <gtest/gtest.h>

#include "check_table.hpp"

namespace {

void passes_first() {
  ASSERT_EQ(1 + 1, 2);
}
void fails_with_both_values() {
  ASSERT_EQ(40 + 1, 42);
}
void passes_last() {
  ASSERT_TRUE(true);
}

constexpr std::array passing{
    mosa_profile::tests::Check{"passes_first", &passes_first},
    mosa_profile::tests::Check{"passes_in_between", &passes_last},
    mosa_profile::tests::Check{"passes_last", &passes_last},
};
constexpr std::array failing{
    mosa_profile::tests::Check{"passes_first", &passes_first},
    mosa_profile::tests::Check{"fails_with_both_values", &fails_with_both_values},
    mosa_profile::tests::Check{"passes_last", &passes_last},
};

}  // namespace

int main(int argc, char** argv) {
  const bool with_failure = argc > 1 && std::string_view(argv[1]) == "failing";
  return mosa_profile::tests::run_checks(with_failure
                                             ? std::span<const mosa_profile::tests::Check>(failing)
                                             : std::span<const mosa_profile::tests::Check>(passing),
                                         argc - 1, argv + 1);
}
