#!/usr/bin/env python3
"""The files Mivora keeps, as the end-to-end scripts read and write them.

One place for their layouts:
  mivora.bin   the settings record, 284 bytes, no header: sixteen
               little-endian 32-bit integers, a LOGFONTW (92 bytes) and the
               dictionary name (64 UTF-16 units).
  DAvud.bin    the progress file: a 24-byte header (learningCount,
               rememberedCount, two reserved integers, startDate, lastDate),
               then the remembered records, then the learning ones, 1664
               bytes each: word (512 units), phonetic (64), content (256).
  <name>.txt   a dictionary: UTF-16LE lines with CR LF, "word|phonetic|meaning".

Used as a module (import mivora_files) or from the shell:
  mivora_files.py settings-write <file> [field=value ...]
  mivora_files.py settings-int <file> <field name or byte offset>
  mivora_files.py settings-check <file>      284 bytes
  mivora_files.py settings-expect <file> [field=value ...]
  mivora_files.py progress-check <file> <remembered> <learning> [first word]
  mivora_files.py progress-words <file>      "remembered ... | learning ..."
  mivora_files.py progress-write <file> <remembered words> <learning words>
  mivora_files.py other-pc <file> <words remembered there> <words forgotten there> [<start date> <new learning>]
      another PC's save arriving through a sync program: the file as it is,
      with those words moved (or a new word list chosen on that date), and a
      last-write time of that PC's own
  mivora_files.py progress-expect <file> [remembered=w,..] [not-remembered=w,..] [learning=w,..]
                  [not-learning=w,..] [learning-exact=w,..] [learning-last=w] [start=N]
  mivora_files.py dictionary <file> <line>...
  mivora_files.py dictionary-generated <file> <count>
  mivora_files.py folder-verify <folder before> <folder after>
      the user's files after a run are unchanged or complete and loadable,
      never torn and never replaced by less than they held (see verify_folder)
"""
import datetime
import struct
import sys

SETTINGS_BYTES = 284
HEADER_BYTES = 24
RECORD_BYTES = 1664
WORD_UNITS, PHONETIC_UNITS, CONTENT_UNITS = 512, 64, 256

INT_FIELDS = ["autoStart", "autoSwitch", "transparentBackground", "sampleBackground", "reservedFlag",
              "titleBarMode", "windowX", "windowY", "windowWidth", "windowHeight", "wordColor",
              "phoneticColor", "contentColor", "backgroundColor", "switchSeconds", "cycleSize"]
# Colours are COLORREFs (unsigned); everything else is signed.
UNSIGNED = {"wordColor", "phoneticColor", "contentColor", "backgroundColor"}
FONT_INTS = ["lfHeight", "lfWidth", "lfEscapement", "lfOrientation", "lfWeight"]
FONT_BYTES = ["lfItalic", "lfUnderline", "lfStrikeOut", "lfCharSet", "lfOutPrecision",
              "lfClipPrecision", "lfQuality", "lfPitchAndFamily"]
OFFSETS = {name: 4 * i for i, name in enumerate(INT_FIELDS)}
OFFSETS.update({name: 64 + 4 * i for i, name in enumerate(FONT_INTS)})
OFFSETS.update({name: 84 + i for i, name in enumerate(FONT_BYTES)})
OFFSETS.update(lfFaceName=92, dictionaryName=156)

# What the end-to-end scenarios start from unless they say otherwise: the
# program's defaults, at a fixed place on the 1280 x 800 screen.
SETTINGS_DEFAULTS = dict(
    autoStart=0, autoSwitch=1, transparentBackground=0, sampleBackground=1, reservedFlag=0,
    titleBarMode=0, windowX=900, windowY=48, windowWidth=200, windowHeight=36,
    wordColor=0xFF0000, phoneticColor=0x0F000F, contentColor=0x336600,
    backgroundColor=0xFFFFFF, switchSeconds=10, cycleSize=15,
    lfHeight=-16, lfWidth=0, lfEscapement=0, lfOrientation=0, lfWeight=400,
    lfItalic=0, lfUnderline=0, lfStrikeOut=0, lfCharSet=0, lfOutPrecision=3,
    lfClipPrecision=2, lfQuality=1, lfPitchAndFamily=0x22,
    lfFaceName="Arial", dictionaryName="英语四级词汇")


def utf16_field(text, units):
    """A zero-terminated, zero-filled UTF-16LE field of `units` units."""
    raw = text.encode("utf-16-le")[: 2 * (units - 1)]
    return raw + b"\0" * (2 * units - len(raw))


def field_text(raw):
    """The text of a UTF-16LE field up to its terminator."""
    units = [raw[i:i + 2] for i in range(0, len(raw) - 1, 2)]
    end = units.index(b"\0\0") if b"\0\0" in units else len(units)
    return b"".join(units[:end]).decode("utf-16-le", errors="replace")


def settings_record(**overrides):
    """The 284 bytes of a settings record: SETTINGS_DEFAULTS with `overrides`."""
    values = dict(SETTINGS_DEFAULTS)
    for key, value in overrides.items():
        if key not in values:
            raise KeyError(f"unknown settings field {key}")
        values[key] = value
    record = b"".join(struct.pack("<I" if k in UNSIGNED else "<i", values[k] & 0xFFFFFFFF if k in UNSIGNED
                                  else values[k]) for k in INT_FIELDS)
    record += struct.pack("<5i8B", *[values[k] for k in FONT_INTS], *[values[k] for k in FONT_BYTES])
    record += utf16_field(values["lfFaceName"], 32) + utf16_field(values["dictionaryName"], 64)
    assert len(record) == SETTINGS_BYTES
    return record


def read_settings(path):
    """The fields of a settings file as a dict (a short file reads as zeros
    after its end, as the program reads it)."""
    data = open(path, "rb").read()[:SETTINGS_BYTES].ljust(SETTINGS_BYTES, b"\0")
    fields = {k: struct.unpack_from("<I" if k in UNSIGNED else "<i", data, OFFSETS[k])[0] for k in INT_FIELDS}
    fields.update({k: struct.unpack_from("<i", data, OFFSETS[k])[0] for k in FONT_INTS})
    fields.update({k: data[OFFSETS[k]] for k in FONT_BYTES})
    fields["lfFaceName"] = field_text(data[92:156])
    fields["dictionaryName"] = field_text(data[156:284])
    return fields


def settings_int(path, field):
    """One 32-bit field, by name or by byte offset."""
    data = open(path, "rb").read()
    offset = int(field) if str(field).isdigit() else OFFSETS[field]
    return struct.unpack_from("<i", data, offset)[0]


def entry(word, phonetic="", content=""):
    """One 1664-byte word record."""
    return utf16_field(word, WORD_UNITS) + utf16_field(phonetic, PHONETIC_UNITS) + \
        utf16_field(content, CONTENT_UNITS)


def progress_bytes(remembered, learning, start_date=None, last_date=None, reserved=(0, 0)):
    """A whole progress file; `remembered` and `learning` are lists of words
    or of (word, phonetic, content) tuples."""
    today = int(datetime.date.today().strftime("%Y%m%d"))
    def record(item):
        return entry(*item) if isinstance(item, tuple) else entry(item)
    header = struct.pack("<6i", len(learning), len(remembered), reserved[0], reserved[1],
                         start_date or today, last_date or today)
    return header + b"".join(record(w) for w in remembered) + b"".join(record(w) for w in learning)


class Progress:
    """A progress file as read: its header and its words."""

    def __init__(self, path):
        self.data = open(path, "rb").read()
        if len(self.data) < HEADER_BYTES:
            raise ValueError(f"{path}: {len(self.data)} bytes, shorter than the header")
        (self.learning_count, self.remembered_count, self.reserved1, self.reserved2,
         self.start_date, self.last_date) = struct.unpack_from("<6i", self.data)
        self.path = path

    def complete(self):
        """Whether the file holds exactly the records its header counts."""
        if self.learning_count < 0 or self.remembered_count < 0:
            return False
        return len(self.data) == HEADER_BYTES + RECORD_BYTES * (self.learning_count + self.remembered_count)

    def word(self, index):
        start = HEADER_BYTES + RECORD_BYTES * index
        return field_text(self.data[start: start + 2 * WORD_UNITS])

    def words(self):
        """(remembered words, learning words)."""
        count = self.remembered_count + self.learning_count
        all_words = [self.word(i) for i in range(count)]
        return all_words[: self.remembered_count], all_words[self.remembered_count:]


def check_progress(path, remembered, learning, first=None, recent_dates=True):
    """Asserts that the progress file holds exactly these counts (and this
    first learning word), with dates of today or yesterday."""
    p = Progress(path)
    expected = HEADER_BYTES + RECORD_BYTES * (remembered + learning)
    assert len(p.data) == expected, f"{path}: {len(p.data)} bytes, expected {expected}"
    assert (p.remembered_count, p.learning_count) == (remembered, learning), \
        f"counts {p.remembered_count}/{p.learning_count}"
    if recent_dates:
        today = datetime.date.today()
        days = {int(d.strftime("%Y%m%d")) for d in (today, today - datetime.timedelta(days=1))}
        assert p.last_date in days and p.start_date in days, f"dates start {p.start_date} last {p.last_date}"
    if first is not None:
        word = p.word(remembered)
        assert word == first, f"first learning word {word!r}, expected {first!r}"
    return p


def other_pc(path, remember, forget, start=None, new_learning=None):
    """Rewrites the progress file as another PC's save would leave it."""
    import os
    import time
    p = Progress(path)
    remembered, learning = p.words()
    for w in remember:
        learning = [x for x in learning if x.lower() != w.lower()]
        remembered.append(w)
    for w in forget:
        remembered = [x for x in remembered if x.lower() != w.lower()]
        learning.append(w)
    if new_learning is not None:
        known = {w.lower() for w in remembered}
        learning = [w for w in new_learning if w.lower() not in known]
    today = int(datetime.date.today().strftime("%Y%m%d"))
    data = progress_bytes(remembered, learning, start_date=start or p.start_date, last_date=today,
                          reserved=(p.reserved1, p.reserved2))
    open(path, "wb").write(data)
    # That PC's clock, not this one's: the sync program keeps its time.
    stamp = time.time() + 3600 + int(p.last_date % 97)
    os.utime(path, (stamp, stamp))


def expect_progress(path, expectations):
    """Asserts what the lists hold: name=w1,w2,... for each expectation."""
    p = Progress(path)
    assert p.complete(), f"{path}: not a complete progress file"
    remembered, learning = p.words()
    rem, learn = {w.lower() for w in remembered}, {w.lower() for w in learning}
    # name: (the list's words, whether they must be in it, the list as read)
    membership = {"remembered": (rem, True, remembered), "not-remembered": (rem, False, remembered),
                  "learning": (learn, True, learning), "not-learning": (learn, False, learning)}
    for item in expectations:
        name, value = item.split("=", 1)
        words = [w for w in value.split(",") if w]
        if name in membership:
            folded, inside, listed = membership[name]
            wrong = [w for w in words if (w.lower() in folded) != inside]
            assert not wrong, f"{name} fails for {wrong} (the list: {listed})"
        elif name == "learning-exact":
            assert learning == words, f"learning list {learning}, expected {words}"
        elif name == "learning-last":
            assert learning and learning[-1] == value, f"learning list ends with {learning[-1:]}, expected {value}"
        elif name == "start":
            assert p.start_date == int(value), f"startDate {p.start_date}, expected {value}"
        else:
            raise KeyError(name)
    assert not rem & learn, f"in both lists: {sorted(rem & learn)}"
    assert p.remembered_count == len(remembered) and p.learning_count == len(learning)


def dictionary_bytes(lines):
    """A dictionary in the shipped one's encoding: UTF-16LE, CR LF, no signature."""
    return "".join(line + "\r\n" for line in lines).encode("utf-16-le")


def generated_lines(count):
    return [f"word{i:04d}|wɜːd{i}|n. 第{i}个词" for i in range(count)]


def progress_state(data):
    """'missing', 'empty', 'complete' or 'unreadable' for a progress file's bytes."""
    if data is None:
        return "missing"
    if not data:
        return "empty"
    if len(data) < HEADER_BYTES:
        return "unreadable"
    learning, remembered = struct.unpack_from("<2i", data)
    if learning < 0 or remembered < 0 or len(data) != HEADER_BYTES + RECORD_BYTES * (learning + remembered):
        return "unreadable"
    return "complete"


def _read(path):
    try:
        return open(path, "rb").read()
    except FileNotFoundError:
        return None


def _records(data):
    """The set of whole records of a complete progress file."""
    count = (len(data) - HEADER_BYTES) // RECORD_BYTES
    return {data[HEADER_BYTES + RECORD_BYTES * i: HEADER_BYTES + RECORD_BYTES * (i + 1)] for i in range(count)}


def verify_folder(before, after):
    """Compares a program folder after a run with its copy from before the
    run; returns a list of problems (empty when all is well):
      - every dictionary (dic/*.txt) is byte for byte what it was;
      - mivora.bin is unchanged, or a whole record: 284 bytes where it was
        shorter or missing, and a longer file keeps its bytes after 284;
      - dic/DAvud.bin is unchanged, or complete (its counts match its length)
        and holds every record it held; a file that could not be read whole
        (torn, counts that do not fit) is never lost: its bytes are still in
        dic, as DAvud.bin or kept aside under another name.
    """
    import os
    problems = []
    dic_before, dic_after = os.path.join(before, "dic"), os.path.join(after, "dic")
    names_before = sorted(os.listdir(dic_before)) if os.path.isdir(dic_before) else []
    for name in names_before:
        if name.lower().endswith(".txt") and _read(os.path.join(dic_after, name)) != _read(os.path.join(dic_before, name)):
            problems.append(f"dictionary {name} changed or vanished")

    old, new = _read(os.path.join(before, "mivora.bin")), _read(os.path.join(after, "mivora.bin"))
    if new != old:
        if new is None:
            problems.append("mivora.bin vanished")
        elif old is None or len(old) < SETTINGS_BYTES:
            if len(new) != SETTINGS_BYTES:
                problems.append(f"mivora.bin is {len(new)} bytes, expected a whole record of {SETTINGS_BYTES}")
        elif len(new) != len(old) or new[SETTINGS_BYTES:] != old[SETTINGS_BYTES:]:
            problems.append(f"mivora.bin of {len(old)} bytes became {len(new)} bytes or lost its tail")

    old = _read(os.path.join(dic_before, "DAvud.bin"))
    new = _read(os.path.join(dic_after, "DAvud.bin"))
    state_before, state_after = progress_state(old), progress_state(new)
    if new != old:
        # An empty file is what a first start leaves before there is anything
        # to save; it loads as no progress at all.
        allowed = ("missing", "empty", "complete") if state_before in ("missing", "empty") else ("missing", "complete")
        if state_after not in allowed:
            problems.append(f"DAvud.bin is left {state_after} ({len(new)} bytes)")
        if state_before == "complete":
            if state_after != "complete":
                problems.append("the complete DAvud.bin is gone")
            elif not _records(old) <= _records(new):
                problems.append("DAvud.bin lost records it held")
        elif state_before == "unreadable":
            others = [n for n in (os.listdir(dic_after) if os.path.isdir(dic_after) else [])
                      if n != "DAvud.bin" and _read(os.path.join(dic_after, n)) == old]
            if not others:
                problems.append(f"the unreadable DAvud.bin ({len(old)} bytes) was replaced and not kept aside")
    return problems


def _main(argv):
    command, args = argv[1], argv[2:]
    if command == "settings-write":
        overrides = {}
        for a in args[1:]:
            key, value = a.split("=", 1)
            overrides[key] = value if key in ("dictionaryName", "lfFaceName") else int(value, 0)
        open(args[0], "wb").write(settings_record(**overrides))
    elif command == "settings-int":
        print(settings_int(args[0], args[1]))
    elif command == "settings-check":
        data = open(args[0], "rb").read()
        assert len(data) == SETTINGS_BYTES, f"{args[0]}: {len(data)} bytes"
        fields = read_settings(args[0])
        print(f"settings ok: corner {fields['windowX']},{fields['windowY']}, dictionary {fields['dictionaryName']!r}")
    elif command == "settings-expect":
        fields = read_settings(args[0])
        for a in args[1:]:
            key, value = a.split("=", 1)
            expected = value if key in ("dictionaryName", "lfFaceName") else int(value, 0)
            assert fields[key] == expected, f"{key} is {fields[key]!r}, expected {expected!r}"
        print("settings as expected:", " ".join(args[1:]))
    elif command == "progress-check":
        p = check_progress(args[0], int(args[1]), int(args[2]), args[3] if len(args) > 3 else None)
        print(f"progress ok: {p.remembered_count} remembered, {p.learning_count} learning, "
              f"start {p.start_date}, last {p.last_date}")
    elif command == "progress-words":
        remembered, learning = Progress(args[0]).words()
        print(" ".join(remembered), "|", " ".join(learning))
    elif command == "progress-write":
        open(args[0], "wb").write(progress_bytes(args[1].split(), args[2].split()))
    elif command == "other-pc":
        other_pc(args[0], args[1].split(), args[2].split(), int(args[3]) if len(args) > 3 else None,
                 args[4].split() if len(args) > 4 else None)
    elif command == "progress-expect":
        expect_progress(args[0], args[1:])
        print("progress as expected:", " ".join(args[1:]))
    elif command == "dictionary":
        open(args[0], "wb").write(dictionary_bytes(args[1:]))
    elif command == "dictionary-generated":
        open(args[0], "wb").write(dictionary_bytes(generated_lines(int(args[1]))))
    elif command == "folder-verify":
        problems = verify_folder(args[0], args[1])
        for problem in problems:
            print("  " + problem)
        if problems:
            sys.exit(1)
        print("files ok")
    else:
        sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    try:
        _main(sys.argv)
    except AssertionError as failure:
        sys.exit(f"{sys.argv[1]}: {failure}")
