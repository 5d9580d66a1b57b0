#!/usr/bin/env bash
# 朗读 as a person uses it, with the stand-in voice (tests/speech/
# StandInVoice.c, which writes what it is asked to say to spoken.txt beside
# itself) registered in the prefix in the place of Wine's own, and an
# English voice token beside Wine's (whose token names no language):
#   1. mivora.ini says AutoRead=1: the first word after the load is said,
#      as plain text cutting off what was being said (flags 13);
#   2. tray -> "选项", the "朗读" tab: the page shows the voice;
#      its picture is the guide's docs/options-speech.png; 试听 says the
#      shown word again; OK writes mivora.ini and leaves mivora.bin byte
#      for byte as it was;
#   3. 退出. The registration is put back afterwards, whatever happened.
#   options_speech.sh <build dir>
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" options_speech
command -v convert >/dev/null 2>&1 || e2e_fail "missing tool: convert"
stand_in=$E2E_BUILD/tests/app/stand_in_voice.dll
[ -f "$stand_in" ] || e2e_fail "no stand-in voice at $stand_in"
spoken=$(dirname "$stand_in")/spoken.txt
rm -f "$spoken"

server_key='HKLM\Software\Classes\CLSID\{96749377-3391-11D2-9EE3-00C04F797396}\InprocServer32'
token_key='HKLM\Software\Microsoft\Speech\Voices\Tokens\MivoraTestVoice'
reg() { e2e_wine reg "$@" </dev/null 2>/dev/null 9>&- | tr -d '\r'; }
original=$(reg query "$server_key" /ve | awk -F'REG_SZ' 'NF > 1 { sub(/^[ \t]+/, "", $2); print $2 }')
[ -n "$original" ] || e2e_fail "no voice object registered in the prefix"
restore_voice() {
    reg add "$server_key" /ve /d "$original" /f >/dev/null
    reg delete "$token_key" /f >/dev/null
    rm -f "$spoken"
}
trap 'restore_voice; e2e_cleanup' EXIT
reg add "$server_key" /ve /d "$(e2e_wine winepath -w "$stand_in" 2>/dev/null </dev/null 9>&- | tr -d '\r')" /f >/dev/null
reg add "$token_key" /ve /d "Mivora Test Voice" /f >/dev/null
reg add "$token_key\\Attributes" /v Language /d 409 /f >/dev/null

e2e_dictionary 英语四级词汇 'apple|ˈæpl|苹果' 'banana|bəˈnɑːnə|香蕉' 'cherry|ˈtʃeri|樱桃'
# No switching on a timer: every word said comes from the steps below. No
# background taken from the screen either: the look two seconds after each
# OK may find the next sheet over the spot beside the word and take its
# colour, which the second OK would then rightly write into mivora.bin.
e2e_settings_file autoSwitch=0 sampleBackground=0
printf '[Speech]\r\nAutoRead=1\r\n' >"$E2E_DIR/mivora.ini"
said() { [ -f "$spoken" ] && [ "$(wc -l <"$spoken")" -ge "$1" ]; }

# --- 1. the first word after the load
e2e_start
e2e_wait_ready
e2e_wait_for 30 "the first word said" said 1
first=$(head -n 1 "$spoken")
e2e_log "said: $first"
case "$first" in
"13 apple" | "13 banana" | "13 cherry") ;;
*) e2e_fail "the first word was said as '$first'" ;;
esac
# --- 2. the 朗读 page
# A first OK writes mivora.bin as the program holds its settings (the word
# window's size and more differ from the file the script wrote); the
# second, on the 朗读 page, must leave it as it is.
tray_command 3
e2e_wait_for 20 "the options sheet" sheet_open
shoot_settled settings
click_ok
e2e_wait_for 20 "the sheet to close" sheet_closed
bin_before=$(md5sum <"$E2E_DIR/mivora.bin")
tray_command 3
e2e_wait_for 20 "the options sheet" sheet_open
shoot_settled settings-again
# The third tab (统计), then the keyboard one on to 朗读: the tab keeps
# the focus after the click.
click_in_sheet 140 17
xdotool key Right
shoot_settled speech "$SHEET_SHOT"
speech_shot=$SHEET_SHOT
# From the tabs, Tab walks the page top to bottom: voice, speed, volume,
# 自动朗读, 试听.
xdotool key --delay 150 Tab Tab Tab Tab Tab space
e2e_wait_for 20 "试听 to say the word" said 2
second=$(sed -n 2p "$spoken")
[ "$second" = "$first" ] || e2e_fail "试听 said '$second', the shown word is '${first#13 }'"
# OK (Return would press the focused 试听 again, as in any dialog).
click_ok
e2e_wait_for 20 "the sheet to close" sheet_closed
e2e_wait_for 10 "mivora.ini written" grep -qa 'A.u.t.o.R.e.a.d.=.1' "$E2E_DIR/mivora.ini"
[ "$(head -c 2 "$E2E_DIR/mivora.ini" | od -An -tx1 | tr -d ' ')" = fffe ] || e2e_fail "mivora.ini is not UTF-16LE with a BOM"
[ "$(md5sum <"$E2E_DIR/mivora.bin")" = "$bin_before" ] || e2e_fail "OK changed mivora.bin"
[ "$(stat -c %s "$E2E_DIR/mivora.bin")" -eq 284 ] || e2e_fail "mivora.bin is not 284 bytes"

# --- 3. 退出
e2e_quit
if [ "${MIVORA_UPDATE_DOCS:-}" = 1 ]; then
    cp "$speech_shot" "$E2E_SOURCE/docs/options-speech.png"
    e2e_log "copied $speech_shot to docs/options-speech.png"
fi
e2e_log "guide screenshot: $speech_shot"
e2e_end
