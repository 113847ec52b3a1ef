# matplotlib's filled contours and contour lines of a grid, saved as
# PostScript, timed beside the program's cell-by-cell contours.
#
#   cont_ref.py INPUT OUTPUT
# INPUT: int32 n, levels; float32 the levels + 1 band boundaries, the band
#        colours (red, green, blue 0-1 for each band), then the n x n grid
#        row by row from the south.
# OUTPUT: the PostScript file. Prints the best time of three runs in seconds.
import sys
import time

import numpy as np
import matplotlib

matplotlib.use("ps")
import matplotlib.pyplot as plt  # noqa: E402

with open(sys.argv[1], "rb") as f:
    n, nlev = np.frombuffer(f.read(8), dtype=np.int32)
    bounds = np.frombuffer(f.read(4 * (nlev + 1)), dtype=np.float32).astype(np.float64)
    colours = np.frombuffer(f.read(4 * 3 * nlev), dtype=np.float32).reshape(nlev, 3)
    z = np.frombuffer(f.read(4 * n * n), dtype=np.float32).reshape(n, n)
x = np.arange(n, dtype=np.float64)


def plot():
    fig = plt.figure(figsize=(8, 8))
    ax = fig.add_axes([0.05, 0.05, 0.9, 0.9])
    ax.contourf(x, x, z, levels=bounds, colors=[tuple(c) for c in colours])
    ax.contour(x, x, z, levels=bounds[:-1], colors="black", linewidths=0.5)
    ax.set_axis_off()
    fig.savefig(sys.argv[2], format="ps")
    plt.close(fig)


best = 1e30
for _ in range(3):
    start = time.perf_counter()
    plot()
    best = min(best, time.perf_counter() - start)
print(best)
