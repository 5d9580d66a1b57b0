#!/usr/bin/env bash
# Builds Mivora.exe and starts it under Wine. With a display it appears there;
# without one it runs under Xvfb and a screenshot is written.
#   MIVORA_KEEP_RUNNING=0  (headless) take the screenshot, then quit Mivora
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Mivora

. scripts/wine-env.sh
headless=0
MIVORA_XVFB_PID=""
if ! mivora_display_answers; then
    headless=1
    mivora_start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
fi
mivora_wine_ready 9>&-

appdir=$root/build/windows/app
if [ "$headless" = 0 ]; then
    echo "Starting $appdir/Mivora.exe on $DISPLAY (exit through the tray icon's menu: 退出)"
    exec 9>&-
    mivora_wine "$appdir/Mivora.exe"
fi

mkdir -p "$root/build/screenshots"
shot=$root/build/screenshots/mivora.png
mivora_wine "$appdir/Mivora.exe" </dev/null >/dev/null 2>&1 9>&- &
pid=$!
# Give it time to load its word list and show the first word.
sleep 8
import -window root "$shot"
echo "Mivora is running under Xvfb on $DISPLAY."
echo "Screenshot: $shot"
# The X server started here goes with the program, and the prefix's
# wineserver with it: Wine's desktop is bound to that display.
stop_all() {
    kill "$pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    mivora_stop_xvfb
}
if [ "${MIVORA_KEEP_RUNNING:-1}" = 0 ]; then
    stop_all
    exit 0
fi
echo "Press Ctrl+C to stop it."
trap 'stop_all; exit 0' INT TERM
wait "$pid"
stop_all
