#!/usr/bin/env bash
# A word under review asks for the meaning before it shows it:
#   1. RevealSeconds=60, a step every 3 s: the longest overdue word shows
#      without its meaning and the round waits on it; 显示释义's hotkey shows
#      the meaning, and the round moves on to the next due word, hidden
#      again; the pointer resting on it shows its meaning; 忘了's hotkey on
#      the third, its meaning still hidden, writes an again line flagged
#      before-meaning. Showing a meaning writes nothing.
#   2. Started again with RevealSeconds=8: the meaning shows by itself.
#   3. RecallFirst=off: the meaning is there from the first sight.
# Which word shows is told by the window's width (each due word's meaning
# has its own length); whether its meaning shows by the ink in the window's
# right half, where only the meaning stands.
#   recall_first.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" recall_first
progress=$E2E_DIR/dic/DAvud.bin
log=$E2E_DIR/dic/mivora-review.txt
day() { date -u -d "$1" +%F; }

due=('ox||一种很长很长的意思甲乙' 'ax||一种很长很长很长的意思甲乙丙丁' 'ex||一种很长很长很长很长很长的意思甲')
e2e_dictionary recall "${due[@]}" 'l0||一' 'l1||二' 'l2||三'
python3 -c "import sys; sys.path.insert(0, sys.argv[1]); import mivora_files as m; \
open(sys.argv[2], 'wb').write(m.progress_bytes([tuple(l.split('|')) for l in reversed(sys.argv[3:])], \
['l0', 'l1', 'l2'], 20260101, 20260101))" "$E2E_SOURCE/tests/e2e" "$progress" "${due[@]}"
printf '%s\n' "$(day '10 days ago')T09:00:00Z	good	ox	$(day '8 days ago')" \
    "$(day '9 days ago')T09:00:00Z	good	ax	$(day '7 days ago')" \
    "$(day '8 days ago')T09:00:00Z	good	ex	$(day '6 days ago')" >"$log"
answers_written_ahead=3

# ink_rows: how many pixel rows of the word window's right half hold
# anything but its background. The meaning's glyphs fill most of them, the
# dotted placeholder two or three.
ink_rows() {
    local x y w h
    read -r _ x y w h <<<"$(e2e_word_window)"
    [ -n "$h" ] || { echo -1; return; }
    import -window root -crop "$((w / 2 - 4))x$((h - 6))+$((x + w / 2))+$((y + 3))" -depth 8 ppm:- 2>/dev/null |
        python3 -c '
import collections, sys
data = sys.stdin.buffer.read()
fields, at = [], 0
while len(fields) < 4:
    while data[at:at + 1].isspace():
        at += 1
    end = at
    while not data[end:end + 1].isspace():
        end += 1
    fields.append(data[at:end])
    at = end
at += 1
width, height = int(fields[1]), int(fields[2])
pixels = data[at:at + width * height * 3]
colours = [pixels[i:i + 3] for i in range(0, len(pixels), 3)]
background = collections.Counter(colours).most_common(1)[0][0]
far = lambda c: sum(abs(a - b) for a, b in zip(c, background)) > 60
print(sum(any(far(c) for c in colours[r * width:(r + 1) * width]) for r in range(height)))'
}
width() { read -r _ _ _ w _ <<<"$(e2e_word_window)"; echo "${w:-0}"; }
hidden() { local rows; rows=$(ink_rows); [ "$rows" -ge 0 ] && [ "$rows" -le 4 ]; }
shown() { [ "$(ink_rows)" -ge 8 ]; }
# settled: the word window holds still for two looks (the load and a step
# are drawn); its width is left in WIDTH_NOW.
settled() {
    WIDTH_NOW=$(width)
    e2e_same_as_before "$WIDTH_NOW:$(import -window root -crop 600x60+300+200 -depth 8 rgb:- 2>/dev/null | md5sum)"
}
settle() { E2E_BEFORE=; e2e_shoot_until "$1" "the word window to settle on $1" settled; }
moved_from() { [ "$(width)" -gt 0 ] && [ "$(width)" != "$1" ]; }
rest_pointer() {
    local x y
    read -r _ x y _ <<<"$(e2e_word_window)"
    xdotool mousemove $((x + 8)) $((y + 8))
    sleep 0.2
    xdotool mousemove $((x + 10)) $((y + 10))
}
hotkey() { focus_desk keys.log; xdotool key "$1"; }
answer_lines() { grep -cE '	(good|again|easy)	' "$log"; }

# --- 1
printf '[Review]\r\nRevealSeconds=60\r\n' >"$E2E_DIR/mivora.ini"
e2e_settings_file autoSwitch=1 switchSeconds=3 sampleBackground=0 windowX=300 windowY=200 dictionaryName=recall
xdotool mousemove 5 5
start_desk keys.log
e2e_start
e2e_wait_ready
settle first-due
first=$WIDTH_NOW
hidden || e2e_fail "the first due word shows its meaning at once ($(ink_rows) rows of ink; $E2E_SHOT)"
# Three steps' time: the round waits for the meaning.
for _ in $(seq 1 12); do
    sleep 0.75
    [ "$(width)" = "$first" ] || e2e_fail "the round moved on before the meaning showed"
    hidden || e2e_fail "the meaning showed by itself long before RevealSeconds"
done
hotkey ctrl+alt+k
e2e_wait_for 10 "显示释义's hotkey to show the meaning" shown
[ "$(width)" = "$first" ] || e2e_fail "the meaning shown was another word's"
e2e_screenshot meaning-shown
e2e_wait_for 20 "the round to move on once the meaning had shown" moved_from "$first"
settle second-due
second=$WIDTH_NOW
hidden || e2e_fail "the second due word shows its meaning at once ($E2E_SHOT)"
rest_pointer
e2e_wait_for 10 "the resting pointer to show the meaning" shown
e2e_screenshot pointer-shown
[ "$(width)" = "$second" ] || e2e_fail "the meaning shown under the pointer was another word's"
xdotool mousemove 5 5
e2e_wait_for 20 "the round to move on from the second due word" moved_from "$second"
settle third-due
[ "$WIDTH_NOW" != "$first" ] || e2e_fail "the first due word came back before the third"
hidden || e2e_fail "the third due word shows its meaning at once ($E2E_SHOT)"
hotkey ctrl+alt+n
e2e_wait_for 10 "the again line of 忘了" grep -qE "	again	ex	[0-9-]+	before-meaning\$" "$log"
[ "$(answer_lines)" -eq $((answers_written_ahead + 1)) ] || e2e_fail "answers written: $(cat "$log")"
e2e_quit
stop_desk keys.log

# --- 2
printf '[Review]\r\nRevealSeconds=8\r\n' >"$E2E_DIR/mivora.ini"
e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=300 windowY=200 dictionaryName=recall
e2e_start
e2e_wait_ready
settle restarted
hidden || e2e_fail "after the restart the due word shows its meaning at once ($E2E_SHOT)"
e2e_wait_for 30 "the meaning to show by itself after RevealSeconds" shown
e2e_screenshot shown-by-itself
e2e_quit

# --- 3
printf '[Review]\r\nRecallFirst=off\r\nRevealSeconds=60\r\n' >"$E2E_DIR/mivora.ini"
e2e_start
e2e_wait_ready
settle recall-first-off
shown || e2e_fail "with RecallFirst=off the meaning is hidden ($(ink_rows) rows of ink; $E2E_SHOT)"
e2e_quit
[ "$(answer_lines)" -eq $((answers_written_ahead + 1)) ] || e2e_fail "answers written: $(cat "$log")"
e2e_end
