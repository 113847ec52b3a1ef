# Vectorised Barnes analysis (NumPy, SciPy's cKDTree) timed beside the
# program's analysis on the same input.
#
#   object_ref.py INPUT OUTPUT
# INPUT: int32 nx, ny, passes, min_stations, n; float32 dx, dy, x_min, y_max,
#        radius (grid lengths), filter, convergence; float32 x[n], y[n], z[n]
#        (plane positions and one field; -9999 missing).
# OUTPUT: the grid as nx*ny float32 values, row 0 first. Prints the best
# time of five runs of the analysis in seconds.
import sys
import time

import numpy as np
from scipy.spatial import cKDTree

f32 = np.float32
f64 = np.float64
MISS = f32(-9999.0)


def analyse(nx, ny, passes, min_sta, dx, dy, x_min, y_max, rad, filt, conv, x, y, z):
    gx = ((x.astype(f64) - f64(x_min)) / f64(dx)).astype(f32)
    gy = ((f64(y_max) - y.astype(f64)) / f64(dy)).astype(f32)
    gx[x == MISS] = MISS
    gy[x == MISS] = MISS

    # Station and grid-point pairs within the radius: found by the tree on a
    # slightly wider radius, then decided by the float32 distance.
    r = f32(rad * dx)
    r2max = f32(r * r)
    jj, ii = np.mgrid[0:ny, 0:nx]
    grid_pts = np.column_stack((f64(dx) * ii.ravel(), f64(dy) * jj.ravel()))
    sta_pts = np.column_stack((f64(dx) * gx, f64(dy) * gy))
    pairs = cKDTree(sta_pts).sparse_distance_matrix(
        cKDTree(grid_pts), float(r) * (1 + 1e-5) + 1e-6, output_type="ndarray")
    s, p = pairs["i"], pairs["j"]
    tx = f32(dx) * (gx[s] - (p % nx).astype(f32))
    ty = f32(dy) * (gy[s] - (p // nx).astype(f32))
    r2 = tx * tx + ty * ty
    keep = r2 <= r2max
    s, p, r2 = s[keep], p[keep], r2[keep]
    npts = nx * ny

    def sums(values, fl):
        w = np.exp((-r2 / fl).astype(f64))
        v = values[s]
        ok = v != MISS
        return (np.bincount(p[ok], weights=v[ok].astype(f64) * w[ok], minlength=npts),
                np.bincount(p[ok], weights=w[ok], minlength=npts),
                np.bincount(p[ok], minlength=npts))

    def store(v):
        return np.where(np.abs(v) < 1e-10, 0.0, v).astype(f32)

    inside = (gx >= 0) & (gy >= 0) & (gx <= nx - 1) & (gy <= ny - 1) & (z != MISS)
    cx, cy = np.where(inside, gx, 0).astype(f32), np.where(inside, gy, 0).astype(f32)
    i0 = np.minimum(cx.astype(np.int64), max(nx - 2, 0))
    j0 = np.minimum(cy.astype(np.int64), max(ny - 2, 0))
    i1, j1 = np.minimum(i0 + 1, nx - 1), np.minimum(j0 + 1, ny - 1)
    fx, fy = cx - i0.astype(f32), cy - j0.astype(f32)
    one = f32(1.0)

    def residuals(g):
        p00, p10, p01, p11 = g[j0 * nx + i0], g[j0 * nx + i1], g[j1 * nx + i0], g[j1 * nx + i1]
        est = p11 * fx * fy + p00 * (one - fx) * (one - fy) + p10 * fx * (one - fy) + p01 * (one - fx) * fy
        ok = inside & (p00 != MISS) & (p10 != MISS) & (p01 != MISS) & (p11 != MISS)
        return np.where(ok, z - est, MISS).astype(f32)

    fl = f32(filt)
    sm, w, c = sums(z, fl)
    ok = (w != 0.0) & (c >= min_sta)
    g = np.where(ok, store(sm / np.where(ok, w, 1.0)), MISS).astype(f32)
    res = residuals(g)
    for _ in range(2, passes + 1):
        fl = f32(fl * f32(conv))
        sm, w, c = sums(res, fl)
        ok = (g != MISS) & (w != 0.0) & (c >= min_sta)
        g = np.where(ok, store(g.astype(f64) + sm / np.where(ok, w, 1.0)), g).astype(f32)
        res = residuals(g)
    return g


def main():
    raw = open(sys.argv[1], "rb").read()
    nx, ny, passes, min_sta, n = (int(v) for v in np.frombuffer(raw, np.int32, 5))
    dx, dy, x_min, y_max, rad, filt, conv = np.frombuffer(raw, f32, 7, 20)
    arrays = np.frombuffer(raw, f32, 3 * n, 48)
    x, y, z = arrays[:n].copy(), arrays[n:2 * n].copy(), arrays[2 * n:].copy()
    best = None
    for _ in range(5):
        start = time.perf_counter()
        g = analyse(nx, ny, passes, min_sta, dx, dy, x_min, y_max, rad, filt, conv, x, y, z)
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    g.astype(f32).tofile(sys.argv[2])
    print("%.6f" % best)


main()
