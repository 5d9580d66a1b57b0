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
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    headless=1
    unset DISPLAY
fi
mivora_display
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
if [ "${MIVORA_KEEP_RUNNING:-1}" = 0 ]; then
    kill "$pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    exit 0
fi
echo "Press Ctrl+C to stop it."
trap 'kill $pid 2>/dev/null; exit 0' INT TERM
wait "$pid"
