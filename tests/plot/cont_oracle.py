# Reference for the contour cells: contourpy's lines and filled bands of the
# same grid and levels, compared cell by cell with the segments and polygons
# of a text metafile. Cells where a level is a saddle are left out (the
# saddle rules differ).
#
# Input lines on standard input:
#   size NX NY
#   levels L0 .. LN        (N bands: [Lk, Lk+1))
#   colours C0 .. CN       (colour index of band entry k; the lines at level
#                           k are drawn in the colour of entry k)
#   z  values row by row from the south (height 0 first)
#   meta PATH              the text metafile
# Output:
#   lines CHECKED BAD UNMATCHED SKIPPED
#   areas CHECKED BAD LARGEST_DIFFERENCE
#   corner_hits N          grid values lying exactly on a level
import math
import sys

import numpy as np
import contourpy
from shapely.geometry import Polygon, box
from shapely.ops import unary_union

TOL = 1e-5

data = {}
meta_path = None
for line in sys.stdin:
    parts = line.split()
    if not parts:
        continue
    if parts[0] == "meta":
        meta_path = line.split(None, 1)[1].strip()
    else:
        data[parts[0]] = [float(v) for v in parts[1:]]

nx, ny = int(data["size"][0]), int(data["size"][1])
levels = data["levels"]
colours = [int(c) for c in data["colours"]]
z = np.array(data["z"], dtype=np.float64).reshape(ny, nx)
x, y = np.meshgrid(np.arange(nx, dtype=np.float64), np.arange(ny, dtype=np.float64))

# ---- Our records -------------------------------------------------------------
tokens = []
with open(meta_path) as f:
    for line in f:
        if not line.startswith("#"):
            tokens.extend(line.split())
segments = []  # (line colour, p, q)
polygons = []  # (fill colour, points)
line_colour = fill_colour = 1
i = 0
while i < len(tokens):
    t = tokens[i]
    if t in ("PL", "FA"):
        n = int(tokens[i + 1])
        pts = [tuple(float(v) for v in tok.split(",")) for tok in tokens[i + 2:i + 2 + n]]
        if t == "PL":
            segments.append((line_colour, pts[0], pts[1]))
        else:
            polygons.append((fill_colour, pts))
        i += 2 + n
        continue
    if t == "PL_CLR":
        line_colour = int(tokens[i + 1])
    elif t == "FA_CLR":
        fill_colour = int(tokens[i + 1])
    i += 1


def cell_of(p, q):
    return int(math.floor((p[0] + q[0]) / 2)), int(math.floor((p[1] + q[1]) / 2))


def saddle(i, j, lev):
    a = z[j, i] > lev
    b = z[j, i + 1] > lev
    c = z[j + 1, i] > lev
    d = z[j + 1, i + 1] > lev
    return a == d and b == c and a != b


corner_hits = sum(int(np.count_nonzero(z == lev)) for lev in levels)

gen = contourpy.contour_generator(x, y, z, name="serial", corner_mask=False, quad_as_tri=False,
                                  line_type=contourpy.LineType.Separate,
                                  fill_type=contourpy.FillType.OuterCode)

# ---- Lines -------------------------------------------------------------------------
level_of_colour = {colours[k]: k for k in range(len(colours))}
reference = {}  # (level index, cell) -> list of segments
for k, lev in enumerate(levels):
    for line in gen.lines(lev):
        for p, q in zip(line[:-1], line[1:]):
            p, q = tuple(p), tuple(q)
            if p == q:
                continue
            reference.setdefault((k, cell_of(p, q)), []).append([p, q, False])


def close(p, q):
    return abs(p[0] - q[0]) <= TOL and abs(p[1] - q[1]) <= TOL


checked = bad = skipped = 0
drawn_levels = set()
for colour, p, q in segments:
    k = level_of_colour[colour]
    drawn_levels.add(k)
    i, j = cell_of(p, q)
    if saddle(i, j, levels[k]):
        skipped += 1
        continue
    checked += 1
    match = None
    for seg in reference.get((k, (i, j)), []):
        if (close(p, seg[0]) and close(q, seg[1])) or (close(p, seg[1]) and close(q, seg[0])):
            match = seg
            break
    if match is None:
        bad += 1
        if bad <= 5:
            print("bad segment", k, p, q, file=sys.stderr)
    else:
        match[2] = True
unmatched = 0
for (k, (i, j)), segs in reference.items():
    if k not in drawn_levels and k == 0:
        continue  # the lowest level bounds the first band from below only
    if saddle(i, j, levels[k]):
        continue
    for seg in segs:
        if not seg[2]:
            unmatched += 1
            if unmatched <= 5:
                print("reference segment not drawn", k, seg[0], seg[1], file=sys.stderr)
print("lines", checked, bad, unmatched, skipped)

# ---- Band areas --------------------------------------------------------------------
ours = {}  # (band, cell) -> area; a polygon may cover a run of cells
band_of_colour = level_of_colour
for colour, pts in polygons:
    k = band_of_colour[colour]
    poly = Polygon(pts)
    x0, y0, x1, y1 = poly.bounds
    for j in range(int(math.floor(y0)), int(math.ceil(y1))):
        for i in range(int(math.floor(x0)), int(math.ceil(x1))):
            a = poly.intersection(box(i, j, i + 1, j + 1)).area
            if a > 0:
                ours[(k, (i, j))] = ours.get((k, (i, j)), 0.0) + a


def rings(points, codes):
    out, cur = [], []
    for p, c in zip(points, codes):
        if c == 1 and cur:
            out.append(cur)
            cur = []
        cur.append(tuple(p))
    if cur:
        out.append(cur)
    return out


checked = bad = 0
largest = 0.0
for k in range(len(levels) - 1):
    points, codes = gen.filled(levels[k], levels[k + 1])
    parts = []
    for pts, cds in zip(points, codes):
        r = rings(pts, cds)
        parts.append(Polygon(r[0], r[1:]))
    band = unary_union(parts) if parts else None
    for j in range(ny - 1):
        for i in range(nx - 1):
            if saddle(i, j, levels[k]) or saddle(i, j, levels[k + 1]):
                continue
            ref = band.intersection(box(i, j, i + 1, j + 1)).area if band is not None else 0.0
            got = ours.get((k, (i, j)), 0.0)
            if ref == 0.0 and got == 0.0:
                continue
            checked += 1
            diff = abs(ref - got)
            largest = max(largest, diff)
            if diff > TOL:
                bad += 1
                if bad <= 5:
                    print("bad area band", k, "cell", i, j, "ours", got, "contourpy", ref, file=sys.stderr)
print("areas", checked, bad, largest)
print("corner_hits", corner_hits)
