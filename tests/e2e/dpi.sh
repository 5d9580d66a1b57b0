#!/usr/bin/env bash
# The program at 96, 120, 144 and 192 DPI with one and the same mivora.bin
# (Wine shows every program the DPI of its settings and stretches nothing):
#   1. at each DPI the word window's text and the window itself are the
#      size of 96 DPI times the scale, within rounding, wholly on the screen;
#   2. after each run the font in mivora.bin has the very bytes it had;
#   3. at 144 DPI the font dialog, opened and closed with the same font,
#      stores the same bytes, and the word window and the three pages are
#      kept as the guide's pictures dpi-144-*.png (MIVORA_UPDATE_DOCS=1
#      copies them into docs/);
#   4. at 192 DPI the sheet fits on the screen and every page is drawn
#      whole: the swatches, the list's columns, the links and the QR code.
# The DPI is set in a prefix of the scenario's own, on a screen as large as
# a scale of 200 % comes with.
#   dpi.sh <build dir>
E2E_PREFIX_NAME=wine-prefix-dpi
# A screen of 2560 x 1600: at 200 % what 1280 x 800 is at 100 %.
export MIVORA_XVFB_SCREEN=2560x1600x24
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" dpi
command -v convert >/dev/null 2>&1 || e2e_fail "missing tool: convert"
guide=$E2E_SHOTS/dpi-guide
rm -rf "$guide"
mkdir -p "$guide"
e2e_dictionary e2e 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉' 'cherry|ˈtʃeri|樱桃'
e2e_files progress-write "$E2E_DIR/dic/DAvud.bin" "ability abroad absence" "banana cherry"
# Word red, phonetic blue, meaning green on white, unsmoothed: every text
# pixel has its exact colour. A 16-pixel font (12 pt at 100 %).
e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=300 windowY=200 windowWidth=0 windowHeight=0 \
    wordColor=0x0000FF phoneticColor=0xFF0000 contentColor=0x008000 backgroundColor=0xFFFFFF \
    lfHeight=-16 lfCharSet=1 lfQuality=3 dictionaryName=e2e
cp "$E2E_DIR/mivora.bin" "$E2E_DIR/mivora.bin.first"

# font_bytes <file>: the font record of mivora.bin (bytes 64 to 155) in hex.
font_bytes() { od -An -tx1 -j64 -N92 -v "$1" | tr -d ' \n'; }
first_font=$(font_bytes "$E2E_DIR/mivora.bin.first")

# set_dpi <dpi>: the prefix's LogPixels, taken up by a new wineserver.
set_dpi() {
    e2e_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1 9>&- ||
        e2e_fail "could not set LogPixels to $1"
    wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
    mivora_wine_ready 9>&- || e2e_fail "the prefix did not come back at $1 DPI"
}

# measure: "left top width height textHeight" of the white word window
# (away from Wine's tray window at the top left) and of the red word in it.
measure() {
    convert "$E2E_SHOT" ppm:- 2>/dev/null | python3 -c '
import sys
data = sys.stdin.buffer.read()
_, w, h, _, pixels = data.split(maxsplit=4)
w, h = int(w), int(h)
xs, ys, red = [], [], []
for y in range(100, min(h, 800)):
    row = pixels[3 * w * y: 3 * w * (y + 1)]
    for x in range(200, min(w, 1280)):
        p = row[3 * x: 3 * x + 3]
        if p == b"\xff\xff\xff":
            xs.append(x); ys.append(y)
        elif p == b"\xff\x00\x00":
            red.append(y)
if xs and red:
    print(min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1, max(red) - min(red) + 1)
'
}

# shoot_word <name>: screenshots until the word window shows the word in
# red at the same box twice running; leaves "box textHeight" in WORD.
shoot_word() {
    E2E_BEFORE=
    e2e_shoot_until "$1" "no settled word window" word_settled
}
word_settled() {
    WORD=$(measure)
    e2e_same_as_before "$WORD"
}

# new_window <ids before>: a visible window of the program's that was not
# there before.
new_window() { [ -n "$(e2e_program_windows | cut -d' ' -f1 | grep -vxF -f <(tr ' ' '\n' <<<"$1"))" ]; }

click_at() {
    xdotool mousemove "$1" "$2"
    sleep 0.2
    xdotool click 1
}

dialog_closed() { ! e2e_program_windows | cut -d' ' -f1 | grep -qxF "$1"; }

# within <actual> <expected> <slack>: |actual - expected| <= slack.
within() { [ $(($1 > $2 ? $1 - $2 : $2 - $1)) -le "$3" ]; }

# open_sheet_pages <dpi>: tray -> 选项, the settings, library and about pages
# by Ctrl+Tab; each page's picture in PAGE_<n>. At 144 the font dialog is
# opened from the settings page and closed with the font it offered.
open_sheet_pages() {
    local dpi=$1 X Y WIDTH HEIGHT before dialog
    tray_command 3
    e2e_wait_for 20 "the options sheet" sheet_open
    shoot_settled "settings-$dpi"
    eval "$(xdotool getwindowgeometry --shell "$(sheet_window)")"
    e2e_log "sheet at $dpi DPI: $WIDTH x $HEIGHT at $X,$Y"
    [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 2560 ] && [ $((Y + HEIGHT)) -le 1600 ] ||
        e2e_fail "the sheet does not fit on the screen at $dpi DPI"
    PAGE_settings=$SHEET_SHOT
    if [ "$dpi" = 144 ]; then
        # 字体..., at (132, 264) of the sheet at 96 DPI, grown with the scale.
        before=$(e2e_program_windows | cut -d' ' -f1)
        xdotool mousemove $((X + 132 * dpi / 96)) $((Y + 264 * dpi / 96))
        sleep 0.2
        xdotool click 1
        # The dialog lists every font first, which takes Wine a while.
        e2e_wait_for 30 "the font dialog" new_window "$before"
        dialog=$(e2e_program_windows | grep -vwF "$before" | head -n 1)
        e2e_log "font dialog: $dialog"
        e2e_screenshot font-dialog
        xdotool key Return
        e2e_wait_for 20 "the font dialog to close" dialog_closed "${dialog%% *}"
    fi
    # The tabs' middles, where they are at 144 and 192 DPI alike (the
    # tabs' labels are as wide at both): 词库 the second, then 热键 the
    # fifth, past 统计 and 朗读, and the keyboard on to 关于 (the tabs keep
    # the focus after a click).
    click_at $((X + 92)) $((Y + 23 * dpi / 144))
    shoot_settled "library-$dpi" "$SHEET_SHOT"
    PAGE_library=$SHEET_SHOT
    click_at $((X + 254)) $((Y + 23 * dpi / 144))
    xdotool key Right
    shoot_settled "about-$dpi" "$SHEET_SHOT"
    PAGE_about=$SHEET_SHOT
    # OK, left of Cancel at the bottom right; the buttons grow with the DPI.
    xdotool mousemove $((X + WIDTH - 125 * dpi / 96)) $((Y + HEIGHT - 19 * dpi / 96))
    sleep 0.2
    xdotool click 1
    e2e_wait_for 20 "the sheet to close" sheet_closed
}

# page_checks <dpi>: what must be on the pages whole at this scale.
page_checks() {
    python3 - "$1" "$PAGE_settings" "$PAGE_library" "$PAGE_about" <<'PY' || e2e_fail "pages at $1 DPI"
import subprocess, sys
dpi = int(sys.argv[1])
def load(path):
    data = subprocess.run(["convert", path, "ppm:-"], capture_output=True, check=True).stdout
    _, w, h, _, pixels = data.split(maxsplit=4)
    return int(w), int(h), pixels
def count(image, rgb):
    w, h, pixels = image
    return sum(1 for i in range(0, 3 * w * h, 3) if pixels[i:i + 3] == rgb)
settings, library, about = (load(p) for p in sys.argv[2:5])
scale = dpi / 96
# The four swatches: red, blue, green and the white background, each a
# block that grows with the page (at 96 DPI about 36 x 11 pixels).
for name, rgb in (("word", b"\xff\x00\x00"), ("phonetic", b"\x00\x00\xff"), ("content", b"\x00\x80\x00")):
    n = count(settings, rgb)
    print(name, "swatch pixels", n)
    assert n >= 250 * scale * scale, name + " swatch too small"
# The about page: blue link text in a font of the page's size, and the QR
# code's black modules grown with the page.
blue = count(about, b"\x00\x00\xff")
black = count(about, b"\x00\x00\x00")
print("link pixels", blue, "black pixels", black)
assert blue >= 50 * scale, "links"
# The QR code alone has 10,625 black pixels at 96 DPI.
assert black >= 10625 * scale * scale * 0.95, "QR code not grown with the page"
PY
}

declare -A word
for dpi in 96 120 144 192; do
    set_dpi "$dpi"
    cp "$E2E_DIR/mivora.bin.first" "$E2E_DIR/mivora.bin"
    e2e_start
    e2e_wait_ready
    shoot_word "word-$dpi"
    word[$dpi]=$WORD
    e2e_log "at $dpi DPI: word window and text height $WORD"
    read -r left top width height text <<<"$WORD"
    [ $((left + width)) -le 1280 ] && [ $((top + height)) -le 800 ] || e2e_fail "not whole at its corner at $dpi DPI"
    if [ "$dpi" != 96 ]; then
        read -r _ _ width96 height96 text96 <<<"${word[96]}"
        # Within rounding: each glyph's advance and height round on their own.
        within "$text" $((text96 * dpi / 96)) $((2 + text96 * dpi / 96 / 10)) ||
            e2e_fail "text $text pixels high at $dpi DPI, $text96 at 96"
        within "$height" $((height96 * dpi / 96)) $((2 + height96 * dpi / 96 / 10)) ||
            e2e_fail "window $height pixels high at $dpi DPI, $height96 at 96"
        within "$width" $((width96 * dpi / 96)) $((4 + width96 * dpi / 96 / 10)) ||
            e2e_fail "window $width pixels wide at $dpi DPI, $width96 at 96"
    fi
    if [ "$dpi" = 144 ]; then
        convert "$E2E_SHOT" -crop "$((width + 40))x$((height + 40))+$((left - 20))+$((top - 20))" +repage \
            "$guide/dpi-144-word.png" || e2e_fail "cropping the word window"
    fi
    if [ "$dpi" = 144 ] || [ "$dpi" = 192 ]; then
        open_sheet_pages "$dpi"
        page_checks "$dpi"
        if [ "$dpi" = 144 ]; then
            cp "$PAGE_settings" "$guide/dpi-144-settings.png"
            cp "$PAGE_library" "$guide/dpi-144-library.png"
            cp "$PAGE_about" "$guide/dpi-144-about.png"
        fi
    fi
    e2e_quit
    e2e_has_size "$E2E_DIR/mivora.bin" 284 || e2e_fail "mivora.bin is $(e2e_file_size "$E2E_DIR/mivora.bin") bytes"
    # The font dialog fills in the fields it owns (character set, quality,
    # precision and pitch) at any scale; its height must come back as it
    # was. A run without the dialog leaves every byte.
    if [ "$dpi" = 144 ]; then
        [ "$(e2e_settings_int lfHeight)" = -16 ] ||
            e2e_fail "the font dialog stored height $(e2e_settings_int lfHeight) at $dpi DPI, not -16"
    else
        [ "$(font_bytes "$E2E_DIR/mivora.bin")" = "$first_font" ] ||
            e2e_fail "the font in mivora.bin changed at $dpi DPI: $(font_bytes "$E2E_DIR/mivora.bin")"
    fi
done

# Back to 96 DPI, so the prefix starts the next run as every other does.
set_dpi 96
if [ "${MIVORA_UPDATE_DOCS:-0}" = 1 ]; then
    cp "$guide"/dpi-144-*.png "$E2E_SOURCE/docs/"
    e2e_log "copied $(ls "$guide" | tr '\n' ' ')into docs/"
fi
e2e_end
