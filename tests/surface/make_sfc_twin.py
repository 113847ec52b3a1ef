#!/usr/bin/python3
"""Writes the netCDF twin of a compact text surface file.

    /usr/bin/python3 tests/surface/make_sfc_twin.py INPUT.sfc OUTPUT.nc

The twin holds the same reports in the surface report layout (netCDF
classic, record dimension "ob", unlimited), in that layout's units:
temperatures in Celsius, speeds in m/s, pressures and the altimeter setting in
hPa, visibility in km, cloud bases in m, -9999 for a missing value. Its global
"filetime" is the input's date label, so both files describe one time.

The compact records are decoded here on their own (not by the program): the
identifier, then the groups separated by '.': temperature and dew point in
whole degrees F, wind DDFF (tens of degrees, knots), altimeter code, pressure
code, visibility in tenths of a mile, cloud height in hundreds of feet with
its cover character, and weather. -99 (and a negative wind) is missing; codes
501-999 are 20.01-29.99 in and 950.1-999.9 mb, codes 0-500 30.00-35.00 in and
1000.0-1050.0 mb. Weather letter codes have no WMO number here: a record with
weather stops the run, so that a twin never silently differs from its source.
Optional groups after the weather are not read either (the sample file has
none); a record with any stops the run as well.
"""

import sys

import netCDF4
import numpy as np

MISSING = -9999.0
KNOT = 1852.0 / 3600.0  # m/s
INCH_HG = 33.8639  # hPa
MILE = 1.609344  # km
FOOT = 0.3048  # m
# WMO cloud amounts of the cover letters.
OKTAS = {"C": "0", "F": "1", "S": "2", "B": "6", "O": "8", "X": "9"}


def fail(text):
    sys.exit("make_sfc_twin: " + text)


def number(text):
    text = text.strip()
    try:
        return int(text)
    except ValueError:
        return None


def decode(line, lineno):
    """One compact record as a dict of the layout's variables."""
    ident, _, rest = line.strip().partition(" ")
    groups = rest.strip().split(".")
    if len(groups) < 8:
        fail(f"line {lineno}: short record")
    r = {"id": ident}
    t, td, wind, alt, pres, vis = (number(g) for g in groups[:6])
    r["T"] = MISSING if t in (None, -99) else (t - 32) * 5 / 9
    r["TD"] = MISSING if td in (None, -99) else (td - 32) * 5 / 9
    if wind is None or wind < 0:
        r["DIR"] = r["SPD"] = MISSING
    else:
        r["DIR"] = wind // 100 * 10
        r["SPD"] = wind % 100 * KNOT
    if alt is None or alt < 0:
        r["ALTIM"] = MISSING
    else:
        inches = alt / 100 if alt > 999 else (20 if alt > 500 else 30) + alt / 100
        r["ALTIM"] = inches * INCH_HG
    if pres is None or pres < 0:
        r["PSL"] = MISSING
    else:
        r["PSL"] = pres / 10 if pres > 999 else (900 if pres > 500 else 1000) + pres / 10
    r["VIS"] = MISSING if vis is None or vis < 0 else vis / 10 * MILE
    cloud = groups[6]
    height, cover = number(cloud[:3]), cloud[3:4] or " "
    r["ZCL"] = MISSING if height is None or height < 0 else height * 100 * FOOT
    r["CC"] = "/" if cover == " " else OKTAS.get(cover, cover)
    if groups[7].strip():
        fail(f"line {lineno}: weather {groups[7]!r} has no WMO number here")
    if any(g.strip() for g in groups[8:]):
        fail(f"line {lineno}: optional groups are not converted")
    return r


def main():
    if len(sys.argv) != 3:
        fail("usage: make_sfc_twin.py INPUT.sfc OUTPUT.nc")
    with open(sys.argv[1], encoding="ascii") as f:
        lines = f.read().splitlines()
    if not lines:
        fail("empty input")
    label = lines[0].strip()
    reports = [decode(line, n + 2) for n, line in enumerate(lines[1:]) if line.strip()]

    nc = netCDF4.Dataset(sys.argv[2], "w", format="NETCDF3_CLASSIC")
    nc.createDimension("ob", None)
    nc.createDimension("id_len", 12)
    nc.createDimension("layers", 4)
    nc.set_auto_mask(False)
    ids = nc.createVariable("id", "S1", ("ob", "id_len"))
    region = nc.createVariable("region", "S1", ("ob", "id_len"))
    floats = {}
    for name, units in (("T", "celsius"), ("TD", "celsius"), ("PSL", "hectopascals"),
                        ("ALTIM", "hectopascals"), ("SPD", "meters/second"), ("DIR", "degrees"),
                        ("VIS", "kilometers")):
        floats[name] = nc.createVariable(name, "f4", ("ob",))
        floats[name].units = units
    zcl = nc.createVariable("ZCL", "f4", ("ob", "layers"))
    zcl.units = "meters"
    cc = nc.createVariable("CC", "S1", ("ob", "layers"))
    nc.filetime = label
    nc.title = "Twin of " + sys.argv[1].rsplit("/", 1)[-1]

    n = len(reports)
    ids[:] = netCDF4.stringtochar(np.array([r["id"] for r in reports], dtype="S12"))
    region[:] = netCDF4.stringtochar(np.array([""] * n, dtype="S12"))
    for name, var in floats.items():
        var[:] = np.array([r[name] for r in reports], dtype="f4")
    heights = np.full((n, 4), MISSING, dtype="f4")
    heights[:, 0] = [r["ZCL"] for r in reports]
    zcl[:] = heights
    covers = np.full((n, 4), b"/", dtype="S1")
    covers[:, 0] = [r["CC"].encode("ascii") for r in reports]
    cc[:] = covers
    nc.close()
    print(f"make_sfc_twin: {n} reports of {label}")


if __name__ == "__main__":
    main()
