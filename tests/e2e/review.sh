#!/usr/bin/env bash
# Remembered words coming back, with a review log written ahead:
#   - word0000, remembered ten days ago, and word0001, nine days ago, are
#     due: they come back at the front of the round, the oldest first;
#     word0002, remembered yesterday, is not;
#   - 已记住 on word0000 appends a good line whose due date is the one the
#     published FSRS-6 formulas give (worked out here, independently);
#   - 忘了, offered for the word under review only, on word0001 appends an
#     again line, and the word leaves the remembered list (the count drops);
#   - a line the program cannot read is kept.
#   review.sh <build dir> <unused>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" review
progress=$E2E_DIR/dic/DAvud.bin
log=$E2E_DIR/dic/mivora-review.txt
day() { date -u -d "$1" +%F; }
today=$(day today)

e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=300 windowY=200 dictionaryName=e2e
e2e_small_dictionary e2e 10
python3 -c "import sys; sys.path.insert(0, sys.argv[1]); import mivora_files as m; \
open(sys.argv[2], 'wb').write(m.progress_bytes(['word0002', 'word0001', 'word0000'], \
[f'word{i:04d}' for i in range(3, 10)], 20260101, 20260101))" "$E2E_SOURCE/tests/e2e" "$progress"
printf '%s\n' "# written ahead" \
    "$(day '10 days ago')T09:00:00Z	good	word0000	$(day '8 days ago')" \
    "this line is no answer" \
    "$(day '9 days ago')T09:00:00Z	good	word0001	$(day '7 days ago')" \
    "$(day '1 day ago')T09:00:00Z	good	word0002	$(day '1 day')" >"$log"
garbled="this line is no answer"

# Good ten days after a first Good, by the published formulas at
# retention 0.9 (where an interval is the stability rounded).
expected_due=$(python3 - "$today" <<'PY'
import datetime, math, sys
w = [0.212, 1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194, 0.001, 1.8722, 0.1666, 0.796,
     1.4835, 0.0614, 0.2629, 1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542]
s, d = w[2], w[4] - math.exp(w[5] * 2) + 1
factor = 0.9 ** (1 / -w[20]) - 1
r = (1 + factor * 10 / s) ** -w[20]
grow = lambda penalty: s * (1 + math.exp(w[8]) * (11 - d) * s ** -w[9] * (math.exp(w[10] * (1 - r)) - 1) * penalty)
good = max(round(grow(1)), min(round(grow(w[15])), round(grow(1))) + 1)
print(datetime.date.fromisoformat(sys.argv[1]) + datetime.timedelta(days=good))
PY
)

word_window() { e2e_word_window; }
# menu_item <downs>: the item that many Down presses reach in the word's
# menu (separators are passed over).
menu_item() {
    local x y menu downs=()
    read -r _ x y _ <<<"$(word_window)"
    menu=$(e2e_open_menu_at $((x + 5)) $((y + 5))) || e2e_fail "no context menu on the word window"
    for ((i = 0; i < $1; ++i)); do downs+=(Down); done
    xdotool key "${downs[@]}" Return
    e2e_wait_for 10 "the menu to close" e2e_window_gone "${menu%% *}"
}
lines() { grep -c . "$log"; }

e2e_start
e2e_wait_ready
e2e_wait_for 30 "the word window" e2e_has_program_window
e2e_screenshot review-word-shown

# The first word shown is the longest overdue one: 已记住 answers it (its
# meaning may still be hidden: the line then says so in a fifth field).
menu_item 1
e2e_wait_for 10 "the good line" grep -qE "	good	word0000	$expected_due(	before-meaning)?\$" "$log"
[ "$(tail -n 1 "$log" | cut -f2-4)" = "good	word0000	$expected_due" ] || e2e_fail "last line: $(tail -n 1 "$log")"

# Next comes word0001, under review too: its menu offers 忘了 second.
menu_item 2
e2e_wait_for 10 "the again line" grep -q "	again	word0001	" "$log"
grep -qx "$garbled" "$log" || e2e_fail "the unreadable line is gone"
# 忘了 sends the word back to learning: the history keeps that too, so that
# the other PC follows it.
grep -qE "	forget	word0001\$" "$log" || e2e_fail "no forget line: $(cat "$log")"
[ "$(lines)" -eq 8 ] || e2e_fail "the log has $(lines) lines: $(cat "$log")"

e2e_quit
e2e_files progress-expect "$progress" remembered=word0000,word0002 not-remembered=word0001 learning=word0001 ||
    e2e_fail "the progress file after the exit"
e2e_end
