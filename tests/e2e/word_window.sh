#!/usr/bin/env bash
# The word window, checked on screenshots and on the files the program
# writes:
#   1. with a known settings file and a three-word dictionary it shows the
#      second word at the stored corner, one line sized to its text, each
#      text in its colour, the meaning in Chinese;
#   2. right click -> "已记住": it moves on to the next word;
#   3. dragged by (100, 50), it stays there;
#   4. tray -> "退出": mivora.bin holds the new corner and the size on the
#      screen, DAvud.bin has the word in its remembered section;
#   5. started again, it comes up at the dragged-to corner.
#   word_window.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" word_window
command -v convert >/dev/null 2>&1 || e2e_fail "missing tool: convert"
e2e_dictionary e2e 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉' 'cherry|ˈtʃeri|樱桃'
# Word red, phonetic blue, meaning green on white (COLORREF is 0x00BBGGRR),
# in unsmoothed Arial so that every text pixel has its exact colour; no
# switching and no background sampling, so nothing changes by itself.
e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=300 windowY=200 windowWidth=0 windowHeight=0 \
    wordColor=0x0000FF phoneticColor=0xFF0000 contentColor=0x008000 backgroundColor=0xFFFFFF \
    lfCharSet=1 lfQuality=3 dictionaryName=e2e

# screen_box <png>: "left top width height" of the white pixels away from
# Wine's tray window at the top left, i.e. the word window; or nothing.
screen_box() {
    convert "$1" ppm:- 2>/dev/null | python3 -c '
import sys
data = sys.stdin.buffer.read()
_, w, h, _, pixels = data.split(maxsplit=4)
w, h = int(w), int(h)
xs, ys = [], []
for y in range(100, h):
    row = pixels[3 * w * y: 3 * w * (y + 1)]
    for x in range(200, w):
        if row[3 * x: 3 * x + 3] == b"\xff\xff\xff":
            xs.append(x); ys.append(y)
if xs:
    print(min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
'
}

# shoot_word_window <name> <left> <top> [<box before>]: screenshots until the
# word window is at left,top (and no longer shows the box it had before);
# leaves its box in BOX.
shoot_word_window() {
    e2e_shoot_until "$1" "word window not at $2,$3${4:+ with a box other than $4}" word_window_at "$2 $3" "${4:-}"
}
word_window_at() {
    BOX=$(screen_box "$E2E_SHOT")
    [ -n "$BOX" ] && [ "$(cut -d' ' -f1-2 <<<"$BOX")" = "$1" ] && [ "$BOX" != "$2" ]
}

# check_colours <box>: in the last screenshot, inside the box, the red word
# on the left, then the blue phonetic, then the green meaning, which ends
# 5 pixels before the right edge.
check_colours() {
    convert "$E2E_SHOT" ppm:- 2>/dev/null | python3 -c '
import sys
data = sys.stdin.buffer.read()
_, w, _, _, pixels = data.split(maxsplit=4)
w = int(w)
left, top, width, height = map(int, sys.argv[1:5])
def columns(rgb):
    return [x - left for y in range(top, top + height) for x in range(left, left + width)
            if pixels[3 * (w * y + x): 3 * (w * y + x) + 3] == rgb]
red, blue, green = columns(b"\xff\x00\x00"), columns(b"\x00\x00\xff"), columns(b"\x00\x80\x00")
print("red", len(red), "blue", len(blue), "green", len(green))
assert len(red) > 20 and len(blue) > 20 and len(green) > 40, "all three texts drawn"
assert min(red) >= 1 and max(red) < min(blue) and max(blue) < min(green), "word, phonetic, meaning from left to right"
assert max(green) <= width - 5, "meaning ends 5 pixels before the right edge"
' $1 || e2e_fail "colours of the word window in $E2E_SHOT"
}

# --- 1. first start
e2e_start
e2e_wait_ready
shoot_word_window start 300 200
started=$BOX
e2e_log "word window at start: $started"
read -r _ _ width height <<<"$started"
[ "$height" -lt 40 ] && [ "$width" -lt 600 ] || e2e_fail "not the one-line layout: $started"
check_colours "$started"

# --- 2. right click -> 已记住, the context menu's first item
e2e_mark_remembered 310 205
shoot_word_window marked 300 200 "$started"
e2e_log "after 已记住: $BOX"
check_colours "$BOX"

# --- 3. drag by (100, 50)
e2e_drag 305 205 100 50
shoot_word_window dragged 400 250
dragged=$BOX
e2e_log "after the drag: $dragged"

# --- 4. tray -> 退出
e2e_quit
e2e_has_size "$E2E_DIR/mivora.bin" 284 || e2e_fail "mivora.bin is $(e2e_file_size "$E2E_DIR/mivora.bin") bytes"
stored="$(e2e_settings_int 24) $(e2e_settings_int 28) $(e2e_settings_int 32) $(e2e_settings_int 36)"
e2e_log "mivora.bin: corner and size $stored"
[ "$(cut -d' ' -f1-2 <<<"$stored")" = "400 250" ] || e2e_fail "stored corner $stored, expected the dragged-to 400 250"
[ "$(cut -d' ' -f3-4 <<<"$stored")" = "$(cut -d' ' -f3-4 <<<"$dragged")" ] ||
    e2e_fail "stored size $stored, expected the size on the screen $dragged"
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 1 2 apple
words=$(e2e_files progress-words "$E2E_DIR/dic/DAvud.bin")
e2e_log "DAvud.bin: remembered | learning: $words"
[ "$words" = "banana | apple cherry" ] || e2e_fail "DAvud.bin words: $words"

# --- 5. the corner survives a restart
e2e_start
e2e_wait_ready
shoot_word_window restarted 400 250
e2e_log "after the restart: $BOX"
e2e_quit
e2e_end
