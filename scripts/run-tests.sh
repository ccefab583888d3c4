#!/usr/bin/env bash
# Builds and runs the whole test suite: the checks, the unit tests and the packaging test with
# g++ and with clang++ (warnings as errors), then everything again under AddressSanitizer and
# UndefinedBehaviorSanitizer and under ThreadSanitizer, and finally a bounded run of every
# libFuzzer harness.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in dev clang asan-ubsan tsan fuzz; do
  echo "=== ${preset} ==="
  cmake --workflow --preset "${preset}"
done
