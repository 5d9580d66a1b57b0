#!/usr/bin/env bash
# The options sheet by keyboard alone, as a person who does not reach for
# the mouse uses it (only the tray icon is clicked):
#   1. tray -> "选项": Tab to the interval, type 25; back to the tabs and on
#      to "词库";
#   2. the dictionary box: Down browses to "second", Tab leaves the box and
#      loads it, and the keyboard goes on to the list of remembered words;
#   3. the list: the first row's menu by Shift+F10, "忘记" (the row goes,
#      the keyboard stays on the first row); the next row by Delete,
#      answered with Enter;
#   4. the tabs again, on to "关于", Tab to its first link, Escape closes
#      the sheet;
#   5. tray -> "退出": the files say what was done.
#   keyboard.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" keyboard

e2e_dictionary first 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉'
e2e_dictionary second 'pear|peə|梨' 'quince|kwɪns|榅桲'
e2e_files progress-write "$E2E_DIR/dic/DAvud.bin" "ability abroad absence" "apple banana"
e2e_settings_file autoSwitch=1 switchSeconds=10 sampleBackground=0 dictionaryName=first

# keys <key>...: typed into whatever has the keyboard, a little apart, as
# hands do; then a screenshot of the result.
keys() {
    xdotool key --delay 250 "$@"
    sleep 0.5
    e2e_screenshot "keys-$(echo "$*" | tr ' +' '_-')"
}

# The program's windows beyond the sheet and the word window: a menu or a
# message box it opened.
question_open() { [ -n "$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null)" ]; }
question_closed() { ! question_open; }

e2e_start
e2e_wait_ready

# --- 1. the settings page
tray_command 3
e2e_wait_for 20 "the options sheet" sheet_open
shoot_settled settings
# Windows gives the sheet the keyboard as it opens; on a display without a
# window manager nobody hands its X window the input focus, so this does.
xdotool windowfocus --sync "$(sheet_window)" || e2e_fail "could not give the sheet the keyboard"
# Open at the first control, 开机自动启动: 例句和词形 beside it, 替换当前窗口
# 标题栏, 自动切换单词, then the interval, whose text a Tab selects.
keys Tab Tab Tab Tab 2 5
# Pages change from the row of tabs, which takes the arrow keys (Windows
# also switches with Ctrl+Tab, which Wine's modal sheet leaves to the page):
# Shift+Tab back past the first control reaches it.
keys shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab Right
shoot_settled library "$SHEET_SHOT"

# --- 2. the dictionary box, the page's first control
keys Tab Down
keys Tab
# The reload ends on the owner window; the box is enabled again and the
# keyboard stayed on the page (the list has it now).
shoot_settled library-loaded

# --- 3. the remembered words: the first row selected by the keyboard
keys Down
before=$(e2e_program_windows | cut -d' ' -f1)
keys shift+F10
menu=$(e2e_new_program_window "$before") || e2e_fail "Shift+F10 opened no menu"
e2e_log "the row's menu: $menu"
keys Down Return
keys Down
keys Delete
e2e_wait_for 10 "the question before deleting" question_open
keys Return
e2e_wait_for 10 "the question to close" question_closed

# --- 4. the about page (past 统计, 朗读 and 热键), Escape from its first link
keys shift+Tab shift+Tab Right Right Right Right
shoot_settled about "$SHEET_SHOT"
keys Tab
keys Escape
e2e_wait_for 20 "Escape to close the sheet" sheet_closed

# --- 5. exit, and what was saved
e2e_quit
e2e_files settings-expect "$E2E_DIR/mivora.bin" switchSeconds=25 dictionaryName=second ||
    e2e_fail "the settings file does not hold what was typed and chosen"
words=$(e2e_files progress-words "$E2E_DIR/dic/DAvud.bin")
e2e_log "progress: $words"
# "ability" went back to learning, "absence" was deleted; the learning list
# is the second dictionary's, with the forgotten word.
[ "$words" = "abroad | pear quince ability" ] || e2e_fail "progress is '$words'"
e2e_end
