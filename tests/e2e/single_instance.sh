#!/usr/bin/env bash
# A second start while Mivora runs asks the first one to open its options
# sheet (on Windows 11 a new program's tray icon sits hidden in the
# overflow, and a user who cannot find it starts the program again), ends
# with exit code 1 (as a second start always has, for scripts and
# installers) and leaves the first instance running and usable; a left
# click on the tray icon then still shows the word's menu. The same exit
# when the first start ran elevated and this one may not even open its
# mutex. A start made while the last instance still saves at exit (here it
# asks about the progress file another program holds) waits for that
# process to end and then runs as the first instance, showing a word.
#   single_instance.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" single_instance
holder=$E2E_BUILD/tests/e2e/e2e_hold_file.exe
[ -f "$holder" ] || e2e_fail "no file holder at $holder"
release=$E2E_DIR.release
rm -f "$release"
hold_pid=""
cleanup_holder() {
    touch "$release"
    [ -n "$hold_pid" ] && wait "$hold_pid" 2>/dev/null
    e2e_cleanup
}
trap cleanup_holder EXIT
e2e_small_dictionary 英语四级词汇 20

e2e_start
e2e_wait_ready
windows_before=$(e2e_program_windows | wc -l)
settings_before=$(stat -c %y "$E2E_DIR/mivora.bin")

sheet_open && e2e_fail "the options sheet is open before the second start"

e2e_start second
e2e_wait_exit "$second" 30 1
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the first instance ended"
e2e_wait_for 15 "the first instance's options sheet" sheet_open
e2e_screenshot after-second-start
[ "$(stat -c %y "$E2E_DIR/mivora.bin")" = "$settings_before" ] || e2e_fail "the second start wrote the settings"
# A left click on the icon with the sheet open still shows the word's menu.
# Its last items are 暂停 and 朗读 (the tray menu's are 关于... and 退出):
# 暂停 chosen there, switching is off at exit.
[ "$(e2e_settings_int autoSwitch)" = 1 ] || e2e_fail "switching is off before 暂停"
menu=$(e2e_open_tray_menu 1) || e2e_fail "no menu from a left click on the icon with the sheet open"
e2e_log "menu from a left click: $menu"
e2e_screenshot left-click-menu
xdotool key Up Up Return
e2e_wait_for 10 "the menu to close" e2e_window_gone "${menu%% *}"
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the left click's menu was the tray menu: the program ended"
sheet_open || e2e_fail "the sheet closed"
# Back to the sheet, as a hand would (Wine without a window manager leaves
# the X keyboard focus where the menu was).
eval "$(xdotool getwindowgeometry --shell "$(sheet_window)")"
xdotool mousemove $((X + 40)) $((Y + HEIGHT - 15)) click 1
# Cancel closes it; nothing is saved and the first instance runs on.
xdotool key Escape
e2e_wait_for 15 "the sheet to close" sheet_closed
[ "$(e2e_program_windows | wc -l)" -eq "$windows_before" ] || e2e_fail "a window was left after the sheet closed"
[ "$(stat -c %y "$E2E_DIR/mivora.bin")" = "$settings_before" ] || e2e_fail "cancelling the sheet wrote the settings"

e2e_quit
[ "$(e2e_settings_int autoSwitch)" = 0 ] || e2e_fail "暂停 from the left click's menu did not pause switching"
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 0 20 word0000

# 退出 while another program holds the progress file: the exit's save asks,
# and the process has no owner window while it does.
e2e_start
e2e_wait_ready
e2e_mark_remembered
(cd "$E2E_DIR" && exec "$(mivora_wine_binary)" "$holder" 'dic\DAvud.bin' "$(mivora_wine winepath -w "$release" 2>/dev/null </dev/null 9>&- | tr -d '\r')") \
    </dev/null >"$E2E_DIR.holder.log" 2>&1 9>&- &
hold_pid=$!
e2e_wait_for 30 "the progress file held open" grep -q held "$E2E_DIR.holder.log"
menu=$(e2e_open_tray_menu) || e2e_fail "no tray menu"
e2e_choose_last_item "$menu"
question() { xdotool search --onlyvisible --name '^Mivora 没能保存$' 2>/dev/null | head -n 1; }
question_shown() { [ -n "$(question)" ]; }
e2e_wait_for 30 "the question at exit" question_shown
# A start now neither hands its request to the ending program nor gives
# up: it is still there after longer than any look for a starting
# program's window takes.
e2e_start restart
started=$SECONDS
while [ $((SECONDS - started)) -lt 12 ]; do
    kill -0 "$restart" 2>/dev/null || { wait "$restart"; e2e_fail "the start during the exit's save ended with $?"; }
    sleep 0.5
done
touch "$release"
wait "$hold_pid" || e2e_fail "the file holder failed: $(cat "$E2E_DIR.holder.log")"
hold_pid=""
box=$(question)
xdotool windowactivate "$box" 2>/dev/null || xdotool windowfocus "$box" 2>/dev/null || true
xdotool key Return
e2e_wait_exit "$E2E_PID" 30 0
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 1 19
E2E_PID=$restart
e2e_wait_for 30 "a word shown by the start made during the exit" e2e_has_program_window
e2e_wait_for 30 "its tray icon" e2e_icon_drawn
e2e_screenshot restarted
kill -0 "$restart" 2>/dev/null || e2e_fail "the start made during the exit ended"
e2e_quit
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 1 19

# A first start that ran elevated, played by a stand-in that holds the
# mutex with a descriptor refusing this user and has the owner window.
elevated=$E2E_BUILD/tests/e2e/e2e_elevated_first_start.exe
[ -f "$elevated" ] || e2e_fail "no stand-in at $elevated"
e2e_wait_desktop_closed
(cd "$E2E_DIR" && exec "$(mivora_wine_binary)" "$elevated") </dev/null >"$E2E_DIR.elevated.log" 2>&1 9>&- &
elevated_pid=$!
E2E_PIDS+=("$elevated_pid")
e2e_wait_for 30 "the elevated stand-in" grep -q ready "$E2E_DIR.elevated.log"
settings_before=$(stat -c %y "$E2E_DIR/mivora.bin")
e2e_start refused
e2e_wait_exit "$refused" 30 1
wait "$elevated_pid" || e2e_fail "the request never reached the running program ($?): $(cat "$E2E_DIR.elevated.log")"
grep -q asked "$E2E_DIR.elevated.log" || e2e_fail "the stand-in was not asked: $(cat "$E2E_DIR.elevated.log")"
[ "$(stat -c %y "$E2E_DIR/mivora.bin")" = "$settings_before" ] || e2e_fail "the refused start wrote the settings"
e2e_end
