#!/usr/bin/env bash
# Builds every configuration and runs every test: the portable core natively
# under ASan/UBSan and ThreadSanitizer, the whole program under Wine (unit,
# in-process window and end-to-end tests), the fuzz targets for a bounded
# time, the benchmarks (figures only), and that the product's code is in
# .clang-format's style.
#   FUZZ_SECONDS   seconds per fuzz target (default 30)
#   MIVORA_SKIP_BENCH=1  leave out the benchmarks
#
# The run has a temporary folder of its own and one X server on a free
# display, which the tests under Wine share (the end-to-end scenarios and
# the benchmarks start their own besides). At the end, however the run ends,
# it stops what it started: its X server, any X server or wineserver a
# killed scenario left, and the folder goes.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh || exit 1

. scripts/wine-env.sh
# On tmpfs where there is one: the fuzz targets and the store tests write and
# flush files by the thousand, which a disk makes many times slower.
run_base=${TMPDIR:-/tmp}
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then run_base=/dev/shm; fi
MIVORA_RUN_DIR=$(mktemp -d "$run_base/mivora-test.XXXXXX") || exit 1
export MIVORA_RUN_DIR TMPDIR=$MIVORA_RUN_DIR

cleanup() {
    local prefix pid
    # The wineservers of the prefixes used in this run, with every Wine
    # process of theirs.
    if [ -f "$MIVORA_RUN_DIR/wine-prefixes" ]; then
        sort -u "$MIVORA_RUN_DIR/wine-prefixes" | while read -r prefix; do
            WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1
            WINEPREFIX=$prefix wineserver -w </dev/null >/dev/null 2>&1
        done
    fi
    mivora_stop_xvfb
    # X servers started in this run whose script was killed before it
    # could stop them (a pid still naming an Xvfb).
    if [ -f "$MIVORA_RUN_DIR/xvfb-pids" ]; then
        while read -r pid; do
            [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] && kill "$pid" 2>/dev/null
        done <"$MIVORA_RUN_DIR/xvfb-pids"
    fi
    rm -rf "$MIVORA_RUN_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Never someone else's display, nor the desktop of whoever runs this.
unset DISPLAY
mivora_start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
echo "Tests under Wine use display $DISPLAY"

failed=()
passed=()
step() {
    local name=$1; shift
    echo
    echo "=== $name ==="
    if "$@"; then passed+=("$name"); else failed+=("$name"); fi
}
preset() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1" && ctest --preset "$1"
}

# The product's code stays in .clang-format's style.
step format bash -c 'bash scripts/format-files.sh | xargs clang-format --dry-run -Werror'
step native preset native
step tsan preset tsan
step windows preset windows
step fuzz bash fuzz/fuzz.sh
if [ "${MIVORA_SKIP_BENCH:-0}" != 1 ]; then
    step bench bash bench/bench.sh
fi

echo
echo "Steps passed: ${passed[*]:-none}"
echo "Steps failed: ${failed[*]:-none}"
echo "${#passed[@]} passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
