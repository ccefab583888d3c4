#include "check_table.hpp"

#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/wait.h>

#include <gtest/gtest.h>

namespace {

struct DemoRun {
  std::string output;
  int exit_status = -1;
};

DemoRun run_demo(const std::string& arguments) {
  const std::string command = std::string(MOSA_CHECK_RUNNER_DEMO) + " " + arguments + " 2>&1";
  DemoRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (std::size_t read = 0; (read = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    run.output.append(buffer, read);
  }
  const int status = pclose(pipe);
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(CheckRunner, AFailingCheckDoesNotStopTheOthers) {
  const DemoRun run = run_demo("failing");
  EXPECT_NE(run.exit_status, 0);
  EXPECT_NE(run.output.find("[       OK ] tests.passes_first"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("[  FAILED  ] tests.fails_with_both_values"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("[       OK ] tests.passes_last"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("41"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("42"), std::string::npos) << run.output;
}

TEST(CheckRunner, AllPassingChecksExitWithZero) {
  const DemoRun run = run_demo("passing");
  EXPECT_EQ(run.exit_status, 0) << run.output;
  EXPECT_NE(run.output.find("[  PASSED  ] 3 tests"), std::string::npos) << run.output;
}

TEST(CheckRunner, ListsAndSelectsChecksByName) {
  const DemoRun listing = run_demo("failing --gtest_list_tests");
  EXPECT_EQ(listing.exit_status, 0);
  EXPECT_EQ(listing.output, "tests.\n  passes_first\n  fails_with_both_values\n  passes_last\n");

  const DemoRun selected = run_demo("failing --gtest_filter=tests.passes_last");
  EXPECT_EQ(selected.exit_status, 0) << selected.output;
  EXPECT_NE(selected.output.find("[  PASSED  ] 1 test"), std::string::npos) << selected.output;
  EXPECT_EQ(selected.output.find("fails_with_both_values"), std::string::npos) << selected.output;
}

TEST(CheckTable, IsOrderedByNameWithoutDuplicates) {
  const auto table = mosa_profile::tests::check_table();
  ASSERT_FALSE(table.empty());
  EXPECT_TRUE(std::is_sorted(table.begin(), table.end(),
                             [](const auto& a, const auto& b) { return a.name < b.name; }));
  EXPECT_EQ(std::adjacent_find(table.begin(), table.end(),
                               [](const auto& a, const auto& b) { return a.name == b.name; }),
            table.end());
}

}  // namespace
