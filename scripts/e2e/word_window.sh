#!/usr/bin/env bash
# End to end: the word window of a real Mivora.exe under Wine, driven with
# xdotool on an X server of its own and checked on screenshots and on the
# files the program writes.
#   1. start with a known settings file and a three-word dictionary: the
#      window shows the second word at the stored corner, one line sized to
#      its text, each text in its colour, the meaning in Chinese;
#   2. right click -> 已记住: the window moves on to the next word;
#   3. drag it by (100, 50);
#   4. tray -> 退出: mivora.bin holds the new corner and the last layout's
#      size, DAvud.bin has the word in its remembered section;
#   5. start again: the window comes up at the dragged-to corner.
# Usage: word_window.sh path/to/Mivora.exe
#   MIVORA_E2E_KEEP=1   keep the scratch directory (screenshots) afterwards
set -euo pipefail

exe=$(realpath "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(dirname "$(dirname "$exe")")

# A Wine prefix and an X server of this scenario's own: the shared display
# carries the windows of other test runs (screenshots must see only ours),
# and a wineserver of its own is a log-on session of its own, so the
# single-instance mutex of a Mivora started elsewhere does not get in the way.
export MIVORA_WINEPREFIX=${MIVORA_E2E_PREFIX:-$build_dir/e2e-word-window-prefix}
work=$(mktemp -d "${TMPDIR:-/tmp}/mivora-e2e-word.XXXXXX")
xvfb_pid=
mivora_pid=

fail() {
    echo "FAIL: $*" >&2
    echo "screenshots and files kept in $work" >&2
    MIVORA_E2E_KEEP=1
    exit 1
}

cleanup() {
    [ -n "$mivora_pid" ] && kill "$mivora_pid" 2>/dev/null || true
    WINEPREFIX=$MIVORA_WINEPREFIX wineserver -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    if [ "${MIVORA_E2E_KEEP:-0}" != 1 ]; then rm -rf "$work"; fi
}
trap cleanup EXIT

# --- X server and Wine -----------------------------------------------------
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 5>&-
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
. "$root/scripts/wine-env.sh"
mivora_wine_ready

# --- the program's files -----------------------------------------------------
app="$work/app"
mkdir -p "$app/dic"
cp "$exe" "$app/Mivora.exe"
python3 - "$app" <<'EOF'
import struct, sys
app = sys.argv[1]
# autoStart, autoSwitch, transparentBackground, sampleBackground, reserved,
# titleBarMode, windowX, windowY, windowWidth, windowHeight
record = struct.pack('<10i', 0, 0, 0, 0, 0, 0, 300, 200, 0, 0)
# word red, phonetic blue, content green, background white (0x00BBGGRR)
record += struct.pack('<4I', 0x0000FF, 0xFF0000, 0x008000, 0xFFFFFF)
record += struct.pack('<2i', 10, 15)  # switchSeconds, cycleSize
# Arial -16, unsmoothed so that every text pixel has its exact colour.
record += struct.pack('<5i8B', -16, 0, 0, 0, 400, 0, 0, 0, 1, 3, 2, 3, 0x22)
record += 'Arial'.encode('utf-16le').ljust(64, b'\0')
record += 'e2e'.encode('utf-16le').ljust(128, b'\0')
assert len(record) == 284
open(f'{app}/mivora.bin', 'wb').write(record)
lines = ['apple|ˈæpl|苹果', 'banana|bəˈnɑːnə|香蕉', 'cherry|ˈtʃeri|樱桃']
open(f'{app}/dic/e2e.txt', 'wb').write(''.join(l + '\r\n' for l in lines).encode('utf-16le'))
EOF

# --- helpers -------------------------------------------------------------------
start_mivora() {
    (cd "$app" && mivora_wine Mivora.exe >>"$work/wine.log" 2>&1) &
    mivora_pid=$!
}

shot() {  # shot NAME: screenshot of the whole screen as NAME.png and NAME.ppm
    import -window root "$work/$1.png"
    convert "$work/$1.png" "$work/$1.ppm"
}

# Prints "left top width height" of the word window found in screenshot $1:
# the bounding box of the white background in the part of the screen away
# from Wine's tray window, or nothing.
window_box() {
    python3 - "$work/$1.ppm" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
parts = data.split(maxsplit=4)
w, h = int(parts[1]), int(parts[2])
pixels = parts[4]
xs, ys = [], []
for y in range(100, h):
    row = pixels[3 * w * y: 3 * w * (y + 1)]
    for x in range(200, w):
        if row[3 * x: 3 * x + 3] == b'\xff\xff\xff':
            xs.append(x); ys.append(y)
if xs:
    print(min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
EOF
}

# wait_for_box NAME LEFT TOP: takes screenshots until the window is at
# LEFT,TOP (at most 30 s); prints its box.
wait_for_box() {
    local box=
    for _ in $(seq 1 60); do
        shot "$1"
        box=$(window_box "$1")
        if [ -n "$box" ] && [ "$(echo "$box" | cut -d' ' -f1-2)" = "$2 $3" ]; then
            echo "$box"
            return 0
        fi
        sleep 0.5
    done
    fail "word window not at $2,$3 in $1.png (found: ${box:-nothing})"
}

# Checks the colours inside the window box of screenshot $1: red word on the
# left, blue phonetic, green meaning on the right with a 5-pixel margin.
check_colours() {
    python3 - "$work/$1.ppm" $2 <<'EOF' || fail "colours of the word window in $1.png"
import sys
data = open(sys.argv[1], 'rb').read()
parts = data.split(maxsplit=4)
w = int(parts[1])
pixels = parts[4]
left, top, width, height = map(int, sys.argv[2:6])
def columns(rgb):
    found = []
    for y in range(top, top + height):
        for x in range(left, left + width):
            if pixels[3 * (w * y + x): 3 * (w * y + x) + 3] == rgb:
                found.append(x - left)
    return found
red, blue, green = columns(b'\xff\x00\x00'), columns(b'\x00\x00\xff'), columns(b'\x00\x80\x00')
print('red', len(red), 'blue', len(blue), 'green', len(green))
assert len(red) > 20 and len(blue) > 20 and len(green) > 40
assert min(red) >= 1 and max(red) < min(blue) and max(blue) < min(green), 'word, phonetic, meaning from left to right'
assert max(green) <= width - 5, 'meaning ends 5 pixels before the right edge'
EOF
}

tray_command() {  # tray_command KEY...: right-click the tray icon, then keys
    local tray geometry x y
    tray=$(xdotool search --name "Wine System Tray" | head -n1)
    [ -n "$tray" ] || fail "no tray window"
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    xdotool mousemove $((X + 10)) $((Y + 10)) click 3
    sleep 1
    xdotool key "$@"
}

wait_for_exit() {
    for _ in $(seq 1 120); do
        kill -0 "$mivora_pid" 2>/dev/null || { mivora_pid=; return 0; }
        sleep 0.5
    done
    fail "Mivora did not end after 退出"
}

# --- 1. first start --------------------------------------------------------------
start_mivora
box=$(wait_for_box start 300 200)
echo "word window at start: $box"
read -r _ _ width height <<<"$box"
[ "$height" -lt 40 ] && [ "$width" -lt 600 ] || fail "not the one-line layout: $box"
check_colours start "$box"

# --- 2. right click -> 已记住 -------------------------------------------------------
xdotool mousemove 310 205 click 3
sleep 1
shot menu
xdotool key Down Return
sleep 1
after_mark=$(wait_for_box marked 300 200)
echo "after 已记住: $after_mark"
[ "$after_mark" != "$box" ] || fail "the window did not move on to the next word"
check_colours marked "$after_mark"

# --- 3. drag by (100, 50) ----------------------------------------------------------
xdotool mousemove 305 205 mousedown 1
sleep 0.3
for step in 1 2 3 4 5; do
    xdotool mousemove $((305 + step * 20)) $((205 + step * 10))
    sleep 0.1
done
xdotool mouseup 1
dragged=$(wait_for_box dragged 400 250)
echo "after the drag: $dragged"

# --- 4. tray -> 退出 ------------------------------------------------------------------
tray_command Up Return
wait_for_exit
python3 - "$app" $dragged <<'EOF' || fail "files after 退出"
import struct, sys
app = sys.argv[1]
left, top, width, height = map(int, sys.argv[2:6])
settings = open(f'{app}/mivora.bin', 'rb').read()
assert len(settings) == 284
x, y, w, h = struct.unpack_from('<4i', settings, 24)
print('mivora.bin: corner', x, y, 'size', w, h)
assert (x, y) == (400, 250), 'dragged corner stored'
assert (w, h) == (width, height), 'stored size is the size on the screen'
progress = open(f'{app}/dic/DAvud.bin', 'rb').read()
learning, remembered = struct.unpack_from('<2i', progress, 0)
words = [progress[24 + 1664 * i: 24 + 1664 * i + 1024].decode('utf-16le').rstrip('\0')
         for i in range(learning + remembered)]
print('DAvud.bin: remembered', words[:remembered], 'learning', words[remembered:])
assert words[:remembered] == ['banana']
assert words[remembered:] == ['apple', 'cherry']
EOF

# --- 5. the position survives a restart ----------------------------------------------
start_mivora
restarted=$(wait_for_box restarted 400 250)
echo "after the restart: $restarted"
tray_command Up Return
wait_for_exit
echo "PASS"
