#!/usr/bin/env bash
# Two PCs studying through one synced folder, the other PC played by this
# script, which writes dic/DAvud.bin while Mivora runs as a sync program
# would bring that PC's save:
#   - a conflict copy beside the file (OneDrive's "DAvud-OFFICE.bin") is
#     merged at start and kept aside renamed after the first save; files of
#     other names are never touched;
#   - a word remembered there and another remembered here are both
#     remembered after the next save and neither is in the learning list; a
#     word forgotten there since is learnt again here;
#   - the other PC's save is noticed within a minute without any save here:
#     a new word list chosen there replaces the learning list here, and the
#     word window moves on to it;
#   - a conflict copy older than a 忘记 and a 删除 made here brings neither
#     back, and a fresh file of the other PC takes no word remembered here
#     away, at 退出 or at the start.
# "The next save" is the periodic save's tick, given at once by
# e2e_owner_timer.exe instead of after five minutes.
#   synced_folder.sh <build dir> <path to e2e_owner_timer.exe>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" synced_folder
timer=$2
[ -f "$timer" ] || e2e_fail "no timer sender at $timer"
progress=$E2E_DIR/dic/DAvud.bin
today=$(date +%Y%m%d)

e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=300 windowY=200 dictionaryName=e2e
e2e_small_dictionary e2e 10
# write <file> <python expression for the bytes>, with mivora_files as m.
write() {
    python3 -c "import sys; sys.path.insert(0, sys.argv[1]); import mivora_files as m; \
open(sys.argv[2], 'wb').write($2)" "$E2E_SOURCE/tests/e2e" "$1"
}
learning_from() { python3 -c "import sys; print([f'word{i:04d}' for i in range($1, 10) if i not in [${2:-}]])"; }
write "$progress" "m.progress_bytes(['word0000', 'word0001'], $(learning_from 2), 20260101, 20260101)"
write "$E2E_DIR/dic/DAvud-OFFICE.bin" \
    "m.progress_bytes(['word0000', 'word0001', 'word0009'], $(learning_from 2 9), 20260101, 20260102)"
# Names that are no conflict copy of the progress file.
write "$E2E_DIR/dic/DAvud (2).bin" "m.progress_bytes(['word0007'], $(learning_from 0 7), 20260101, 20260102)"
write "$E2E_DIR/dic/DAvud.bin.unreadable-20260101" "b'not a progress file'"
mkdir -p "$E2E_DIR/untouched"
cp "$E2E_DIR/dic/DAvud (2).bin" "$E2E_DIR/dic/DAvud.bin.unreadable-20260101" "$E2E_DIR/untouched/"

expect() { e2e_files progress-expect "$progress" "$@" >/dev/null 2>&1; }
# expect_now <seconds> <what> <expectation...>: waits for the progress file.
expect_now() {
    local seconds=$1 what=$2
    shift 2
    e2e_wait_for "$seconds" "$what" expect "$@"
    e2e_files progress-expect "$progress" "$@"
}
word_window() { e2e_program_windows | sort -k4,4n | tail -n 1; }
# mark_shown: 已记住 from the word window's menu.
mark_shown() {
    local x y menu
    read -r _ x y _ <<<"$(word_window)"
    menu=$(e2e_open_menu_at $((x + 5)) $((y + 5))) || e2e_fail "no context menu on the word window"
    xdotool key Down Return
    e2e_wait_for 10 "the menu to close" e2e_window_gone "${menu%% *}"
}
# save_now: the periodic save's tick.
save_now() {
    (cd "$E2E_DIR" && e2e_wine "$timer" 1 </dev/null >"$E2E_DIR/timer.log" 2>&1 9>&-) ||
        e2e_fail "the timer tick was not delivered: $(cat "$E2E_DIR/timer.log")"
}

e2e_start
e2e_wait_ready
e2e_screenshot started

# Here: the word shown, word0003 (the start shows the second word to learn),
# remembered and saved. The copy's word0009 is remembered too, and the copy
# is kept aside.
mark_shown
save_now
expect_now 30 "the first save" remembered=word0000,word0001,word0009,word0003 not-remembered=word0007 \
    not-learning=word0009,word0003
e2e_wait_for 10 "the conflict copy kept aside" test -f "$E2E_DIR/dic/DAvud-OFFICE.bin.merged-$today"
[ -e "$E2E_DIR/dic/DAvud-OFFICE.bin" ] && e2e_fail "the conflict copy is still there under its own name"
for name in "DAvud (2).bin" "DAvud.bin.unreadable-20260101"; do
    cmp -s "$E2E_DIR/untouched/$name" "$E2E_DIR/dic/$name" || e2e_fail "$name was touched"
done

# There: word0008 remembered, word0000 forgotten. Here: the shown word0004.
e2e_files other-pc "$progress" "word0008" "word0000" || e2e_fail "the other PC's save"
mark_shown
save_now
expect_now 30 "both PCs' words in the file" remembered=word0001,word0009,word0003,word0004,word0008 \
    not-remembered=word0000 not-learning=word0004,word0008 learning-last=word0000 start=20260101

# Here: word0005 remembered, not saved yet. There: a new word list, chosen
# today. Nothing here saves: the look at the file on disk notices it within
# a minute, merges, and writes what this PC added.
mark_shown
e2e_files other-pc "$progress" "" "" "$today" "new0000 new0001 word0005 new0002" || e2e_fail "the other PC's new list"
e2e_log "waiting for the look at the file on disk (at most a minute)"
expect_now 75 "the new word list merged" remembered=word0005,word0004,word0008 learning-exact=new0000,new0001,new0002 \
    start="$today"
e2e_screenshot merged-new-list

# The word window moved on to the new list: the shown word is its first.
mark_shown
save_now
expect_now 30 "the new list's first word remembered" remembered=new0000 learning-exact=new0001,new0002

e2e_quit
e2e_files progress-expect "$progress" remembered=new0000,word0005,word0004,word0003,word0008,word0009 \
    learning-exact=new0001,new0002 || e2e_fail "the progress file after the exit"
[ "$(ls "$E2E_DIR/dic" | grep -c '\.merged-')" -eq 1 ] || e2e_fail "merged copies: $(ls "$E2E_DIR/dic")"

# --- The learner's latest action wins over files from outside the shared
# history: a conflict copy saved before a 忘记 and a 删除 made here on 词库
# brings neither word back, running or after a restart; a fresh file of the
# other PC that lacks words remembered here, on disk at 退出 with nothing
# changed here, or found at the start, takes none of them away.
remembered_now() { e2e_files progress-words "$progress" | sed 's/ *|.*//' | tr ' ' '\n' | sed '/^$/d' | sort; }
learning_now() { e2e_files progress-words "$progress" | sed 's/.*| *//' | tr ' ' '\n' | sed '/^$/d' | sort; }
cp "$progress" "$E2E_DIR/older.bin"
before=$(remembered_now)
e2e_start
e2e_wait_ready
tray_command 3
e2e_wait_for 20 "the options sheet" sheet_open
click_in_sheet 88 17  # the "词库" tab
shoot_settled library
click_in_sheet 200 330  # the remembered words' list, below its rows
windows=$(e2e_program_windows | cut -d' ' -f1)
xdotool key Home shift+F10
menu=$(e2e_new_program_window "$windows") || e2e_fail "no menu on the remembered word"
xdotool key Down Return  # 忘记
e2e_wait_for 10 "the menu to close" e2e_window_gone "${menu%% *}"
xdotool key Down Home Delete  # the first row selected again
box() { xdotool search --onlyvisible --name '^提示$' 2>/dev/null | head -n 1; }
box_shown() { [ -n "$(box)" ]; }
e2e_wait_for 15 "the question before 删除" box_shown
xdotool key Return
e2e_wait_for 15 "the question to close" eval '! box_shown'
click_ok
e2e_wait_for 15 "the sheet to close" sheet_closed
save_now
e2e_wait_for 30 "the save after 忘记 and 删除" eval '[ "$(remembered_now | wc -l)" -eq $(($(wc -l <<<"$before") - 2)) ]'
after=$(remembered_now)
gone=$(comm -23 <(echo "$before") <(echo "$after"))
forgotten=$(comm -12 <(echo "$gone") <(learning_now))
[ "$(wc -l <<<"$gone")" -eq 2 ] && [ "$(wc -l <<<"$forgotten")" -eq 1 ] ||
    e2e_fail "after 忘记 and 删除: remembered $(echo $after), gone $(echo $gone), learning $(learning_now | tr '\n' ' ')"
e2e_log "forgotten $forgotten, deleted $(comm -23 <(echo "$gone") <(echo "$forgotten"))"
cp "$E2E_DIR/older.bin" "$E2E_DIR/dic/DAvud-HOME.bin"
touch -d '1 hour ago' "$E2E_DIR/dic/DAvud-HOME.bin"
save_now
e2e_wait_for 30 "the older copy taken in" test -f "$E2E_DIR/dic/DAvud-HOME.bin.merged-$today"
[ "$(remembered_now)" = "$after" ] || e2e_fail "the older copy brought back: $(comm -13 <(echo "$after") <(remembered_now))"
e2e_quit
e2e_start
e2e_wait_ready
e2e_quit
[ "$(remembered_now)" = "$after" ] || e2e_fail "after a restart the copy's words came back: $(remembered_now | tr '\n' ' ')"

# The other PC saved before its sync brought the words remembered here.
marked_here=$(comm -12 <(echo "$after") <(printf '%s\n' new0000 word0003 word0004 word0005))
[ -n "$marked_here" ] || e2e_fail "no word remembered here is left to check"
e2e_start
e2e_wait_ready
e2e_files other-pc "$progress" "" "$(echo $marked_here)" || e2e_fail "the other PC's fresh file"
e2e_quit
[ "$(remembered_now)" = "$after" ] || e2e_fail "at the exit the other PC's file took away $(comm -23 <(echo "$after") <(remembered_now))"
e2e_files other-pc "$progress" "" "$(echo $marked_here)" || e2e_fail "the other PC's fresh file"
e2e_start
e2e_wait_ready
e2e_quit
[ "$(remembered_now)" = "$after" ] || e2e_fail "at the start the other PC's file took away $(comm -23 <(echo "$after") <(remembered_now))"
e2e_end
