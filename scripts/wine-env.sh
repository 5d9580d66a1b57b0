# Sourced by the scripts that run Windows programs: one Wine prefix, one
# persistent wineserver and one X display for the whole run.
#   MIVORA_WINEPREFIX  prefix to use (default: build/wine-prefix in the tree)
#   DISPLAY            used when set and reachable; otherwise the caller
#                      starts an X server of its own (mivora_start_xvfb)
#   MIVORA_RUN_DIR     set by scripts/test.sh for its run: the X servers and
#                      prefixes started here are noted there, so that the
#                      test command stops whatever a killed script left

_mivora_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${MIVORA_WINEPREFIX:-$_mivora_root/build/wine-prefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export LC_ALL=C.UTF-8

# The one way this tree runs Wine: the 64-bit loader where it is installed
# apart, else the one that is. Wine's loader execs itself into the Windows
# process, so the pid of a started program is the program's.
mivora_wine_binary() {
    if command -v wine64 >/dev/null 2>&1; then command -v wine64; else command -v wine; fi
}

mivora_wine() {
    "$(mivora_wine_binary)" "$@"
}

# The one place an X server is started. mivora_start_xvfb starts Xvfb on the
# first free display (-displayfd: the server takes one no other server
# holds and says which), waits until it answers and exports DISPLAY; its pid
# is left in MIVORA_XVFB_PID, and whoever started it stops it with
# mivora_stop_xvfb. Fails, leaving no server behind, when none came up.
# MIVORA_XVFB_SCREEN: another screen than 1280x800x24 (the scenario at
# 200 % takes one twice as large, as such a scale has in practice).
# -noreset: the server keeps its state (the desktop's colour, say) when the
# last client goes, as it does between two starts of the program once Wine's
# desktop has closed.
mivora_start_xvfb() {
    local fdfile number="" i
    MIVORA_XVFB_PID=""
    fdfile=$(mktemp "${TMPDIR:-/tmp}/mivora-display.XXXXXX") || return 1
    Xvfb -displayfd 3 -screen 0 "${MIVORA_XVFB_SCREEN:-1280x800x24}" -nolisten tcp -noreset 3>"$fdfile" </dev/null >/dev/null 2>&1 8>&- 9>&- &
    MIVORA_XVFB_PID=$!
    if [ -n "${MIVORA_RUN_DIR:-}" ]; then echo "$MIVORA_XVFB_PID" >>"$MIVORA_RUN_DIR/xvfb-pids"; fi
    # The number comes once the server listens; on a busy machine that can
    # take a while, so it is waited for up to a minute, while the server
    # lives.
    for i in $(seq 1 600); do
        number=$(head -n 1 "$fdfile" 2>/dev/null | tr -d '[:space:]')
        [ -n "$number" ] && break
        kill -0 "$MIVORA_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$fdfile"
    if [ -z "$number" ]; then
        mivora_stop_xvfb
        return 1
    fi
    export DISPLAY=:$number
}

# Stops the X server mivora_start_xvfb started in this shell.
mivora_stop_xvfb() {
    [ -n "${MIVORA_XVFB_PID:-}" ] || return 0
    kill "$MIVORA_XVFB_PID" 2>/dev/null
    wait "$MIVORA_XVFB_PID" 2>/dev/null
    MIVORA_XVFB_PID=""
}

mivora_display_answers() {
    [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

# Whether this prefix's wineserver runs; another prefix's does not count.
mivora_wineserver_running() {
    local pid
    for pid in $(pgrep -x 'wineserver(64)?' 2>/dev/null); do
        if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            return 0
        fi
    done
    return 1
}

# Whether Wine's service processes run for this prefix; another prefix's
# belong to another wineserver and do not count.
mivora_services_running() {
    local pid
    for pid in $(pgrep -f 'system32.services\.exe' 2>/dev/null); do
        if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            return 0
        fi
    done
    return 1
}

# Creates the prefix once (with the font links for Chinese and phonetic
# symbols), then keeps a wineserver running so that each program start does
# not pay for a new one. Needs a display that answers. The prefix is marked
# ready only when every step of making it worked; a failed one is made again
# by the next call, and this one fails.
mivora_wine_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    if [ -n "${MIVORA_RUN_DIR:-}" ]; then echo "$WINEPREFIX" >>"$MIVORA_RUN_DIR/wine-prefixes"; fi
    (
        flock 9
        if ! [ -f "$WINEPREFIX/.mivora-ready" ]; then
            mivora_display_answers || { echo "no X display for making the Wine prefix" >&2; exit 1; }
            wineboot -i </dev/null >/dev/null 2>&1 9>&- || { echo "wineboot could not make $WINEPREFIX" >&2; exit 1; }
            wineserver -w
            python3 "$_mivora_root/scripts/font-links.py" "$WINEPREFIX/font-links.reg" || exit 1
            mivora_wine regedit /S "$WINEPREFIX/font-links.reg" </dev/null >/dev/null 2>&1 9>&- ||
                { echo "the font links did not go into $WINEPREFIX" >&2; exit 1; }
            wineserver -w
            touch "$WINEPREFIX/.mivora-ready"
        fi
        # Start the server and Wine's service processes here, with their
        # output going nowhere: they keep the standard handles of whoever
        # starts them first, and CTest waits for a test's pipes to close.
        wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
        if ! mivora_services_running; then
            mivora_wine wineboot </dev/null >/dev/null 2>&1 9>&- || true
        fi
    ) 9>"$WINEPREFIX.lock" 8>&-
}
