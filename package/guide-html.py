#!/usr/bin/env python3
"""Turns a guide in Markdown into the HTML page that ships beside Mivora.exe:
README.md into README.html, README.zh-CN.md into 使用说明.html. The images
stay where the guide points (docs/*.png), so the page finds them in the
unpacked folder as in the source tree; links between the two guides are
pointed at the pages they ship as.

    guide-html.py <README.md> <README.html>
    guide-html.py <README.zh-CN.md> <使用说明.html>

Needs Debian's python3-markdown (scripts/install-deps.sh installs it).
"""
import html
import os
import re
import sys

try:
    import markdown
except ImportError:
    sys.exit("guide-html.py: the Python module 'markdown' is missing (apt-get install python3-markdown)")

# Each guide the zip ships: the page it becomes and the language it is in.
# The Chinese page has a Chinese name, since it is the one users open.
GUIDES = {
    "README.md": ("README.html", "en"),
    "README.zh-CN.md": ("使用说明.html", "zh-CN"),
}

PAGE = """<!DOCTYPE html>
<html lang="{lang}">
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


def shipped_links(body):
    """Points links to the other guide's Markdown file at its page."""
    def replace(match):
        page = GUIDES.get(html.unescape(match.group(2)))
        return match.group(1) + html.escape(page[0]) + match.group(3) if page else match.group(0)
    return re.sub(r'(<a href=")([^"#]+)("|#)', replace, body)


def main():
    source, target = sys.argv[1], sys.argv[2]
    name = os.path.basename(source)
    if name not in GUIDES:
        sys.exit(f"guide-html.py: {name} is not one of the guides ({', '.join(GUIDES)})")
    text = open(source, encoding="utf-8").read()
    heading = re.search(r"^# (.+)$", text, re.M)
    body = markdown.markdown(text, extensions=["tables", "fenced_code"], output_format="html")
    title = html.escape(heading.group(1) if heading else "Mivora")
    page = PAGE.format(lang=GUIDES[name][1], title=title, body=shipped_links(body))
    # Written in one go so that an interrupted build leaves no half page.
    with open(target, "w", encoding="utf-8", newline="\n") as out:
        out.write(page)


if __name__ == "__main__":
    main()
