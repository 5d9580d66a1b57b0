#!/usr/bin/env bash
# Builds the bench preset and runs the word store benchmarks, each figure
# then shown beside its floor (bench/bench-ratios.py), and the
# whole-program figures under Wine (bench/bench-wine.sh, and beside a
# minimal Win32 program bench/bench-startup.sh) when there is a Windows
# build tree.
#   BENCH_MIN_TIME   --benchmark_min_time in seconds (default 0.2)
#   BENCH_BUILD_DIR  build tree (default: the preset's, build/bench)
#   BENCH_WINE_BUILD_DIR  Windows build tree (default build/windows)
#   BENCH_WINE=0     leave out the figures under Wine
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
figures=$build/store-bench.json
"$build/bench/store_bench" --benchmark_min_time="${BENCH_MIN_TIME:-0.2}" --benchmark_counters_tabular=true \
    --benchmark_out="$figures" --benchmark_out_format=json "$@"
echo
python3 "$root/bench/bench-ratios.py" "$figures"

[ "${BENCH_WINE:-1}" = 0 ] && exit 0
wine_build=${BENCH_WINE_BUILD_DIR:-$root/build/windows}
echo
if [ -f "$wine_build/CMakeCache.txt" ]; then
    bash "$root/bench/bench-wine.sh" "$wine_build"
    echo
    bash "$root/bench/bench-startup.sh" "$wine_build"
else
    echo "bench-wine: skipped, no Windows build tree at $wine_build (cmake --preset windows)"
fi
