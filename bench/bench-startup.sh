#!/usr/bin/env bash
# Mivora.exe beside the least a program of its kind must do (bench/minimal:
# a hidden owner window, a tray icon, a topmost layered window drawing one
# line of Chinese in a created font), both under Wine on the same X server,
# measured the same way in the same run:
#   start to first word  launch until the window shows its first word:
#                        Mivora's word window leaving its loading line (a
#                        warm start with the shipped list, the progress file
#                        of an earlier run beside it, as on every day but
#                        the first; and the first start, without one), the
#                        minimal program's window appearing
#   private memory       RssAnon of the process one second after that
#   idle CPU             user + system time of the process over a minute
#                        (BENCH_IDLE_SECONDS) with the default settings: a
#                        new word every ten seconds
# Medians of BENCH_STARTUP_RUNS runs (default 7), figures and ratios only.
#   bench-startup.sh [windows build dir]   (default build/windows)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/windows}
runs=${BENCH_STARTUP_RUNS:-7}
idle=${BENCH_IDLE_SECONDS:-60}

. "$root/bench/bench-lib.sh"
bench_build bench-startup "$build" Mivora MinimalWin32
bench_begin bench-startup "$build"

rss_anon_kib() { awk '/^RssAnon:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
# Nanoseconds the process has run on a processor (finer than the clock
# ticks of /proc/<pid>/stat, which count in 10 ms steps).
cpu_ns() { awk '{ print $1 }' "/proc/$1/schedstat" 2>/dev/null || echo 0; }

# Both programs run as Mivora.exe from a folder of their own: Wine names the
# X windows' class after the executable, and the watcher looks for that.
mivora=$base/mivora
minimal=$base/minimal
mkdir -p "$mivora/dic" "$minimal"
cp "$E2E_BUILD/app/Mivora.exe" "$mivora/"
cp "$E2E_BUILD/bench/MinimalWin32.exe" "$minimal/Mivora.exe"

# start_in <folder> [argument]: starts that folder's Mivora.exe; E2E_PID.
start_in() {
    E2E_DIR=$1
    (cd "$1" && exec "$(e2e_wine_binary)" ./Mivora.exe ${2:+"$2"}) </dev/null >>"$log" 2>&1 9>&- &
    E2E_PID=$!
    E2E_PIDS+=("$E2E_PID")
}

# first_shown <folder> <size before the first word> [argument]: starts the
# program and leaves in MS the milliseconds until one of its windows has a
# size other than the given one, and in KIB its RssAnon a second later.
first_shown() {
    bench_time_start "$2" start_in "$1" "${3:-}"
    sleep 1
    KIB=$(rss_anon_kib "$E2E_PID")
    e2e_log "$1: first shown after $MS ms, window $SIZE, RssAnon $KIB KiB"
}

# gone <seconds>: waits for the minimal program to end by itself.
gone() {
    local deadline=$((SECONDS + $1))
    while kill -0 "$E2E_PID" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "pid $E2E_PID still running"
        sleep 0.05
    done
    wait "$E2E_PID" 2>/dev/null
}

say "bench-startup: Mivora.exe and MinimalWin32.exe from $E2E_BUILD, display $DISPLAY, $runs runs each"

# The loading line's size, from a start without any word list (the line
# then stays); this start also pays for the Wine desktop on the new display.
start_in "$mivora"
loading=$(python3 "$watch" settled 60) || e2e_fail "no window of Mivora settled"
e2e_wait_ready
bare_mem=$(rss_anon_kib "$E2E_PID")
E2E_QUIT_POLL=0.02 e2e_quit
rm -f "$mivora/mivora.bin" "$mivora/dic/DAvud.bin"
cp "$root/dic/英语四级词汇.txt" "$mivora/dic/"
e2e_log "loading line: $loading"

first=() warm=() base_ms=() mem=() base_mem=()
for run in $(seq 1 "$runs"); do
    rm -f "$mivora/mivora.bin" "$mivora/dic/DAvud.bin"
    first_shown "$mivora" "$loading"
    first+=("$MS")
    e2e_wait_ready
    E2E_QUIT_POLL=0.02 e2e_quit
    first_shown "$mivora" "$loading"
    warm+=("$MS")
    mem+=("$KIB")
    e2e_wait_ready
    E2E_QUIT_POLL=0.02 e2e_quit
    first_shown "$minimal" 0x0 3
    base_ms+=("$MS")
    base_mem+=("$KIB")
    gone 30
    say "  run $run: Mivora first start ${first[-1]} ms, warm ${warm[-1]} ms, $((mem[-1] / 1024)) MiB; minimal ${base_ms[-1]} ms, $((base_mem[-1] / 1024)) MiB"
done

# Idle: both at once, so that they share whatever else the machine does.
start_in "$mivora"
mivora_pid=$E2E_PID
e2e_wait_ready
first_shown "$minimal" "$(e2e_program_windows | awk '{ print $4 "x" $5 }' | head -n 1)" $((idle + 10))
minimal_pid=$E2E_PID
sleep 2
m0=$(cpu_ns "$mivora_pid") b0=$(cpu_ns "$minimal_pid")
sleep "$idle"
m1=$(cpu_ns "$mivora_pid") b1=$(cpu_ns "$minimal_pid")
gone $((idle + 30))
E2E_PID=$mivora_pid E2E_DIR=$mivora
E2E_QUIT_POLL=0.02 e2e_quit
idle_mivora=$(((m1 - m0) / 1000)) idle_minimal=$(((b1 - b0) / 1000))

python3 - "$(median "${warm[@]}")" "$(median "${first[@]}")" "$(median "${base_ms[@]}")" \
    "$(median "${mem[@]}")" "$(median "${base_mem[@]}")" "$idle_mivora" "$idle_minimal" "$idle" "$runs" \
    "$bare_mem" <<'PY' >&3
import sys
warm, first, floor, mem, floor_mem, cpu_us, floor_cpu_us, idle, runs, bare_mem = (int(v) for v in sys.argv[1:])
def ratio(a, b):
    # A baseline of nothing (an idle program that never runs) has no ratio;
    # the difference says more.
    return f"{a / b:.2f}x" if b else f"+{a - b:g}"
rows = [("start to first word, warm (ms)", warm, floor),
        ("start to first word, first start (ms)", first, floor),
        ("private memory after start (RssAnon KiB)", mem, floor_mem),
        ("  the same without any word list (KiB)", bare_mem, floor_mem),
        (f"CPU time over {idle} s idle (ms)", cpu_us / 1000, floor_cpu_us / 1000)]
print(f"{'figure':42} | {'Mivora':>8} | {'minimal':>8} | ratio")
print("-" * 43 + "+" + "-" * 10 + "+" + "-" * 10 + "+------")
for name, value, base in rows:
    shown = [f"{v:8.1f}" if isinstance(v, float) else f"{v:8}" for v in (value, base)]
    print(f"{name:42} | {shown[0]} | {shown[1]} | {ratio(value, base)}")
print(f"Medians of {runs} runs; the minimal program is bench/minimal/MinimalWin32.cpp. Idle: both running at once.")
PY
