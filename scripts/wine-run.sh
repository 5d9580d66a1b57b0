#!/usr/bin/env bash
# Runs one Windows executable under Wine; CTest's emulator for the cross build.
set -u
. "$(dirname "$0")/wine-env.sh"
mivora_display
mivora_wine_ready
exec 9>&-
if command -v wine64 >/dev/null 2>&1; then exec wine64 "$@"; else exec wine "$@"; fi
