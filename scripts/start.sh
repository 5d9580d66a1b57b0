#!/usr/bin/env bash
# Builds Mivora.exe and starts it under Wine. With a display it appears there;
# without one it runs under Xvfb and a screenshot is written.
#   MIVORA_KEEP_RUNNING=0  (headless) take the screenshot, then quit Mivora
#
# However it ends (Mivora quits or fails, Ctrl+C, a kill of this script while
# it runs in the background), it stops what it started: Mivora, the
# prefix's wineserver with Wine's device and service processes (unless that
# server ran before, when only Mivora goes), and the X server. Ctrl+C is the
# way to stop it, and ends with 0.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

. scripts/wine-env.sh
MIVORA_XVFB_PID=""
pid=""
pause=""
own_wineserver=0

stop_all() {
    # Whatever has gone already (a Ctrl+C reaches the X server and Wine too)
    # is no failure here.
    set +e
    trap - INT TERM
    if [ -n "$pause" ]; then kill "$pause" 2>/dev/null; fi
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null
        pid=""
    fi
    if [ "$own_wineserver" = 1 ]; then
        wineserver -k </dev/null >/dev/null 2>&1
        wineserver -w </dev/null >/dev/null 2>&1
        own_wineserver=0
    fi
    mivora_stop_xvfb
}
trap 'status=$?; stop_all; exit $status' EXIT
trap 'exit 0' INT
trap 'exit 143' TERM

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Mivora

headless=0
if ! mivora_display_answers; then
    headless=1
    mivora_start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
fi
mivora_wineserver_running || own_wineserver=1
mivora_wine_ready 9>&-

appdir=$root/build/windows/app
# Wine's loader, started here and not through a shell function, so that $!
# is the program's own pid (the loader execs itself into it).
wine=$(mivora_wine_binary)
# Mivora runs in the background and this script waits for it, so that a
# signal is answered at once rather than when Mivora has quit.
if [ "$headless" = 0 ]; then
    echo "Starting $appdir/Mivora.exe on $DISPLAY (exit through the tray icon's menu: 退出)"
    "$wine" "$appdir/Mivora.exe" 9>&- &
    pid=$!
    status=0
    wait "$pid" || status=$?
    pid=""
    exit "$status"
fi

mkdir -p "$root/build/screenshots"
shot=$root/build/screenshots/mivora.png
"$wine" "$appdir/Mivora.exe" </dev/null >/dev/null 2>&1 9>&- &
pid=$!
# Give it time to load its word list and show the first word.
sleep 8 &
pause=$!
wait "$pause" || true
pause=""
if ! kill -0 "$pid" 2>/dev/null; then
    status=0
    wait "$pid" || status=$?
    pid=""
    echo "Mivora ended at its start (status $status)." >&2
    exit $((status == 0 ? 1 : status))
fi
import -window root "$shot"
echo "Mivora is running under Xvfb on $DISPLAY."
echo "Screenshot: $shot"
# The X server started here goes with the program, and the prefix's
# wineserver with it: Wine's desktop is bound to that display.
if [ "${MIVORA_KEEP_RUNNING:-1}" = 0 ]; then
    exit 0
fi
echo "Press Ctrl+C to stop it."
status=0
wait "$pid" || status=$?
pid=""
exit "$status"
