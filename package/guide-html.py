#!/usr/bin/env python3
"""Turns README.md into README.html, the user guide that ships beside
Mivora.exe. The images stay where README.md points (docs/*.png), so the
page finds them in the unpacked folder as in the source tree.

    guide-html.py <README.md> <README.html>

Needs Debian's python3-markdown (scripts/install-deps.sh installs it).
"""
import html
import re
import sys

try:
    import markdown
except ImportError:
    sys.exit("guide-html.py: the Python module 'markdown' is missing (apt-get install python3-markdown)")

PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{title}</title>
<style>
body {{ font-family: "Segoe UI", "Microsoft YaHei", sans-serif; max-width: 52em; margin: 2em auto;
       padding: 0 1em; line-height: 1.5; color: #222; }}
img {{ max-width: 100%; border: 1px solid #ccc; }}
code, pre {{ font-family: Consolas, "Courier New", monospace; background: #f4f4f4; }}
pre {{ padding: 0.6em; overflow-x: auto; }}
table {{ border-collapse: collapse; }}
th, td {{ border: 1px solid #ccc; padding: 0.2em 0.6em; text-align: left; }}
</style>
</head>
<body>
{body}
</body>
</html>
"""


def main():
    source, target = sys.argv[1], sys.argv[2]
    text = open(source, encoding="utf-8").read()
    heading = re.search(r"^# (.+)$", text, re.M)
    body = markdown.markdown(text, extensions=["tables", "fenced_code"], output_format="html")
    title = html.escape(heading.group(1) if heading else "Mivora")
    # Written in one go so that an interrupted build leaves no half page.
    with open(target, "w", encoding="utf-8", newline="\n") as out:
        out.write(PAGE.format(title=title, body=body))


if __name__ == "__main__":
    main()
