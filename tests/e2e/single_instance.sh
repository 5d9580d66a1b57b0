#!/usr/bin/env bash
# A second start while Mivora runs ends at once with exit code 1, shows
# nothing and leaves the first instance running and usable.
#   single_instance.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" single_instance
e2e_small_dictionary 英语四级词汇 20

e2e_start
e2e_wait_ready
windows_before=$(e2e_program_windows | wc -l)
settings_before=$(stat -c %y "$E2E_DIR/mivora.bin")

e2e_start second
e2e_wait_exit "$second" 30 1
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the first instance ended"
[ "$(e2e_program_windows | wc -l)" -eq "$windows_before" ] || e2e_fail "the second start left a window"
[ "$(stat -c %y "$E2E_DIR/mivora.bin")" = "$settings_before" ] || e2e_fail "the second start wrote the settings"
e2e_screenshot after-second-start

e2e_quit
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 0 20 word0000
e2e_end
