#!/usr/bin/env bash
# Runs one Windows executable under Wine; CTest's emulator for the cross build.
set -u
. "$(dirname "$0")/wine-env.sh"
mivora_display
mivora_wine_ready
exec 9>&-
# The program's output goes through a file, not straight to CTest: Wine
# processes that the program starts (its desktop, its services) may outlive
# it holding the handles they inherited, and CTest would wait for them.
log=$(mktemp "${TMPDIR:-/tmp}/mivora-wine-run.XXXXXX")
mivora_wine "$@" </dev/null >"$log" 2>&1
status=$?
cat "$log"
rm -f "$log"
exit $status
