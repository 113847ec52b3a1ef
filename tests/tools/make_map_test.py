#!/usr/bin/python3
"""Checks the map database files that tools/make_map.py builds into the build
tree's data directory, with a reader of its own (struct) against the netCDF
files of the Debian packages gmt-gshhg-low and gmt-dcw.

Environment: ZEQ_BUILD_DATA_DIR (the generated files), ZEQ_SOURCE_DIR.
Arguments: unittest's (a test class name runs that class only).
"""

import importlib.util
import math
import os
import struct
import subprocess
import sys
import tempfile
import unittest

import numpy as np

try:
    import netCDF4
    from scipy.spatial import cKDTree
except ImportError as err:
    sys.exit(f"make_map_test: {err}: install the Debian packages python3-netcdf4 and python3-scipy")

SOURCE_DIR = os.environ.get("ZEQ_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
DATA_DIR = os.environ.get("ZEQ_BUILD_DATA_DIR", "")
CONVERTER = os.path.join(SOURCE_DIR, "tools", "make_map.py")
GSHHG = "/usr/share/gmt-gshhg"
DCW = "/usr/share/gmt-dcw/dcw-gmt.nc"
HEADER = struct.Struct(">H4fi")
# Rounding to 0.0001 degrees and the float32 of the file.
COORD_TOL = 0.6e-4


def map_path(name):
    path = os.path.join(DATA_DIR, name)
    if not os.path.isfile(path):
        raise AssertionError(f"{path} is missing: build the target map_data (ZEQ_BUILD_DATA_DIR={DATA_DIR!r})")
    return path


class Record:
    def __init__(self, count, box, offset, points):
        self.count = count
        self.box = box  # maxlat, minlat, maxlon, minlon as float32
        self.offset = offset
        self.points = points  # (count, 2) float32: latitude, longitude

    def key(self):
        return (self.count, self.box, self.offset, self.points.tobytes())


def read_binary(path):
    """All records, the closing zero-count record last."""
    with open(path, "rb") as f:
        data = f.read()
    records = []
    pos = 0
    while True:
        if pos + HEADER.size > len(data):
            raise AssertionError(f"{path}: ends at byte {pos} without a zero-count record")
        count, *box, offset = HEADER.unpack_from(data, pos)
        start = pos
        pos += HEADER.size
        if pos + 8 * count > len(data):
            raise AssertionError(f"{path}: record at byte {start} holds {count} points past the end")
        points = np.frombuffer(data, ">f4", 2 * count, pos).astype(np.float32).reshape(-1, 2)
        pos += 8 * count
        records.append(Record(count, tuple(np.float32(b) for b in box), offset, points))
        if count == 0:
            break
    if pos != len(data):
        raise AssertionError(f"{path}: {len(data) - pos} bytes after the zero-count record")
    return records


def read_text(path):
    with open(path, encoding="ascii") as f:
        words = f.read().split()
    records = []
    pos = 0
    while True:
        if pos + 6 > len(words):
            raise AssertionError(f"{path}: ends without a zero-count record")
        count = int(words[pos])
        if not 0 <= count <= 65535:
            raise AssertionError(f"{path}: count {count} does not fit 16 bits")
        box = tuple(np.float32(float(w)) for w in words[pos + 1 : pos + 5])
        offset = int(words[pos + 5])
        pos += 6
        points = np.array([float(w) for w in words[pos : pos + 2 * count]], dtype=np.float32).reshape(-1, 2)
        pos += 2 * count
        records.append(Record(count, box, offset, points))
        if count == 0:
            break
    if pos != len(words):
        raise AssertionError(f"{path}: {len(words) - pos} words after the zero-count record")
    return records


def gshhg_source(fname, levels, corners=None):
    """(lat, lon) arrays of the segments of the given levels, in file order;
    corners (south_min, south_max, west_min, west_max) limits the bins to those
    whose south-west corner lies within it (longitudes in -180..180)."""
    with netCDF4.Dataset(os.path.join(GSHHG, fname)) as ds:
        ds.set_auto_maskandscale(False)
        v = {name: ds.variables[name][:] for name in ds.variables}
    size = v["Bin_size_in_minutes"][0] / 60.0
    per_row = v["N_bins_in_360_longitude_range"][0]
    start = v["Id_of_first_point_in_a_segment"].astype(np.int64)
    count = np.diff(np.append(start, v["N_points_in_file"][0]))
    if "Hierarchial_level_of_a_segment" in v:
        level = v["Hierarchial_level_of_a_segment"].astype(np.int64)
    else:
        level = (v["Embedded_npts_levels_exit_entry_for_a_segment"].astype(np.int64) >> 6) & 7
    first_seg = v["Id_of_first_segment_in_a_bin"].astype(np.int64)
    bin_of = np.searchsorted(first_seg, np.arange(len(start)), side="right") - 1
    south = 90.0 - (bin_of // per_row + 1) * size
    west = (bin_of % per_row) * size
    west = np.where(west >= 180.0, west - 360.0, west)
    dx = v["Relative_longitude_from_SW_corner_of_bin"].astype(np.int64) % 65536
    dy = v["Relative_latitude_from_SW_corner_of_bin"].astype(np.int64) % 65536
    chosen = np.isin(level, levels)
    if corners is not None:
        s0, s1, w0, w1 = corners
        chosen &= (south >= s0) & (south <= s1) & (west >= w0) & (west <= w1)
    out = []
    for seg in np.flatnonzero(chosen):
        p = slice(start[seg], start[seg] + count[seg])
        out.append((south[seg] + dy[p] * size / 65535.0, west[seg] + dx[p] * size / 65535.0))
    return out


def inside(rings, lat, lon):
    """Whether each point lies inside the closed (lat, lon) rings, by the
    even-odd rule over all of them (the rings do not overlap)."""
    ry = np.concatenate([r[0] for r in rings])
    rx = np.concatenate([r[1] for r in rings])
    last = np.cumsum([len(r[0]) for r in rings]) - 1
    edge = np.ones(len(rx), dtype=bool)
    edge[last] = False  # no edge from one ring's end to the next one's start
    x0, y0, x1, y1 = rx[edge], ry[edge], rx[1:][edge[:-1]], ry[1:][edge[:-1]]
    # A ray eastward from a point meets no edge west of all points.
    near = (np.maximum(x0, x1) >= lon.min()) & (np.maximum(y0, y1) >= lat.min()) & (np.minimum(y0, y1) <= lat.max())
    x0, y0, x1, y1 = x0[near], y0[near], x1[near], y1[near]
    hit = np.zeros(len(lat), dtype=bool)
    for y in np.unique(lat):
        s = (y0 > y) != (y1 > y)
        xcross = np.sort(x0[s] + (y - y0[s]) * (x1[s] - x0[s]) / (y1[s] - y0[s]))
        row = lat == y
        east = len(xcross) - np.searchsorted(xcross, lon[row], side="right")
        hit[row] = east % 2 == 1
    return hit


def ring_area(lon, lat):
    return 0.5 * abs(np.dot(lon[:-1], lat[1:]) - np.dot(lon[1:], lat[:-1]))


def check_file_layout(tc, path, records):
    """What every map file holds: a first byte of 0, offsets that are byte
    positions, boxes that bound the points, longitudes in -180..180."""
    with open(path, "rb") as f:
        tc.assertEqual(f.read(1), b"\0", f"{path} must not begin like a text header")
    pos = 0
    for r in records:
        tc.assertEqual(r.offset, pos)
        pos += HEADER.size + 8 * r.count
        if r.count:
            lat, lon = r.points[:, 0], r.points[:, 1]
            tc.assertEqual(r.box, (lat.max(), lat.min(), lon.max(), lon.min()))
    pts = np.concatenate([r.points for r in records])
    tc.assertTrue(np.all(np.abs(pts[:, 1]) <= 180.0) and np.all(np.abs(pts[:, 0]) <= 90.0))


class GshhgMaps(unittest.TestCase):
    """zeq.map, cont.map and country.map hold the source's segments of the chosen
    levels and bins, each as one record with its points."""

    # (map, [(source file, levels)], bins by their south-west corners)
    CASES = [
        ("zeq.map", [("binned_GSHHS_l.nc", (1, 2, 3, 4)), ("binned_border_l.nc", (1, 2))], (10, 80, -170, -60)),
        ("cont.map", [("binned_GSHHS_l.nc", (1, 2))], None),
        ("country.map", [("binned_border_l.nc", (1,))], None),
    ]

    def test_segments_and_points(self):
        for name, parts, corners in self.CASES:
            with self.subTest(map=name):
                path = map_path(name)
                records = read_binary(path)
                check_file_layout(self, path, records)
                self.assertEqual(records[-1].count, 0)
                got = records[:-1]
                want = [seg for fname, levels in parts for seg in gshhg_source(fname, levels, corners)]
                self.assertEqual(len(got), len(want), "records against source segments")
                self.assertEqual(sum(r.count for r in got), sum(len(s[0]) for s in want), "points")
                # The file begins with the first segment of fewer than 256 points.
                k = next(i for i, s in enumerate(want) if len(s[0]) < 256)
                want = [want[k]] + want[:k] + want[k + 1 :]
                counts_got = [r.count for r in got]
                self.assertEqual(counts_got, [len(s[0]) for s in want])
                got_pts = np.concatenate([r.points for r in got]).astype(np.float64)
                want_pts = np.concatenate([np.column_stack(s) for s in want])
                err = np.abs(got_pts - want_pts).max()
                self.assertLessEqual(err, COORD_TOL, f"largest coordinate error {err}")

    def test_north_american_box(self):
        pts = np.concatenate([r.points for r in read_binary(map_path("zeq.map"))])
        self.assertGreaterEqual(pts[:, 0].min(), 10.0)
        self.assertLessEqual(pts[:, 1].max(), -50.0)
        self.assertGreaterEqual(pts[:, 1].min(), -170.0)
        # Coast points that the map must show: Cape Hatteras, Point Conception,
        # Cape Sable, the Strait of Belle Isle.
        tree = cKDTree(pts.astype(np.float64))
        for lat, lon in ((35.23, -75.53), (34.45, -120.47), (25.12, -81.09), (51.5, -56.8)):
            d, _ = tree.query((lat, lon))
            self.assertLess(d, 0.1, f"no coast point near {lat}, {lon}")


class LandMap(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.path = map_path("land.map")
        cls.with_end = read_binary(cls.path)
        cls.records = cls.with_end[:-1]
        cls.rings = [(r.points[:, 0].astype(np.float64), r.points[:, 1].astype(np.float64)) for r in cls.records]

    def test_rings_closed_and_within_one_side_of_the_date_line(self):
        check_file_layout(self, self.path, self.with_end)
        for i, (lat, lon) in enumerate(self.rings):
            self.assertEqual((lat[0], lon[0]), (lat[-1], lon[-1]), f"ring {i} is not closed")
            self.assertGreaterEqual(len(set(zip(lat, lon))), 3, f"ring {i} is degenerate")
            self.assertLessEqual(np.abs(np.diff(lon)).max(initial=0), 180.0, f"ring {i} crosses the date line")

    def test_thinned_to_about_five_hundredths_of_a_degree(self):
        # The steps between points of the source, not those that close a ring
        # or run along the date line or a pole.
        steps = []
        for lat, lon in self.rings:
            step = np.maximum(np.abs(np.diff(lat)), np.abs(np.diff(lon)) * np.cos(np.radians(lat[1:])))
            cut = (np.abs(lon) == 180.0) | (np.abs(lat) == 90.0)
            steps.append(step[:-1][~(cut[1:] | cut[:-1])[:-1]])
        steps = np.concatenate(steps)
        self.assertLess(np.count_nonzero(steps < 0.049) / len(steps), 0.01)
        self.assertTrue(0.05 <= np.median(steps) <= 0.1, f"median spacing {np.median(steps)}")

    def dcw_outlines(self, codes):
        """The full-resolution outer rings of the countries, in their frames."""
        rings = []
        with netCDF4.Dataset(DCW) as ds:
            ds.set_auto_maskandscale(False)
            for code in codes:
                vx, vy = ds.variables[code + "_lon"], ds.variables[code + "_lat"]
                x, y = vx[:].astype(np.int64), vy[:].astype(np.int64)
                lon = vx.getncattr("min") + x / vx.getncattr("scale")
                lat = vy.getncattr("min") + y / vy.getncattr("scale")
                marks = list(np.flatnonzero(x == 65535)) + [len(x)]
                for a, b in zip(marks[:-1], marks[1:]):
                    if b - a > 3:
                        rings.append((np.append(lat[a + 1 : b], lat[a + 1]), np.append(lon[a + 1 : b], lon[a + 1])))
        return rings

    def test_land_across_the_date_line_matches_the_source(self):
        # Countries about the date line; windows in 0..360 degrees east.
        source = self.dcw_outlines(["RU", "US", "FJ", "TO", "WF", "TV", "KI", "NZ"])
        for (lat0, lat1, lon0, lon1, step) in ((50.0, 72.0, 165.0, 195.0, 0.2), (-20.0, -15.5, 176.0, 182.5, 0.04)):
            with self.subTest(window=(lat0, lat1, lon0, lon1)):
                lat, lon = np.meshgrid(np.arange(lat0 + 0.0123, lat1, step), np.arange(lon0 + 0.0123, lon1, step))
                lat, lon = lat.ravel(), lon.ravel()
                src = np.zeros(len(lat), dtype=bool)
                for shift in (-360.0, 0.0, 360.0):
                    src |= inside(source, lat, lon + shift)
                east = np.where(lon > 180.0, lon - 360.0, lon)
                near = [r for r in self.rings if r[0].min() <= lat1 and r[0].max() >= lat0]
                got = inside(near, lat, east)
                self.assertGreater(np.count_nonzero(got), 100)
                self.assertTrue(np.any(got & (lon > 180.0)) and np.any(got & (lon < 180.0)))
                # Thinning moves the outline by less than a tenth of a degree
                # (of latitude, or of longitude times the cosine of latitude).
                vertices = np.concatenate([np.column_stack(r) for r in source])
                vertices[:, 1] = (vertices[:, 1] % 360.0) * np.cos(np.radians(vertices[:, 0]))
                query = np.column_stack([lat, lon * np.cos(np.radians(lat))])
                far, _ = cKDTree(vertices).query(query, distance_upper_bound=0.1)
                wrong = (got != src) & np.isinf(far)
                self.assertFalse(np.any(wrong), f"land differs from the source at {np.column_stack([lat, lon])[wrong][:5]}")

    def test_south_pole_is_land(self):
        lat = np.array([-89.5, -85.0, -85.0, -85.0, -80.0, -50.0, 0.0])
        lon = np.array([0.0, 179.99, -179.99, 90.0, -100.0, 0.0, -140.0])
        self.assertEqual(list(inside(self.rings, lat, lon)), [True, True, True, True, True, False, False])


def load_converter():
    spec = importlib.util.spec_from_file_location("make_map", CONVERTER)
    mod = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(mod)
    return mod


class DateLineSplit(unittest.TestCase):
    """Closed rings cut at 180 degrees: pieces closed, within -180..180, no
    date-line crossing, the area kept."""

    def test_cases(self):
        mm = load_converter()
        square = ([178, 182, 182, 178], [0, 0, 2, 2])
        # A C open to the east across 180: its eastern part is two arms.
        c_shape = ([178, 182, 182, 179, 179, 182, 182, 178], [0, 0, 1, 1, 2, 2, 3, 3])
        east_only = ([185, 190, 190, 185], [10, 10, 12, 12])
        greenwich = ([-2, 2, 2, -2], [50, 50, 52, 52])
        # (ring, pieces, lon extents of the pieces, area)
        cases = [
            (square, 2, [(178, 180), (-180, -178)], 8.0),
            (c_shape, 2, [(178, 180), (-180, -178)], 9.0),
            (east_only, 1, [(-175, -170)], 10.0),
            (greenwich, 1, [(-2, 2)], 8.0),
        ]
        for (lon, lat), npieces, extents, area in cases:
            with self.subTest(ring=list(zip(lon, lat))):
                lon = np.array(lon + lon[:1], dtype=float)
                lat = np.array(lat + lat[:1], dtype=float)
                pieces = mm.split_dateline(lon, lat)
                self.assertEqual(len(pieces), npieces)
                self.assertEqual([(p[0].min(), p[0].max()) for p in pieces], extents)
                for plon, plat in pieces:
                    self.assertEqual((plon[0], plat[0]), (plon[-1], plat[-1]))
                    self.assertLessEqual(np.abs(np.diff(plon)).max(), 180.0)
                self.assertAlmostEqual(sum(ring_area(*p) for p in pieces), area)

    def test_ring_round_the_pole(self):
        mm = load_converter()
        # A coast at 70 S running once round the globe, crossing 180 between
        # 175 E and 175 W, both ways round.
        lon = np.arange(-175.0, 180.0, 10.0)
        lat = -70.0 + 2.0 * np.sin(np.radians(lon))
        for way in (1, -1):
            with self.subTest(way=way):
                ring_lon = np.append(lon[::way], lon[::way][0])
                ring_lat = np.append(lat[::way], lat[::way][0])
                (plon, plat), = mm.split_dateline(ring_lon, ring_lat)
                self.assertEqual((plon[0], plat[0]), (plon[-1], plat[-1]))
                self.assertLessEqual(np.abs(np.diff(plon)).max(), 180.0)
                self.assertTrue(np.all(np.abs(plon) <= 180.0))
                self.assertEqual(plat.min(), -90.0)
                # The area between the coast and the pole: 360 degrees by about 20.
                self.assertAlmostEqual(ring_area(plon, plat), 360.0 * 20.0, delta=40.0)
                got = inside([(plat, plon)], np.array([-80.0, -80.0, -60.0]), np.array([179.9, -179.9, 0.0]))
                self.assertEqual(list(got), [True, True, False])


class TextForm(unittest.TestCase):
    """--text writes the same records as the binary form."""

    def test_text_equals_binary(self):
        with tempfile.TemporaryDirectory() as tmp:
            for name in ("zeq.map", "cont.map", "country.map", "land.map"):
                with self.subTest(map=name):
                    text = os.path.join(tmp, name)
                    subprocess.run(["/usr/bin/python3", CONVERTER, "--text", name, text], check=True)
                    binary = read_binary(map_path(name))
                    text = read_text(text)
                    self.assertEqual(len(text), len(binary))
                    for i, (t, b) in enumerate(zip(text, binary)):
                        self.assertEqual(t.key(), b.key(), f"record {i}")


if __name__ == "__main__":
    unittest.main()
