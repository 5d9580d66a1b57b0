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

mivora_wine() {
    if command -v wine64 >/dev/null 2>&1; then wine64 "$@"; else wine "$@"; fi
}

mivora_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    export DISPLAY=:87
    if ! xdpyinfo >/dev/null 2>&1; then
        Xvfb :87 -screen 0 1280x800x24 -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
        for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    fi
    # :87 taken by something that is not a usable X server: any free display.
    if ! xdpyinfo >/dev/null 2>&1; then
        local fdfile
        fdfile=$(mktemp)
        Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fdfile" </dev/null >/dev/null 2>&1 9>&- &
        for _ in $(seq 1 50); do [ -s "$fdfile" ] && break; sleep 0.1; done
        [ -s "$fdfile" ] && export DISPLAY=:$(head -n 1 "$fdfile" | tr -d '[:space:]')
        rm -f "$fdfile"
    fi
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
