#!/usr/bin/python3
"""Checks the demo's sample surface file against the model it was drawn from.

The file is read by a reader of its own, written from the compact text layout
(not from the generator), and compared with independent computations: PROJ's
cs2cs places the stations on the model grid and gives the local direction of
north, SciPy interpolates the eccodes fields bilinearly, and the dew point
comes from the Magnus formula (Bolton 1980) rather than the program's own.

usage: sample_sfc_check.py --sfc FILE --stations sao.cty --name-conv name_conv
                           --tool make_sample_sfc.py [--grib eta.grb]
"""

import argparse
import filecmp
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

try:
    import eccodes
except ImportError:
    sys.exit("sample_sfc_check: the Python module eccodes is missing: install python3-eccodes")
import numpy as np
from scipy import ndimage

ARGS = None
MONTHS = ["JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"]
MISSING = None


class Bad(Exception):
    pass


class Line:
    """A cursor over one record with the conversions of C's scanf."""

    def __init__(self, text):
        self.s, self.p = text, 0

    def int(self, width):
        # "%Nd": leading white space is skipped and not counted; sign and digits are.
        while self.p < len(self.s) and self.s[self.p].isspace():
            self.p += 1
        m = re.compile(r"[-+]?\d+").match(self.s[self.p:self.p + width])
        if not m:
            raise Bad(f"no number at column {self.p}: {self.s!r}")
        self.p += m.end()
        return int(m.group())

    def char(self):
        if self.p >= len(self.s):
            raise Bad(f"line ends early: {self.s!r}")
        self.p += 1
        return self.s[self.p - 1]

    def dot(self):
        if self.char() != ".":
            raise Bad(f"'.' expected at column {self.p - 1}: {self.s!r}")

    def peek(self):
        return self.s[self.p] if self.p < len(self.s) else ""

    def rest(self):
        return self.s[self.p:].strip()


def decode_folded(code, unit, low_base, high_base):
    """Altimeter and pressure codes: the leading digits are dropped, 501..999 and 0..500
    stand for the two ranges on either side of the base value."""
    if code < 0:
        return MISSING
    if code > 999:
        return code / unit
    return (high_base if code > 500 else low_base) + code / unit


def decode_altimeter(code):
    return decode_folded(code, 100, 30, 20)


def decode_pressure(code):
    return decode_folded(code, 10, 1000, 900)


def read_amount(ln):
    """Hundredths of an inch, or whole inches '.' two decimal digits."""
    whole = ln.int(9)
    if ln.peek() == "." and ln.s[ln.p + 1:ln.p + 3].isdigit():
        ln.p += 1
        return whole + ln.int(2) / 100
    return whole / 100


def parse_record(text):
    """One compact full record into a dict; raises Bad when anything is left over."""
    ln = Line(text)
    m = re.compile(r"\s*(\S{1,10})(?=\s)").match(text)
    if not m:
        raise Bad(f"no identifier: {text!r}")
    ln.p = m.end()
    r = {"id": m.group(1)}
    t = ln.int(3); ln.dot()
    td = ln.int(3); ln.dot()
    wind = ln.int(4); ln.dot()
    alt = ln.int(3); ln.dot()
    r["t"] = MISSING if t == -99 else t
    r["td"] = MISSING if td == -99 else td
    r["dir"], r["spd"] = (MISSING, MISSING) if wind < 0 else (wind // 100 * 10, wind % 100)
    r["alt"] = decode_altimeter(alt)
    r["pmb"] = decode_pressure(ln.int(3)); ln.dot()
    vis = ln.int(3); ln.dot()
    r["vis"] = MISSING if vis == -99 else vis / 10
    height = ln.int(3)
    r["cover"] = ln.char()
    ln.dot()
    r["cld_height"] = MISSING if height == -99 else height * 100
    end = ln.s.find(".", ln.p)
    if end < 0 or end - ln.p > 9:
        raise Bad(f"weather not ended by '.': {text!r}")
    r["weather"], ln.p = ln.s[ln.p:end], end + 1
    for letter in "LPrRTSCG":
        if ln.peek() != letter:
            continue
        ln.p += 1
        if letter == "L":
            r["lat"] = ln.int(4) / 10; ln.dot(); r["lon"] = ln.int(5) / 10
        elif letter in "rR":
            r["rain6" if letter == "r" else "rain24"] = read_amount(ln)
        elif letter == "C":
            r["cld_type"] = ln.s[ln.p:ln.p + 3]; ln.p += 3
        else:
            r[letter] = ln.int(3 if letter == "P" else 9)
        ln.dot()
    if ln.rest():
        raise Bad(f"unread text {ln.rest()!r} would be taken for the next report: {text!r}")
    return r


def decode_label(label):
    """(year, month, day, hour) of a date label "HHZ DD MON YY"."""
    m = re.fullmatch(r"\s*(\d{1,2})Z\s+(\d{1,2}) ([A-Z]{3}) (\d{2})", label)
    if not m or m.group(3) not in MONTHS:
        raise Bad(f"not a date label: {label!r}")
    y = int(m.group(4))
    return (y + (2000 if y <= 49 else 1900), MONTHS.index(m.group(3)) + 1, int(m.group(2)), int(m.group(1)))


def magnus_dew_point_c(t_c, rh):
    """Dew point (C) from temperature (C) and relative humidity (%), Bolton's constants."""
    g = math.log(rh / 100) + 17.67 * t_c / (t_c + 243.5)
    return 243.5 * g / (17.67 - g)


def f_of_c(c):
    return c * 9 / 5 + 32


def read_grib(path):
    eccodes.codes_grib_multi_support_on()
    want = {("prmsl", "meanSea"): "pmsl", ("2t", "heightAboveGround"): "t2m",
            ("2r", "heightAboveGround"): "rh2m", ("10u", "heightAboveGround"): "u10",
            ("10v", "heightAboveGround"): "v10"}
    fields, keys = {}, None
    with open(path, "rb") as f:
        while True:
            h = eccodes.codes_grib_new_from_file(f)
            if h is None:
                break
            try:
                name = want.get((eccodes.codes_get(h, "shortName"), eccodes.codes_get(h, "typeOfLevel")))
                if name and name not in fields:
                    fields[name] = eccodes.codes_get_values(h)
                    if keys is None:
                        keys = {k: eccodes.codes_get(h, k) for k in (
                            "Nx", "Ny", "scanningMode", "latitudeOfFirstGridPointInDegrees",
                            "longitudeOfFirstGridPointInDegrees", "LaDInDegrees", "LoVInDegrees",
                            "Latin1InDegrees", "Latin2InDegrees", "DxInMetres", "DyInMetres", "radius",
                            "dataDate", "dataTime", "uvRelativeToGrid")}
                        keys["lats"] = eccodes.codes_get_array(h, "latitudes")
                        keys["lons"] = eccodes.codes_get_array(h, "longitudes")
            finally:
                eccodes.codes_release(h)
    return fields, keys


def cs2cs(keys, lonlat):
    """Projected metres of (lon, lat) pairs in the grid's Lambert projection; nan where none."""
    if shutil.which("cs2cs") is None:
        raise AssertionError("cs2cs is missing: install proj-bin")
    r = "+R=%r" % keys["radius"]
    cmd = ["cs2cs", "-f", "%.6f", "+proj=lonlat", r, "+to", "+proj=lcc",
           "+lat_1=%r" % keys["Latin1InDegrees"], "+lat_2=%r" % keys["Latin2InDegrees"],
           "+lat_0=%r" % keys["LaDInDegrees"], "+lon_0=%r" % keys["LoVInDegrees"], r, "+units=m"]
    text = "".join("%.6f %.6f\n" % (lo, la) for lo, la in lonlat)
    out = subprocess.run(cmd, input=text, capture_output=True, text=True, check=True).stdout
    xy = []
    for line in out.splitlines():
        w = line.split()
        try:
            xy.append((float(w[0]), float(w[1])))
        except ValueError:
            xy.append((math.nan, math.nan))
    return np.array(xy)


class SampleFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(ARGS.grib):
            raise AssertionError(f"{ARGS.grib} is missing: install python-grib-doc")
        with open(ARGS.sfc, encoding="ascii") as f:
            cls.lines = f.read().split("\n")
        cls.fields, cls.keys = read_grib(ARGS.grib)
        cls.stations = {}
        with open(ARGS.stations, encoding="ascii") as f:
            for line in f:
                w = line.split()
                cls.stations.setdefault(w[3], (float(w[5]), float(w[6])))

    def test_header_date_is_the_models_run_time_and_the_file_name(self):
        self.assertEqual(self.lines[-1], "", "the last record ends with a newline")
        self.assertIn(self.lines[0][0], " 012", "a compact text file is known by its first character")
        y, m, d, h = decode_label(self.lines[0])
        vd, vt = self.keys["dataDate"], self.keys["dataTime"]
        self.assertEqual((y, m, d, h * 100), (vd // 10000, vd // 100 % 100, vd % 100, vt))
        template = None
        with open(ARGS.name_conv) as f:
            for row in f:
                w = row.split()
                if w and w[0] == "sfc":
                    template = w[1]
        self.assertEqual(template, "%D/%y%m%d%h.sfc")
        name = template.replace("%D/", "").replace("%y", "%02d" % (y % 100)).replace(
            "%m", "%02d" % m).replace("%d", "%02d" % d).replace("%h", "%02d" % h)
        self.assertEqual(os.path.basename(ARGS.sfc), name)

    def test_every_station_inside_the_grid_has_one_full_record(self):
        records = [parse_record(s) for s in self.lines[1:-1]]
        ids = [r["id"] for r in records]
        self.assertEqual(len(ids), len(set(ids)), "an identifier is repeated")
        unknown = [s for s in ids if s not in self.stations]
        self.assertEqual(unknown, [], "identifiers not in the station file")
        for r in records:
            self.assertTrue(r["t"] is not MISSING and r["td"] is not MISSING and r["pmb"] is not MISSING
                            and r["spd"] is not MISSING, r["id"])
            self.assertLessEqual(r["td"], r["t"], r["id"])
            self.assertEqual((r["alt"], r["vis"], r["cld_height"], r["cover"], r["weather"]),
                             (MISSING, MISSING, MISSING, " ", " "), r["id"])
            self.assertNotIn("rain6", r)
            self.assertNotIn("rain24", r)

        k = self.keys
        names = sorted(self.stations)
        xy = cs2cs(k, [(self.stations[s][1], self.stations[s][0]) for s in names]
                   + [(k["longitudeOfFirstGridPointInDegrees"], k["latitudeOfFirstGridPointInDegrees"])])
        i = (xy[:-1, 0] - xy[-1, 0]) / k["DxInMetres"]
        j = (xy[:-1, 1] - xy[-1, 1]) / k["DyInMetres"]
        eps = 1e-4  # stations this close to the edge may fall either way
        inside = {s for s, a, b in zip(names, i, j) if eps <= a <= k["Nx"] - 1 - eps and eps <= b <= k["Ny"] - 1 - eps}
        edge = {s for s, a, b in zip(names, i, j) if -eps < a < k["Nx"] - 1 + eps and -eps < b < k["Ny"] - 1 + eps}
        self.assertEqual(inside - set(ids), set(), "stations inside the grid without a record")
        self.assertEqual(set(ids) - edge, set(), "records of stations outside the grid")

    def test_values_agree_with_the_model_at_every_station(self):
        k = self.keys
        nx, ny = k["Nx"], k["Ny"]
        self.assertEqual(k["scanningMode"], 64, "rows run west to east, from the south")
        self.assertEqual(k["uvRelativeToGrid"], 1)
        records = [parse_record(s) for s in self.lines[1:-1]]
        pos = [self.stations[r["id"]] for r in records]
        # Per station: the station, a point 0.001 degree north of it; then three grid corners.
        corners = [0, nx - 1, (ny - 1) * nx]
        pts = [p for la, lo in pos for p in ((lo, la), (lo, la + 0.001))]
        pts += [(k["lons"][c], k["lats"][c]) for c in corners]
        xy = cs2cs(k, pts)
        origin = xy[-3]
        gi = (xy[:-3, 0] - origin[0]) / k["DxInMetres"]
        gj = (xy[:-3, 1] - origin[1]) / k["DyInMetres"]
        # eccodes' own corner positions land on the corner indices: the value layout is understood.
        np.testing.assert_allclose((xy[-2] - origin) / k["DxInMetres"], [nx - 1, 0], atol=1e-3)
        np.testing.assert_allclose((xy[-1] - origin) / k["DyInMetres"], [0, ny - 1], atol=1e-3)

        def at(name, n):
            grid = self.fields[name].reshape(ny, nx)
            return ndimage.map_coordinates(grid, [[gj[2 * n]], [gi[2 * n]]], order=1)[0]

        worst = {"t": 0.0, "td": 0.0, "pmb": 0.0, "spd": 0.0, "dir": 0.0}
        for n, r in enumerate(records):
            t_c = at("t2m", n) - 273.15
            t_f = f_of_c(t_c)
            td_f = min(f_of_c(magnus_dew_point_c(t_c, min(max(at("rh2m", n), 2.0), 100.0))), t_f)
            pmb = at("pmsl", n) / 100
            # North at the station, as an angle clockwise from the grid's +y axis.
            north = math.atan2(gi[2 * n + 1] - gi[2 * n], gj[2 * n + 1] - gj[2 * n])
            ug, vg = at("u10", n), at("v10", n)
            u = ug * math.cos(north) - vg * math.sin(north)
            v = ug * math.sin(north) + vg * math.cos(north)
            spd = math.hypot(u, v) / 0.514444
            dirn = math.degrees(math.atan2(-u, -v)) % 360

            errs = {"t": abs(r["t"] - t_f), "td": abs(r["td"] - td_f), "pmb": abs(r["pmb"] - pmb),
                    "spd": abs(r["spd"] - spd)}
            if r["spd"] > 0:
                errs["dir"] = abs((r["dir"] - dirn + 180) % 360 - 180)
            else:
                self.assertEqual(r["dir"], 0, r["id"])
            for name, e in errs.items():
                worst[name] = max(worst[name], e)
        # Rounding to whole degrees F, tenths of a mb, whole knots and tens of degrees;
        # the dew point also differs by the choice of saturation formula.
        limits = {"t": 0.5, "td": 0.5 + 0.15, "pmb": 0.05, "spd": 0.5, "dir": 5.0}
        for name, limit in limits.items():
            print(f"{name}: worst difference {worst[name]:.4f}")
            self.assertLessEqual(worst[name], limit + 1e-3, f"{name}: worst difference {worst[name]:.4f}")

    def test_the_tool_rebuilds_the_committed_file(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, os.path.basename(ARGS.sfc))
            subprocess.run(["/usr/bin/python3", ARGS.tool, ARGS.stations, out, "--grib", ARGS.grib],
                           check=True, capture_output=True)
            self.assertTrue(filecmp.cmp(out, ARGS.sfc, shallow=False),
                            "data/ holds another file than the tool makes: regenerate it")


class Reader(unittest.TestCase):
    """The reader above must read the layout as the program does, or its checks mean nothing."""

    def test_records(self):
        cases = [
            ("KDEN  72. 65.2715.992.132.100.250B.RA.",
             {"t": 72, "td": 65, "dir": 270, "spd": 15, "alt": 29.92, "pmb": 1013.2, "vis": 10.0,
              "cld_height": 25000, "cover": "B", "weather": "RA"}),
            ("X  -5.-12.3606.012.985.-99.-99 . .",
             {"t": -5, "td": -12, "dir": 360, "spd": 6, "alt": 30.12, "pmb": 998.5, "vis": MISSING,
              "cld_height": MISSING, "cover": " ", "weather": " "}),
            ("X -99.-99.-999.501. 12.-99.-99 . .r25.R1.05.",
             {"t": MISSING, "td": MISSING, "dir": MISSING, "alt": 25.01, "pmb": 1001.2,
              "rain6": 0.25, "rain24": 1.05}),
        ]
        for text, want in cases:
            with self.subTest(text=text):
                got = parse_record(text)
                for key, value in want.items():
                    if isinstance(value, float):
                        self.assertAlmostEqual(got[key], value, places=6, msg=key)
                    else:
                        self.assertEqual(got[key], value, key)

    def test_rejects_records_the_program_would_misread(self):
        for text in ["KDEN  72. 65.2715.992.132.100.250B.RA. KBOS",  # trailing text
                     "KDEN  72. 65.27150.992.132.100.250B.RA.",       # wind wider than DDFF
                     "KDEN  72. 65.2715.992.1605.100.250B.RA.",       # pressure wider than 3 digits
                     "KDEN  72. 65.2715.992.132.100.250B.RAINSHOWERS."]:
            with self.subTest(text=text), self.assertRaises(Bad):
                parse_record(text)

    def test_labels(self):
        self.assertEqual(decode_label("12Z  9 DEC 04"), (2004, 12, 9, 12))
        self.assertEqual(decode_label("00Z 31 JAN 99"), (1999, 1, 31, 0))
        with self.assertRaises(Bad):
            decode_label("12Z  9 DEX 04")


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--sfc", required=True)
    ap.add_argument("--stations", required=True)
    ap.add_argument("--name-conv", required=True)
    ap.add_argument("--tool", required=True)
    ap.add_argument("--grib", default="/usr/share/doc/python-grib-doc/examples/eta.grb")
    ARGS, rest = ap.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
