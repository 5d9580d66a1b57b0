#!/usr/bin/env bash
# Runs one Windows executable under Wine; CTest's emulator for the cross build.
# It runs on DISPLAY when that answers: scripts/test.sh starts one X server
# for its whole run and exports it, so that its tests share one display and
# one wineserver. Run by hand without a display, it starts an X server of its
# own for this one program and stops it at the end, together with the
# prefix's wineserver when it started that too (Wine's desktop stays bound to
# the display it started on, so the server must not outlive it).
set -u
. "$(dirname "$0")/wine-env.sh"

own_server=0
stop_own() {
    if [ "$own_server" = 1 ]; then
        wineserver -k </dev/null >/dev/null 2>&1
        wineserver -w </dev/null >/dev/null 2>&1
    fi
    mivora_stop_xvfb
}

MIVORA_XVFB_PID=""
if ! mivora_display_answers; then
    # Such runs take turns on a prefix, since each may stop its wineserver.
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 8>"$WINEPREFIX.display.lock"
    flock 8
    trap stop_own EXIT
    mivora_wineserver_running || own_server=1
    mivora_start_xvfb || { echo "wine-run.sh: Xvfb did not start" >&2; exit 1; }
fi
mivora_wine_ready || { echo "wine-run.sh: the Wine prefix $WINEPREFIX is not usable" >&2; exit 1; }
exec 9>&-
# The program's output goes through a file, not straight to CTest: Wine
# processes that the program starts (its desktop, its services) may outlive
# it holding the handles they inherited, and CTest would wait for them.
log=$(mktemp "${TMPDIR:-/tmp}/mivora-wine-run.XXXXXX")
mivora_wine "$@" </dev/null >"$log" 2>&1 8>&-
status=$?
cat "$log"
rm -f "$log"
exit $status
