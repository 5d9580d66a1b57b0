#!/usr/bin/env bash
# A save that fails at exit is told before the program ends: with the
# progress file held open, unshared, by another program at "退出", the
# question "Mivora 没能保存" comes and the program keeps running, also when
# the other program lets the file go while the windows are taken down
# (the save is tried before they go); 重试 then saves the marked word and
# the program ends with 0.
#   failed_save_exit.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" failed_save_exit
holder=$E2E_BUILD/tests/e2e/e2e_hold_file.exe
[ -f "$holder" ] || e2e_fail "no file holder at $holder"
e2e_shipped_dictionary
release=$E2E_DIR.release
rm -f "$release"
hold_pid=""
cleanup_holder() {
    touch "$release"
    [ -n "$hold_pid" ] && wait "$hold_pid" 2>/dev/null
    e2e_cleanup
}
trap cleanup_holder EXIT

e2e_start
e2e_wait_ready
e2e_wait_for 30 "the empty progress file" test -e "$E2E_DIR/dic/DAvud.bin"
e2e_mark_remembered

(cd "$E2E_DIR" && exec "$(mivora_wine_binary)" "$holder" 'dic\DAvud.bin' "$(mivora_wine winepath -w "$release" 2>/dev/null </dev/null 9>&- | tr -d '\r')") \
    </dev/null >"$E2E_DIR.holder.log" 2>&1 9>&- &
hold_pid=$!
e2e_wait_for 30 "the progress file held open" grep -q held "$E2E_DIR.holder.log"

read -r word_window _ <<<"$(e2e_word_window)"
menu=$(e2e_open_tray_menu) || e2e_fail "no tray menu"
e2e_choose_last_item "$menu"
# Let go as soon as the word window is gone: the save was tried before.
e2e_wait_for 30 "the word window to go" e2e_window_gone "$word_window"
touch "$release"
wait "$hold_pid" || e2e_fail "the file holder failed: $(cat "$E2E_DIR.holder.log")"
hold_pid=""
question() { xdotool search --onlyvisible --name '^Mivora 没能保存$' 2>/dev/null | head -n 1; }
question_shown() { [ -n "$(question)" ]; }
e2e_wait_for 30 "the question at exit" question_shown
e2e_screenshot question
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "Mivora ended without waiting for the answer"

# 重试 is the box's first and default button.
box=$(question)
xdotool windowactivate "$box" 2>/dev/null || xdotool windowfocus "$box" 2>/dev/null || true
xdotool key Return
e2e_wait_exit "$E2E_PID" 30 0
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 1 3848
e2e_end
