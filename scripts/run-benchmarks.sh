#!/usr/bin/env bash
# Builds the benchmarks (Release, -O2) and runs them; arguments go to Google Benchmark
# (--benchmark_filter=BM_Query, --benchmark_repetitions=3, ...).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench
exec build/bench/mosa-profile/bench/mosa_profile_benchmarks "$@"
