#!/usr/bin/env bash
# Mivora run from inside its zip: WinRAR, 7-Zip, Bandizip, 360压缩 and
# Explorer's zip folders unpack it into the temporary folder and delete
# that folder after the run. The folder can be written, but nothing kept
# there lasts.
#   1. the first run, from Temp\Rar$EXa…, with the archive's settings asking
#      to start at log-on: the settings and the progress go to
#      %APPDATA%\Mivora, one balloon says so, and a word marked remembered
#      is saved there; no Run value is written;
#   2. that folder deleted, the second run from another one (7zO…)
#      continues from %APPDATA%\Mivora without a balloon, and still writes
#      no Run value.
#   archive_start.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" archive_start
user_dir=$(e2e_user_files_dir)
temp=$(mivora_wine cmd /c 'echo %TEMP%' </dev/null 2>/dev/null 9>&- | tr -d '\r')
[ -n "$temp" ] || e2e_fail "no %TEMP% in the prefix"
temp_dir=$(mivora_wine winepath -u "$temp" </dev/null 2>/dev/null 9>&- | tr -d '\r')
[ -d "$temp_dir" ] || mkdir -p "$temp_dir" || e2e_fail "no temporary folder $temp_dir"
first=$temp_dir/'Rar$EXa2816.41203'
second=$temp_dir/7zO4E1F2C1D
rm -rf "$user_dir" "$first" "$second"
cleanup_archive() {
    rm -rf "$user_dir" "$first" "$second" "$first.balloons" "$second.balloons"
    e2e_delete_run_value
    e2e_cleanup
}
trap cleanup_archive EXIT
e2e_delete_run_value
e2e_run_value >/dev/null && e2e_fail "the Run value exists before the test"
E2E_LOG_DIR=$E2E_BUILD/e2e/archive_start
program=$E2E_DIR

# unpack <folder>: what an archive program puts there to run Mivora.exe.
unpack() {
    mkdir -p "$1/dic"
    cp "$program/Mivora.exe" "$1/"
    cp "$E2E_SOURCE/dic/英语四级词汇.txt" "$1/dic/"
    E2E_DIR=$1
}

mark_shown_word() {
    local x y menu
    read -r _ x y _ <<<"$(e2e_program_windows | sort -k4,4n | tail -n 1)"
    menu=$(e2e_open_menu_at $((x + 5)) $((y + 5))) || e2e_fail "no context menu on the word window"
    xdotool key Down Return  # the first item, 已记住
    e2e_wait_for 10 "the menu to close" e2e_window_gone "${menu%% *}"
}

# --- 1
unpack "$first"
# Below the balloon, which would take the click meant for the word.
e2e_settings_file autoStart=1 windowY=400
balloons_before=$(e2e_balloon_count)
e2e_start
e2e_wait_for 30 "the Wine System Tray window" e2e_tray_window_present
e2e_wait_for 30 "the word window" e2e_has_program_window
e2e_wait_for 30 "the user's settings file" test -s "$user_dir/mivora.bin"
e2e_wait_for 30 "the balloon saying Mivora runs from inside an archive" e2e_balloon_shown "$balloons_before"
e2e_screenshot balloon
mark_shown_word
e2e_quit
[ "$(e2e_balloon_count)" = $((balloons_before + 1)) ] || e2e_fail "more than one balloon at the first start"
e2e_check_progress "$user_dir/dic/DAvud.bin" 1 3848
[ ! -e "$first/dic/DAvud.bin" ] || e2e_fail "the progress was kept in the temporary folder"
[ "$(e2e_files settings-int "$user_dir/mivora.bin" autoStart)" = 1 ] || e2e_fail "the archive's settings were not taken"
e2e_run_value >/dev/null && e2e_fail "a Run value was written for a program in the temporary folder"
rm -rf "$first"

# --- 2
unpack "$second"
balloons_before=$(e2e_balloon_count)
e2e_start
e2e_wait_for 30 "the Wine System Tray window" e2e_tray_window_present
e2e_wait_for 30 "the word window" e2e_has_program_window
# No balloon at any look during this run (a balloon stays for seconds).
e2e_balloon_count >/dev/null
mark_shown_word
e2e_balloon_count >/dev/null
e2e_quit
# The first run's word is remembered already: this one is the next.
e2e_check_progress "$user_dir/dic/DAvud.bin" 2 3847
[ "$(e2e_balloon_count)" = "$balloons_before" ] || e2e_fail "the balloon came again at the second start"
e2e_run_value >/dev/null && e2e_fail "a Run value was written at the second start"
e2e_end
