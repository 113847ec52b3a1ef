# Reference Barnes analysis for the object tests: a direct sum over every
# station for every grid point, stations in ascending order, distances and
# weight arguments in float32, sums in float64, grid values stored as float32.
#
# Input (standard input):
#   nx ny dx dy x_min y_max radius filter passes convergence miss_value min_stations
#   mask of the fields (1 with data, 0 null), one number per field
#   station count n
#   n lines: x y value_1 ... value_F   (plane position, one value per field)
# Output:
#   X gx...  /  Y gy...     grid coordinates of the stations
#   Z<k> v...               station values of field k afterwards
#   G<k> v...               grid of field k, row 0 first, -9999 missing
#   the RMS lines as the analysis prints them
import sys

import numpy as np

f32 = np.float32
f64 = np.float64
MISS = f32(-9999.0)


def main():
    lines = sys.stdin.read().split("\n")
    h = lines[0].split()
    nx, ny = int(h[0]), int(h[1])
    dx, dy, x_min, y_max, rad, filt = (f32(v) for v in h[2:8])
    passes, conv, miss, min_sta = int(h[8]), f32(h[9]), f32(h[10]), int(h[11])
    mask = [int(v) for v in lines[1].split()]
    n = int(lines[2])
    rows = [[float(v) for v in line.split()] for line in lines[3:3 + n]]
    data = np.array(rows, dtype=f64).reshape(n, 2 + len(mask))
    x = data[:, 0].astype(f32)
    y = data[:, 1].astype(f32)
    fields = [k for k, m in enumerate(mask) if m]
    z = {k: data[:, 2 + k].astype(f32) for k in fields}

    # Plane position to grid coordinates: columns from x_min, rows down from y_max.
    gx = ((x.astype(f64) - f64(x_min)) / f64(dx)).astype(f32)
    gy = ((f64(y_max) - y.astype(f64)) / f64(dy)).astype(f32)
    gone = x == MISS
    gx[gone] = MISS
    gy[gone] = MISS

    if miss != MISS:
        for k in fields:
            z[k][z[k] == MISS] = miss

    r = f32(rad * dx)
    r2max = f32(r * r)
    cols = np.arange(nx).astype(f32)
    rows_j = np.arange(ny).astype(f32)

    def sums(values, fl):
        out = {}
        for k in fields:
            out[k] = [np.zeros((ny, nx)), np.zeros((ny, nx)), np.zeros((ny, nx), dtype=np.int64)]
        for s in range(n):
            tx = dx * (gx[s] - cols)
            ty = dy * (gy[s] - rows_j)
            r2 = tx[np.newaxis, :] * tx[np.newaxis, :] + ty[:, np.newaxis] * ty[:, np.newaxis]
            inside = r2 <= r2max
            w = np.where(inside, np.exp((-r2 / fl).astype(f64)), 0.0)
            for k in fields:
                v = values[k][s]
                if v == MISS:
                    continue
                acc = out[k]
                acc[0] += np.where(inside, f64(v) * w, 0.0)
                acc[1] += w
                acc[2] += inside
        return out

    def store(v):
        v = np.where(np.abs(v) < 1e-10, 0.0, v)
        return v.astype(f32)

    def residuals(grids):
        res = {}
        for k in fields:
            g = grids[k]
            rk = np.full(n, MISS, dtype=f32)
            sq, count = 0.0, 0
            for s in range(n):
                value, cx, cy = z[k][s], gx[s], gy[s]
                if value == MISS or not (cx >= 0 and cy >= 0 and cx <= nx - 1 and cy <= ny - 1):
                    continue
                i0, j0 = min(int(cx), max(nx - 2, 0)), min(int(cy), max(ny - 2, 0))
                i1, j1 = min(i0 + 1, nx - 1), min(j0 + 1, ny - 1)
                fx, fy = cx - f32(i0), cy - f32(j0)
                p00, p10, p01, p11 = g[j0, i0], g[j0, i1], g[j1, i0], g[j1, i1]
                if MISS in (p00, p10, p01, p11):
                    continue
                one = f32(1.0)
                est = p11 * fx * fy + p00 * (one - fx) * (one - fy) + p10 * fx * (one - fy) + p01 * (one - fx) * fy
                rk[s] = value - est
                sq += f64(rk[s]) * f64(rk[s])
                count += 1
            res[k] = rk
            if count == 0:
                print("RMS Error for field %d: no stations" % (k + 1))
            else:
                print("RMS Error for field %d: %f" % (k + 1, np.sqrt(sq / count)))
        return res

    fl = filt
    acc = sums(z, fl)
    grids = {}
    for k in fields:
        s, w, c = acc[k]
        ok = (w != 0.0) & (c >= min_sta)
        grids[k] = np.where(ok, store(s / np.where(ok, w, 1.0)), MISS).astype(f32)
    res = residuals(grids)
    for _ in range(2, passes + 1):
        fl = f32(fl * conv)
        acc = sums(res, fl)
        for k in fields:
            s, w, c = acc[k]
            g = grids[k]
            ok = (g != MISS) & (w != 0.0) & (c >= min_sta)
            new = store(g.astype(f64) + s / np.where(ok, w, 1.0))
            grids[k] = np.where(ok, new, g).astype(f32)
        res = residuals(grids)

    print("X " + " ".join("%.9g" % v for v in gx))
    print("Y " + " ".join("%.9g" % v for v in gy))
    for k in fields:
        print("Z%d " % (k + 1) + " ".join("%.9g" % v for v in z[k]))
        print("G%d " % (k + 1) + " ".join("%.9g" % v for v in grids[k].ravel()))


main()
