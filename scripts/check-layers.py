#!/usr/bin/env python3
"""Checks that the includes between the product's folders go one way: each
folder includes only folders of a lower layer, as the table under "## Layers"
in docs/architecture.md gives them. Prints every include that goes the other
way or sideways and exits 1 when there is one."""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
text = (root / "docs" / "architecture.md").read_text()
section = text.split("## Layers", 1)[1].split("\n## ", 1)[0]
layer = {}
for row in re.findall(r"^\| *(\d+) *\|([^|]*)\|", section, re.M):
    for folder in re.findall(r"`([a-z_]+)/`", row[1]):
        layer[folder] = int(row[0])
if not layer:
    sys.exit("check-layers: no layer table in docs/architecture.md")

wrong = []
for folder, own in layer.items():
    for source in sorted((root / folder).glob("*.[ch]*")):
        for number, line in enumerate(source.read_text(errors="replace").splitlines(), 1):
            found = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if not found:
                continue
            target = found.group(1).split("/")[0] if "/" in found.group(1) else "include"
            if target == folder or target not in layer:
                continue
            if layer[target] >= own:
                wrong.append(f"{source.relative_to(root)}:{number}: {folder}/ (layer {own}) includes "
                             f"{found.group(1)} (layer {layer[target]})")
print("\n".join(wrong) if wrong else f"check-layers: {len(layer)} folders, every include goes down")
sys.exit(1 if wrong else 0)
