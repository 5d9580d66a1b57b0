#!/usr/bin/env bash
# A program folder Mivora cannot write (unpacked under C:\Program Files, a
# read-only share): the files go to the user's folder (%APPDATA%\Mivora).
#   1. the first run shows words and says once, in a balloon, where the
#      progress is kept; a word marked remembered is saved at exit into
#      the user's dic\DAvud.bin, and nothing in the program folder changes;
#   2. the second run continues where the first ended, without a balloon.
# The folder and its dic are made immutable (chattr +i: root ignores file
# modes) and always made writable again at the end.
#   read_only_folder.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" read_only_folder
e2e_shipped_dictionary
user_dir=$(e2e_user_files_dir)
rm -rf "$user_dir"
cleanup_folder() {
    chattr -i "$E2E_DIR" "$E2E_DIR/dic" 2>/dev/null || true
    rm -rf "$user_dir"
    e2e_cleanup
}
trap cleanup_folder EXIT
# The program's output goes beside the folder: a read-only one takes none.
E2E_LOG_DIR=$E2E_DIR.logs
rm -rf "$E2E_LOG_DIR" && mkdir -p "$E2E_LOG_DIR"
[ "$(id -u)" = 0 ] || e2e_fail "chattr +i needs root"
chattr +i "$E2E_DIR/dic" "$E2E_DIR" || e2e_fail "the file system cannot make the folder immutable"
touch "$E2E_DIR/probe" 2>/dev/null && e2e_fail "the program folder is still writable"

# --- 1
rm -f "$E2E_DIR.balloons"  # X window ids of an earlier run may come again
balloons_before=$(e2e_balloon_count)
e2e_start
e2e_wait_for 30 "the Wine System Tray window" e2e_tray_window_present
e2e_wait_for 30 "the word window" e2e_has_program_window
e2e_wait_for 30 "the user's settings file" test -s "$user_dir/mivora.bin"
e2e_wait_for 30 "the balloon saying where the files are" e2e_balloon_shown "$balloons_before"
e2e_screenshot balloon
e2e_mark_remembered
e2e_quit
e2e_check_progress "$user_dir/dic/DAvud.bin" 1 3848
[ ! -e "$E2E_DIR/mivora.bin" ] && [ ! -e "$E2E_DIR/dic/DAvud.bin" ] || e2e_fail "a file appeared in the program folder"

# --- 2
balloons_before=$(e2e_balloon_count)
e2e_start
e2e_wait_for 30 "the Wine System Tray window" e2e_tray_window_present
e2e_wait_for 30 "the word window" e2e_has_program_window
# No balloon at any look during this run (a balloon stays for seconds).
e2e_balloon_count >/dev/null
e2e_mark_remembered
e2e_balloon_count >/dev/null
# The first run's word is remembered already: this one is the next.
e2e_quit
e2e_check_progress "$user_dir/dic/DAvud.bin" 2 3847
[ "$(e2e_balloon_count)" = "$balloons_before" ] || e2e_fail "the balloon came again at the second start"
e2e_end
