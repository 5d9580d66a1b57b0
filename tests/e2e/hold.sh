#!/usr/bin/env bash
# The word stays out of the way, with a one-second switch:
#   1. with the pointer resting on the word window the word stays for five
#      seconds; moved away, the word changes again;
#   2. a full-screen window of another program hides the word window, which
#      comes back with the same word when that program ends;
#   3. mivora.bin still has switching on: a held word is not a paused one.
#   hold.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" hold
e2e_dictionary e2e 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉' 'cherry|ˈtʃeri|樱桃' 'damson|ˈdæmzn|西洋李子'
e2e_settings_file autoSwitch=1 switchSeconds=1 sampleBackground=0 windowX=300 windowY=200 lfQuality=3 \
    dictionaryName=e2e
film_exe=$E2E_BUILD/tests/ui/fullscreen_window.exe
[ -f "$film_exe" ] || e2e_fail "not built: $film_exe"

# A digest of the screen where the word window is, wider than any word here.
word_pixels() { import -window root -crop 700x40+300+200 -depth 8 rgb:- 2>/dev/null | md5sum; }
word_differs_from() { [ "$(word_pixels)" != "$1" ]; }
word_is() { [ "$(word_pixels)" = "$1" ]; }
no_program_window() { ! e2e_has_program_window; }

# rest_on_word <seconds>: the pointer onto the word, then waits (at most 20 s)
# until the word has not changed for that long; leaves it in STABLE. A switch
# under way as the pointer arrives may still land.
rest_on_word() {
    local deadline=$((SECONDS + 20)) since=$SECONDS now
    xdotool mousemove 305 205 && sleep 0.2 && xdotool mousemove 306 206
    STABLE=$(word_pixels)
    while [ $((SECONDS - since)) -lt "$1" ]; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "the word kept changing under the pointer"
        sleep 0.2
        now=$(word_pixels)
        [ "$now" = "$STABLE" ] || { STABLE=$now; since=$SECONDS; e2e_log "the word changed"; }
    done
}

e2e_start
e2e_wait_ready
xdotool mousemove 1200 700
first=$(word_pixels)
e2e_wait_for 20 "an automatic switch" word_differs_from "$first"

# --- 1
rest_on_word 5
e2e_screenshot held
xdotool mousemove 1200 700
e2e_wait_for 10 "a switch after the pointer left" word_differs_from "$STABLE"

# --- 2: the word held first, so that the word the film covers is known
rest_on_word 2
held=$STABLE
(cd "$(dirname "$film_exe")" && exec "$(e2e_wine_binary)" "$film_exe") </dev/null >/dev/null 2>&1 9>&- &
film=$!
e2e_wait_for 30 "the word window to step aside" no_program_window
e2e_screenshot film
kill "$film"
wait "$film" 2>/dev/null
e2e_wait_for 30 "the word window to come back" e2e_has_program_window
# Back under the resting pointer, it shows the same word and holds it.
e2e_wait_for 10 "the same word back" word_is "$held"
for _ in $(seq 1 10); do
    sleep 0.2
    word_is "$held" || e2e_fail "the word came back but switched under the resting pointer"
done

# --- 3
e2e_quit
[ "$(e2e_settings_int 4)" = 1 ] || e2e_fail "mivora.bin: autoSwitch $(e2e_settings_int 4), expected 1"
e2e_end
