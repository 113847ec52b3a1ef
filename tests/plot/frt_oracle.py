# Reference for the front curves: SciPy's natural cubic spline over the
# cumulative chord length through the projected points of each front,
# evaluated at the parameter steps the front drawing walks.
#
# Input lines on standard input:
#   front NAME             a new front
#   pt X Y                 its projected points, in order
# Output, for each front with at least two points:
#   front NAME DIST        DIST the last chord-length parameter
#   at X Y                 the curve at 0, 0.5, 1, ... while the parameter
#                          stays within DIST + 0.02
#   end X Y                the curve at DIST
import sys

import numpy as np
from scipy.interpolate import CubicSpline

fronts = []
for line in sys.stdin:
    parts = line.split()
    if not parts:
        continue
    if parts[0] == "front":
        fronts.append((parts[1], []))
    elif parts[0] == "pt" and fronts:
        fronts[-1][1].append((float(parts[1]), float(parts[2])))

for name, pts in fronts:
    if len(pts) < 2:
        continue
    xy = np.array(pts, dtype=float)
    d = np.concatenate([[0.0], np.cumsum(np.hypot(np.diff(xy[:, 0]), np.diff(xy[:, 1])))])
    sx = CubicSpline(d, xy[:, 0], bc_type="natural")
    sy = CubicSpline(d, xy[:, 1], bc_type="natural")
    dist = d[-1]
    print(f"front {name} {dist:.6f}")
    z = 0.0
    i = 0
    while z <= dist + 0.02:
        print(f"at {float(sx(z)):.6f} {float(sy(z)):.6f}")
        i += 1
        z = 0.5 * i
    print(f"end {float(sx(dist)):.6f} {float(sy(dist)):.6f}")
