#!/usr/bin/env bash
# The robustness table: for each row a program folder laid out with a damaged
# or unusual file (or folder), and a real start of Mivora.exe in it. Every row
# must:
#   - start: the process runs, its tray icon and a word window appear;
#   - show something sensible: a visible window of the program, wholly on the
#     1280 x 800 screen, with text drawn in it;
#   - exit with 0 when told to ("退出" from the tray menu);
#   - leave the user's files unchanged or complete and loadable, never torn
#     and never replaced by less than they held (mivora_files.py
#     folder-verify).
# The rows of one group share one X server, one wineserver and one Wine
# desktop (kept open between the rows, see e2e_keep_desktop); a row that
# fails is reported and the next one still runs.
#
# MIVORA_ROBUSTNESS_ROWS=<regex> runs only the matching rows.
#   robustness.sh <build dir> <group> [<path to e2e_hold_file.exe>]
. "$(dirname "$0")/lib.sh"
group=$2
holder=${3:-$(cd "$1" && pwd)/tests/e2e/e2e_hold_file.exe}

# Flags: mark         the shown word is marked "已记住" from the word window's
#                     menu first, so there is progress to save at the exit;
#        steady       the window must not flicker from word to word: it
#                     changes no more often than a word a second allows.
#        asks         the save at exit fails and the question "Mivora 没能保存"
#                     must come; it is answered 取消 (the file is still held).
# group        | row                  | flags            | what the folder holds
TABLE='
dictionaries | dic-empty            |                  | a dictionary of 0 bytes
dictionaries | dic-garbage          |                  | 64 KiB of random bytes
dictionaries | dic-long-lines       |                  | lines of 10,000 units between good ones
dictionaries | dic-long-name        |                  | names of 64 and 100 characters, the settings naming 64 unterminated
progress     | prog-complete        | mark             | a complete progress file (1 remembered, 4 learning): the control
progress     | prog-empty           | mark             | a progress file of 0 bytes
progress     | prog-record-cut      | mark             | a progress file cut inside its third record
progress     | prog-read-only       | mark             | a complete progress file with the read-only attribute
progress     | prog-held-open       | mark asks        | a complete progress file held open, unshared, by another program
settings     | set-0                |                  | a settings file of 0 bytes
settings     | set-60               |                  | a settings file of 60 bytes
settings     | set-300              |                  | a settings file of 300 bytes
settings     | set-unterminated     |                  | font and dictionary names that fill their fields without a terminator
settings     | set-off-monitor      |                  | a position off every monitor (-30000, 30000)
settings     | set-huge-position    |                  | a position near the ends of the 32-bit range
settings     | set-interval-0       | steady           | automatic switching every 0 seconds
folders      | first-run            |                  | only the program and the shipped dictionary (the default corner)
folders      | no-dic               |                  | no dic folder at all
folders      | read-only-folder     | mark             | a read-only program folder with settings, dictionary and progress (kept in the user folder)
folders      | read-only-first-run  |                  | a read-only program folder with only the shipped dictionary
'

# --- how each row's folder is laid out (E2E_DIR is the folder) -----------

# A settings file for the rows whose subject is not the settings: the
# dictionary "e2e", no switching or sampling (the screen stays still), the
# window away from the tray.
plain_settings() { e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=300 windowY=200 dictionaryName=e2e "$@"; }
good_dictionary() { e2e_small_dictionary e2e 5; }
# write <file> <python expression for the bytes>, with mivora_files as m.
write() {
    python3 -c "import sys; sys.path.insert(0, sys.argv[1]); import mivora_files as m, random; \
data = $2; open(sys.argv[2], 'wb').write(data)" "$E2E_SOURCE/tests/e2e" "$1"
}
progress_of() { write "$E2E_DIR/dic/DAvud.bin" "m.progress_bytes(['word0000'], ['word0001', 'word0002', 'word0003', 'word0004'])$1"; }

layout_dic-empty() { plain_settings; write "$E2E_DIR/dic/e2e.txt" "b''"; }
layout_dic-garbage() { plain_settings; write "$E2E_DIR/dic/e2e.txt" "random.Random(9).randbytes(65536)"; }
layout_dic-long-lines() {
    plain_settings
    write "$E2E_DIR/dic/e2e.txt" "m.dictionary_bytes(['apple|ˈæpl|苹果', 'x' * 10000, 'banana|' + 'b' * 10000 + '|' + '香' * 10000, \
'c' * 10000 + '|p|q', 'cherry|ˈtʃeri|樱桃'])"
}
layout_dic-long-name() {
    local name64 name100
    name64=$(printf 'L%.0s' $(seq 1 64))
    name100=$(printf 'L%.0s' $(seq 1 100))
    e2e_dictionary "$name64" 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉'
    e2e_dictionary "$name100" 'cherry|ˈtʃeri|樱桃' 'damson|ˈdæmzn|李子'
    plain_settings
    # The name field filled to its last unit, no terminator.
    write "$E2E_DIR/mivora.bin" "open(sys.argv[2], 'rb').read()[:156] + ('L' * 64).encode('utf-16-le')"
}

layout_prog-complete() { plain_settings; good_dictionary; progress_of ""; }
layout_prog-empty() { plain_settings; good_dictionary; write "$E2E_DIR/dic/DAvud.bin" "b''"; }
layout_prog-record-cut() { plain_settings; good_dictionary; progress_of "[:24 + 1664 * 2 + 100]"; }
layout_prog-read-only() { plain_settings; good_dictionary; progress_of ""; chmod a-w "$E2E_DIR/dic/DAvud.bin"; }
layout_prog-held-open() { plain_settings; good_dictionary; progress_of ""; }

# The first <n> bytes of a good settings record, or the record and a tail.
settings_bytes() { write "$E2E_DIR/mivora.bin" "m.settings_record(windowX=300, windowY=200, dictionaryName='e2e')$1"; }
layout_set-0() { good_dictionary; settings_bytes "[:0]"; }
layout_set-60() { good_dictionary; settings_bytes "[:60]"; }
layout_set-300() { good_dictionary; settings_bytes " + bytes(range(200, 216))"; }
layout_set-unterminated() {
    good_dictionary
    settings_bytes "[:92] + ('A' * 32).encode('utf-16-le') + ('E' * 64).encode('utf-16-le')"
}
layout_set-off-monitor() { good_dictionary; plain_settings windowX=-30000 windowY=30000; }
layout_set-huge-position() { good_dictionary; plain_settings windowX=2147483000 windowY=-2147483000; }
# Fifteen different words in the cycle: a window that flickers shows another
# at nearly every look.
layout_set-interval-0() { e2e_small_dictionary e2e 20; plain_settings autoSwitch=1 switchSeconds=0; }

layout_first-run() { e2e_shipped_dictionary; }
layout_no-dic() { rmdir "$E2E_DIR/dic"; }
layout_read-only-folder() { plain_settings; good_dictionary; progress_of ""; make_read_only; }
layout_read-only-first-run() { e2e_shipped_dictionary; make_read_only; }

# A folder nobody may change, not even root (as on a read-only medium):
# immutable where the file system allows it, else without write permission.
make_read_only() {
    if [ "$(id -u)" = 0 ] && chattr -R +i "$E2E_DIR" 2>/dev/null; then return 0; fi
    chmod -R a-w "$E2E_DIR"
}
make_writable() {
    [ -d "$1" ] || return 0
    chattr -R -i "$1" 2>/dev/null || true
    chmod -R u+w "$1" 2>/dev/null || true
}

# --- what each row is checked for ----------------------------------------


# sensible_screen: a window of the program lies wholly on the screen and
# shows more than one colour (text on its background).
sensible_screen() {
    local line id x y w h colours
    line=$(e2e_word_window)
    [ -n "$line" ] || return 1
    read -r id x y w h <<<"$line"
    [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 800 ] || return 1
    colours=$(import -window root -crop "${w}x${h}+${x}+${y}" -format '%k' info: 2>/dev/null | head -n 1)
    [ "${colours:-0}" -ge 2 ]
}

# steady_window: the word window shows one thing long enough to be read. The
# word changes at most once a second, the shortest period the program
# allows. Over T seconds of looking that is at most T + 2 switches (one due
# just before the first look may come just after it), and one more for the
# start-up load's first word; each shows as at most two changed looks (a
# look may catch the window half redrawn). The looks come many times a
# second (watch_windows.py steady), and a word that flickers changes at
# nearly every one of them.
steady_window() {
    local id x y w h seen looks changes ms allowed
    read -r id x y w h <<<"$(e2e_word_window)"
    seen=$(python3 "$E2E_SOURCE/tests/e2e/watch_windows.py" steady "$x" "$y" "$w" "$h" 4 60) || return 1
    read -r looks changes ms <<<"$seen"
    allowed=$((2 * (ms / 1000 + 3)))
    e2e_log "the window changed $changes times in $looks looks over $ms ms (a word a second allows $allowed)"
    [ "$changes" -le "$allowed" ]
}

question_shown() { [ -n "$(xdotool search --onlyvisible --name '^Mivora 没能保存$' 2>/dev/null)" ]; }

# quit_answering_cancel: "退出", the question about the failed save comes
# while the program still runs, and 取消 (Escape) ends it with 0.
quit_answering_cancel() {
    local menu box
    menu=$(e2e_open_tray_menu) || e2e_fail "no tray menu"
    e2e_choose_last_item "$menu"
    e2e_wait_for 30 "the question about the failed save" question_shown
    e2e_screenshot question
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "Mivora ended without waiting for the answer"
    box=$(xdotool search --onlyvisible --name '^Mivora 没能保存$' 2>/dev/null | head -n 1)
    xdotool windowactivate "$box" 2>/dev/null || xdotool windowfocus "$box" 2>/dev/null || true
    xdotool key Escape
    e2e_wait_exit "$E2E_PID" 30 0
}

# run_row <row> <flags>: lays out the folder, starts Mivora, checks; exit
# status 0 when the row passed. Runs in a subshell of its own.
run_row() {
    local row=$1 flags=$2
    # Not local: the EXIT trap reads them after the function has returned.
    hold_pid="" release=""
    E2E_DIR=$ROWS_DIR/$row
    E2E_SCENARIO=robustness_$group-$row
    # The program's output goes beside the folder: a read-only one takes none.
    E2E_LOG_DIR=$ROWS_DIR
    local before=$ROWS_DIR/$row.before
    make_writable "$E2E_DIR"
    rm -rf "$E2E_DIR" "$before" "$USER_FILES"
    mkdir -p "$E2E_DIR/dic"
    cp "$E2E_BUILD/app/Mivora.exe" "$E2E_DIR/"
    row_cleanup() {
        [ -n "$E2E_PID" ] && kill "$E2E_PID" 2>/dev/null && e2e_log "stopped Mivora left running"
        [ -n "$release" ] && touch "$release"
        [ -n "$hold_pid" ] && wait "$hold_pid" 2>/dev/null
        # Until the process is gone its mutex would turn the next row away.
        local i
        for i in $(seq 1 100); do
            [ -n "$E2E_PID" ] && kill -0 "$E2E_PID" 2>/dev/null || break
            sleep 0.1
        done
        make_writable "$E2E_DIR"
        rm -rf "$USER_FILES"
    }
    trap row_cleanup EXIT
    E2E_PID=""
    "layout_$row" || e2e_fail "laying out the folder"
    cp -a "$E2E_DIR" "$before" 2>/dev/null
    make_writable "$before"
    rm -f "$before/Mivora.exe"

    if [ "$row" = prog-held-open ]; then
        [ -f "$holder" ] || e2e_fail "no file holder at $holder"
        release=$E2E_DIR.release
        rm -f "$release"
        (cd "$E2E_DIR" && exec "$(mivora_wine_binary)" "$holder" 'dic\DAvud.bin' "$(mivora_wine winepath -w "$release" 2>/dev/null </dev/null 9>&- | tr -d '\r')") \
            </dev/null >"$E2E_DIR.holder.log" 2>&1 9>&- &
        hold_pid=$!
        e2e_wait_for 30 "the progress file held open" grep -q held "$E2E_DIR.holder.log"
    fi

    e2e_start
    e2e_wait_for 30 "the Wine System Tray window" e2e_tray_window_present
    e2e_wait_for 30 "a window of the program" e2e_has_program_window
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "Mivora ended during start-up"
    # Time for the start-up load to finish and be shown.
    e2e_wait_for 30 "a sensible window wholly on the screen" sensible_screen
    e2e_screenshot "$row"
    e2e_log "window: $(e2e_word_window)"
    if [[ " $flags " == *" steady "* ]]; then
        steady_window || e2e_fail "the window flickers from word to word"
    fi
    if [[ " $flags " == *" mark "* ]]; then
        e2e_mark_remembered
        e2e_log "marked the shown word remembered"
    fi
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "Mivora ended after start-up"
    if [[ " $flags " == *" asks "* ]]; then
        quit_answering_cancel
    else
        e2e_quit
    fi
    E2E_PID=""
    if [ -n "$hold_pid" ]; then
        touch "$release"
        wait "$hold_pid" || e2e_fail "the file holder failed: $(cat "$E2E_DIR.holder.log")"
        hold_pid=""
    fi
    e2e_files folder-verify "$before" "$E2E_DIR" || e2e_fail "the user's files after the run"
}

# A folder left read-only by an interrupted run could not be cleared.
make_writable "$(cd "$1" && pwd)/e2e/robustness_$group"
e2e_begin "$1" "robustness_$group"
ROWS_DIR=$E2E_DIR/rows
# Where the read-only rows keep their files; emptied before and after each
# row.
USER_FILES=$(e2e_user_files_dir)
mkdir -p "$ROWS_DIR"
e2e_keep_desktop "$holder"
passed=() failed=()
while IFS='|' read -r row_group row flags what; do
    row_group=$(xargs <<<"$row_group") row=$(xargs <<<"$row") flags=$(xargs <<<"$flags")
    [ "$row_group" = "$group" ] || continue
    [[ $row =~ ${MIVORA_ROBUSTNESS_ROWS:-.} ]] || continue
    e2e_log "--- $row:$(sed 's/ *$//' <<<"$what")"
    if (run_row "$row" "$flags"); then passed+=("$row"); else failed+=("$row"); fi
done <<<"$TABLE"

e2e_release_desktop
e2e_log "passed: ${passed[*]:-none}"
[ ${#failed[@]} -eq 0 ] || e2e_fail "rows failed: ${failed[*]}"
[ ${#passed[@]} -gt 0 ] || e2e_fail "no rows in group $group"
e2e_end
