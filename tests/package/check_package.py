#!/usr/bin/env python3
"""Builds the portable zip and checks what a user gets when unpacking it.

    check_package.py <source dir> <build dir> <python with markdown>

- one top folder holding exactly Mivora.exe, dic/英语四级词汇.txt,
  README.html, LICENSE, NOTICES and the pictures under docs/;
- the packed files are the built executable and the source tree's files,
  byte for byte;
- the Chinese file name is marked as UTF-8 in the zip, so Windows' own
  unpacker names the file as the program looks for it;
- README.html is the guide made from the current README.md, and every
  picture it shows that exists in docs/ is packed beside it;
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
expected = {"Mivora.exe", "dic/英语四级词汇.txt", "README.html", "LICENSE", "NOTICES", *images}
check(set(files) == expected, f"contents {sorted(files)}, expected {sorted(expected)}")


def digest(data):
    return hashlib.sha256(data).hexdigest()


def packed(name):
    return archive.read(files[name]) if name in files else b""


originals = {"Mivora.exe": os.path.join(build, "app", "Mivora.exe"),
             "dic/英语四级词汇.txt": os.path.join(source, "dic", "英语四级词汇.txt"),
             "LICENSE": os.path.join(source, "LICENSE"), "NOTICES": os.path.join(source, "NOTICES")}
originals.update({image: os.path.join(source, image) for image in images})
for name, path in originals.items():
    check(digest(packed(name)) == digest(open(path, "rb").read()), f"{name} differs from {path}")
check(packed("Mivora.exe")[:2] == b"MZ", "Mivora.exe is not a Windows executable")

for name, info in files.items():
    if not name.isascii():
        check(info.flag_bits & 0x800, f"{name}: file name not marked as UTF-8 (bit 11)")

# The guide: the same page the converter makes from README.md now.
with tempfile.TemporaryDirectory() as scratch:
    fresh = os.path.join(scratch, "README.html")
    subprocess.run([python, os.path.join(source, "package", "guide-html.py"),
                    os.path.join(source, "README.md"), fresh], check=True)
    check(packed("README.html") == open(fresh, "rb").read(), "README.html is not the guide made from README.md")
guide = packed("README.html").decode("utf-8", "replace")
check('<meta charset="utf-8">' in guide, "README.html declares no encoding")
readme = open(os.path.join(source, "README.md"), encoding="utf-8").read()
for heading in re.findall(r"^## (.+)$", readme, re.M):
    check(f">{heading.replace('&', '&amp;')}</h2>" in guide, f"README.html lacks the section {heading!r}")


class Images(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.sources = []

    def handle_starttag(self, tag, attrs):
        if tag == "img":
            self.sources.append(dict(attrs).get("src", ""))


shown = Images()
shown.feed(guide)
check(shown.sources, "README.html shows no pictures")
for src in shown.sources:
    check(not re.match(r"[a-z]+:|/", src), f"picture {src} is not beside the guide")
    check(os.path.exists(os.path.join(source, src)), f"README.html shows {src}, which the source tree lacks")
    check(src in files, f"README.html shows {src}, which the zip lacks")

notices = packed("NOTICES").decode("utf-8", "replace")
source_md = open(os.path.join(source, "dic", "SOURCE.md"), encoding="utf-8").read()
licences = re.findall(r"^### (.+?)\n\n```\n(.*?)```", source_md.split("## License texts", 1)[-1], re.M | re.S)
check(len(licences) >= 3, "dic/SOURCE.md: licence texts not found")
for name, text in licences:
    check(text.strip() in notices, f"NOTICES lacks the licence text of {name}")
check("MIT License" in packed("LICENSE").decode("utf-8", "replace"), "LICENSE is not the MIT licence")

for failure in failures:
    print("FAIL:", failure)
print(f"{len(files)} files checked, {len(failures)} problems")
sys.exit(1 if failures else 0)
