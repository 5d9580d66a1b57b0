#!/usr/bin/env bash
# Long fuzzing of every parser (not part of the test command): the dictionary
# loader, the progress file and the settings record, each for a chosen time,
# printing the executions run and the crashes found. The targets run one
# after another on a working copy of their seed corpus plus its regression
# inputs. A crashing input is copied to
# fuzz/corpus/<target>/regression/, which the bounded fuzz step of
# scripts/test.sh (fuzz/fuzz.sh) replays every time: commit it with the fix.
#   fuzz-long.sh [seconds per target]      (default 600)
#   FUZZ_TARGETS="fuzz_settings ..."       only these targets
#   FUZZ_JOBS=n                            parallel libFuzzer jobs per target (default 1)
#   FUZZ_SEED=n                            libFuzzer's seed (default: random, printed)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=${1:-600}
targets=${FUZZ_TARGETS:-"fuzz_dictionary fuzz_import fuzz_progress fuzz_settings"}
jobs=${FUZZ_JOBS:-1}
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || exit 1
build=$root/build/fuzz

. "$root/fuzz/fuzz-lib.sh"
fuzz_work_folder

status=0
summary=()
for target in $targets; do
    seeds=fuzz/corpus/$target
    mkdir -p "$work/$target/corpus" "$work/$target/crashes" "$seeds/regression"
    cp -r "$seeds"/. "$work/$target/corpus/" 2>/dev/null
    rm -rf "$work/$target/corpus/regression"
    cp "$seeds"/regression/* "$work/$target/corpus/" 2>/dev/null
    seed=$(fuzz_seed)
    echo "== $target: ${seconds}s, seed $seed"
    # -fork keeps going after a crash, so one run finds more than one.
    "$build/fuzz/$target" -seed="$seed" -fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
        -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/$target/crashes/" -print_final_stats=1 \
        "$work/$target/corpus" >"$work/$target.log" 2>&1
    # In fork mode the workers report their own counts; the last status line
    # of the parent carries the total.
    executions=$(grep -oE 'exec/s: [0-9]+|#[0-9]+' "$work/$target.log" | grep -oE '^#[0-9]+' | tail -n 1 | tr -d '#')
    [ -n "$executions" ] || executions=$(grep -E '^stat::number_of_executed_units' "$work/$target.log" | awk '{ s += $2 } END { print s + 0 }')
    crashes=0
    for input in "$work/$target/crashes"/*; do
        [ -f "$input" ] || continue
        crashes=$((crashes + 1))
        cp "$input" "$seeds/regression/$(basename "$input")"
    done
    summary+=("$target: $executions executions, $crashes crashes in ${seconds}s")
    if [ "$crashes" -gt 0 ]; then
        status=1
        echo "!! $target: $crashes crashing inputs, kept in $seeds/regression/"
        grep -E 'ERROR|check failed|SUMMARY' "$work/$target.log" | sort -u | head -n 20
    fi
    echo "${summary[-1]}"
done
echo
printf '%s\n' "${summary[@]}"
exit $status
