#!/usr/bin/env bash
# Whole-program figures for Mivora.exe under Wine, for the shipped dictionary
# and for generated ones of 20,000 and 100,000 lines:
#   cold start  launch in a fresh program folder (no settings, no progress
#               file) until the word window shows the first word of the load
#   warm start  the same with the progress file the cold run's exit wrote
#   exit        "退出" chosen in the tray menu until the process has ended
#               (after a cold run, so the progress file is written)
#   peak RSS    VmHWM of the Wine process that is Mivora.exe, just before exit
# Medians of BENCH_WINE_RUNS runs (default 3). Figures only: nothing here
# judges them.
#   bench-wine.sh [windows build dir]   (default build/windows)
#
# The word window is created with no size and first laid out for its loading
# line (the dictionary name, "正在", "加载中..."); the load ends with a layout
# for the first word, which resizes it. The loading line's size is taken
# from a run whose dictionary is missing (the line then stays), and a start
# counts as done when the program's window has any other size.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/windows}
runs=${BENCH_WINE_RUNS:-3}

. "$root/bench/bench-lib.sh"
bench_build bench-wine "$build" Mivora
bench_begin bench-wine "$build"

peak_rss_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$E2E_PID/status" 2>/dev/null || echo 0; }

# A fresh program folder whose dictionary is the given file, under the name
# the defaults choose.
fresh_folder() {
    E2E_DIR=$base/run
    rm -rf "$E2E_DIR"
    mkdir -p "$E2E_DIR/dic"
    cp "$E2E_BUILD/app/Mivora.exe" "$E2E_DIR/"
    cp "$1" "$E2E_DIR/dic/英语四级词汇.txt"
}

# start_to_first_word: starts Mivora.exe and leaves in MS the milliseconds
# until its window left the loading line.
start_to_first_word() {
    bench_time_start "$loading" e2e_start
    e2e_log "first word after $MS ms, window $SIZE"
    e2e_wait_ready
}

# quit_timed: "退出" through the tray menu; leaves in MS the milliseconds
# from the choice to the end of the process, and in SAVE_MS those from the
# first write in dic\ to DAvud.bin in place ("-" when nothing was saved).
quit_timed() {
    local out=$base/save.out
    bench_watch "$out" folder saved "$E2E_DIR/dic" "$E2E_PID"
    E2E_QUIT_POLL=0.005 e2e_quit
    MS=$(ms_between "$E2E_CHOSEN_AT" "$E2E_GONE_AT")
    wait "$watcher"
    watcher=""
    SAVE_MS=$(awk '{ print $1 == "-" ? "-" : int(($1 + 500) / 1000) }' "$out")
}

# generate <file> <lines>: UTF-16LE with CR LF and no signature, like the
# shipped dictionary: distinct made-up words, a phonetic, and a meaning of
# two or three Chinese glosses.
generate() {
    python3 - "$1" "$2" <<'PY'
import random, sys
path, count = sys.argv[1], int(sys.argv[2])
onsets = "b c d f g h j k l m n p r s t v w z br st".split()
vowels = "a e i o u".split()
sounds = dict(a="æ", e="e", i="ɪ", o="ɒ", u="ʌ", c="k", j="dʒ", y="j")
endings = ["", "", "tion", "ment", "ness", "ly", "er", "ive"]
glosses = ("放弃 能力 学术的 接受 事故 账户 准确的 实现 获得 行动 实际上 适应 增加 地址 充足的 调整 承认 采用 成年人 前进 "
           "优点 冒险 广告 建议 影响 负担得起 害怕的 机构 议程 侵略 同意 农业 目标 警报 相似的 允许 几乎 独自 已经 "
           "改变 总是 惊人的 雄心 数量 分析 古代的 愤怒 动物 宣布 每年的 回答 焦虑 道歉 明显的 出现 应用 任命 欣赏 方法").split()
parts = ["n.", "v.", "vt.", "vi.", "adj.", "adv."]
rng = random.Random(4139)
lines = []
for i in range(count):
    n = i * 7919 % 1000003  # scattered, still one syllable string per line
    syllables = []
    for _ in range(3):
        n, s = divmod(n, len(onsets) * len(vowels))
        syllables.append(onsets[s // len(vowels)] + vowels[s % len(vowels)])
    syllables.append(onsets[n % len(onsets)] + vowels[n // len(onsets) % len(vowels)])
    word = "".join(syllables) + endings[i % len(endings)]
    phonetic = "ˈ" + "".join(sounds.get(c, c) for c in word)
    meaning = rng.choice(parts) + " " + "；".join(rng.sample(glosses, rng.choice((2, 3))))
    lines.append(f"{word}|{phonetic}|{meaning}\r\n")
assert len({l.split("|")[0] for l in lines}) == count
open(path, "wb").write("".join(lines).encode("utf-16-le"))
PY
}

# measure <name> <dictionary file>: the runs for one dictionary; appends a
# row to ROWS.
ROWS=()
measure() {
    local name=$1 file=$2 lines run cold=() warm=() exits=() saves=() sizes=() rss=0 kib
    lines=$(python3 -c 'import sys; print(len(open(sys.argv[1], "rb").read().decode("utf-16-le").splitlines()))' "$file")
    for run in $(seq 1 "$runs"); do
        fresh_folder "$file"
        start_to_first_word
        cold+=("$MS")
        kib=$(peak_rss_kib); [ "$kib" -gt "$rss" ] && rss=$kib
        quit_timed
        exits+=("$MS")
        saves+=("$SAVE_MS")
        sizes+=("$(e2e_file_size "$E2E_DIR/dic/DAvud.bin")")
        start_to_first_word
        warm+=("$MS")
        kib=$(peak_rss_kib); [ "$kib" -gt "$rss" ] && rss=$kib
        quit_timed
        say "  $name run $run: cold ${cold[-1]} ms, exit ${exits[-1]} ms (save ${saves[-1]} ms), warm ${warm[-1]} ms (exit $MS ms)"
    done
    rm -rf "$E2E_DIR"
    ROWS+=("$name|$lines|$(median "${cold[@]}")|$(median "${warm[@]}")|$(median "${exits[@]}")|$(median "${saves[@]}")|$(median "${sizes[@]}")|$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')")
}

say "bench-wine: Mivora.exe from $E2E_BUILD/app, display $DISPLAY, $runs runs per dictionary"
mkdir -p "$base/dicts"
cp "$root/dic/英语四级词汇.txt" "$base/dicts/shipped.txt"
generate "$base/dicts/20000.txt" 20000
generate "$base/dicts/100000.txt" 100000

# The loading line's size: with no dictionary at all the load finds nothing
# and the line stays. This first start also pays for the Wine desktop's
# start on the new display, which the figures below should not.
E2E_DIR=$base
e2e_start
loading=$(python3 "$watch" settled 60) || e2e_fail "no window of the program settled"
e2e_wait_ready
E2E_QUIT_POLL=0.005 e2e_quit
say "  loading line: $loading"

measure "英语四级词汇 (shipped)" "$base/dicts/shipped.txt"
measure "generated 20k" "$base/dicts/20000.txt"
measure "generated 100k" "$base/dicts/100000.txt"

{
    echo "dictionary|lines|cold start ms|warm start ms|exit ms|save ms|DAvud.bin bytes|peak RSS MiB"
    printf '%s\n' "${ROWS[@]}"
} | python3 -c '
import sys, unicodedata
rows = [line.rstrip("\n").split("|") for line in sys.stdin]
def width(text):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)
widths = [max(width(row[i]) for row in rows) for i in range(len(rows[0]))]
def show(row):
    cells = [cell + " " * (w - width(cell)) if i == 0 else " " * (w - width(cell)) + cell
             for i, (cell, w) in enumerate(zip(row, widths))]
    return " | ".join(cells)
print(show(rows[0]))
print("-+-".join("-" * w for w in widths))
for row in rows[1:]:
    print(show(row))
' >&3
say "Medians of $runs runs. Exit: from choosing 退出 after a cold run to the end of the process, writing"
say "DAvud.bin included; save: the part of it from the first write in dic\\ to DAvud.bin in place."
say "Peak RSS: the highest VmHWM of the Mivora.exe process seen just before an exit."
say "Under Xvfb, which has no window manager, Wine waits 2 s for one before it gives up on"
say "unmapping the word window, and the removal of the tray icon waits as long again: about"
say "4000 ms of every exit figure here is Wine waiting, which a desktop does not have."
