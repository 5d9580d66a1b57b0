# Sourced by the scripts that run Windows programs: one Wine prefix, one
# persistent wineserver and one X display for the whole run.
#   MIVORA_WINEPREFIX  prefix to use (default: build/wine-prefix in the tree)
#   DISPLAY            used when set and reachable; otherwise Xvfb :87 starts

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

# The one place an X server is started. mivora_start_xvfb [:N] starts Xvfb on
# display :N (or, without one, on the first free display), waits until it
# answers and exports DISPLAY; its pid is left in MIVORA_XVFB_PID. Fails when
# no server came up. -noreset: the server keeps its state (the desktop's
# colour, say) when the last client goes, as it does between two starts of
# the program once Wine's desktop has closed.
mivora_start_xvfb() {
    local fdfile i
    MIVORA_XVFB_PID=""
    if [ $# -gt 0 ]; then
        Xvfb "$1" -screen 0 1280x800x24 -nolisten tcp -noreset </dev/null >/dev/null 2>&1 9>&- &
        MIVORA_XVFB_PID=$!
        for i in $(seq 1 50); do DISPLAY=$1 xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
        DISPLAY=$1 xdpyinfo >/dev/null 2>&1 || return 1
        export DISPLAY=$1
        return 0
    fi
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fdfile" </dev/null >/dev/null 2>&1 9>&- &
    MIVORA_XVFB_PID=$!
    for i in $(seq 1 50); do [ -s "$fdfile" ] && break; sleep 0.1; done
    if ! [ -s "$fdfile" ]; then
        rm -f "$fdfile"
        return 1
    fi
    export DISPLAY=:$(head -n 1 "$fdfile" | tr -d '[:space:]')
    rm -f "$fdfile"
}

# A display for Wine: the given DISPLAY when it answers; else :87, started
# here when nothing answers there; else any free display.
mivora_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    export DISPLAY=:87
    xdpyinfo >/dev/null 2>&1 && return 0
    mivora_start_xvfb :87 && return 0
    # :87 taken by something that is not a usable X server.
    mivora_start_xvfb
}

# Whether Wine's service processes run for this prefix; another prefix's
# belong to another wineserver and do not count.
mivora_services_running() {
    local pid
    for pid in $(pgrep -f 'system32.services\.exe' 2>/dev/null); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            return 0
        fi
    done
    return 1
}

# Creates the prefix once (with the font links for Chinese and phonetic
# symbols), then keeps a wineserver running so that each program start does
# not pay for a new one.
mivora_wine_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if ! [ -f "$WINEPREFIX/.mivora-ready" ]; then
            mivora_display
            wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
            wineserver -w
            python3 "$_mivora_root/scripts/font-links.py" "$WINEPREFIX/font-links.reg"
            mivora_wine regedit /S "$WINEPREFIX/font-links.reg" </dev/null >/dev/null 2>&1 9>&- || true
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
    ) 9>"$WINEPREFIX.lock"
}
