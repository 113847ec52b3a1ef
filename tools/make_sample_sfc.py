#!/usr/bin/python3
"""Builds the demo's sample surface observations from a model forecast.

Regenerate the committed file from the top of the source tree with:

    cmake -S . -B build && cmake --build build --target station_data
    /usr/bin/python3 tools/make_sample_sfc.py build/data/sao.cty data/04120812.sfc

Input:
  the station file sao.cty (built from weather-util-data by make_sao_cty.py)
  eta.grb of python-grib-doc (/usr/share/doc/python-grib-doc/examples/eta.grb):
      an Eta model run of 2004-12-08 12 UTC on a 93 x 65 Lambert conformal grid
      (81 km), read with python3-eccodes; its surface fields are the 24-hour
      forecast, valid 2004-12-09 12 UTC. The sample stands for observations at
      the run's reference time, 2004-12-08 12 UTC, the date of the demo and of
      its front bulletin (label "12Z  8 DEC 04", file name 04120812.sfc by the
      "sfc" name convention %y%m%d%h.sfc): the forecast field is a plausible
      weather pattern, not the observed weather of that time.

Output: a compact text surface file (full records): the date label line, then
one line per station of sao.cty whose position lies inside the model grid,
sorted by identifier. The values are the model fields interpolated bilinearly
in grid space to the station:
  temperature   2 m temperature, whole degrees F
  dew point     from 2 m temperature and relative humidity with the program's
                saturation vapour-pressure formula and its inverse, whole
                degrees F, never above the temperature
  wind          10 m wind turned from grid-relative to true north, direction in
                whole tens of degrees (360 for north, 0000 for calm), speed in
                whole knots
  pressure      "Pressure reduced to MSL" (prmsl), tenths of a mb
Altimeter setting, visibility, clouds and weather are left missing: only the
fields above are sampled. Precipitation is missing too: eta.grb holds only the 12-hour total
of hours 12 to 24, and the compact record carries 6- and 24-hour amounts only.

The record layout: "ID ttt.ddd.DDFF.aaa.ppp.vvv.hhhc. ." where a pressure code
of 501..999 stands for 950.1..999.9 mb and 0..500 for 1000.0..1050.0 mb; a
pressure outside that range, or a wind of 100 knots or more, cannot be written
and is left missing (the run says how many).
"""

import argparse
import math
import os
import sys

import eccodes
import numpy as np

DEFAULT_GRIB = "/usr/share/doc/python-grib-doc/examples/eta.grb"
MONTHS = ["JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"]
MS_TO_KNOTS = 1.0 / 0.514444

# (shortName, typeOfLevel, level) of each field sampled.
FIELDS = {
    "pmsl": ("prmsl", "meanSea", 0),
    "t2m": ("2t", "heightAboveGround", 2),
    "rh2m": ("2r", "heightAboveGround", 2),
    "u10": ("10u", "heightAboveGround", 10),
    "v10": ("10v", "heightAboveGround", 10),
}
GRID_KEYS = ("gridType", "Nx", "Ny", "scanningMode", "latitudeOfFirstGridPointInDegrees",
             "longitudeOfFirstGridPointInDegrees", "LaDInDegrees", "LoVInDegrees",
             "Latin1InDegrees", "Latin2InDegrees", "DxInMetres", "DyInMetres", "radius")


def fail(text):
    sys.exit("make_sample_sfc: " + text)


def read_fields(path):
    """The sampled fields as (Ny, Nx) arrays, row 0 the southernmost, with the grid keys."""
    eccodes.codes_grib_multi_support_on()  # 10 m v shares its message with 10 m u
    wanted = {field_key: name for name, field_key in FIELDS.items()}
    found, grid, run, uv_grid = {}, None, None, None
    try:
        f = open(path, "rb")
    except OSError as e:
        fail(f"cannot open {path}: {e.strerror}")
    with f:
        while True:
            h = eccodes.codes_grib_new_from_file(f)
            if h is None:
                break
            try:
                field_key = (eccodes.codes_get(h, "shortName"), eccodes.codes_get(h, "typeOfLevel"),
                        eccodes.codes_get(h, "level"))
                name = wanted.get(field_key)
                if name is None or name in found:
                    continue
                keys = {k: eccodes.codes_get(h, k) for k in GRID_KEYS}
                if grid is None:
                    grid = keys
                elif keys != grid:
                    fail(f"{path}: {field_key[0]} is on another grid")
                when = (eccodes.codes_get(h, "dataDate"), eccodes.codes_get(h, "dataTime"))
                if run is None:
                    run = when
                elif when != run:
                    fail(f"{path}: {field_key[0]} is of another model run")
                if name in ("u10", "v10"):
                    uv_grid = eccodes.codes_get(h, "uvRelativeToGrid")
                values = eccodes.codes_get_values(h).astype(np.float64)
                if eccodes.codes_get(h, "bitmapPresent"):
                    values[values == eccodes.codes_get(h, "missingValue")] = np.nan
                found[name] = values.reshape(keys["Ny"], keys["Nx"])
            finally:
                eccodes.codes_release(h)
    missing = sorted(set(FIELDS) - set(found))
    if missing:
        fail(f"{path}: no {', '.join(FIELDS[m][0] for m in missing)} field")
    if grid["gridType"] != "lambert" or grid["scanningMode"] != 64:
        fail(f"{path}: the grid is {grid['gridType']} with scanning mode {grid['scanningMode']};"
             " only a Lambert grid scanned west to east, south to north is handled")
    return found, grid, run, uv_grid


class Lambert:
    """Spherical Lambert conformal projection of the GRIB grid, in grid lengths."""

    def __init__(self, g):
        p1, p2 = math.radians(g["Latin1InDegrees"]), math.radians(g["Latin2InDegrees"])
        t = lambda p: math.tan(math.pi / 4 + p / 2)
        if abs(p1 - p2) < 1e-9:
            self.n = math.sin(p1)
        else:
            self.n = math.log(math.cos(p1) / math.cos(p2)) / math.log(t(p2) / t(p1))
        self.rf = g["radius"] * math.cos(p1) * t(p1) ** self.n / self.n
        self.rho0 = self.rf / t(math.radians(g["LaDInDegrees"])) ** self.n
        self.lov = g["LoVInDegrees"]
        self.dx, self.dy = g["DxInMetres"], g["DyInMetres"]
        self.x1, self.y1 = self.xy(g["latitudeOfFirstGridPointInDegrees"],
                                   g["longitudeOfFirstGridPointInDegrees"])

    def rel_lon(self, lon):
        """Longitude east of the grid's orientation meridian, -180 to 180 degrees."""
        return (np.asarray(lon) - self.lov + 180.0) % 360.0 - 180.0

    def xy(self, lat, lon):
        with np.errstate(divide="ignore"):  # the far pole projects to infinity
            rho = self.rf / np.tan(np.pi / 4 + np.radians(lat) / 2) ** self.n
        theta = self.n * np.radians(self.rel_lon(lon))
        return rho * np.sin(theta), self.rho0 - rho * np.cos(theta)

    def ij(self, lat, lon):
        x, y = self.xy(lat, lon)
        return (x - self.x1) / self.dx, (y - self.y1) / self.dy

    def rotation(self, lon):
        """Angle (radians) from true north to the grid's +y axis, clockwise."""
        return self.n * np.radians(self.rel_lon(lon))


def check_projection(path, proj, grid):
    """Every grid point's eccodes position must project onto its own indices."""
    with open(path, "rb") as f:
        h = eccodes.codes_grib_new_from_file(f)
    try:
        lats = eccodes.codes_get_array(h, "latitudes")
        lons = eccodes.codes_get_array(h, "longitudes")
    finally:
        eccodes.codes_release(h)
    i, j = proj.ij(lats, lons)
    jj, ii = np.divmod(np.arange(grid["Nx"] * grid["Ny"]), grid["Nx"])
    err = max(np.abs(i - ii).max(), np.abs(j - jj).max())
    if err > 1e-3:
        fail(f"{path}: the grid positions disagree with the projection by {err:.4f} grid lengths")


def bilinear(field, i, j):
    nx, ny = field.shape[1], field.shape[0]
    i0, j0 = min(int(i), nx - 2), min(int(j), ny - 2)
    fi, fj = i - i0, j - j0
    return ((1 - fi) * (1 - fj) * field[j0, i0] + fi * (1 - fj) * field[j0, i0 + 1]
            + (1 - fi) * fj * field[j0 + 1, i0] + fi * fj * field[j0 + 1, i0 + 1])


def vapor_pr(t):
    """Saturation vapour pressure over water (mb) at t kelvin: the program's formula."""
    return 10 ** (23.832241 - 5.02808 * math.log10(t) - 1.3816e-7 * 10 ** (11.344 - 0.0303998 * t)
                  + 0.008132801 * 10 ** (3.49149 - 1302.8844 / t) - 2949.076 / t)


def temp_vapor_pr(e):
    """Temperature (K) at which the saturation vapour pressure is e mb: the program's inverse."""
    return 10 ** (0.0498646455 * math.log10(e) + 2.4082965) - 7.08475 + 38.9114 * (e**0.0915 - 1.2035) ** 2


def dew_point(t, rh):
    return temp_vapor_pr(vapor_pr(t) * min(max(rh, 2.0), 100.0) / 100.0)


def nearest(x):
    """Nearest integer, halves away from zero."""
    return int(math.floor(abs(x) + 0.5)) * (1 if x >= 0 else -1)


def fahrenheit(k):
    return (k - 273.15) * 9.0 / 5.0 + 32.0


def read_stations(path):
    """(id, lat, lon) of every station line, the first line of a repeated identifier winning."""
    stations = {}
    try:
        f = open(path, encoding="ascii")
    except OSError as e:
        fail(f"cannot open {path}: {e.strerror}")
    with f:
        for n, line in enumerate(f, 1):
            w = line.split()
            if len(w) < 7:
                fail(f"{path}:{n}: a station line needs at least seven fields")
            try:
                lat, lon = float(w[5]), float(w[6])
            except ValueError:
                fail(f"{path}:{n}: bad position {w[5]} {w[6]}")
            stations.setdefault(w[3], (lat, lon))
    return stations


def date_label(date, time):
    """The file's date label, e.g. "12Z  9 DEC 04"."""
    y, m, d = date // 10000, date // 100 % 100, date % 100
    if time % 100:
        fail("the model run is not at a whole hour")
    return "%2.2dZ %2d %3s %2.2d" % (time // 100, d, MONTHS[m - 1], y % 100)


def record(sid, f, unwritable):
    """One compact text line for the sampled values f; counts the values it cannot write."""
    t = nearest(fahrenheit(f["t2m"]))
    td = min(nearest(fahrenheit(dew_point(f["t2m"], f["rh2m"]))), t)
    spd = nearest(math.hypot(f["u"], f["v"]) * MS_TO_KNOTS)
    if spd >= 100:
        wind = -999
        unwritable["wind"] += 1
    elif spd == 0:
        wind = 0
    else:
        direction = math.degrees(math.atan2(-f["u"], -f["v"])) % 360.0
        tens = nearest(direction / 10.0) % 36
        wind = (tens if tens else 36) * 100 + spd
    pcode = nearest(f["pmsl"] / 10.0)  # tenths of a mb
    if 9501 <= pcode <= 10500:
        pcode %= 1000
    else:
        pcode = -99
        unwritable["pressure"] += 1
    alt, vis, cld_height, cover = -99, -99, -99.0, " "
    return "%s %3d.%3d.%04d.%3d.%3d.%3d.%3.0f%c. .\n" % (sid, t, td, wind, alt, pcode, vis, cld_height, cover)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("stations", help="the station file sao.cty")
    ap.add_argument("output", help="the surface file to write, named %%y%%m%%d%%h.sfc by the run's time")
    ap.add_argument("--grib", default=DEFAULT_GRIB, help="the model file (default: %(default)s)")
    args = ap.parse_args()

    fields, grid, (vdate, vtime), uv_grid = read_fields(args.grib)
    proj = Lambert(grid)
    check_projection(args.grib, proj, grid)

    expected = "%02d%02d%02d%02d.sfc" % (vdate // 10000 % 100, vdate // 100 % 100, vdate % 100, vtime // 100)
    if os.path.basename(args.output) != expected:
        fail(f"the observations are dated {vdate} {vtime:04d} UTC: name the file {expected}")

    stations = read_stations(args.stations)
    ids = sorted(stations)
    lat = np.array([stations[s][0] for s in ids])
    lon = np.array([stations[s][1] for s in ids])
    gi, gj = proj.ij(lat, lon)
    alpha = proj.rotation(lon)
    nx, ny = grid["Nx"], grid["Ny"]

    lines, unwritable = [], {"pressure": 0, "wind": 0}
    for k, sid in enumerate(ids):
        if not (0.0 <= gi[k] <= nx - 1 and 0.0 <= gj[k] <= ny - 1):
            continue
        f = {name: bilinear(fields[name], gi[k], gj[k]) for name in FIELDS}
        if any(math.isnan(v) for v in f.values()):
            continue
        ug, vg = f["u10"], f["v10"]
        if uv_grid:
            c, s = math.cos(alpha[k]), math.sin(alpha[k])
            f["u"], f["v"] = c * ug + s * vg, -s * ug + c * vg
        else:
            f["u"], f["v"] = ug, vg
        lines.append(record(sid, f, unwritable))

    label = date_label(vdate, vtime)
    with open(args.output, "w", encoding="ascii", newline="\n") as out:
        out.write(label + "\n")
        out.writelines(lines)
    print(f"make_sample_sfc: {len(lines)} stations written to {args.output} ({label});"
          f" pressure out of range at {unwritable['pressure']}, wind of 100 knots or more at"
          f" {unwritable['wind']}")


if __name__ == "__main__":
    main()
