#!/usr/bin/env bash
# Builds every configuration and runs every test: the portable core natively
# under ASan/UBSan and ThreadSanitizer, the whole program under Wine (unit,
# in-process window and end-to-end tests), the fuzz targets for a bounded
# time, and the benchmarks (figures only).
#   FUZZ_SECONDS   seconds per fuzz target (default 30)
#   MIVORA_SKIP_BENCH=1  leave out the benchmarks
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh || exit 1

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

step native preset native
step tsan preset tsan
step windows preset windows
step fuzz bash fuzz/fuzz.sh
if [ "${MIVORA_SKIP_BENCH:-0}" != 1 ]; then
    step bench bash bench/bench.sh
fi

# Leave no Wine processes behind.
( . scripts/wine-env.sh; wineserver -k 2>/dev/null || true )

echo
echo "Steps passed: ${passed[*]:-none}"
echo "Steps failed: ${failed[*]:-none}"
echo "${#passed[@]} passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
