#!/usr/bin/env bash
# The word stays out of the way, with a one-second switch:
#   1. with the pointer elsewhere the word changes by itself;
#   2. with the pointer resting on the word window the word stays for
#      several seconds, then changes again once the pointer has left;
#   3. a full-screen window of another program in front hides the word
#      window; when that program ends the window comes back with the same
#      word, and switching goes on;
#   4. after "退出" the settings file still has switching on: a held word
#      was never a paused one.
#   hold.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" hold
e2e_dictionary e2e 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉' 'cherry|ˈtʃeri|樱桃' 'damson|ˈdæmzn|西洋李子' \
    'elderberry|ˈeldəberi|接骨木果'
e2e_settings_file autoSwitch=1 switchSeconds=1 sampleBackground=0 windowX=300 windowY=200 \
    backgroundColor=0xFFFFFF lfCharSet=1 lfQuality=3 dictionaryName=e2e
FILM=$E2E_BUILD/tests/ui/fullscreen_window.exe
[ -f "$FILM" ] || e2e_fail "not built: $FILM"

# The screen where the word window is (wider than its longest word here);
# the pixels' digest tells one word from another.
word_pixels() {
    import -window root -crop 700x40+300+200 -depth 8 rgb:- 2>/dev/null | md5sum | cut -d' ' -f1
}
word_differs_from() { [ "$(word_pixels)" != "$1" ]; }
no_program_window() { ! e2e_has_program_window; }

# stable_for <seconds> <deadline>: waits until the word has not changed for
# that long; fails when it keeps changing until the deadline.
stable_for() {
    local want=$1 deadline=$((SECONDS + $2)) ref since now
    ref=$(word_pixels)
    since=$EPOCHREALTIME
    while [ "$SECONDS" -lt "$deadline" ]; do
        sleep 0.2
        now=$(word_pixels)
        if [ "$now" != "$ref" ]; then
            ref=$now
            since=$EPOCHREALTIME
            e2e_log "the word changed"
        elif python3 -c "import sys; sys.exit(0 if $EPOCHREALTIME - $since >= $want else 1)"; then
            STABLE=$ref
            return 0
        fi
    done
    return 1
}

e2e_start
e2e_wait_ready
xdotool mousemove 1200 700

# --- 1. switching runs
first=$(word_pixels)
e2e_wait_for 20 "an automatic switch" word_differs_from "$first"
e2e_screenshot switching

# --- 2. the pointer on the word holds it. A switch already under way when
# the pointer arrives may still land; after that nothing may change.
xdotool mousemove 305 205
sleep 0.2
xdotool mousemove 306 206
stable_for 5 20 || e2e_fail "the word kept changing under the pointer"
held=$STABLE
e2e_screenshot held
e2e_log "the word stayed for 5 s under the pointer"
xdotool mousemove 1200 700
e2e_wait_for 10 "a switch after the pointer left" word_differs_from "$held"
e2e_screenshot released

# --- 3. a full-screen program in front. The word is held first, so that
# the word the window had when the program came is known.
xdotool mousemove 305 205
sleep 0.2
xdotool mousemove 306 206
stable_for 2 20 || e2e_fail "the word kept changing under the pointer"
before=$STABLE
(cd "$(dirname "$FILM")" && exec "$(e2e_wine_binary)" "$FILM") </dev/null >"$E2E_DIR/film.log" 2>&1 9>&- &
film=$!
e2e_wait_for 30 "the word window to step aside" no_program_window
e2e_screenshot film
e2e_log "the word window stepped aside"
kill "$film" 2>/dev/null
wait "$film" 2>/dev/null
e2e_wait_for 30 "the word window to come back" e2e_has_program_window
back=$(word_pixels)
e2e_screenshot back
[ "$back" = "$before" ] || e2e_fail "the word window came back with another word (see $E2E_SHOT)"
e2e_log "the word window came back with the same word"
# It came back under the resting pointer, which holds it again.
stable_for 3 10 && [ "$STABLE" = "$before" ] || e2e_fail "the word back under the pointer was not held"
xdotool mousemove 1200 700
e2e_wait_for 10 "switching after the program ended" word_differs_from "$back"

# --- 4. held is not paused
e2e_quit
[ "$(e2e_settings_int 4)" = 1 ] || e2e_fail "mivora.bin: autoSwitch $(e2e_settings_int 4), expected 1"
e2e_end
