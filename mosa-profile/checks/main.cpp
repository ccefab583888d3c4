#include "check_table.hpp"

int main(int argc, char** argv) {
  return mosa_profile::tests::run_checks(mosa_profile::tests::check_table(), argc, argv);
}
