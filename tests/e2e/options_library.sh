#!/usr/bin/env bash
# The word-library and about pages of the options sheet, as a person uses
# them:
#   1. a progress file with remembered words and the dictionary "first" in
#      learning: the word window shows "banana";
#   2. tray -> "选项", Ctrl+Tab to "词库": the remembered words are listed;
#      picking "second" in the dictionary box reloads, and the word window
#      moves to the new list's first word (wider) at once; OK;
#   3. tray -> "关于...": the sheet opens on the about page, with its blue
#      links; Escape;
#   4. tray -> "退出": mivora.bin names "second", DAvud.bin holds the
#      remembered words and the new list.
# Screenshots of both pages are left as <scenario>-NN-library.png and
# -about.png (the guide's docs/options-library.png, docs/options-about.png).
#   options_library.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" options_library
command -v convert >/dev/null 2>&1 || e2e_fail "missing tool: convert"

e2e_dictionary first 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉' 'cherry|ˈtʃeri|樱桃'
e2e_dictionary second 'internationalisation|ˌɪntəˌnæʃənəlaɪˈzeɪʃən|国际化' 'pear|peə|梨' 'quince|kwɪns|榅桲'
e2e_dictionary 英语四级词汇 'abandon|əˈbændən|v. 放弃'
# Progress: four remembered words, the "first" list to learn.
python3 - "$E2E_DIR/dic/DAvud.bin" <<'PY'
import datetime, struct, sys
def record(word, phonetic, content):
    def field(text, units):
        raw = text.encode("utf-16-le")
        return raw + b"\0" * (2 * units - len(raw))
    return field(word, 512) + field(phonetic, 64) + field(content, 256)
remembered = [("abandon", "[əˈbændən]", "v. 放弃；遗弃"), ("ability", "[əˈbɪləti]", "n. 能力；才能"),
              ("abroad", "[əˈbrɔːd]", "ad. 在国外"), ("absence", "[ˈæbsəns]", "n. 缺席；不在")]
learning = [("apple", "[ˈæpl]", "苹果"), ("banana", "[bəˈnɑːnə]", "香蕉"), ("cherry", "[ˈtʃeri]", "樱桃")]
today = int(datetime.date.today().strftime("%Y%m%d"))
data = struct.pack("<6i", len(learning), len(remembered), 0, 0, today, today)
data += b"".join(record(*r) for r in remembered + learning)
open(sys.argv[1], "wb").write(data)
PY
e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=300 windowY=120 windowWidth=0 windowHeight=0 \
    wordColor=0x0000FF phoneticColor=0xFF0000 contentColor=0x008000 backgroundColor=0xFFFFFF \
    lfCharSet=1 lfQuality=3 dictionaryName=first

# word_box: "left top width height" of the white word window at the stored
# corner, or nothing.
word_box() {
    convert "$E2E_SHOT" ppm:- 2>/dev/null | python3 -c '
import sys
data = sys.stdin.buffer.read()
_, w, h, _, pixels = data.split(maxsplit=4)
w, h = int(w), int(h)
white = b"\xff\xff\xff"
at = lambda x, y: pixels[3 * (w * y + x): 3 * (w * y + x) + 3]
if at(300, 120) != white:
    sys.exit(0)
right = 300
while right + 1 < w and at(right + 1, 120) == white:
    right += 1
bottom = 120
while bottom + 1 < h and at(300, bottom + 1) == white:
    bottom += 1
print(300, 120, right - 299, bottom - 119)
'
}

# shoot_word_window <name> [<box before>]: screenshots until the word window
# is at its corner with a box other than the one before; leaves it in BOX.
shoot_word_window() {
    e2e_shoot_until "$1" "word window not at 300,120${2:+ with a box other than $2}" word_box_other_than "${2:-}"
}
word_box_other_than() {
    BOX=$(word_box)
    [ -n "$BOX" ] && [ "$BOX" != "$1" ]
}

click_cancel() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$(sheet_window)")"
    click_in_sheet $((WIDTH - 44)) $((HEIGHT - 19))
}

# pure_blue <png>: how many pixels are exactly 0,0,255 (the links' colour).
pure_blue() {
    convert "$1" ppm:- 2>/dev/null | python3 -c '
import sys
data = sys.stdin.buffer.read()
_, w, h, _, pixels = data.split(maxsplit=4)
print(sum(1 for i in range(0, 3 * int(w) * int(h), 3) if pixels[i:i + 3] == b"\x00\x00\xff"))
'
}

# --- 1. start
e2e_start
e2e_wait_ready
shoot_word_window start
before=$BOX
e2e_log "word window before the switch: $before"

# --- 2. 选项 -> 词库, pick "second"
tray_command 3
e2e_wait_for 20 "the options sheet" sheet_open
shoot_settled settings
# Offsets in the sheet: the tabs sit at its top left, the dictionary box at
# the top of the library page (template units of MS Shell Dlg 8).
click_in_sheet 88 17  # the "词库" tab
shoot_settled library "$SHEET_SHOT"
library_shot=$SHEET_SHOT
windows=$(e2e_program_windows | cut -d' ' -f1)
click_in_sheet 300 55  # the dictionary box
list=$(e2e_new_program_window "$windows") || e2e_fail "the dictionary box did not drop down"
e2e_log "dictionary list dropped down: $list"
# The dropped list takes the keys only once it is drawn: a key that comes
# sooner reaches the sheet, where Return is OK.
list_pixels() {
    local x y w h
    read -r _ x y w h <<<"$list"
    import -window root -crop "${w}x${h}+${x}+${y}" -depth 8 rgb:- 2>/dev/null | md5sum
}
list_drawn() { e2e_same_as_before "$(list_pixels)"; }
E2E_BEFORE=
e2e_wait_for 10 "the dropped list drawn" list_drawn
drawn=$(list_pixels)
list_moved() { [ "$(list_pixels)" != "$drawn" ]; }
xdotool key s  # the first name starting with s, as typed
e2e_wait_for 10 "the list on the name typed" list_moved
xdotool key Return
shoot_word_window switched "$before"
after=$BOX
e2e_log "word window after the switch: $after"
shoot_sheet library-after
read -r _ _ widthBefore _ <<<"$before"
read -r _ _ widthAfter _ <<<"$after"
# "internationalisation" and its phonetic are far wider than "banana".
[ "$widthAfter" -gt $((widthBefore + 100)) ] || e2e_fail "word window $before -> $after: not the new list's first word"
click_ok
e2e_wait_for 20 "the sheet to close" sheet_closed

# --- 3. 关于...
tray_command 2
e2e_wait_for 20 "the options sheet on its about page" sheet_open
shoot_settled about
about_shot=$SHEET_SHOT
blue=$(pure_blue "$about_shot")
e2e_log "blue link pixels on the about page: $blue"
[ "$blue" -gt 50 ] || e2e_fail "no blue links on the about page in $about_shot"
click_cancel
e2e_wait_for 20 "the sheet to close" sheet_closed

# --- 4. 退出
e2e_quit
name=$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read()[156:284].decode("utf-16-le").split("\0")[0])' "$E2E_DIR/mivora.bin")
e2e_log "mivora.bin names dictionary: $name"
[ "$name" = second ] || e2e_fail "dictionaryName is $name, expected second"
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 4 3 internationalisation
e2e_log "guide screenshots: $library_shot $about_shot"
e2e_end
