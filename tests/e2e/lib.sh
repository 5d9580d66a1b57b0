# Helpers for the end-to-end scenarios: Mivora.exe in a program folder of its
# own under <build>/e2e/<scenario>/, run under Wine on an Xvfb display and
# driven through its notification-area icon with xdotool.
#
# Each scenario gets an X server of its own and the build tree's own Wine
# prefix (<build>/e2e/wine-prefix), whose wineserver is stopped at the end:
# a wineserver is a log-on session, so the single-instance mutex of a Mivora
# started by someone else on the shared server cannot get in the way, the
# Run value checked here is this prefix's, and the screen holds our windows
# only. (Wine's desktop process binds to the display it was started on, so
# the server must not outlive the scenario's display.)
#
# Under Xvfb there is no freedesktop system tray, so Wine's explorer shows
# the icons in its own "Wine System Tray" window at the top left, one 20 x 20
# slot per icon. Clicks there reach the program as WM_TRAYICON notifications.
# Wine sets no _NET_WM_PID, but it names the X windows' class after the
# executable ("mivora.exe"): the program's menus are the visible windows of
# that class that were not there before the click (tooltips belong to
# "explorer.exe").
#
# Usage: . lib.sh; e2e_begin <build dir> <scenario>; ...; e2e_end

set -uo pipefail

E2E_SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$E2E_SOURCE/scripts/wine-env.sh"

E2E_PIDS=()        # every Mivora started here, killed on the way out
E2E_PID=""         # the one the helpers act on
E2E_SHOT_INDEX=0
E2E_SHOT=""        # the last screenshot

e2e_log() { echo "[e2e ${E2E_SCENARIO:-?}] $*"; }

e2e_fail() {
    echo "[e2e ${E2E_SCENARIO:-?}] FAIL: $*" >&2
    e2e_screenshot failure 2>/dev/null || true
    exit 1
}

e2e_cleanup() {
    local pid
    e2e_release_desktop
    for pid in "${E2E_PIDS[@]}"; do
        if kill -0 "$pid" 2>/dev/null; then
            echo "[e2e ${E2E_SCENARIO:-?}] stopping Mivora (pid $pid) left running" >&2
            kill "$pid" 2>/dev/null || true
        fi
    done
    # This prefix's server and its desktop process, then our X server.
    if [ -n "${E2E_XVFB_PID:-}" ]; then
        wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
        wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
        MIVORA_XVFB_PID=$E2E_XVFB_PID
        mivora_stop_xvfb
    fi
}

# An X server of the scenario's own, on the first free display; DISPLAY
# points to it. (mivora_start_xvfb leaves none behind when it fails.)
e2e_start_xvfb() {
    mivora_start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
    E2E_XVFB_PID=$MIVORA_XVFB_PID
}

# Kept for the scenarios that call them: the one launcher of wine-env.sh.
e2e_wine() { mivora_wine "$@"; }
e2e_wine_binary() { mivora_wine_binary; }

# e2e_begin <build dir> <scenario>: a fresh, empty program folder with
# Mivora.exe, and Wine ready on the display.
e2e_begin() {
    E2E_BUILD=$(cd "$1" && pwd) || { echo "no build dir $1" >&2; exit 1; }
    E2E_SCENARIO=$2
    E2E_DIR=$E2E_BUILD/e2e/$E2E_SCENARIO
    E2E_SHOTS=$E2E_BUILD/e2e/screenshots
    local tool
    for tool in xdotool import python3; do
        command -v "$tool" >/dev/null 2>&1 || { echo "missing tool: $tool" >&2; exit 1; }
    done
    [ -f "$E2E_BUILD/app/Mivora.exe" ] || { echo "not built: $E2E_BUILD/app/Mivora.exe" >&2; exit 1; }
    rm -rf "$E2E_DIR"
    mkdir -p "$E2E_DIR/dic" "$E2E_SHOTS"
    rm -f "$E2E_SHOTS/$E2E_SCENARIO"-*.png
    cp "$E2E_BUILD/app/Mivora.exe" "$E2E_DIR/"
    # Only ever this tree's own prefix: its server is stopped below. A
    # scenario that changes the prefix's settings (its DPI) names one of its
    # own in E2E_PREFIX_NAME, so the others never see the change.
    export WINEPREFIX=$E2E_BUILD/e2e/${E2E_PREFIX_NAME:-wine-prefix}
    export MIVORA_WINEPREFIX=$WINEPREFIX
    trap e2e_cleanup EXIT
    # A server left by an interrupted run would still be bound to a dead
    # display.
    wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
    e2e_start_xvfb
    mivora_wine_ready 9>&- || { echo "the Wine prefix $WINEPREFIX is not usable" >&2; exit 1; }
    e2e_log "display $DISPLAY, prefix $WINEPREFIX"
}

e2e_end() {
    e2e_log "passed"
    exit 0
}

# e2e_shipped_dictionary: the dictionary that ships with the program.
e2e_shipped_dictionary() {
    cp "$E2E_SOURCE/dic/英语四级词汇.txt" "$E2E_DIR/dic/"
}

# The layouts of the program's files live in mivora_files.py.
E2E_FILES=$E2E_SOURCE/tests/e2e/mivora_files.py
e2e_files() { python3 "$E2E_FILES" "$@"; }

# e2e_small_dictionary <name> <count>: dic/<name>.txt with <count> generated
# entries, UTF-16LE with CR LF like the shipped one.
e2e_small_dictionary() {
    e2e_files dictionary-generated "$E2E_DIR/dic/$1.txt" "$2"
}

# e2e_dictionary <name> <line>...: dic/<name>.txt holding exactly these
# lines, in the shipped dictionary's encoding.
e2e_dictionary() {
    e2e_files dictionary "$E2E_DIR/dic/$1.txt" "${@:2}"
}

# e2e_settings_file [field=value ...]: writes mivora.bin as the program
# would default it, with the given fields changed (autoStart, autoSwitch,
# titleBarMode, windowX, cycleSize ..., the font's fields such as lfCharSet
# or lfQuality, or dictionaryName).
e2e_settings_file() {
    e2e_files settings-write "$E2E_DIR/mivora.bin" "$@" || e2e_fail "settings file"
}

# e2e_settings_int <field offset or name>: a 32-bit field of mivora.bin.
e2e_settings_int() {
    e2e_files settings-int "$E2E_DIR/mivora.bin" "$1"
}

# This prefix's Wine desktop processes (explorer.exe /desktop).
e2e_desktop_pids() {
    local pid
    for pid in $(pgrep -f 'explorer\.exe /desktop' 2>/dev/null); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
}

# Wine closes a desktop one second after the last program on it has ended
# (wineboot's too): its explorer.exe gets WM_CLOSE and exits. A program
# started while that happens can attach to the dying desktop and never get a
# window on the screen, not even its tray icon, although it runs. A start
# that follows the end of all of ours therefore waits until that desktop is
# gone (at most 10 s), and the program then gets a new one.
e2e_wait_desktop_closed() {
    local pid i
    # A desktop kept open on purpose (e2e_keep_desktop) never closes.
    [ -n "${E2E_DESKTOP_KEEPER:-}" ] && kill -0 "$E2E_DESKTOP_KEEPER" 2>/dev/null && return 0
    for pid in "${E2E_PIDS[@]}"; do kill -0 "$pid" 2>/dev/null && return 0; done
    for i in $(seq 1 100); do
        [ -z "$(e2e_desktop_pids)" ] && return 0
        sleep 0.1
    done
    e2e_log "the previous Wine desktop is still there after 10 s"
}

# e2e_keep_desktop <e2e_hold_file.exe>: keeps this prefix's Wine desktop
# open until the scenario ends, for scenarios that start Mivora many times
# one after the other. Otherwise every start waits for the desktop of the
# one before to close and then pays for a new one (its explorer.exe and
# the tray window): on a machine busy with a build that is many seconds a
# start, and the wait for the old desktop gives up after 10 s, after which
# the start attaches to a desktop that is going away and never shows its
# icon. The keeper is a second Wine process that holds a file of its own
# and ends when its release file appears (e2e_release_desktop).
e2e_keep_desktop() {
    local holder keep=$E2E_DIR/.desktop-keeper
    [ -f "$1" ] || e2e_fail "no file holder at $1"
    # Started from the scenario's folder: the path must not be relative.
    holder=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    : >"$keep"
    rm -f "$keep.release"
    e2e_wait_desktop_closed
    (cd "$E2E_DIR" && exec "$(mivora_wine_binary)" "$holder" .desktop-keeper .desktop-keeper.release) \
        </dev/null >"$keep.log" 2>&1 9>&- &
    E2E_DESKTOP_KEEPER=$!
    e2e_wait_for 60 "the desktop keeper" grep -q held "$keep.log"
}

e2e_release_desktop() {
    [ -n "${E2E_DESKTOP_KEEPER:-}" ] || return 0
    touch "$E2E_DIR/.desktop-keeper.release"
    wait "$E2E_DESKTOP_KEEPER" 2>/dev/null
    E2E_DESKTOP_KEEPER=""
}

# e2e_start [var]: starts Mivora.exe from its folder; its pid goes into
# E2E_PID (or into the named variable). Its output goes to a log in
# E2E_LOG_DIR (default: the folder itself). Wine's loader execs itself into the
# Windows process, so the pid's exit status is the program's exit code.
e2e_start() {
    e2e_wait_desktop_closed
    local log=${E2E_LOG_DIR:-$E2E_DIR}/mivora-$((${#E2E_PIDS[@]} + 1)).log
    (cd "$E2E_DIR" && exec "$(mivora_wine_binary)" ./Mivora.exe) </dev/null >"$log" 2>&1 9>&- &
    local pid=$!
    E2E_PIDS+=("$pid")
    if [ $# -gt 0 ]; then printf -v "$1" '%s' "$pid"; else E2E_PID=$pid; fi
    e2e_log "started Mivora.exe (pid $pid; desktop $(e2e_desktop_pids | tr '\n' ' '))"
}

# e2e_wait_exit <pid> <seconds> <expected code>
e2e_wait_exit() {
    local pid=$1 seconds=$2 expected=$3 waited=0
    while kill -0 "$pid" 2>/dev/null; do
        [ "$waited" -ge $((seconds * 10)) ] && e2e_fail "pid $pid still running after ${seconds}s"
        sleep 0.1
        waited=$((waited + 1))
    done
    wait "$pid"
    local code=$?
    [ "$code" -eq "$expected" ] || e2e_fail "pid $pid exited with $code, expected $expected"
    e2e_log "pid $pid exited with $code"
}

# e2e_wait_for <seconds> <description> <command...>: polls the command.
e2e_wait_for() {
    local seconds=$1 what=$2 i
    shift 2
    for i in $(seq 1 $((seconds * 5))); do
        "$@" && return 0
        sleep 0.2
    done
    e2e_fail "timed out after ${seconds}s waiting for $what"
}

e2e_file_size() { stat -c %s "$1" 2>/dev/null || echo -1; }
e2e_has_size() { [ "$(e2e_file_size "$1")" -eq "$2" ]; }

e2e_tray_window() {
    xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -n 1
}

# e2e_wait_ready: the program has read its settings, added its icon and
# shown its word window.
e2e_wait_ready() {
    e2e_wait_for 30 "mivora.bin" test -s "$E2E_DIR/mivora.bin"
    e2e_wait_for 30 "the Wine System Tray window" e2e_tray_window_present
    e2e_wait_for 30 "the word window" e2e_has_program_window
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "Mivora ended during start-up"
}

e2e_tray_window_present() { [ -n "$(e2e_tray_window)" ]; }

# The visible top-level X windows of Mivora.exe on our display, as
# "id x y width height" lines.
e2e_program_windows() {
    local w
    for w in $(xdotool search --onlyvisible --maxdepth 1 --classname '^mivora\.exe$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        echo "$w $X $Y $WIDTH $HEIGHT"
    done
}

e2e_has_program_window() { [ -n "$(e2e_program_windows)" ]; }

# e2e_open_tray_menu [<button>]: right-clicks (or clicks with that button)
# the tray's first slot (ours is the only icon on this display; the next
# slots are tried should that ever change) until a menu opens; prints its
# "id x y width height".
e2e_open_tray_menu() {
    local tray before slot
    tray=$(e2e_tray_window)
    [ -n "$tray" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    local trayX=$X trayY=$Y trayWidth=$WIDTH
    before=$(e2e_program_windows | cut -d' ' -f1)
    for slot in $(seq 0 $((trayWidth / 20 - 1))); do
        e2e_right_click_menu $((trayX + slot * 20 + 10)) $((trayY + 10)) "$before" "${1:-3}" && return 0
    done
    return 1
}

# e2e_right_click_menu <x> <y> <ids before> [<button>]: one right click (or
# a click of that button) at that point; prints the program's menu that
# opened ("id x y width height"), or closes whatever else opened and fails.
e2e_right_click_menu() {
    local menu
    xdotool mousemove "$1" "$2"
    sleep 0.2
    xdotool click "${4:-3}"
    if menu=$(e2e_new_program_window "$3"); then
        echo "$menu"
        return 0
    fi
    xdotool key Escape
    return 1
}

# e2e_new_program_window <ids before>: waits up to 3 s for a visible window
# of the program that is not among the given ones (a menu it opened); prints
# its "id x y width height".
e2e_new_program_window() {
    local before=$1 menu i
    for i in $(seq 1 15); do
        sleep 0.2
        menu=$(e2e_program_windows | while read -r id rest; do
            grep -qx "$id" <<<"$before" || echo "$id $rest"
        done | head -n 1)
        if [ -n "$menu" ]; then
            echo "$menu"
            return 0
        fi
    done
    return 1
}

# e2e_open_menu_at <x> <y>: right-clicks that point of the screen (one of
# the program's windows) until a menu of the program opens; prints its
# "id x y width height".
e2e_open_menu_at() {
    local before attempt
    before=$(e2e_program_windows | cut -d' ' -f1)
    for attempt in 1 2 3; do
        e2e_right_click_menu "$1" "$2" "$before" && return 0
    done
    return 1
}

# e2e_drag <x> <y> <dx> <dy>: presses the left button at that point of the
# screen and moves by (dx, dy) in five steps, as a hand would, before
# letting go.
e2e_drag() {
    local x=$1 y=$2 dx=$3 dy=$4 step
    xdotool mousemove "$x" "$y"
    sleep 0.2
    xdotool mousedown 1
    sleep 0.3
    for step in 1 2 3 4 5; do
        xdotool mousemove $((x + dx * step / 5)) $((y + dy * step / 5))
        sleep 0.1
    done
    xdotool mouseup 1
}

# e2e_choose_last_item <menu line>: clicks the last item of an open menu
# ("退出" in the tray menu).
e2e_choose_last_item() {
    local id x y width height
    read -r id x y width height <<<"$1"
    xdotool mousemove $((x + width / 2)) $((y + height - 10))
    sleep 0.3
    E2E_CHOSEN_AT=$EPOCHREALTIME
    xdotool click 1
}

# e2e_quit: "退出" from the tray menu; the program must end with exit code
# 0. The first try clicks the item, later tries use the keyboard (Up from no
# selection wraps to the last item), since a click can land while the menu
# is still being laid out. E2E_FIRST_KEYBOARD_ATTEMPT=1 exercises the keys.
# For timing, the moment of the choice is left in E2E_CHOSEN_AT and the first
# moment the process was seen gone in E2E_GONE_AT (both as $EPOCHREALTIME);
# E2E_QUIT_POLL (seconds, default 0.2) is how often it looks.
e2e_quit() {
    local attempt menu deadline
    for attempt in 1 2 3; do
        menu=$(e2e_open_tray_menu) || { sleep 1; continue; }
        e2e_log "tray menu open: $menu"
        e2e_screenshot tray-menu
        if [ "$attempt" -ge "${E2E_FIRST_KEYBOARD_ATTEMPT:-2}" ]; then
            xdotool key Up
            sleep 0.3
            E2E_CHOSEN_AT=$EPOCHREALTIME
            xdotool key Return
        else
            e2e_choose_last_item "$menu"
        fi
        deadline=$((SECONDS + 30))
        while kill -0 "$E2E_PID" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
            sleep "${E2E_QUIT_POLL:-0.2}"
        done
        E2E_GONE_AT=$EPOCHREALTIME
        kill -0 "$E2E_PID" 2>/dev/null || { e2e_wait_exit "$E2E_PID" 1 0; return 0; }
        e2e_log "still running after attempt $attempt"
        xdotool key Escape
    done
    e2e_fail "could not quit through the tray menu"
}

# e2e_icon_drawn: the tray's first slot shows an image, not just the tray's
# background (a failed icon load leaves the slot blank).
e2e_icon_drawn() {
    local tray colours
    tray=$(e2e_tray_window)
    [ -n "$tray" ] || return 1
    colours=$(import -window "$tray" -crop 20x20+0+0 -format '%k' info: 2>/dev/null | head -n 1)
    [ "${colours:-0}" -gt 4 ]
}

# e2e_hover_icon: rests the pointer on the icon, which makes the program
# refresh its statistics tooltip; Wine shows it after a moment.
e2e_hover_icon() {
    local tray
    tray=$(e2e_tray_window)
    [ -n "$tray" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    xdotool mousemove $((X + 8)) $((Y + 8))
    sleep 0.2
    xdotool mousemove $((X + 10)) $((Y + 10))
    sleep 1.5
}

# e2e_screenshot <name>: the whole screen as the next numbered
# <build>/e2e/screenshots/<scenario>-NN-<name>.png; its path is left in
# E2E_SHOT (call it outside subshells, or the numbers repeat).
e2e_screenshot() {
    E2E_SHOT_INDEX=$((E2E_SHOT_INDEX + 1))
    E2E_SHOT=$E2E_SHOTS/$E2E_SCENARIO-$(printf '%02d' "$E2E_SHOT_INDEX")-$1.png
    import -window root "$E2E_SHOT" 2>/dev/null && e2e_log "screenshot $E2E_SHOT"
}

# e2e_run_value: prints the HKCU Run value "Mivora"; fails when it is absent.
e2e_run_value() {
    local out
    out=$(e2e_wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Mivora </dev/null 2>/dev/null 9>&-) ||
        return 1
    grep -a 'Mivora' <<<"$out" | grep -a 'REG_SZ' | sed 's/.*REG_SZ[[:space:]]*//' | tr -d '\r'
    grep -aq 'REG_SZ' <<<"$out"
}

e2e_delete_run_value() {
    e2e_wine reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Mivora /f </dev/null >/dev/null 2>&1 9>&- || true
}

# e2e_check_progress <file> <remembered> <learning> [first word]: the
# progress file holds exactly these records, with today's dates.
e2e_check_progress() {
    e2e_files progress-check "$@" || e2e_fail "progress file check"
}

# e2e_user_files_dir: %APPDATA%\Mivora of the prefix's user, where Mivora
# keeps its files when the program folder cannot be written.
e2e_user_files_dir() {
    local appdata
    appdata=$(mivora_wine cmd /c 'echo %APPDATA%' </dev/null 2>/dev/null 9>&- | tr -d '\r')
    [ -n "$appdata" ] || e2e_fail "no %APPDATA% in the prefix"
    echo "$(mivora_wine winepath -u "$appdata" </dev/null 2>/dev/null 9>&- | tr -d '\r')/Mivora"
}

e2e_window_gone() { ! e2e_program_windows | grep -q "^$1 "; }

# e2e_word_window: the largest visible window of the program (the word
# window, when neither the sheet nor a box is open), as "id x y width
# height".
e2e_word_window() {
    e2e_program_windows | awk '$4 >= 5 && $5 >= 5 { print $4 * $5, $0 }' | sort -n | tail -n 1 | cut -d' ' -f2-
}

# e2e_mark_remembered [<x> <y>]: "已记住" from the word window's menu, opened
# with a right click at that point of the screen (by default just inside
# the word window's corner); returns once the menu has closed.
e2e_mark_remembered() {
    local x=${1:-} y=${2:-} menu
    if [ -z "$x" ]; then
        read -r _ x y _ <<<"$(e2e_word_window)"
        x=$((x + 5)) y=$((y + 5))
    fi
    menu=$(e2e_open_menu_at "$x" "$y") || e2e_fail "no context menu on the word window"
    e2e_log "context menu open: $menu"
    xdotool key Down Return  # the first item, 已记住
    e2e_wait_for 10 "the menu to close" e2e_window_gone "${menu%% *}"
}

# e2e_shoot_until <name> <what> <check> [<args>...]: screenshots (left in
# E2E_SHOT) until `check args...`, run after each, succeeds; fails the
# scenario, naming <what>, after 40 tries half a second apart. What a check
# leaves in variables stays there for the caller.
e2e_shoot_until() {
    local name=$1 what=$2 attempt
    shift 2
    for attempt in $(seq 1 40); do
        e2e_screenshot "$name"
        "$@" && return 0
        sleep 0.5
    done
    e2e_fail "$what (last screenshot $E2E_SHOT)"
}

# e2e_same_as_before <value>: true when <value> is not empty and is what the
# previous call was given (a measurement that holds still: the screen has
# settled). e2e_shoot_until's callers start with E2E_BEFORE empty.
E2E_BEFORE=
e2e_same_as_before() {
    local previous=$E2E_BEFORE
    E2E_BEFORE=$1
    [ -n "$1" ] && [ "$1" = "$previous" ]
}

# Balloons of the notification area are windows of Wine's explorer.exe
# other than the tray itself. e2e_balloon_count: how many have been seen so
# far (each new window id counts once; the record lives in the scenario's
# folder). e2e_balloon_shown <count before>: a new one is there.
e2e_balloon_count() {
    local tray w seen=$E2E_DIR.balloons
    touch "$seen"
    tray=$(e2e_tray_window)
    for w in $(xdotool search --onlyvisible --classname '^explorer\.exe$' 2>/dev/null); do
        [ "$w" = "$tray" ] && continue
        grep -qx "$w" "$seen" || echo "$w" >>"$seen"
    done
    wc -l <"$seen"
}
e2e_balloon_shown() { [ "$(e2e_balloon_count)" -gt "$1" ]; }

# --- another program's window, which holds the keyboard for a hotkey: a
# hotkey reaches a Wine program only while one of Wine's windows has the X
# keyboard focus. The windows are captioned with their key logs' names.
desk_exe() { echo "$E2E_BUILD/tests/e2e/e2e_hotkey_desk.exe"; }
desk_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
desk_started() { [ -n "$(desk_window "$1")" ]; }
desk_gone() { [ -z "$(desk_window "$1")" ]; }

# start_desk <log name> [arguments]: another program, its key log in the
# program folder; waits for its window. Its pid goes into DESK_PIDS[<log>].
declare -A DESK_PIDS
start_desk() {
    [ -f "$(desk_exe)" ] || e2e_fail "not built: $(desk_exe)"
    (cd "$E2E_DIR" && exec "$(e2e_wine_binary)" "$(desk_exe)" window "$@") </dev/null >/dev/null 2>&1 9>&- &
    DESK_PIDS[$1]=$!
    E2E_PIDS+=("$!")
    e2e_wait_for 30 "the window of $1" desk_started "$1"
}
stop_desk() {
    kill "${DESK_PIDS[$1]}" 2>/dev/null
    wait "${DESK_PIDS[$1]}" 2>/dev/null
    e2e_wait_for 20 "the window of $1 to go" desk_gone "$1"
}
# focus_desk <log name>: gives that window the X keyboard focus.
focus_desk() {
    xdotool windowfocus --sync "$(desk_window "$1")" || e2e_fail "could not give $1 the keyboard"
    sleep 0.3
}

# --- the options sheet, shared by the scenarios that open it

# The sheet: the program's visible window captioned "Mivora".
sheet_window() {
    xdotool search --onlyvisible --name '^Mivora$' 2>/dev/null | head -n 1
}
sheet_open() { [ -n "$(sheet_window)" ]; }
sheet_closed() { [ -z "$(sheet_window)" ]; }

# tray_command <Up presses>: opens the tray menu and chooses the item that
# many steps up from the bottom ("退出" is 1, "关于..." 2, "选项" 3: Up
# from no selection wraps to the last item and skips the separators).
tray_command() {
    local attempt menu
    for attempt in 1 2 3; do
        menu=$(e2e_open_tray_menu) || { sleep 1; continue; }
        e2e_log "tray menu open: $menu"
        sleep 0.3
        xdotool key --delay 150 $(printf 'Up %.0s' $(seq 1 "$1")) Return
        return 0
    done
    e2e_fail "could not open the tray menu"
}

# click_in_sheet <x> <y>: a left click at that point of the sheet.
click_in_sheet() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$(sheet_window)")"
    xdotool mousemove $((X + $1)) $((Y + $2))
    sleep 0.2
    xdotool click 1
}

# click_ok: the sheet's OK button, left of Cancel at its bottom right.
click_ok() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$(sheet_window)")"
    click_in_sheet $((WIDTH - 125)) $((HEIGHT - 19))
}

# shoot_sheet <name>: a screenshot of the whole screen and one of the sheet
# alone, in SHEET_SHOT.
shoot_sheet() {
    e2e_screenshot "$1"
    crop_sheet
}

# crop_sheet: the sheet alone out of E2E_SHOT, in SHEET_SHOT.
crop_sheet() {
    local sheet X Y WIDTH HEIGHT
    sheet=$(sheet_window)
    [ -n "$sheet" ] || e2e_fail "the sheet is not open (screen: $E2E_SHOT)"
    eval "$(xdotool getwindowgeometry --shell "$sheet")"
    SHEET_SHOT=${E2E_SHOT%.png}-sheet.png
    # Without the time of writing in the file: shoot_settled compares the
    # files' bytes, and two equal pictures taken in different seconds would
    # never match on a busy machine.
    convert "$E2E_SHOT" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -define png:exclude-chunks=date,time \
        "$SHEET_SHOT" ||
        e2e_fail "cropping the sheet out of $E2E_SHOT"
    e2e_log "sheet $WIDTH x $HEIGHT at $X,$Y: $SHEET_SHOT"
}

# shoot_settled <name> [<sheet png before>]: sheet screenshots until two in
# a row are the same (and differ from the one before, if given): the sheet
# has finished drawing what was asked of it. Leaves it in SHEET_SHOT.
shoot_settled() {
    E2E_BEFORE=
    e2e_shoot_until "$1" "the sheet did not settle on $1${2:+ (still as in $2)}" sheet_settled "${2:-}"
}
sheet_settled() {
    local seen
    crop_sheet
    # The pixels' digest: the files themselves carry the time they were made.
    seen=$(identify -format '%#' "$SHEET_SHOT" 2>/dev/null)
    e2e_same_as_before "$seen" && { [ -z "$1" ] || [ "$(identify -format '%#' "$1" 2>/dev/null)" != "$seen" ]; }
}
