#!/usr/bin/env bash
# Builds the fuzz preset and runs every libFuzzer target for a bounded time on
# a scratch copy of its seed corpus, which includes (and so first replays)
# every input that ever crashed it, kept in fuzz/corpus/<target>/regression/.
# Fails when a target finds a crash. Long runs: fuzz/fuzz-long.sh.
#   FUZZ_SECONDS    seconds per target (default 30)
#   FUZZ_BUILD_DIR  build tree (default: the preset's, build/fuzz)
#   FUZZ_SEED       libFuzzer's seed for every target (default: a random one,
#                   printed for each); with the same seed a target tries the
#                   same inputs in the same order, so a failure found by
#                   chance comes back given the time to reach it; also
#                   the first day of the two-PC simulation
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=${FUZZ_SECONDS:-30}
if [ -n "${FUZZ_BUILD_DIR:-}" ]; then
    build=$FUZZ_BUILD_DIR
    cmake --preset fuzz -B "$build" >/dev/null
    cmake --build "$build" -j2
else
    build=$root/build/fuzz
    cmake --preset fuzz >/dev/null && cmake --build --preset fuzz
fi

. "$root/fuzz/fuzz-lib.sh"
fuzz_work_folder
artifacts=$root/build/fuzz-artifacts
mkdir -p "$artifacts"

status=0
for target in fuzz_dictionary fuzz_import fuzz_progress fuzz_settings; do
    cp -r "fuzz/corpus/$target" "$work/$target"
    seed=$(fuzz_seed)
    echo "== $target: ${seconds}s, seed $seed (FUZZ_SEED=$seed replays it)"
    if ! "$build/fuzz/$target" -seed="$seed" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
            -artifact_prefix="$artifacts/$target-" -print_final_stats=1 "$work/$target" \
            >"$work/$target.log" 2>&1; then
        tail -n 60 "$work/$target.log"
        echo "!! $target failed (seed $seed); reproducer in $artifacts" >&2
        status=1
    else
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done ' "$work/$target.log" || true
    fi
done
# Two and three PCs with a sync program between them, on as many random
# days as the time allows: the native store tests' simulation.
simulation=$root/build/native/tests/store/store_two_pcs
if [ ! -x "$simulation" ]; then
    cmake --preset native >/dev/null && cmake --build --preset native --target store_two_pcs
fi
echo "== two-PC simulation: ${seconds}s${FUZZ_SEED:+, first seed $FUZZ_SEED}"
if ! env MIVORA_SIMULATION_SECONDS=$seconds ${FUZZ_SEED:+MIVORA_SIMULATION_SEED=$FUZZ_SEED} \
        "$simulation" --gtest_filter=TwoPcSimulation.MoreSeeds >"$work/simulation.log" 2>&1; then
    tail -n 60 "$work/simulation.log"
    echo "!! the two-PC simulation failed (its log names the seed that replays it)" >&2
    status=1
else
    grep -E '^(first seed|[0-9]+ days)' "$work/simulation.log" || true
fi
exit $status
