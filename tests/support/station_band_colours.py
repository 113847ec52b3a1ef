#!/usr/bin/python3
"""Checks a surface plot drawn to PostScript against the grid the run saved.

Usage: station_band_colours.py PLOT.ps PLOT.png DPI GRID.grd LEVELS COLOURS

The plot was drawn over the grid's own domain, so that the map view (the last
clip rectangle of the page set-up) spans the grid from its first to its last
column and row. Every station value is a "%%TE:x y text" comment followed by
the pen moves of its strokes in device points; the first move locates the
station to within a few points. At each station whose analysed value (the
grid, bilinear, at the point and half a cell around it) lies well inside one
band of LEVELS (ascending, comma-separated; band i runs from level i to level
i+1 and has colour i of COLOURS, "r,g,b" in 0..255 joined by ';'), the most
common band colour of the PNG (ghostscript's rendering) in a small square
around the point must be that band's colour. Prints the counts; exits 1 on a
mismatch or when fewer than 10 stations could be checked.
"""
import sys
from collections import Counter

import numpy as np


def read_grid(path):
    with open(path) as f:
        lines = f.read().split("\n")
    assert lines[0] == "ZEQGRID", "not a native text grid"
    w = lines[4].split()
    nx, ny = int(w[-2]), int(w[-1])
    vals = np.array([float(v) for v in lines[5:5 + nx * ny]]).reshape(ny, nx)
    return vals


def bilinear(g, gx, gy):
    ny, nx = g.shape
    if not (0 <= gx <= nx - 1 and 0 <= gy <= ny - 1):
        return None
    i, j = min(int(gx), nx - 2), min(int(gy), ny - 2)
    fx, fy = gx - i, gy - j
    c = g[j:j + 2, i:i + 2]
    if (c == -9999).any():
        return None
    return (c[0, 0] * (1 - fx) * (1 - fy) + c[0, 1] * fx * (1 - fy) + c[1, 0] * (1 - fx) * fy
            + c[1, 1] * fx * fy)


def main():
    ps, png, dpi, grd, levels, colours = sys.argv[1:7]
    dpi = float(dpi)
    levels = [float(v) for v in levels.split(",")]
    colours = [tuple(int(c) for c in t.split(",")) for t in colours.split(";")]
    from PIL import Image  # noqa: E402 (python3-pil)
    img = Image.open(png).convert("RGB")
    height = img.size[1]
    lines = open(ps).read().split("\n")

    clips, stations = [], []
    for k, line in enumerate(lines):
        if line == "clip" and lines[k - 6] == "np":
            pts = [tuple(float(v) for v in lines[k - j].split()[:2]) for j in (5, 4, 3, 2)]
            clips.append(pts)
        if line.startswith("%%TE:"):
            x, y, text = line[5:].split(" ", 2)
            for m in lines[k + 1:k + 8]:
                if m.endswith(" mv"):
                    u, v = (float(t) for t in m.split()[:2])
                    stations.append((text, u, v))
                    break
    view = clips[3]
    x0, x1 = min(p[0] for p in view), max(p[0] for p in view)
    y0, y1 = min(p[1] for p in view), max(p[1] for p in view)
    g = read_grid(grd)
    ny, nx = g.shape

    def band(value):
        for i in range(len(levels) - 1):
            if levels[i] <= value < levels[i + 1]:
                return i
        return None

    checked = bad = 0
    for text, u, v in stations:
        if not text.lstrip("-").isdigit() or not (x0 < u < x1 and y0 < v < y1):
            continue
        gx = (u - x0) / (x1 - x0) * (nx - 1)
        gy = (y1 - v) / (y1 - y0) * (ny - 1)
        around = [bilinear(g, gx + dx, gy + dy) for dx in (-0.5, 0, 0.5) for dy in (-0.5, 0, 0.5)]
        if any(a is None for a in around):
            continue
        bands = {band(a) for a in around}
        if len(bands) != 1 or None in bands:
            continue
        want = colours[bands.pop()]
        # Device points (rotated landscape page: x = 594 - v, y = u + 18) to pixels.
        px = (594 - v) * dpi / 72
        py = height - (u + 18) * dpi / 72
        seen = Counter()
        r = max(2, int(dpi / 12))
        for a in range(int(px) - r, int(px) + r + 1):
            for b in range(int(py) - r, int(py) + r + 1):
                c = img.getpixel((a, b))
                if c in colours:
                    seen[c] += 1
        got = seen.most_common(1)[0][0] if seen else None
        checked += 1
        if got != want:
            bad += 1
            print(f"station value {text} at grid ({gx:.2f}, {gy:.2f}): colour {got}, band colour {want}")
    print(f"checked {checked} stations, {bad} wrong")
    sys.exit(0 if checked >= 10 and bad == 0 else 1)


if __name__ == "__main__":
    main()
