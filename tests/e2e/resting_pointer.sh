#!/usr/bin/env bash
# The pointer resting where the word window appears, with automatic
# switching off and then on (a second a word):
#   1. the start shows the list's second word all the same (the load's step
#      on is no tick that waits for the pointer);
#   2. "已记住" from the menu under the resting pointer moves on at once, and
#      the remembered word never comes back on the screen;
#   3. DAvud.bin holds one remembered word and the other three to learn.
#   resting_pointer.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" resting_pointer
# The second word alone makes the window wide; the others are narrow.
e2e_dictionary rest 'i||一' 'wwwwwwwwwwwwwwwwwwww|wɜː|一个很长很长很长很长很长很长的意思' 'ii||二' 'iii||三'

word_width() { read -r _ _ _ w _ <<<"$(e2e_word_window)"; echo "${w:-0}"; }
wide() { [ "$(word_width)" -gt 400 ]; }
narrow() { local w; w=$(word_width); [ "$w" -gt 0 ] && [ "$w" -lt 150 ]; }

for auto in 0 1; do
    e2e_log "--- automatic switching $auto"
    rm -f "$E2E_DIR/dic/DAvud.bin"
    e2e_settings_file autoSwitch=$auto switchSeconds=1 sampleBackground=0 windowX=300 windowY=200 \
        dictionaryName=rest
    # --- 1. the pointer is there before the window; it stirs once the
    # window is there, as a hand resting on the mouse does
    xdotool mousemove 306 206
    e2e_start
    e2e_wait_ready
    xdotool mousemove 307 207
    e2e_wait_for 30 "the list's second word" wide
    e2e_screenshot "second-word-$auto"
    # Held (or paused): it stays.
    for _ in $(seq 1 15); do
        sleep 0.2
        wide || e2e_fail "the second word left under the resting pointer"
    done

    # --- 2
    e2e_mark_remembered 307 207
    e2e_wait_for 10 "the next word after 已记住" narrow
    e2e_screenshot "after-mark-$auto"
    for _ in $(seq 1 15); do
        sleep 0.2
        wide && e2e_fail "the remembered word is on the screen again"
    done

    # --- 3
    e2e_quit
    e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 1 3 i
done
e2e_end
