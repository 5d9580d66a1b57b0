# Shared by the whole-program benchmarks under Wine (bench-wine.sh,
# bench-startup.sh): building what they time, the end-to-end harness with
# its progress lines kept in a log that is printed only when something fails,
# and timing a start until the program's window leaves a given size.
#
# Usage: . bench-lib.sh; bench_build <name> <build dir> <target>...;
#        bench_begin <name> <build dir>; ...; say <figures>

BENCH_SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
watch=$BENCH_SOURCE/tests/e2e/watch_windows.py

# bench_build <name> <build dir> <target>...: builds the targets in a
# configured build tree, or ends the script with the build's last lines.
bench_build() {
    local name=$1 build=$2 out
    shift 2
    [ -f "$build/CMakeCache.txt" ] || { echo "$name: $build is not a configured build tree" >&2; exit 1; }
    if ! out=$(cmake --build "$build" -j2 --target "$@" 2>&1); then
        printf '%s\n' "$out" | tail -n 30 >&2
        echo "$name: building $* failed" >&2
        exit 1
    fi
}

. "$BENCH_SOURCE/tests/e2e/lib.sh"

# say <text>: a line for the reader; everything else goes to the log.
say() { echo "$*" >&3; }

# bench_begin <name> <build dir>: the harness on a display of its own, with
# <build>/e2e/<name>/ as the folder in base; from here on the output goes to
# the log, whose last lines are printed if the script fails. The tray-menu
# screenshots that quitting takes are removed at the end, a failure's is kept.
bench_begin() {
    BENCH_NAME=$1
    exec 3>&1 4>&2
    e2e_begin "$2" "$BENCH_NAME" >/dev/null
    base=$E2E_DIR
    log=$E2E_BUILD/e2e/$BENCH_NAME.log
    : >"$log"
    watcher=""
    trap bench_cleanup EXIT
    exec >>"$log" 2>&1
}

bench_cleanup() {
    local status=$?
    [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
    e2e_cleanup >>"$log" 2>&1
    if [ "$status" -ne 0 ]; then
        echo "$BENCH_NAME: failed; the last lines of its log:" >&4
        tail -n 25 "$log" >&4
    fi
    rm -rf "$base" "$log"
    rm -f "$E2E_SHOTS/$BENCH_NAME"-*-tray-menu.png
    exit "$status"
}

# $EPOCHREALTIME as whole microseconds.
usec() { local t=${1:-$EPOCHREALTIME}; echo $((10#${t/./})); }
ms_between() { echo $((($(usec "$2") - $(usec "$1") + 500) / 1000)); }
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# bench_watch <out file> <what> <watcher arguments>...: starts
# watch_windows.py with those arguments and a ready file (its pid in
# watcher, its answer to <out file>) and waits until it is watching.
bench_watch() {
    local out=$1 what=$2 ready=$base/watch.ready i
    shift 2
    rm -f "$ready" "$out"
    python3 "$watch" "$@" "$ready" >"$out" &
    watcher=$!
    for i in $(seq 1 500); do [ -e "$ready" ] && break; sleep 0.01; done
    [ -e "$ready" ] || e2e_fail "the $what watcher did not start"
}

# bench_time_start <size> <command>...: runs the command, which starts the
# program, and leaves in MS the milliseconds until one of its windows has a
# size other than <size>, and that window's size in SIZE.
bench_time_start() {
    local size=$1 out=$base/watch.out t0 t1
    shift
    bench_watch "$out" window changed "$size" 120
    # Outside the figure: the previous run's Wine desktop closing.
    e2e_wait_desktop_closed
    t0=$EPOCHREALTIME
    "$@"
    if ! wait "$watcher"; then
        watcher=""
        # Which of the two it was: a program that ended, or one that runs
        # without a window on the screen.
        local pid=""
        [ ${#E2E_PIDS[@]} -gt 0 ] && pid=${E2E_PIDS[${#E2E_PIDS[@]}-1]}
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            e2e_log "the program (pid $pid) is running"
        elif [ -n "$pid" ]; then
            wait "$pid"
            e2e_log "the program (pid $pid) ended with exit code $?"
        fi
        e2e_fail "no window of the program other than $size appeared"
    fi
    watcher=""
    read -r t1 SIZE <"$out"
    MS=$(((t1 - $(usec "$t0") + 500) / 1000))
}
