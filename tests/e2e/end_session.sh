#!/usr/bin/env bash
# Logging off: WM_QUERYENDSESSION / WM_ENDSESSION make the running program
# write its settings and its progress at once, as the session may end without
# any other notice; it keeps running until it is told to quit.
#   end_session.sh <build dir> <path to e2e_end_session.exe>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" end_session
sender=$2
[ -f "$sender" ] || e2e_fail "no end-session sender at $sender"
e2e_shipped_dictionary

e2e_start
e2e_wait_ready
e2e_wait_for 30 "the empty progress file" test -e "$E2E_DIR/dic/DAvud.bin"
settings_time=$(stat -c %Y "$E2E_DIR/mivora.bin")
sleep 1.1  # so a rewrite shows in the modification time

(cd "$E2E_DIR" && e2e_wine "$sender" </dev/null >"$E2E_DIR/sender.log" 2>&1 9>&-) ||
    e2e_fail "the end-session sender failed ($?): $(cat "$E2E_DIR/sender.log")"
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "Mivora ended on WM_ENDSESSION"
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 0 3849 state
[ "$(stat -c %Y "$E2E_DIR/mivora.bin")" -gt "$settings_time" ] || e2e_fail "mivora.bin was not rewritten"
e2e_screenshot after-end-session

# Nothing changed since, so the exit leaves the progress file alone (a save
# would replace it with a new file).
progress_id=$(stat -c '%i %y' "$E2E_DIR/dic/DAvud.bin")
e2e_quit
[ "$(stat -c '%i %y' "$E2E_DIR/dic/DAvud.bin")" = "$progress_id" ] || e2e_fail "the exit rewrote an unchanged progress file"
e2e_end
