#!/usr/bin/env python3
"""dic/make-lists.py's example sentences and word forms, made from a few
hand-made ECDICT rows and Tatoeba pairs: which sentences a word gets, the
form it is bolded by, the forms line, the credits and the file's shape.

    make_examples_test.py <path of make-lists.py>
"""
import csv
import os
import subprocess
import sys
import tempfile

script = sys.argv[1]
failures = []

# word, translation, frq, exchange; all tagged zk.
ROWS = [
    ("go", "vi. 去", "1", "i:going/p:went/d:gone/3:goes"),
    ("win", "vt. 赢", "2", "p:won/d:won/i:winning/3:wins"),
    ("polish", "vt. 擦亮", "3", "3:polishes"),
    ("China", "n. 中国", "4", ""),
    ("ray", "n. 光线", "5", "s:rays"),
    ("hat", "n. 帽子", "6", ""),
    ("hats", "n. 帽子（hat的复数）", "7", "0:hat/1:s3"),
    ("apple", "n. 苹果", "8", "s:apples"),
]


def pair(english, chinese, english_id, chinese_id):
    return f"{english}\t{chinese}\tCC-BY 2.0 (France) Attribution: tatoeba.org #{english_id} (CK) & #{chinese_id} (Yan)"


TATOEBA = [
    "\ufeff" + pair("We are going to go.", "我们要走了。", 1, 11),
    pair("Go.", "走。", 3, 31),
    pair("Go.", "去吧。", 3, 32),              # a second translation: the first counts
    pair("Go!", "走！", 4, 41),                # "Go." again to a learner
    pair("I went home.", "我回家了。", 5, 51) + "\r",
    pair("I won't eat.", "我不会吃。", 6, 61),  # a contraction: not "won"
    pair("We won!", "我们赢了！", 7, 71),
    pair("She speaks Polish.", "她说波兰语。", 8, 81),  # the name, not the word
    pair("Polish your shoes.", "把你的鞋擦亮。", 9, 91),
    pair("It is fine china.", "这是好瓷器。", 10, 101),  # not the country
    pair("I love China.", "我爱中国。", 12, 121),
    pair("An X-ray.", "一张X光片。", 13, 131),         # part of another word
    pair("Rays of light.", "光线。", 14, 141),
    pair("Hats off!", "脱帽！", 15, 151),
]

# Hand-worked: shortest first, a form as the sentence spells it, forms in
# the order p d i 3 s r t, a dropped plural kept as its base's forms, no
# line for a word with neither forms nor sentences.
EXPECTED = [
    "China\t\t12\tChina\tI love China.\t我爱中国。",
    "apple\ts:apples",
    "go\tp:went/d:gone/i:going/3:goes\t3\tGo\tGo.\t走。\t5\twent\tI went home.\t我回家了。",
    "hat\t3:hats/s:hats\t15\tHats\tHats off!\t脱帽！",
    "polish\t3:polishes\t9\tPolish\tPolish your shoes.\t把你的鞋擦亮。",
    "ray\ts:rays\t14\tRays\tRays of light.\t光线。",
    "win\tp:won/d:won/i:winning/3:wins\t7\twon\tWe won!\t我们赢了！",
]
CREDITS = [f"{n}\tCC-BY 2.0 (France) Attribution: tatoeba.org #{n} (CK) & #{c} (Yan)"
           for n, c in ((3, 31), (5, 51), (7, 71), (9, 91), (12, 121), (14, 141), (15, 151))]

with tempfile.TemporaryDirectory() as scratch:
    source = os.path.join(scratch, "ecdict.csv")
    with open(source, "w", encoding="utf-8", newline="") as f:
        out = csv.writer(f)
        out.writerow(["word", "phonetic", "definition", "translation", "pos", "collins", "oxford", "tag", "bnc",
                      "frq", "exchange", "detail", "audio"])
        for word, translation, frq, exchange in ROWS:
            out.writerow([word, "", "", translation, "", "", "", "zk", "0", frq, exchange, "", ""])
    tatoeba = os.path.join(scratch, "tatoeba.txt")
    with open(tatoeba, "w", encoding="utf-8", newline="") as f:
        f.write("\n".join(TATOEBA) + "\n")
    made = subprocess.run([sys.executable, script, "--csv", source, "--tatoeba", tatoeba, "--out", scratch],
                          capture_output=True, text=True)
    if made.returncode != 0:
        sys.exit("make-lists.py failed: " + made.stderr)
    if "中考英语词汇: a sentence for 6 of 7 words" not in made.stdout:
        failures.append(f"coverage not reported as 6 of 7: {made.stdout!r}")

    data = open(os.path.join(scratch, "mivora-examples.tsv"), "rb").read()
    if data.startswith(b"\xef\xbb\xbf") or b"\r" in data or not data.endswith(b"\n"):
        failures.append("mivora-examples.tsv is not UTF-8 lines without BOM ending in LF")
    lines = data.decode("utf-8").split("\n")[:-1]
    comments = [line for line in lines if line.startswith("#")]
    if lines[:len(comments)] != comments or not any("CC-BY 2.0 FR" in line for line in comments):
        failures.append(f"the file does not open with comments naming the licence: {comments}")
    if lines[len(comments):] != EXPECTED:
        failures.append("examples:\n  " + "\n  ".join(lines[len(comments):]) + "\nexpected\n  " + "\n  ".join(EXPECTED))

    credits = open(os.path.join(scratch, "mivora-examples-credits.tsv"), encoding="utf-8").read().split("\n")[:-1]
    if [line for line in credits if not line.startswith("#")] != CREDITS:
        failures.append(f"credits: {credits}, expected {CREDITS}")

    # The real source is checked: a copy that differs is refused.
    refused = subprocess.run([sys.executable, script, "--tatoeba", tatoeba, "--tarball", source, "--out", scratch],
                             capture_output=True, text=True)
    if refused.returncode == 0 or "tatoeba.txt: SHA-256" not in refused.stderr:
        failures.append(f"a Tatoeba file with another checksum was not refused: {refused.stderr!r}")

for failure in failures:
    print("FAIL:", failure)
print(f"{len(EXPECTED)} words checked, {len(failures)} problems")
sys.exit(1 if failures else 0)
