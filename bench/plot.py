#!/usr/bin/env python3
"""Draws the performance plots from Google Benchmark JSON output, as SVG, with
nothing but the standard library.

  plot.py tree  tree.json  out.svg   time per operation against N, one line per
                                     implementation, one panel per operation
  plot.py hash  hash.json  out.svg   throughput against key length, one line
                                     per variant, one panel per hasher
  plot.py unordered unordered.json out.svg [REGEX]
                                     time per element operation against N, one
                                     line per implementation, one panel per
                                     operation and key kind (only the panels
                                     whose name matches REGEX, if given)

Each point is the median over the repetitions in the file. Benchmark names are
"<operation>/<implementation>/<argument>" for the tree, and
"<hasher>/<variant>/<length>" for the hashers.
"""
import collections
import html
import json
import math
import re
import statistics
import sys

COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b"]


def medians(path, value):
    runs = collections.defaultdict(list)
    with open(path) as f:
        data = json.load(f)
    for b in data["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        parts = b["run_name"].split("/")
        if len(parts) < 3:
            continue
        try:
            arg = float(parts[2])
        except ValueError:
            continue
        runs[(parts[0], parts[1], arg)].append(value(b))
    panels = collections.defaultdict(lambda: collections.defaultdict(dict))
    for (panel, line, arg), values in runs.items():
        panels[panel][line][arg] = statistics.median(values)
    return panels


def nice_ticks(lo, hi):
    ticks = []
    e = math.floor(math.log10(lo))
    while 10 ** e <= hi * 1.0001:
        if 10 ** e >= lo / 1.0001:
            ticks.append(10 ** e)
        e += 1
    return ticks


def fmt(v):
    for unit, scale in (("P", 1e15), ("T", 1e12), ("G", 1e9), ("M", 1e6), ("k", 1e3)):
        if v >= scale:
            return f"{v / scale:g}{unit}"
    return f"{v:g}"


def draw(panels, title, x_label, y_label, out):
    names = sorted(panels)
    width, height = 420, 300
    margin_l, margin_b, margin_t, margin_r = 64, 44, 30, 12
    cols = min(3, len(names))
    rows = math.ceil(len(names) / cols)
    svg = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{cols * width}" height="{rows * height + 40}" '
           f'font-family="sans-serif" font-size="11">',
           f'<text x="10" y="20" font-size="14">{html.escape(title)}</text>']
    for i, name in enumerate(names):
        lines = panels[name]
        ox, oy = (i % cols) * width, 40 + (i // cols) * height
        xs = [x for pts in lines.values() for x in pts if x > 0]
        ys = [y for pts in lines.values() for y in pts.values() if y > 0]
        if not xs or not ys:
            continue
        x0, x1 = min(xs), max(xs)
        y0, y1 = min(ys) / 1.5, max(ys) * 1.5
        if x0 == x1:
            x0, x1 = x0 / 2, x1 * 2
        pw, ph = width - margin_l - margin_r, height - margin_t - margin_b

        def px(x):
            return ox + margin_l + (math.log10(x) - math.log10(x0)) / (math.log10(x1) - math.log10(x0)) * pw

        def py(y):
            return oy + margin_t + ph - (math.log10(y) - math.log10(y0)) / (math.log10(y1) - math.log10(y0)) * ph

        svg.append(f'<text x="{ox + margin_l}" y="{oy + 18}" font-size="12" font-weight="bold">{html.escape(name)}</text>')
        svg.append(f'<rect x="{ox + margin_l}" y="{oy + margin_t}" width="{pw}" height="{ph}" '
                   f'fill="none" stroke="#999"/>')
        for t in nice_ticks(x0, x1):
            svg.append(f'<line x1="{px(t):.1f}" y1="{oy + margin_t + ph}" x2="{px(t):.1f}" y2="{oy + margin_t}" '
                       f'stroke="#eee"/><text x="{px(t):.1f}" y="{oy + margin_t + ph + 14}" '
                       f'text-anchor="middle">{fmt(t)}</text>')
        for t in nice_ticks(y0, y1):
            svg.append(f'<line x1="{ox + margin_l}" y1="{py(t):.1f}" x2="{ox + margin_l + pw}" y2="{py(t):.1f}" '
                       f'stroke="#eee"/><text x="{ox + margin_l - 4}" y="{py(t) + 4:.1f}" '
                       f'text-anchor="end">{fmt(t)}</text>')
        svg.append(f'<text x="{ox + margin_l + pw / 2}" y="{oy + height - 8}" text-anchor="middle">{x_label}</text>')
        svg.append(f'<text x="{ox + 12}" y="{oy + margin_t + ph / 2}" text-anchor="middle" '
                   f'transform="rotate(-90 {ox + 12} {oy + margin_t + ph / 2})">{y_label}</text>')
        for j, (line, pts) in enumerate(sorted(lines.items())):
            colour = COLOURS[j % len(COLOURS)]
            path = " ".join(f"{px(x):.1f},{py(y):.1f}" for x, y in sorted(pts.items()) if x > 0 and y > 0)
            svg.append(f'<polyline points="{path}" fill="none" stroke="{colour}" stroke-width="1.6"/>')
            for x, y in pts.items():
                if x > 0 and y > 0:
                    svg.append(f'<circle cx="{px(x):.1f}" cy="{py(y):.1f}" r="2.2" fill="{colour}"/>')
            svg.append(f'<text x="{ox + margin_l + 6}" y="{oy + margin_t + 14 + 13 * j}" fill="{colour}">{html.escape(line)}</text>')
    svg.append("</svg>")
    with open(out, "w") as f:
        f.write("\n".join(svg) + "\n")


def main():
    if not (len(sys.argv) == 4 or (len(sys.argv) == 5 and sys.argv[1] == "unordered")) or \
            sys.argv[1] not in ("tree", "hash", "unordered"):
        sys.exit(__doc__)
    kind, path, out = sys.argv[1:4]
    if kind == "unordered":
        panels = medians(path, lambda b: 1e9 / b["items_per_second"] if b.get("items_per_second") else 0)
        if len(sys.argv) == 5:
            keep = re.compile(sys.argv[4])
            panels = {name: lines for name, lines in panels.items() if keep.search(name)}
        draw(panels, "Hashed containers: time per element operation against N (median of repetitions)",
             "N (elements)", "ns per operation", out)
    elif kind == "tree":
        # Time per element operation: the benchmark's time divided by N items.
        panels = medians(path, lambda b: 1e9 / b["items_per_second"] if b.get("items_per_second") else 0)
        draw(panels, "Tree operations: time per element against N (median of repetitions)",
             "N (nodes)", "ns per operation", out)
    else:
        panels = medians(path, lambda b: b.get("bytes_per_second", 0))
        # std::hash is the same for every hasher: a line in each panel.
        reference = panels.pop("std_hash", {})
        for lines in panels.values():
            for name, points in reference.items():
                lines["std::hash<" + name + ">"] = points
        draw(panels, "String hashers: throughput against key length (median of repetitions)",
             "key length (bytes)", "bytes per second", out)


if __name__ == "__main__":
    main()
