#!/usr/bin/env bash
# Builds the bench preset and runs the word store benchmarks.
#   BENCH_MIN_TIME   --benchmark_min_time in seconds (default 0.2)
#   BENCH_BUILD_DIR  build tree (default: the preset's, build/bench)
#   extra arguments go to the benchmark (e.g. --benchmark_filter=Dictionary)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ -n "${BENCH_BUILD_DIR:-}" ]; then
    build=$BENCH_BUILD_DIR
    cmake --preset bench -B "$build" >/dev/null
    cmake --build "$build" -j2 --target store_bench
else
    build=$root/build/bench
    cmake --preset bench >/dev/null && cmake --build --preset bench --target store_bench
fi
"$build/bench/store_bench" --benchmark_min_time="${BENCH_MIN_TIME:-0.2}" --benchmark_counters_tabular=true "$@"
