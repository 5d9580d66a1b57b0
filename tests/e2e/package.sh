#!/usr/bin/env bash
# The downloadable zip, used as a user would: unpacked into an empty folder
# and started from there, with nothing else around it.
#   1. a start of the bare executable (no word list) shows the loading line
#      for good; its size is what "still loading" looks like;
#   2. from the unpacked folder the word window leaves that line for a word
#      of the shipped list, so the program found dic/英语四级词汇.txt under
#      the name the zip gave it;
#   3. tray -> "退出": the settings and the progress file were written in the
#      unpacked folder, the progress file with the whole list, "state" (its most frequent word) first.
#   package.sh <build dir>
. "$(dirname "$0")/lib.sh"
build=$(cd "$1" && pwd)
cmake --build "$build" --target package >/dev/null || { echo "building the package failed" >&2; exit 1; }
zip=$(ls "$build"/dist/Mivora-*.zip 2>/dev/null | head -n 1)
[ -n "$zip" ] || { echo "no package in $build/dist" >&2; exit 1; }

e2e_begin "$build" package
watch=$E2E_SOURCE/tests/e2e/watch_windows.py
e2e_log "package $zip"

# --- 1. the loading line, from the executable alone
e2e_start
loading=$(python3 "$watch" settled 60) || e2e_fail "no window of the program settled"
e2e_log "loading line: $loading"
e2e_wait_ready
e2e_quit

# --- 2. unpacked into an empty folder
E2E_DIR=$E2E_DIR/unpacked
mkdir -p "$E2E_DIR"
[ -z "$(ls -A "$E2E_DIR")" ] || e2e_fail "$E2E_DIR is not empty"
python3 - "$zip" "$E2E_DIR" <<'PY' || e2e_fail "unpacking $zip"
import sys, zipfile
zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])
PY
top=$(ls "$E2E_DIR")
[ "$(wc -l <<<"$top")" -eq 1 ] || e2e_fail "the zip unpacks to more than one folder: $top"
E2E_DIR=$E2E_DIR/$top
e2e_log "unpacked: $(cd "$E2E_DIR" && find . -type f | sort | tr '\n' ' ')"
[ -f "$E2E_DIR/dic/英语四级词汇.txt" ] || e2e_fail "no dic/英语四级词汇.txt in the unpacked folder"

e2e_start
e2e_wait_ready
shown=""
for attempt in $(seq 1 60); do
    shown=$(python3 "$watch" settled 30) || e2e_fail "the word window never settled"
    [ "$shown" != "$loading" ] && break
    sleep 0.5
done
[ "$shown" != "$loading" ] || e2e_fail "the word window still shows the loading line ($loading)"
e2e_log "word window left the loading line: $shown"
e2e_screenshot first-word

# --- 3. the files it keeps are beside the unpacked executable
e2e_quit
e2e_has_size "$E2E_DIR/mivora.bin" 284 || e2e_fail "mivora.bin is $(e2e_file_size "$E2E_DIR/mivora.bin") bytes"
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 0 3849 state
e2e_end
