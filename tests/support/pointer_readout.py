#!/usr/bin/python3
"""Checks the value read-out (Alt-v) of a held surface plot window.

A read-out block is the lines the program printed for one Alt-v:

  Lat:  38.97 Lon:  -96.96 XY:   0.04 -56.75 Pixel: 320.00 256.00
  Id: KFRI Lat:  39.06 Lon:  -96.76 Grid:  12.02,  8.02 =  31.10

or, with more than one variable, the "Id:" line followed by one
"Var: NAME - Grid: GX, GY = V[,V2]" line per plotted entry. The grids are
native text grid files the run saved; their values are read and
interpolated here (NumPy, bilinear) independently of the program.

Usage:
  pointer_readout.py centre BLOCK_A BLOCK_B GRID
      prints the window pixel of the grid's centre, from two read-outs at
      different pixels (pixel to grid position is linear on both axes)
  pointer_readout.py values BLOCK X Y STATIONS NAME=GRID[,GRID2]...
      the block was printed with the pointer at pixel (X, Y): checks
      "Pixel:", the station named by "Id:" (in the station file, at the
      printed position, near the pointer) and every printed value against
      the bilinear value of the named grid at the printed grid position (a
      vector: one value per component grid); each NAME prints exactly once
  pointer_readout.py same_place BLOCK_C BLOCK_V BLOCK_VX BLOCK_VY
      BLOCK_V (after a zoom, at the view's centre) names the latitude and
      longitude of BLOCK_C (before it, at the band's centre) to within one
      pixel; BLOCK_VX and BLOCK_VY, 10 pixels right of and below BLOCK_V,
      give the size of a pixel there
Exits 1 with a message on the first mismatch.
"""
import re
import sys

import numpy as np

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from station_band_colours import bilinear, read_grid  # noqa: E402

NUM = r"(-?[0-9.]+)"
LOCATION = re.compile(rf"^Lat: +{NUM} Lon: +{NUM} XY: +{NUM} +{NUM} Pixel: +{NUM} +{NUM}$")
STATION = re.compile(rf"Id: (\S+) Lat: +{NUM} Lon: +{NUM} ")
GRID = re.compile(rf"Grid: +{NUM}, *{NUM}(?: = +{NUM}(?:, *{NUM})?)?$")


def fail(text):
    print(text)
    sys.exit(1)


def block(path):
    lines = open(path).read().rstrip("\n").split("\n")
    m = LOCATION.match(lines[0])
    if not m:
        fail(f"{path}: no location line: {lines[0]!r}")
    lat, lon, x, y, px, py = (float(v) for v in m.groups())
    return {"lat": lat, "lon": lon, "pixel": (px, py), "lines": lines[1:]}


def grid_pos(path):
    b = block(path)
    for line in b["lines"]:
        m = GRID.search(line)
        if m:
            return b["pixel"], (float(m.group(1)), float(m.group(2)))
    fail(f"{path}: no grid position")


def centre(a, b, grd):
    (pa, ga), (pb, gb) = grid_pos(a), grid_pos(b)
    ny, nx = read_grid(grd).shape
    want = ((nx - 1) / 2, (ny - 1) / 2)
    pix = [pa[k] + (want[k] - ga[k]) * (pb[k] - pa[k]) / (gb[k] - ga[k]) for k in (0, 1)]
    print(f"{round(pix[0])} {round(pix[1])}")


def printed_matches(grid, gx, gy, value):
    """The value printed to 2 decimals at a position printed to 2 decimals."""
    around = [bilinear(grid, gx + dx, gy + dy) for dx in (-0.005, 0, 0.005) for dy in (-0.005, 0, 0.005)]
    if any(a is None for a in around):
        return False, None
    return min(around) - 0.006 <= value <= max(around) + 0.006, bilinear(grid, gx, gy)


def stations(path):
    found = {}
    for line in open(path, errors="replace"):
        w = line.split()
        if len(w) >= 7:
            try:
                found[w[3]] = (float(w[5]), float(w[6]))
            except ValueError:
                pass
    return found


def values(path, x, y, cty, named):
    b = block(path)
    if b["pixel"] != (float(x), float(y)):
        fail(f"{path}: Pixel: {b['pixel']}, the pointer was put at ({x}, {y})")
    m = STATION.match(b["lines"][0]) if b["lines"] else None
    if not m:
        fail(f"{path}: no station: {b['lines'][:1]}")
    sid, slat, slon = m.group(1), float(m.group(2)), float(m.group(3))
    known = stations(cty)
    if sid not in known:
        fail(f"{path}: Id: {sid} is no station of {cty}")
    if abs(known[sid][0] - slat) > 0.006 or abs(known[sid][1] - slon) > 0.006:
        fail(f"{path}: {sid} printed at {slat}, {slon}; the station file has {known[sid]}")
    if abs(slat - b["lat"]) > 3 or abs(slon - b["lon"]) > 3:
        fail(f"{path}: station {sid} far from the pointer ({b['lat']}, {b['lon']})")

    grids = {name: [read_grid(g) for g in grd.split(",")] for name, grd in named}
    seen = {name: 0 for name in grids}
    single = len(grids) == 1
    for line in b["lines"]:
        g = GRID.search(line)
        if not g:
            continue
        if single:
            name = next(iter(grids))
        else:
            v = re.match(r"Var: +(\S+) - ", line)
            if not v:
                fail(f"{path}: grid value without a variable: {line!r}")
            name = v.group(1)
            if name not in grids:
                fail(f"{path}: value of an unexpected field: {line!r}")
        seen[name] += 1
        gx, gy = float(g.group(1)), float(g.group(2))
        got = [v for v in g.group(3, 4) if v is not None]
        if len(got) != len(grids[name]):
            fail(f"{path}: {name}: {len(got)} values, {len(grids[name])} wanted: {line!r}")
        for grid, v in zip(grids[name], got):
            ok, want = printed_matches(grid, gx, gy, float(v))
            if not ok:
                fail(f"{path}: {name} at grid ({gx}, {gy}) printed {v}, bilinear {want}")
    if any(n != 1 for n in seen.values()):
        fail(f"{path}: values printed per field: {seen}")


def same_place(c, v, vx, vy):
    bc, bv, bx, by = block(c), block(v), block(vx), block(vy)
    # Latitude and longitude per pixel right and down at the view's centre.
    jac = np.array([[bx["lat"] - bv["lat"], by["lat"] - bv["lat"]],
                    [bx["lon"] - bv["lon"], by["lon"] - bv["lon"]]]) / 10.0
    off = np.linalg.solve(jac, [bc["lat"] - bv["lat"], bc["lon"] - bv["lon"]])
    # 0.01 degree of print rounding, in pixels
    slack = max(np.abs(np.linalg.solve(jac, [a, b])).max() for a in (-0.01, 0.01) for b in (-0.01, 0.01))
    if np.abs(off).max() > 1 + slack:
        fail(f"view centre ({bv['lat']}, {bv['lon']}) is {off} pixels from the band's centre "
             f"({bc['lat']}, {bc['lon']})")


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    if mode == "centre":
        centre(*args)
    elif mode == "values":
        path, x, y, cty = args[:4]
        values(path, int(x), int(y), cty, [a.split("=", 1) for a in args[4:]])
    elif mode == "same_place":
        same_place(*args)
    else:
        fail(f"unknown mode {mode}")


if __name__ == "__main__":
    main()
