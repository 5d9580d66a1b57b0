#!/usr/bin/env python3
"""dic/make-lists.py on CSVs of ECDICT's shape: which words go into which
list, how each line is written, which entries the rules mend or leave out,
and the order of the words.

    make_lists_test.py <path of make-lists.py>
"""
import csv
import os
import subprocess
import sys
import tempfile

script = sys.argv[1]
failures = []

NAMES = {"zk": "中考英语词汇", "gk": "高考英语词汇", "cet4": "英语四级词汇", "cet6": "英语六级词汇", "ky": "考研英语词汇",
         "ielts": "雅思词汇", "toefl": "托福词汇", "gre": "GRE词汇"}


def run(rows):
    """The eight lists made from `rows` (word, phonetic, translation, tag,
    and optionally bnc, frq, exchange): {tag: [line, ...]}."""
    with tempfile.TemporaryDirectory() as scratch:
        source = os.path.join(scratch, "ecdict.csv")
        with open(source, "w", encoding="utf-8", newline="") as f:
            out = csv.writer(f)
            out.writerow(["word", "phonetic", "definition", "translation", "pos", "collins", "oxford", "tag", "bnc",
                          "frq", "exchange", "detail", "audio"])
            for row in rows:
                word, phonetic, translation, tag, bnc, frq, exchange = list(row) + ["0", "0", ""][len(row) - 4:]
                out.writerow([word, phonetic, "", translation, "", "", "", tag, bnc, frq, exchange, "", ""])
        made = subprocess.run([sys.executable, script, "--csv", source, "--out", scratch], capture_output=True,
                              text=True)
        if made.returncode != 0:
            sys.exit("make-lists.py failed: " + made.stderr)
        lists = {}
        for tag, name in NAMES.items():
            data = open(os.path.join(scratch, name + ".txt"), "rb").read()
            if data.startswith(b"\xff\xfe"):
                failures.append(f"{name}: starts with a byte-order mark")
            got = data.decode("utf-16-le").split("\r\n")
            if got[-1] != "":
                failures.append(f"{name}: last line without CR LF")
            lists[tag] = got[:-1]
        return lists


# Which words go where and how a line is written. word, phonetic,
# translation, tag (bnc and frq 0: alphabetical order).
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
]

# The lists expected, by hand: glyphs fixed (ә -> ə, ^ -> g), a corrupt
# phonetic left empty, domain lines dropped, 3 senses in the first group and
# 2 after, groups while within 40 characters.
EXPECTED = {
    "zk": ["apple|'æpl|n. 苹果；苹果树", "bag|bæg|n. 袋子；包", "May|mei|n. 五月"],
    "gk": [],
    "cet4": ["abandon|ə'bændən|vt. 放弃；抛弃；遗弃 n. 放任；无拘束", "apple|'æpl|n. 苹果；苹果树", "Zebra|'zi:brə|n. 斑马"],
    "cet6": ["cable||n. 电缆；缆绳"],
    "ky": ["get|get|vt. 得到；获得；变成 vi. 到达；成为 n. (网球等)救球；生殖"],
    "ielts": [],
    "toefl": ["hood|hʊd|v. 使(马,鹰等)戴头罩；覆盖"],
    "gre": ["abandon|ə'bændən|vt. 放弃；抛弃；遗弃 n. 放任；无拘束", "ion|'aiən|离子；离子化"],
}
lists = run(ROWS)
for tag, lines in EXPECTED.items():
    if lists[tag] != lines:
        failures.append(f"{NAMES[tag]}: {lists[tag]}, expected {lines}")

# One row per rule: ECDICT rows (word, phonetic, translation, tag, bnc, frq,
# exchange), all tagged ielts, and the list expected. Every word has a
# distinct frq rank so the order is the rows' order.
LONG = "一个非常非常长的没有任何标点符号可以分开的释义文字一直写到超过四十个字的限度还在写"  # 44 characters
RULES = [
    ("a plural whose singular is in the list is left out",
     [("hat", "hæt", "n. 帽子", "ielts", "0", "1", "s:hats"),
      ("hats", "", "abbr. 转换终端应用程序（Host Access Transformation Services）", "ielts", "0", "2", "1:s3/0:hat")],
     ["hat|hæt|n. 帽子"]),
    ("a plural that is ECDICT's note of its singular, which is in no list, gives its place to the singular",
     [("accident", "'æksidәnt", "n. 意外事件, 事故", "", "0", "5", "s:accidents"),
      ("accidents", "", "n. 意外事故；事故（accident的复数）", "ielts", "0", "1", "0:accident/1:s"),
      ("alm", "ɑ:m", "n. 救济品", "", "0", "6", ""),
      ("alms", "ɑ:mz", "n. 施舍, 救济金", "ielts", "0", "2", "0:alm/1:s")],
     ["alms|ɑ:mz|n. 施舍；救济金", "accident|'æksidənt|n. 意外事件；事故"]),  # the singular at its own rank
    ("a plural with senses of its own stays",
     [("mean", "mi:n", "vt. 意谓", "ielts", "0", "1", "3:means"),
      ("means", "mi:nz", "n. 方法, 手段", "ielts", "0", "2", "0:mean/1:3")],
     ["mean|mi:n|vt. 意谓", "means|mi:nz|n. 方法；手段"]),
    ("an -ing form with senses of its own stays",
     [("build", "bild", "vt. 建造", "ielts", "0", "1", "i:building"),
      ("building", "'bildiŋ", "n. 建筑物", "ielts", "0", "2", "0:build/1:i")],
     ["build|bild|vt. 建造", "building|'bildiŋ|n. 建筑物"]),
    ("a past form written as its base's form is left out",
     [("recycle", "ri:'saikl", "vt. 回收", "ielts", "0", "1", "d:recycled"),
      ("recycled", "", "v. 回收利用( recycle的过去式和过去分词 ); 再利用", "ielts", "0", "2", "0:recycle/1:dp")],
     ["recycle|ri:'saikl|vt. 回收"]),
    ("a name in capitals is no plural",
     [("aid", "eid", "n. 帮助", "ielts", "0", "1", "s:aids"),
      ("AIDS", "eidz", "n. 爱滋病", "ielts", "0", "2", "0:aid/1:s3")],
     ["aid|eid|n. 帮助", "AIDS|eidz|n. 爱滋病"]),
    ("an abbreviation beside ordinary senses is left out",
     [("pets", "pets", r"n. 宠物\nabbr. 公共英语等级考试", "ielts", "0", "1", ""),
      ("dvd", "", "abbr. 数字化视频光盘（Digital Video Disk）", "ielts", "0", "2", "")],
     ["pets|pets|n. 宠物", "dvd||abbr. 数字化视频光盘（Digital Video Disk）"]),
    ("a long first sense is never cut inside a word or a bracket",
     [("longword", "lɒŋ", "n. " + LONG, "ielts", "0", "1", ""),
      ("topics", "", "abbr. 总联机程序和信息控制系统（Total On-line Program and Information Control System）",
       "ielts", "0", "2", ""),
      ("latin", "", "n. " + "lorem ipsum " * 6, "ielts", "0", "3", "")],
     ["longword|lɒŋ|n. " + LONG, "topics||abbr. 总联机程序和信息控制系统",
      "latin||n. lorem ipsum lorem ipsum lorem ipsum lorem ipsum lorem"]),
    ("a common word in capitals is written small, without the name's and chemistry's senses",
     [("CORE", "kɒ:", r"n. 核心, 果心\n[计] 内核", "ielts", "0", "1", ""),
      ("Polish", "'pɒliʃ", r"a. 波兰的\nn. 波兰人, 上光剂\nvt. 擦亮", "ielts", "0", "2", ""),
      ("Titanic", "tai'tænik", r"a. 四价钛的\n[化] 钛", "ielts", "0", "3", ""),
      ("Monday", "'mʌndi", "n. 星期一", "ielts", "0", "4", "")],
     ["core|kɔ:|n. 核心；果心", "polish|'pɒliʃ|n. 上光剂 vt. 擦亮", "Monday|'mʌndi|n. 星期一"]),
    ("phonetics: the garbled variant, Greek epsilon, ɒ for ɔ, backslashes for ə",
     [("bonhomie", "bɔnɔ'mi:; (?@) bɔnә'mi:", "n. 愉快", "ielts", "0", "1", ""),
      ("childcare", "'tʃaildkεә", "n. 儿童照管", "ielts", "0", "2", ""),
      ("boy", "bɒi", "n. 男孩", "ielts", "0", "3", ""),
      ("door", "dɒ:", "n. 门", "ielts", "0", "4", ""),
      ("hot", "hɒt", "a. 热的", "ielts", "0", "5", ""),
      ("does", "dʌz; dәz", "v. 做", "ielts", "0", "6", ""),
      ("herder", r"'h\\\\\\\\:dә(r)", "n. 牧人", "ielts", "0", "7", "")],
     ["bonhomie|bɔnɔ'mi:|n. 愉快", "childcare|'tʃaildkɛə|n. 儿童照管", "boy|bɔi|n. 男孩", "door|dɔ:|n. 门",
      "hot|hɒt|a. 热的", "does|dʌz; dəz|v. 做", "herder|'hə:də(r)|n. 牧人"]),
]
for name, rows, expected in RULES:
    got = run(rows)["ielts"]
    if got != expected:
        failures.append(f"{name}: {got}, expected {expected}")

# The order: ECDICT's frq rank, then bnc; 0 (no data) after every rank; ties
# alphabetical, letters in any case.
ORDER = [
    ("zulu", "", "n. 一", "gre", "0", "0"),      # no data: last, by letter
    ("Beta", "", "n. 二", "gre", "0", "0"),
    ("alpha", "", "n. 三", "gre", "0", "0"),
    ("delta", "", "n. 四", "gre", "7", "0"),     # no frq: after every frq, by bnc
    ("echo", "", "n. 五", "gre", "3", "0"),
    ("gamma", "", "n. 六", "gre", "900", "12"),  # frq 12 ties with kilo: bnc decides
    ("kilo", "", "n. 七", "gre", "5", "12"),
    ("lima", "", "n. 八", "gre", "0", "12"),     # frq 12, no bnc: after the other 12s
    ("mike", "", "n. 九", "gre", "1000", "2"),
    ("oscar", "", "n. 十", "gre", "0", "300"),
]
got = [line.split("|")[0] for line in run(ORDER)["gre"]]
expected = ["mike", "kilo", "gamma", "lima", "oscar", "echo", "delta", "alpha", "Beta", "zulu"]
if got != expected:
    failures.append(f"order: {got}, expected {expected}")

for failure in failures:
    print("FAIL:", failure)
print(f"{len(EXPECTED) + len(RULES) + 1} tables checked, {len(failures)} problems")
sys.exit(1 if failures else 0)
