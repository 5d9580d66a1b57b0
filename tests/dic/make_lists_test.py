#!/usr/bin/env python3
"""dic/make-lists.py on a CSV of ECDICT's shape: which words go into which
list, and how each line is written.

    make_lists_test.py <path of make-lists.py>
"""
import csv
import os
import subprocess
import sys
import tempfile

script = sys.argv[1]

# word, phonetic, translation, tag
ROWS = [
    ("abandon", "ә'bændәn", r"vt. 放弃, 抛弃, 遗弃, 使屈从\nn. 放任, 无拘束, 狂热\n[计] 放弃", "cet4 gre"),
    ("Zebra", "'zi:brә", "n. 斑马", "cet4"),
    ("apple", "'æpl", r"n. 苹果, 苹果树\n[医] 苹果", "zk cet4"),
    ("bag", "bæ^", "n. 袋子, 包", "zk xx"),
    ("cable", r"'keib\l", "n. 电缆, 缆绳", "cet6"),
    ("a|b", "ei", "坏词", "cet6"),
    ("untagged", "'ʌn", "n. 没有标签", ""),
    ("May", "mei", "n. 五月", "zk"),
    ("may", "mei", "aux. 可以, 也许", "zk"),
    ("ion", "'aiәn", r"[化] 离子, 离子化", "gre"),
    ("get", "get", r"vt. 得到, 获得, 变成, 使得\nvi. 到达, 成为, 变得\nn. (网球等)救球, 生殖, 幼兽\nn. 更多的词, 更多更多的词", "ky"),
    ("hood", "hʊd", r"v. 使(马,鹰等)戴头罩, 覆盖", "toefl"),
    ("longword", "lɒŋ", "n. 一个非常非常长的没有任何标点符号可以分开的释义文字一直写到超过四十个字的限度还在写还在写", "ielts"),
]

# The lists expected, by hand: sorted by the lower-cased word, glyphs fixed
# (ә -> ə, ^ -> g), a corrupt phonetic left empty, domain lines dropped, 3
# senses in the first group and 2 after, groups while within 40 characters.
EXPECTED = {
    "中考英语词汇": ["apple|'æpl|n. 苹果；苹果树", "bag|bæg|n. 袋子；包", "May|mei|n. 五月"],
    "高考英语词汇": [],
    "英语四级词汇": ["abandon|ə'bændən|vt. 放弃；抛弃；遗弃 n. 放任；无拘束", "apple|'æpl|n. 苹果；苹果树",
                 "Zebra|'zi:brə|n. 斑马"],
    "英语六级词汇": ["cable||n. 电缆；缆绳"],
    "考研英语词汇": ["get|get|vt. 得到；获得；变成 vi. 到达；成为 n. (网球等)救球；生殖"],
    "雅思词汇": ["longword|lɒŋ|n. 一个非常非常长的没有任何标点符号可以分开的释义文字一直写到超过四十个字的限"],
    "托福词汇": ["hood|hʊd|v. 使(马,鹰等)戴头罩；覆盖"],
    "GRE词汇": ["abandon|ə'bændən|vt. 放弃；抛弃；遗弃 n. 放任；无拘束", "ion|'aiən|离子；离子化"],
}

failures = []
with tempfile.TemporaryDirectory() as scratch:
    source = os.path.join(scratch, "ecdict.csv")
    with open(source, "w", encoding="utf-8", newline="") as f:
        out = csv.writer(f)
        out.writerow(["word", "phonetic", "definition", "translation", "pos", "collins", "oxford", "tag", "bnc",
                      "frq", "exchange", "detail", "audio"])
        for word, phonetic, translation, tag in ROWS:
            out.writerow([word, phonetic, "", translation, "", "", "", tag, "0", "0", "", "", ""])
    made = subprocess.run([sys.executable, script, "--csv", source, "--out", scratch], capture_output=True, text=True)
    if made.returncode != 0:
        sys.exit("make-lists.py failed: " + made.stderr)
    for name, lines in EXPECTED.items():
        data = open(os.path.join(scratch, name + ".txt"), "rb").read()
        if data.startswith(b"\xff\xfe"):
            failures.append(f"{name}: starts with a byte-order mark")
        text = data.decode("utf-16-le")
        got = text.split("\r\n")
        if got[-1] != "":
            failures.append(f"{name}: last line without CR LF")
        if got[:-1] != lines:
            failures.append(f"{name}: {got[:-1]}, expected {lines}")

for failure in failures:
    print("FAIL:", failure)
print(f"{len(EXPECTED)} lists checked, {len(failures)} problems")
sys.exit(1 if failures else 0)
