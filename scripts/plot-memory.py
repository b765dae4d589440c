#!/usr/bin/env python3
"""Draws the figures of `zk8bench --memory` as SVG: time per MB and peak
memory against input size, conversion and strict floor, both directions
(shape `mixed` unless --shape says otherwise).

    build-bench/bench/zk8bench --memory ... | tee memory.txt
    scripts/plot-memory.py memory.txt docs/figures
"""
import argparse, math, re
from pathlib import Path

ROW = re.compile(r"^(to_device|to_customer)\s+(\w+)\s+([\d.]+) \|")
COLOURS = {"to_device": "#1f5fa8", "to_customer": "#c0392b"}


def read(path, shape):
    rows = {}
    for line in Path(path).read_text().splitlines():
        m = ROW.match(line)
        if not m or m.group(2) != shape:
            continue
        parts = [p.split() for p in line.split("|")]
        size = float(m.group(3))
        conv_s, _, _ = map(float, parts[1])
        conv_mb, _, _, _ = map(float, parts[2])
        strict_s, strict_mb = float(parts[4][0]), float(parts[4][1])
        rows.setdefault(m.group(1), []).append((size, conv_s / size, strict_s / size, conv_mb, strict_mb))
    return rows


def plot(rows, pick, title, unit, out):
    w, h, left, right, top, bottom = 640, 400, 70, 190, 40, 50
    series = []
    for direction, points in sorted(rows.items()):
        points.sort()
        series.append((f"{direction.replace('_', ' ')}: conversion", COLOURS[direction], "",
                       [(p[0], pick(p)[0]) for p in points]))
        series.append((f"{direction.replace('_', ' ')}: strict floor", COLOURS[direction], "6,4",
                       [(p[0], pick(p)[1]) for p in points]))
    xs = [x for _, _, _, pts in series for x, _ in pts]
    ys = [y for _, _, _, pts in series for _, y in pts]
    x0, x1 = math.log10(min(xs)), math.log10(max(xs))
    if x1 == x0:
        x1 = x0 + 1
    y1 = max(ys) * 1.1
    px = lambda x: left + (math.log10(x) - x0) / (x1 - x0) * (w - left - right)
    py = lambda y: h - bottom - y / y1 * (h - top - bottom)
    svg = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" font-family="sans-serif" font-size="12">',
           f'<rect width="{w}" height="{h}" fill="white"/>',
           f'<text x="{left}" y="22" font-size="14">{title}</text>',
           f'<line x1="{left}" y1="{h - bottom}" x2="{w - right}" y2="{h - bottom}" stroke="black"/>',
           f'<line x1="{left}" y1="{top}" x2="{left}" y2="{h - bottom}" stroke="black"/>',
           f'<text x="{(left + w - right) / 2}" y="{h - 12}" text-anchor="middle">input size (MB, log scale)</text>',
           f'<text x="16" y="{(top + h - bottom) / 2}" transform="rotate(-90 16 {(top + h - bottom) / 2})" '
           f'text-anchor="middle">{unit}</text>']
    for x in sorted(set(xs)):
        svg.append(f'<text x="{px(x):.1f}" y="{h - bottom + 16}" text-anchor="middle">{x:g}</text>')
    for i in range(6):
        y = y1 * i / 5
        svg.append(f'<line x1="{left - 4}" y1="{py(y):.1f}" x2="{w - right}" y2="{py(y):.1f}" stroke="#ddd"/>')
        svg.append(f'<text x="{left - 8}" y="{py(y) + 4:.1f}" text-anchor="end">{y:.3g}</text>')
    for i, (label, colour, dash, points) in enumerate(series):
        path = " ".join(f"{px(x):.1f},{py(y):.1f}" for x, y in points)
        svg.append(f'<polyline points="{path}" fill="none" stroke="{colour}" stroke-width="2" '
                   f'stroke-dasharray="{dash}"/>')
        for x, y in points:
            svg.append(f'<circle cx="{px(x):.1f}" cy="{py(y):.1f}" r="3" fill="{colour}"/>')
        ly = top + 10 + 20 * i
        svg.append(f'<line x1="{w - right + 12}" y1="{ly}" x2="{w - right + 40}" y2="{ly}" stroke="{colour}" '
                   f'stroke-width="2" stroke-dasharray="{dash}"/>')
        svg.append(f'<text x="{w - right + 46}" y="{ly + 4}">{label}</text>')
    svg.append("</svg>")
    Path(out).write_text("\n".join(svg) + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("memory_output")
    ap.add_argument("folder")
    ap.add_argument("--shape", default="mixed")
    args = ap.parse_args()
    rows = read(args.memory_output, args.shape)
    if not rows:
        raise SystemExit(f"no rows of shape {args.shape} in {args.memory_output}")
    folder = Path(args.folder)
    folder.mkdir(parents=True, exist_ok=True)
    plot(rows, lambda p: (p[1], p[2]), f"Time per MB ({args.shape} inputs)", "seconds per MB",
         folder / "time-per-mb.svg")
    plot(rows, lambda p: (p[3], p[4]), f"Peak memory ({args.shape} inputs)", "peak resident MB",
         folder / "peak-memory.svg")


if __name__ == "__main__":
    main()
