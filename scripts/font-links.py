#!/usr/bin/env python3
"""Writes a .reg file (UTF-16, as regedit wants it) that lets Wine draw
Chinese text and phonetic symbols in the faces the program asks for. Wine has
no Arial: it is replaced by DejaVu Sans, which has the IPA letters; every face
is linked to WenQuanYi Micro Hei for the Chinese ones, and the Chinese system
faces are substituted."""
import sys

FACES = ["Arial", "MS Shell Dlg", "MS Shell Dlg 2", "Tahoma", "Microsoft Sans Serif",
         "Segoe UI", "Times New Roman", "Courier New", "MS Sans Serif", "System",
         "SimSun", "宋体", "NSimSun", "新宋体", "DejaVu Sans"]
LINKS = ["wqy-microhei.ttc,WenQuanYi Micro Hei", "DejaVuSans.ttf,DejaVu Sans"]


def multi_sz(values):
    data = "".join(v + "\0" for v in values).encode("utf-16-le") + b"\0\0"
    return "hex(7):" + ",".join("%02x" % b for b in data)


def main(out):
    lines = ["Windows Registry Editor Version 5.00", "",
             r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]"]
    lines += ['"%s"=%s' % (face, multi_sz(LINKS)) for face in FACES]
    lines += ["", r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]"]
    lines += ['"%s"="WenQuanYi Micro Hei"' % face for face in ("SimSun", "宋体", "NSimSun", "新宋体")]
    lines += ["", r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]", '"Arial"="DejaVu Sans"']
    lines += ['"%s"="WenQuanYi Micro Hei"' % face for face in ("SimSun", "宋体", "NSimSun", "新宋体")]
    with open(out, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("utf-16"))


if __name__ == "__main__":
    main(sys.argv[1])
