#!/usr/bin/env bash
# The Run value follows autoStart whenever the settings are saved at exit:
# present (the executable's path in double quotes) after a run with
# autoStart=1, gone after a run with autoStart=0.
#   autostart.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" autostart
e2e_small_dictionary 英语四级词汇 5
e2e_delete_run_value
e2e_run_value >/dev/null && e2e_fail "the Run value exists before the test"

e2e_settings_file autoStart=1
e2e_start
e2e_wait_ready
e2e_quit
value=$(e2e_run_value) || e2e_fail "no Run value after a run with autoStart=1"
e2e_log "Run value: $value"
expected=\"$(e2e_wine winepath -w "$E2E_DIR/Mivora.exe" </dev/null 2>/dev/null 9>&- | tr -d '\r')\"
# Wine reports the folder as it is on Z:, in whatever case it was found.
[ "${value,,}" = "${expected,,}" ] || e2e_fail "Run value '$value', expected '$expected'"
[ "$(e2e_settings_int 0)" -eq 1 ] || e2e_fail "autoStart not kept in mivora.bin"

e2e_settings_file autoStart=0
e2e_start
e2e_wait_ready
e2e_quit
e2e_run_value >/dev/null && e2e_fail "the Run value is still there after a run with autoStart=0"
e2e_end
