#!/usr/bin/env bash
# A 生词本 exported from 有道词典 becomes a word list, as a person does it:
#   1. the program learns from "first"; a list named "youdao" exists already;
#   2. tray -> "选项", the "词库" tab, "导入…": the file dialog takes the
#      path of youdao.xml typed into it;
#   3. the preview ("导入预览", titled so once the file is read) shows the
#      words as they will be taken; 导入 (its default button) writes them;
#   4. the result asks whether to switch (是): the word window moves to the
#      new list's first word; OK;
#   5. dic/youdao (2).txt holds the file's words once each, its phonetics
#      and meanings, a gap filled from the shipped 英语四级词汇; the old
#      "youdao" list is untouched; after 退出 mivora.bin names the new list
#      and DAvud.bin learns its words.
#   import.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" import

e2e_dictionary first 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉'
e2e_dictionary youdao 'old|əʊld|旧的'
e2e_shipped_dictionary
e2e_settings_file autoSwitch=0 sampleBackground=0 windowX=300 windowY=120 windowWidth=0 windowHeight=0 \
    lfCharSet=1 dictionaryName=first
old_youdao=$(md5sum <"$E2E_DIR/dic/youdao.txt")
# 有道词典's export: the phonetic in its own brackets, a meaning over two
# lines, a word twice, a word whose phonetic and meaning it lacks.
cat >"$E2E_DIR/youdao.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<wordbook>
<item>    <word>serendipity</word>
    <trans><![CDATA[n. 意外发现珍奇事物的本领
n. 机缘凑巧]]></trans>
    <phonetic><![CDATA[[ˌserənˈdɪpəti]]]></phonetic>
    <tags></tags>
    <progress>1</progress>
</item>
<item>    <word>abandon</word>
    <trans><![CDATA[]]></trans>
    <phonetic><![CDATA[]]></phonetic>
</item>
<item>    <word>Serendipity</word>
    <trans><![CDATA[重复]]></trans>
    <phonetic><![CDATA[]]></phonetic>
</item>
</wordbook>
XML
source=$(mivora_wine winepath -w "$E2E_DIR/youdao.xml" </dev/null 2>/dev/null 9>&- | tr -d '\r')
[ -n "$source" ] || e2e_fail "no Windows path for youdao.xml"

window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
shown() { [ -n "$(window_named "$1")" ]; }

# --- 1. start
e2e_start
e2e_wait_ready
e2e_wait_for 30 "the word window" e2e_has_program_window

# --- 2. 选项 -> 词库 -> 导入…
tray_command 3
e2e_wait_for 20 "the options sheet" sheet_open
click_in_sheet 88 17  # the "词库" tab
shoot_settled library
# 导入… sits right of the dictionary box, on its line.
click_in_sheet 405 55
e2e_wait_for 20 "the file dialog" shown 选择要导入的生词本
dialog=$(window_named 选择要导入的生词本)
xdotool windowactivate "$dialog" 2>/dev/null || xdotool windowfocus "$dialog" 2>/dev/null || true
e2e_screenshot file-dialog
# The file name field has the keyboard when the dialog opens.
xdotool type --delay 20 "$source"
xdotool key Return

# --- 3. the preview: the file read, then 导入 (the default button)
e2e_wait_for 30 "the preview of the file read" shown 导入预览
preview=$(window_named 导入预览)
xdotool windowactivate "$preview" 2>/dev/null || xdotool windowfocus "$preview" 2>/dev/null || true
e2e_screenshot preview
xdotool key Return

# --- 4. the question: switch now (是, the default button)
e2e_wait_for 30 "the question after the import" shown 导入生词本
e2e_screenshot question
box=$(window_named 导入生词本)
xdotool windowactivate "$box" 2>/dev/null || xdotool windowfocus "$box" 2>/dev/null || true
xdotool key Return
e2e_wait_for 20 "the question to close" eval '! shown 导入生词本'
shoot_settled library-after
click_ok
e2e_wait_for 20 "the sheet to close" sheet_closed

# --- 5. the files
new=$E2E_DIR/dic/'youdao (2).txt'
[ -f "$new" ] || e2e_fail "no dic/youdao (2).txt: $(ls "$E2E_DIR/dic")"
[ "$(md5sum <"$E2E_DIR/dic/youdao.txt")" = "$old_youdao" ] || e2e_fail "the existing list youdao changed"
python3 - "$new" <<'PY' || e2e_fail "the imported list"
import sys
data = open(sys.argv[1], "rb").read()
lines = data.decode("utf-16-le").split("\r\n")
expected = ["serendipity|ˌserənˈdɪpəti|n. 意外发现珍奇事物的本领；n. 机缘凑巧",
            "abandon|ə'bændən|vt. 放弃；抛弃；遗弃 n. 放任；无拘束", ""]
if lines != expected:
    sys.exit(f"{lines!r}\nexpected {expected!r}")
PY
e2e_quit
name=$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read()[156:284].decode("utf-16-le").split("\0")[0])' "$E2E_DIR/mivora.bin")
[ "$name" = "youdao (2)" ] || e2e_fail "dictionaryName is $name, expected youdao (2)"
e2e_check_progress "$E2E_DIR/dic/DAvud.bin" 0 2 serendipity
e2e_end
