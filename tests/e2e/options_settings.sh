#!/usr/bin/env bash
# The options sheet's settings page, as a person uses it:
#   1. the word window shows on its white background;
#   2. tray -> "选项" opens the sheet on "设置" (screenshot of the sheet alone:
#      <build>/e2e/screenshots/options_settings-NN-settings-page.png, the
#      picture in docs/options-settings.png);
#   3. "背景" opens the colour dialog; picking its yellow swatch and OK
#      paints the word window yellow at once;
#   4. a click on "背景透明" makes that background transparent at once, while
#      the word stays drawn;
#   5. OK closes the sheet and writes the change into mivora.bin at once,
#      not only at exit.
#   options_settings.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" options_settings
command -v convert >/dev/null 2>&1 || e2e_fail "missing tool: convert"
e2e_dictionary e2e 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉' 'cherry|ˈtʃeri|樱桃'
# Blue word on white, unsmoothed so the text pixels have their exact colour;
# nothing changes by itself.
e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=100 windowY=100 \
    wordColor=0xFF0000 backgroundColor=0xFFFFFF lfCharSet=1 lfQuality=3 dictionaryName=e2e

# colour_count <rgb hex> : pixels of that colour in the last screenshot,
# in the word window's neighbourhood (away from the tray and the sheet).
colour_count() {
    convert "$E2E_SHOT" -crop 500x60+90+90 +repage ppm:- 2>/dev/null | python3 -c '
import sys
data = sys.stdin.buffer.read()
_, w, h, _, pixels = data.split(maxsplit=4)
rgb = bytes.fromhex(sys.argv[1])
print(sum(1 for i in range(0, 3 * int(w) * int(h), 3) if pixels[i:i + 3] == rgb))
' "$1"
}

sheet_geometry() {
    local id
    id=$(xdotool search --onlyvisible --name '^Mivora$' 2>/dev/null | head -n 1)
    [ -n "$id" ] || return 1
    xdotool getwindowgeometry --shell "$id"
}
sheet_open() { sheet_geometry >/dev/null; }
# poll_for <seconds> <command...>: like e2e_wait_for, but only reports.
poll_for() {
    local seconds=$1 i
    shift
    for i in $(seq 1 $((seconds * 5))); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}
sheet_closed() { ! sheet_open; }

# --- 1. the word window on white
e2e_start
e2e_wait_ready
e2e_screenshot start
white=$(colour_count ffffff)
e2e_log "white pixels around the word window: $white"
[ "$white" -gt 500 ] || e2e_fail "no white word window at 100,100 in $E2E_SHOT"

# --- 2. tray -> 选项 (the third line of the menu, below 当前标题 and a separator)
opened=""
for attempt in 1 2 3; do
    menu=$(e2e_open_tray_menu) || { sleep 1; continue; }
    e2e_log "tray menu open: $menu"
    read -r _ mx my mw _ <<<"$menu"
    xdotool mousemove $((mx + mw / 2)) $((my + 36))
    sleep 0.3
    xdotool click 1
    if poll_for 10 sheet_open; then opened=1; break; fi
    xdotool key Escape
done
[ -n "$opened" ] || e2e_fail "选项 did not open the options sheet"
eval "$(sheet_geometry)"
e2e_log "sheet at $X,$Y size ${WIDTH}x$HEIGHT"
sleep 1  # let the page finish painting
e2e_screenshot sheet
page_shot=$E2E_SHOTS/$E2E_SCENARIO-$(printf '%02d' "$E2E_SHOT_INDEX")-settings-page.png
convert "$E2E_SHOT" -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage "$page_shot" || e2e_fail "cropping $E2E_SHOT"
e2e_log "settings page: $page_shot"

# --- 3. 背景 -> the colour dialog -> yellow (second row, second swatch) -> OK
before=$(e2e_program_windows | cut -d' ' -f1)
xdotool mousemove $((X + 80)) $((Y + 331))
sleep 0.3
xdotool click 1
dialog=$(e2e_new_program_window "$before") || e2e_fail "背景 opened no colour dialog"
read -r _ dx dy _ _ <<<"$dialog"
e2e_log "colour dialog: $dialog"
e2e_screenshot colour-dialog
xdotool mousemove $((dx + 42)) $((dy + 54)) click 1
sleep 0.3
xdotool mousemove $((dx + 43)) $((dy + 282)) click 1
yellow_now() {
    e2e_screenshot yellow
    [ "$(colour_count ffff00)" -gt 500 ] && [ "$(colour_count ffffff)" -eq 0 ]
}
e2e_wait_for 15 "the word window's background to turn yellow" yellow_now

# --- 4. 背景透明: its box sits 237,260 from the sheet's corner
xdotool mousemove $((X + 237)) $((Y + 260))
sleep 0.3
xdotool click 1
transparent_now() {
    e2e_screenshot transparent
    [ "$(colour_count ffff00)" -eq 0 ] && [ "$(colour_count 0000ff)" -gt 20 ]
}
e2e_wait_for 15 "the word window's background to turn transparent" transparent_now
e2e_log "background transparent, word still drawn ($(colour_count 0000ff) blue pixels)"

# --- 5. OK writes the settings file at once
xdotool mousemove $((X + WIDTH - 125)) $((Y + HEIGHT - 20))
sleep 0.3
xdotool click 1
e2e_wait_for 15 "the sheet to close" sheet_closed
saved_now() { [ "$(e2e_settings_int 8)" = 1 ] && [ "$(e2e_settings_int 52)" = $((0x00FFFF)) ]; }
e2e_wait_for 10 "transparentBackground 1 and a yellow background in mivora.bin" saved_now
e2e_log "mivora.bin: transparentBackground $(e2e_settings_int 8), backgroundColor $(e2e_settings_int 52)"

e2e_quit
e2e_end
