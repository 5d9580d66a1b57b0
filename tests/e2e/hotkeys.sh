#!/usr/bin/env bash
# Hotkeys from another program, as a person uses them:
#   1. with Next set in mivora.ini and another program's window holding the
#      keyboard, its combination shows the next word (and that program never
#      sees the key); Remembered (its default) marks the word shown;
#   2. a combination another program holds (Pause) and a garbled value
#      (Previous) leave the others working; Options opens the sheet, whose
#      热键 page tells both beside their fields;
#   3. with a full-screen program in front the word window steps aside and
#      the combination reaches that program; the word comes back unchanged;
#   4. after the exit the marked word is in the remembered list.
# A hotkey reaches a Wine program only while one of Wine's windows has the
# X keyboard focus: the other program's window is given it with xdotool.
#   hotkeys.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" hotkeys
e2e_dictionary e2e 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉' 'cherry|ˈtʃeri|樱桃' 'damson|ˈdæmzn|西洋李子'
e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=300 windowY=200 lfQuality=3 dictionaryName=e2e
# Pause is held by the other program, Previous cannot be read.
printf '[Hotkeys]\r\nNext = ctrl + alt + n\r\nPrevious=Ctrl+Alt+Wat\r\nPause=Ctrl+Alt+J\r\nOptions=Ctrl+Alt+O\r\n' \
    >"$E2E_DIR/mivora.ini"

word_pixels() { import -window root -crop 700x40+300+200 -depth 8 rgb:- 2>/dev/null | md5sum; }
word_differs_from() { [ "$(word_pixels)" != "$1" ]; }
word_is() { [ "$(word_pixels)" = "$1" ]; }
no_program_window() { ! e2e_has_program_window; }
has_line() { tr -d '\r' <"$E2E_DIR/$1" 2>/dev/null | grep -qx "$2"; }
sheet_text() { (cd "$E2E_DIR" && "$(e2e_wine_binary)" "$(desk_exe)" text "$1" </dev/null 2>/dev/null 9>&- | tr -d '\r'); }

# --- 1. The other program first, holding Ctrl+Alt+J (MOD_CONTROL | MOD_ALT).
start_desk desk.log hold 3 0x4A
has_line desk.log holds || e2e_fail "the other program could not hold Ctrl+Alt+J: $(cat "$E2E_DIR/desk.log")"
e2e_start
e2e_wait_ready
xdotool mousemove 1200 700
focus_desk desk.log
first=$(word_pixels)
xdotool key ctrl+alt+n
e2e_wait_for 10 "Ctrl+Alt+N to show the next word" word_differs_from "$first"
e2e_screenshot next
second=$(word_pixels)
xdotool key ctrl+alt+m
e2e_wait_for 10 "Ctrl+Alt+M to mark the word and step on" word_differs_from "$second"
# A key the program takes never reaches the program in front.
if grep -q '^7[78] ' "$E2E_DIR/desk.log"; then
    e2e_fail "the other program received a hotkey: $(cat "$E2E_DIR/desk.log")"
fi

# --- 2. Options from the keyboard; the hotkey page tells what it knows.
xdotool key ctrl+alt+o
e2e_wait_for 20 "Ctrl+Alt+O to open the options" sheet_open
xdotool windowfocus --sync "$(sheet_window)" || e2e_fail "could not give the sheet the keyboard"
# The fifth tab (each page is made when first shown).
hotkey_page_shown() { sheet_text 1054 >/dev/null; }
click_in_sheet 250 17
e2e_wait_for 20 "the hotkey page" hotkey_page_shown
pause_status() { [ "$(sheet_text 1054)" = "已被其他程序占用" ]; }
e2e_wait_for 20 "the page to tell that Pause is held" pause_status
previous=$(sheet_text 1052)
[ "$previous" = "无法识别：Ctrl+Alt+Wat" ] || e2e_fail "beside Previous: '$previous'"
[ -z "$(sheet_text 1051)" ] || e2e_fail "beside Next: '$(sheet_text 1051)'"
shoot_settled hotkeys-page
hotkeys_shot=$SHEET_SHOT
xdotool key Escape
e2e_wait_for 20 "Escape to close the sheet" sheet_closed

# --- 3. After the exit the marked word is in the remembered list, and the
# unreadable value is in mivora.ini as it stood.
e2e_quit
stop_desk desk.log
words=$(e2e_files progress-words "$E2E_DIR/dic/DAvud.bin")
e2e_log "progress: $words"
# The start shows the list's second word; Ctrl+Alt+N showed the third.
[ "${words%% |*}" = cherry ] || e2e_fail "remembered: '${words%% |*}', expected cherry"
grep -q 'Previous *= *Ctrl+Alt+Wat' "$E2E_DIR/mivora.ini" || e2e_fail "the unreadable value was not kept: $(cat "$E2E_DIR/mivora.ini")"

# --- 4. A full-screen program gets the key. The word window looks for one
# at each tick of its switch timer (Wine sends no notice of full-screen
# programs), so it switches every second here, and the pointer resting on
# it holds the word meanwhile.
e2e_settings_file autoSwitch=1 switchSeconds=1 sampleBackground=0 windowX=300 windowY=200 lfQuality=3 \
    dictionaryName=e2e
e2e_start
e2e_wait_ready
xdotool mousemove 305 205 && sleep 0.2 && xdotool mousemove 306 206
word_stays() {
    local now
    now=$(word_pixels)
    sleep 2
    [ "$(word_pixels)" = "$now" ]
}
e2e_wait_for 20 "the word held under the pointer" word_stays
before=$(word_pixels)
start_desk desk.log
start_desk film.log fullscreen
e2e_wait_for 30 "the word window to step aside" no_program_window
focus_desk film.log
xdotool key ctrl+alt+n
e2e_wait_for 10 "Ctrl+Alt+N to reach the full-screen program" has_line film.log "78 3"
e2e_screenshot film
stop_desk film.log
e2e_wait_for 30 "the word window to come back" e2e_has_program_window
e2e_wait_for 10 "the same word back" word_is "$before"
# ... and the hotkey is back.
focus_desk desk.log
xdotool key ctrl+alt+n
e2e_wait_for 10 "Ctrl+Alt+N once the word window is back" word_differs_from "$before"

e2e_quit
stop_desk desk.log
# The page as the guide shows it (docs/options-hotkeys.png).
if [ "${MIVORA_UPDATE_DOCS:-0}" = 1 ]; then
    cp "$hotkeys_shot" "$E2E_SOURCE/docs/options-hotkeys.png"
    e2e_log "copied $hotkeys_shot into docs/"
fi
e2e_end
