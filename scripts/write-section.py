#!/usr/bin/env python3
"""Replaces a section of a Markdown file that a script writes: the text
between the lines "<!-- NAME: written by ... -->" and "<!-- end of NAME -->"
becomes the standard input. Usage: write-section.py FILE NAME < text"""
import pathlib
import re
import sys

path, name = pathlib.Path(sys.argv[1]), sys.argv[2]
body = path.read_text()
found = re.search(r"<!-- %s: written by [^>]*-->\n" % re.escape(name), body)
end = body.find("<!-- end of %s -->" % name)
if found is None or end < 0:
    sys.exit(f"write-section: no section {name!r} in {path}")
path.write_text(body[:found.end()] + sys.stdin.read().rstrip("\n") + "\n" + body[end:])
print(f"{path}: section {name!r} written")
