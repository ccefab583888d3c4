#!/usr/bin/env bash
# Builds the check executable and runs it; arguments go to the runner (--gtest_filter=tests.NAME,
# --gtest_list_tests, ...).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target mosa_profile_checks
exec build/dev/mosa-profile/checks/mosa_profile_checks "$@"
