#!/usr/bin/env bash
# The pictures of the user guide, taken from the real program on a coloured
# desktop, each checked before it is kept:
#   word-short.png        the shipped list's second word in the one-line
#                         layout, in the default colours and font;
#   word-menu.png         the word window's context menu;
#   tray-menu.png         the tray menu beside Wine's tray window;
#   word-long.png         an entry longer than 20 units: the 600-pixel
#                         two-block layout;
#   word-transparent.png  the same word with "背景透明": the desktop shows
#                         through the window's background;
#   options-stats.png     the 统计 page over half a year of answers in a
#                         review log written ahead.
# They are written to <build>/e2e/screenshots/guide/; MIVORA_UPDATE_DOCS=1
# also copies them into docs/.
#   guide_shots.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" guide_shots
for tool in convert xsetroot; do
    command -v "$tool" >/dev/null 2>&1 || e2e_fail "missing tool: $tool"
done
guide=$E2E_SHOTS/guide
rm -rf "$guide"
mkdir -p "$guide"
desktop='#3a6ea5'
xsetroot -solid "$desktop"
e2e_shipped_dictionary

# window_box: "left top width height" of the program's one visible window
# that is not a menu (the word window), or nothing.
window_box() { e2e_program_windows | awk 'NR == 1 { print $2, $3, $4, $5 }'; }

# keep <name> <margin> <x y width height>...: the last screenshot cut to the
# smallest rectangle around the given ones plus the margin (clamped to the
# screen), as <guide>/<name>.png.
keep() {
    local name=$1 margin=$2 left=99999 top=99999 right=0 bottom=0
    shift 2
    while [ $# -ge 4 ]; do
        [ "$1" -lt "$left" ] && left=$1
        [ "$2" -lt "$top" ] && top=$2
        [ $(($1 + $3)) -gt "$right" ] && right=$(($1 + $3))
        [ $(($2 + $4)) -gt "$bottom" ] && bottom=$(($2 + $4))
        shift 4
    done
    left=$((left - margin)) top=$((top - margin)) right=$((right + margin)) bottom=$((bottom + margin))
    [ "$left" -lt 0 ] && left=0
    [ "$top" -lt 0 ] && top=0
    [ "$right" -gt 1280 ] && right=1280
    [ "$bottom" -gt 800 ] && bottom=800
    convert "$E2E_SHOT" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$guide/$name.png" ||
        e2e_fail "cropping $name"
    e2e_log "kept $guide/$name.png ($((right - left))x$((bottom - top)))"
}

# colours_in <png> <left> <top> <width> <height>: how many distinct colours
# that rectangle of the image holds (text drawn there has many).
colours_in() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -format '%k' info: 2>/dev/null
}

# pixel <png> <x> <y>: "#rrggbb" of one pixel.
pixel() {
    convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null | cut -c1-6 | sed 's/^/#/' | tr 'A-F' 'a-f'
}

# wait_for_word <max width>: polls until the word window has left the
# loading line, i.e. has settled to a size; leaves its box in BOX.
wait_for_word() {
    local shown i
    for i in $(seq 1 60); do
        shown=$(python3 "$E2E_SOURCE/tests/e2e/watch_windows.py" settled 30) || e2e_fail "the word window never settled"
        BOX=$(window_box)
        [ "$shown" != "$LOADING" ] && [ -n "$BOX" ] && return 0
        sleep 0.5
    done
    e2e_fail "the word window still shows the loading line"
}

# --- the loading line's size, for telling it from a word
mv "$E2E_DIR/dic/英语四级词汇.txt" "$E2E_DIR/list.txt"
e2e_settings_file switchSeconds=3600 sampleBackground=0 windowX=420 windowY=300
e2e_start
LOADING=$(python3 "$E2E_SOURCE/tests/e2e/watch_windows.py" settled 60) || e2e_fail "no window settled"
e2e_wait_ready
e2e_quit
mv "$E2E_DIR/list.txt" "$E2E_DIR/dic/英语四级词汇.txt"
rm -f "$E2E_DIR/dic/DAvud.bin"

# Conditions polled by e2e_wait_for: each poll asks the X server afresh.
only_the_word_window() { [ "$(e2e_program_windows | wc -l)" -eq 1 ]; }
tray_window_at_x() { xdotool getwindowgeometry --shell "$tray" | grep -q "^X=$1\$"; }

# --- 1. short layout, default colours and font, shipped list
e2e_start
e2e_wait_ready
wait_for_word
read -r left top width height <<<"$BOX"
e2e_log "word window: $BOX"
[ "$height" -lt 40 ] || e2e_fail "not the one-line layout: $BOX"
e2e_screenshot short
[ "$(colours_in "$E2E_SHOT" "$left" "$top" "$width" "$height")" -gt 20 ] || e2e_fail "no text drawn in the word window"
keep word-short 24 $BOX

# --- 2. the word window's menu
menu=$(e2e_open_menu_at $((left + 10)) $((top + height / 2))) || e2e_fail "no context menu on the word window"
read -r _ mx my mw mh <<<"$menu"
sleep 0.5
e2e_screenshot word-menu
keep word-menu 16 $BOX $mx $my $mw $mh
xdotool key Escape
e2e_wait_for 10 "the word window's menu to close" only_the_word_window

# --- 3. the tray menu, with Wine's tray window moved away from the screen's
# corner so that the menu opens beside the icon instead of over it
tray=$(e2e_tray_window)
xdotool windowmove "$tray" 700 420
e2e_wait_for 10 "the tray window to move" tray_window_at_x 700
menu=$(e2e_open_tray_menu) || e2e_fail "no tray menu"
read -r _ mx my mw mh <<<"$menu"
eval "$(xdotool getwindowgeometry --shell "$tray")"
# The pointer on "选项", as a hand choosing it: off the icon, whose tooltip
# then goes away.
xdotool mousemove $((mx + mw / 2)) $((my + mh * 35 / 92))
sleep 1.5
e2e_screenshot tray-menu
keep tray-menu 16 $X $Y $WIDTH $HEIGHT $mx $my $mw $mh
# Escape, or failing that a click on the empty desktop, closes the menu.
xdotool key Escape
for attempt in 1 2 3 4 5; do
    [ "$(e2e_program_windows | wc -l)" -eq 1 ] && break
    xdotool mousemove 1200 760 click 1
    sleep 1
done
e2e_wait_for 10 "the tray menu to close" only_the_word_window
e2e_quit

# --- 4. long layout: an entry of more than 20 units
e2e_dictionary guide 'a|ei|第一个字母 A；一个' \
    'take something into consideration|teik ˈsʌmθiŋ ˈintə kənˌsidəˈreiʃən|考虑到某事；把某事考虑在内；体谅' \
    'abandon|əˈbændən|vt. 放弃；抛弃'
e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=340 windowY=300 dictionaryName=guide
rm -f "$E2E_DIR/dic/DAvud.bin"
e2e_start
e2e_wait_ready
wait_for_word
read -r left top width height <<<"$BOX"
e2e_log "long layout: $BOX"
[ "$width" -eq 600 ] || e2e_fail "the long layout is not 600 pixels wide: $BOX"
[ "$height" -gt 40 ] || e2e_fail "the long layout has one line only: $BOX"
e2e_screenshot long
[ "$(colours_in "$E2E_SHOT" "$left" "$top" "$width" "$height")" -gt 20 ] || e2e_fail "no text drawn in the long layout"
keep word-long 24 $BOX
e2e_quit

# --- 5. transparent background over the coloured desktop
# A background a shade off the desktop's blue: the text's smoothed edges
# blend into it, and a pixel of the desktop's exact colour inside the window
# shows that the background is not drawn. Light text reads on the blue.
e2e_settings_file autoSwitch=0 sampleBackground=0 transparentBackground=1 windowX=420 windowY=300 \
    backgroundColor=0xA0683A wordColor=0xFFFFFF phoneticColor=0xE0E0E0 contentColor=0x80FFFF
rm -f "$E2E_DIR/dic/DAvud.bin"
e2e_start
e2e_wait_ready
wait_for_word
read -r left top width height <<<"$BOX"
# Inside the window, off the text (its right end is past the meaning):
# the desktop's colour, not the background. The window may still be
# waiting for its first paint at its new size (unpainted, it shows black),
# so look again until it has been drawn.
corner_is_desktop() {
    corner=$(pixel "$E2E_SHOT" $((left + width - 2)) $((top + 1)))
    [ "$corner" = "$desktop" ]
}
e2e_shoot_until transparent "the background is not the desktop's $desktop" corner_is_desktop
e2e_log "transparent window $BOX, pixel inside its top right corner $corner"
[ "$(colours_in "$E2E_SHOT" "$left" "$top" "$width" "$height")" -gt 5 ] || e2e_fail "no text over the desktop"
keep word-transparent 24 $BOX
e2e_quit

# --- 6. the 统计 page over a review log of half a year: a few new words
# most days, each coming back after longer and longer intervals, one answer
# in eight 忘了 (which starts the word over); the words still remembered
# due over the next weeks.
lists=$(python3 - "$E2E_DIR/dic" <<'PY'
import datetime, random, sys
folder = sys.argv[1]
rng = random.Random(31)
today = datetime.date.today()
words = ["abandon", "ability", "able", "aboard", "abolish", "abortion", "abroad", "absence", "absent",
         "absolute", "absorb", "abstract", "abundant", "abuse", "academic", "academy", "accelerate",
         "accent", "accept", "access", "accident", "accommodate", "accompany", "accomplish", "accord",
         "account", "accumulate", "accurate", "accuse", "accustomed", "achieve", "acid", "acknowledge",
         "acquire", "acre", "across", "act", "action", "active", "activity", "actor", "actual", "acute",
         "adapt", "add", "addition", "address", "adequate", "adjust", "administration", "admire", "admit",
         "adopt", "adult", "advance", "advantage", "adventure", "advertise", "advice", "advocate"]
intervals = [2, 5, 12, 25, 50, 90]
state = {}  # word -> (due day, step)
last = {}  # word -> whether its last answer was good
lines = []
for back in range(170, -1, -1):
    day = today - datetime.timedelta(days=back)
    if rng.random() < 0.2:
        continue  # days off
    for word, (due, step) in sorted(state.items()):
        if due <= day and rng.random() < 0.9:
            good = rng.random() >= 0.125
            step = step + 1 if good else 0
            due = day + datetime.timedelta(days=intervals[min(step, 5)] if good else 1)
            state[word] = (due, step)
            lines.append((day, rng.randrange(8 * 3600, 22 * 3600), "good" if good else "again", word, due))
            last[word] = good
    for _ in range(rng.randrange(0, 4)):
        fresh = [w for w in words if w not in state]
        if not fresh:
            break
        word = fresh[0]
        due = day + datetime.timedelta(days=intervals[0])
        state[word] = (due, 0)
        lines.append((day, rng.randrange(8 * 3600, 22 * 3600), "good", word, due))
        last[word] = True
with open(folder + "/mivora-review.txt", "w", encoding="utf-8", newline="\n") as log:
    log.write("# mivora-review.txt\n")
    for day, second, answer, word, due in sorted(lines):
        when = datetime.datetime.combine(day, datetime.time()) + datetime.timedelta(seconds=second)
        log.write(f"{when:%Y-%m-%dT%H:%M:%S}Z\t{answer}\t{word}\t{due:%Y-%m-%d}\n")
# A word whose last answer was 忘了 is being learnt again.
remembered = [w for w in words if last.get(w)]
learning = [w for w in words if not last.get(w)]
print(" ".join(remembered))
print(" ".join(learning) or "adopt")
PY
)
{ read -r remembered; read -r learning; } <<<"$lists"
e2e_files progress-write "$E2E_DIR/dic/DAvud.bin" "$remembered" "$learning"
[ -s "$E2E_DIR/dic/mivora-review.txt" ] || e2e_fail "no review log written"
e2e_log "review log: $(grep -vc '^#' "$E2E_DIR/dic/mivora-review.txt") answers"
e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=900 windowY=700
e2e_start
e2e_wait_ready
tray_command 3
e2e_wait_for 20 "the options sheet" sheet_open
shoot_settled settings
xdotool windowfocus --sync "$(sheet_window)" || e2e_fail "could not give the sheet the keyboard"
# The third tab.
click_in_sheet 140 17
shoot_settled stats "$SHEET_SHOT"
# The calendar's five shades, from the empty day's #ebedf0 to the darkest
# #216e39: 175 or more cells of at least 8 x 8 pixels in all, days with and
# without answers among them, and the darkest at least in the legend.
stats_colours=$(convert "$SHEET_SHOT" ppm:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
_, w, h, _, pixels = data.split(maxsplit=4)
cells = [pixels[i:i + 3] for i in range(0, 3 * int(w) * int(h), 3)]
shades = [b"\xeb\xed\xf0", b"\x9b\xe9\xa8", b"\x40\xc4\x63", b"\x30\xa1\x4e", b"\x21\x6e\x39"]
counts = [cells.count(shade) for shade in shades]
print(counts[0], counts[4], sum(counts))
')
read -r empty darkest all_shades <<<"$stats_colours"
e2e_log "统计 page: $empty empty-day pixels, $darkest of the darkest shade, $all_shades in all"
[ "$all_shades" -ge $((175 * 64)) ] && [ "$empty" -ge 64 ] && [ "$darkest" -ge 64 ] ||
    e2e_fail "no calendar on the 统计 page in $SHEET_SHOT"
cp "$SHEET_SHOT" "$guide/options-stats.png"
xdotool key Escape
e2e_wait_for 20 "the sheet to close" sheet_closed
e2e_quit

if [ "${MIVORA_UPDATE_DOCS:-0}" = 1 ]; then
    mkdir -p "$E2E_SOURCE/docs"
    cp "$guide"/*.png "$E2E_SOURCE/docs/"
    e2e_log "copied $(ls "$guide" | tr '\n' ' ')into docs/"
fi
e2e_end
