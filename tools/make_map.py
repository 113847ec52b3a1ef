#!/usr/bin/python3
"""Builds the map database files from Debian's GSHHG and DCW data packages.

  zeq.map      North America (bins meeting 10-85 N, 170-50 W): shorelines,
               lakes, islands in lakes and ponds on them (GSHHG low
               resolution, levels 1-4), national and state borders (levels 1, 2)
  cont.map     world shorelines and lakes (GSHHG low resolution, levels 1, 2;
               Antarctica by its ice front)
  country.map  world national borders (GSHHG low resolution, level 1)
  land.map     closed land polygons of every country (DCW), thinned to about
               0.05 degrees and cut at 180 degrees so that no ring crosses the
               date line

Sources: gmt-gshhg-low (/usr/share/gmt-gshhg/binned_*_l.nc) and gmt-dcw
(/usr/share/gmt-dcw/dcw-gmt.nc, dcw-countries.txt). Origin and licences:
tools/MAPS.txt.

A map file is a run of records, each a header and its points, ended by a
record of count 0:
  count   number of points (unsigned 16-bit)
  maxlat, minlat, maxlon, minlon   the record's bounding box (degrees)
  offset  byte position of the record's header in the binary form of the file
  count pairs latitude, longitude (degrees, north and east positive,
          longitudes in -180..180)
Binary form (the default): big-endian, count uint16, box 4 x float32, offset
int32, points float32 pairs, no padding. Text form (--text): a header line
"count maxlat minlat maxlon minlon offset", then one "lat lon" line a point.
Coordinates are rounded to 0.0001 degrees, so that both forms hold the same
float values. A binary file begins with a record of fewer than 256 points,
so that its first byte is 0 and it can never be read as text.

GSHHG's binned files cut every shoreline and border at a 10-degree grid of
bins; each piece (segment) of a chosen level in a chosen bin becomes one
record, in the files' order. The bins are numbered row by row from the north
pole, each row from 0 degrees eastward; a point is held as two 16-bit
fractions (of 65535) of the bin's width from the bin's south-west corner.
"""

import argparse
import math
import os
import struct
import sys

import numpy as np

try:
    import netCDF4
except ImportError:
    sys.exit("make_map.py: the Python netCDF4 module is missing: install the Debian package python3-netcdf4")

GSHHG_DIR = "/usr/share/gmt-gshhg"
DCW_FILE = "/usr/share/gmt-dcw/dcw-gmt.nc"
DCW_COUNTRIES = "/usr/share/gmt-dcw/dcw-countries.txt"

# South, north, west, east (degrees) of the North American map.
NORTH_AMERICA = (10.0, 85.0, -170.0, -50.0)

# The GSHHG maps: (file, levels) parts and the box of bins they come from.
GSHHG_MAPS = {
    "zeq.map": ([("binned_GSHHS_l.nc", (1, 2, 3, 4)), ("binned_border_l.nc", (1, 2))], NORTH_AMERICA),
    "cont.map": ([("binned_GSHHS_l.nc", (1, 2))], None),
    "country.map": ([("binned_border_l.nc", (1,))], None),
}
MAP_NAMES = tuple(GSHHG_MAPS) + ("land.map",)

THIN_DEG = 0.05  # spacing of land.map's points
POLE_STEP_DEG = 5.0  # spacing of the points along a pole that closes a ring
MAX_COUNT = 65535  # points a record can hold
HEADER = struct.Struct(">H4fi")


class MapError(Exception):
    pass


def open_source(path, package):
    if not os.path.exists(path):
        raise MapError(f"{path} is missing: install the Debian package {package}")
    try:
        ds = netCDF4.Dataset(path)
    except OSError as err:
        raise MapError(f"cannot read {path}: {err}") from None
    ds.set_auto_maskandscale(False)
    return ds


def round_deg(a):
    return np.round(np.asarray(a, dtype=np.float64), 4)


# ---------------------------------------------------------------- GSHHG


def gshhg_segments(path, levels, box):
    """(lat, lon) arrays of the segments of the given levels in the bins that
    meet box (south, north, west, east; None for the world), in file order."""
    ds = open_source(path, "gmt-gshhg-low")
    try:
        var = ds.variables
        bin_deg = int(var["Bin_size_in_minutes"][0]) / 60.0
        ncol = int(var["N_bins_in_360_longitude_range"][0])
        nseg_bin = var["N_segments_in_a_bin"][:].astype(np.int64)
        first_seg = var["Id_of_first_segment_in_a_bin"][:].astype(np.int64)
        first_pt = var["Id_of_first_point_in_a_segment"][:].astype(np.int64)
        if "N_points_for_a_segment" in var:  # borders and rivers
            npts = var["N_points_for_a_segment"][:].astype(np.int64)
            level = var["Hierarchial_level_of_a_segment"][:].astype(np.int64)
        else:  # shorelines: points, level and bin sides packed in one word
            packed = var["Embedded_npts_levels_exit_entry_for_a_segment"][:].astype(np.int64)
            npts = packed >> 9
            level = (packed >> 6) & 7
        dx = var["Relative_longitude_from_SW_corner_of_bin"][:].astype(np.int64) & 0xFFFF
        dy = var["Relative_latitude_from_SW_corner_of_bin"][:].astype(np.int64) & 0xFFFF
    except (KeyError, IndexError) as err:
        raise MapError(f"{path}: not a binned shoreline or border file ({err})") from None
    finally:
        ds.close()
    if len(first_pt) and first_pt[-1] + npts[-1] > len(dx):
        raise MapError(f"{path}: segments run past the {len(dx)} points of the file")

    segments = []
    for b in range(len(nseg_bin)):
        row, col = divmod(b, ncol)
        south = 90.0 - (row + 1) * bin_deg
        west = col * bin_deg
        if west >= 180.0:
            west -= 360.0  # whole bins in west longitudes: no segment crosses 180
        if box is not None:
            s, n, w, e = box
            if not (south < n and south + bin_deg > s and west < e and west + bin_deg > w):
                continue
        for seg in range(first_seg[b], first_seg[b] + nseg_bin[b]):
            if level[seg] not in levels:
                continue
            p = slice(first_pt[seg], first_pt[seg] + npts[seg])
            lon = round_deg(west + dx[p] * (bin_deg / 65535.0))
            lat = round_deg(south + dy[p] * (bin_deg / 65535.0))
            segments.append((lat, lon))
    return segments


def gshhg_map(name):
    parts, box = GSHHG_MAPS[name]
    records = []
    for fname, levels in parts:
        records += gshhg_segments(f"{GSHHG_DIR}/{fname}", levels, box)
    return records


# ---------------------------------------------------------------- DCW


def dcw_rings(path, codes_path):
    """Yields the outer rings of every country in codes_path, as (lon, lat) arrays in the
    longitude frame of the country (which may run past 180). Holes are left out:
    they are enclaves of other countries, which have rings of their own."""
    try:
        with open(codes_path, encoding="utf-8") as f:
            codes = [line.split()[1] for line in f if line.strip() and not line.startswith("#")]
    except OSError as err:
        raise MapError(f"cannot read {codes_path} ({err}): install the Debian package gmt-dcw") from None
    ds = open_source(path, "gmt-dcw")
    try:
        for code in codes:
            try:
                vx = ds.variables[f"{code}_lon"]
                vy = ds.variables[f"{code}_lat"]
                lon0, lon_scale = vx.getncattr("min"), vx.getncattr("scale")
                lat0, lat_scale = vy.getncattr("min"), vy.getncattr("scale")
            except (KeyError, AttributeError) as err:
                raise MapError(f"{path}: no outline for country {code} ({err})") from None
            x = vx[:].astype(np.int64)
            y = vy[:].astype(np.int64)
            lon = lon0 + x / lon_scale
            lat = lat0 + y / lat_scale
            # A point (65535, 0) starts a polygon, (65535, 1) a hole in it.
            starts = np.flatnonzero((x == 65535) & (y <= 1))
            ends = np.append(starts[1:], len(x))
            for s, e in zip(starts, ends):
                if y[s] == 0 and e - s > 1:
                    yield lon[s + 1 : e], lat[s + 1 : e]
    finally:
        ds.close()


def thin(lon, lat, step=THIN_DEG):
    """Keeps the first point and each point at least step degrees (of
    latitude, or of longitude times the cosine of latitude) from the last one
    kept; the result is closed on its first point."""
    # First drop, at numpy speed, the points in the same cell of a quarter
    # step as the point before them (the source is dense: most go here).
    cell = np.floor(lon * (4.0 / step)) * 1e6 + np.floor(lat * (4.0 / step))
    dense = np.flatnonzero(np.diff(cell) != 0) + 1
    lon = np.concatenate([lon[:1], lon[dense]])
    lat = np.concatenate([lat[:1], lat[dense]])
    keep = [0]
    xs, ys = lon.tolist(), lat.tolist()
    klon, klat = xs[0], ys[0]
    for i in range(1, len(xs)):
        if abs(ys[i] - klat) >= step or abs(xs[i] - klon) * math.cos(math.radians(ys[i])) >= step:
            keep.append(i)
            klon, klat = xs[i], ys[i]
    lon = lon[keep]
    lat = lat[keep]
    if len(lon) > 1 and lon[-1] == lon[0] and lat[-1] == lat[0]:
        lon, lat = lon[:-1], lat[:-1]
    return np.append(lon, lon[0]), np.append(lat, lat[0])


def clip(lon, lat, bound, keep_west):
    """The closed ring clipped to the side of the meridian bound (the west side
    when keep_west); edges along the meridian join the pieces."""

    def inside(x):
        return x <= bound if keep_west else x >= bound

    out_lon, out_lat = [], []
    n = len(lon) - 1  # the ring is closed; its last point repeats the first
    for i in range(n):
        x0, y0, x1, y1 = lon[i], lat[i], lon[i + 1], lat[i + 1]
        if inside(x0):
            out_lon.append(x0)
            out_lat.append(y0)
        if inside(x0) != inside(x1) and x0 != bound and x1 != bound:
            out_lon.append(bound)
            out_lat.append(y0 + (y1 - y0) * (bound - x0) / (x1 - x0))
    if len(out_lon) < 3:
        return None
    return np.array(out_lon + out_lon[:1]), np.array(out_lat + out_lat[:1])


def close_at_pole(lon, lat):
    """A closed ring around a pole (its longitudes, unwrapped, run once round
    the globe): cut at 180 degrees and closed along the pole."""
    if lon[-1] < lon[0]:  # run eastward
        lon, lat = lon[::-1], lat[::-1]
    n = len(lon) - 1
    lon2 = np.concatenate([lon[:n], lon[:n] + 360.0, lon[:1] + 720.0])
    lat2 = np.concatenate([lat[:n], lat[:n], lat[:1]])
    seam = 180.0 + 360.0 * math.ceil((lon2[0] - 180.0) / 360.0)
    if seam == lon2[0]:
        seam += 360.0
    i = int(np.flatnonzero((lon2[:-1] < seam) & (lon2[1:] >= seam))[0])
    cross = lat2[i] + (lat2[i + 1] - lat2[i]) * (seam - lon2[i]) / (lon2[i + 1] - lon2[i])
    lap = slice(i + 1, i + 1 + n)
    body_lon = lon2[lap] - seam - 180.0
    body_lat = lat2[lap]
    if body_lon[0] == -180.0:
        body_lon, body_lat = body_lon[1:], body_lat[1:]
    if body_lon.min() < -180.0 or body_lon.max() > 180.0:
        raise MapError("a ring round the pole crosses 180 degrees more than once")
    pole = 90.0 if np.mean(lat) > 0 else -90.0
    along = np.arange(180.0, -180.0 - POLE_STEP_DEG / 2, -POLE_STEP_DEG)
    ring_lon = np.concatenate([[-180.0], body_lon, [180.0], along, [-180.0]])
    ring_lat = np.concatenate([[cross], body_lat, [cross], np.full(len(along), pole), [cross]])
    return ring_lon, ring_lat


def split_dateline(lon, lat):
    """The closed ring as closed rings in -180..180 none of which crosses the
    date line (an edge with a longitude step over 180)."""
    step = np.diff(lon)
    unwrapped = lon[0] + np.concatenate([[0.0], np.cumsum(step - 360.0 * np.round(step / 360.0))])
    if abs(unwrapped[-1] - unwrapped[0]) > 180.0:
        return [close_at_pole(unwrapped, lat)]
    west = unwrapped.min()
    shift = (west + 180.0) % 360.0 - 180.0 - west
    lon = unwrapped + shift
    if lon.max() <= 180.0:
        return [(lon, lat)]
    pieces = [clip(lon, lat, 180.0, True), clip(lon - 360.0, lat, -180.0, False)]
    return [p for p in pieces if p is not None]


def land_map():
    records = []
    for lon, lat in dcw_rings(DCW_FILE, DCW_COUNTRIES):
        coslat = math.cos(math.radians(np.abs(lat).min()))
        if np.ptp(lat) < THIN_DEG and np.ptp(lon) * coslat < THIN_DEG:
            continue  # thinning leaves a single point of it
        lon, lat = thin(lon, lat)
        for plon, plat in split_dateline(lon, lat):
            plon, plat = round_deg(plon), round_deg(plat)
            distinct = {(a, b) for a, b in zip(plon, plat)}
            if len(distinct) >= 3:
                records.append((plat, plon))
    return records


# ---------------------------------------------------------------- output


def order_for_binary(records):
    """The records with one of fewer than 256 points first (see above)."""
    for i, (lat, _) in enumerate(records):
        if len(lat) < 256:
            return [records[i]] + records[:i] + records[i + 1 :]
    raise MapError("no record of fewer than 256 points to begin the file with")


def write_map(records, path, text):
    records = order_for_binary(records)
    binary = bytearray()
    lines = []
    for lat, lon in records + [(np.empty(0), np.empty(0))]:
        n = len(lat)
        if n > MAX_COUNT:
            raise MapError(f"a record of {n} points is more than a record can hold ({MAX_COUNT})")
        box = (lat.max(), lat.min(), lon.max(), lon.min()) if n else (0.0, 0.0, 0.0, 0.0)
        offset = len(binary)
        binary += HEADER.pack(n, *box, offset)
        pts = np.empty(2 * n, dtype=">f4")
        pts[0::2] = lat
        pts[1::2] = lon
        binary += pts.tobytes()
        if text:
            lines.append("%d %.4f %.4f %.4f %.4f %d\n" % (n, *box, offset))
            lines += ["%.4f %.4f\n" % p for p in zip(lat.tolist(), lon.tolist())]
    try:
        if text:
            with open(path, "w", encoding="ascii") as f:
                f.writelines(lines)
        else:
            with open(path, "wb") as f:
                f.write(binary)
    except OSError as err:
        raise MapError(f"cannot write {path}: {err}") from None


def main():
    ap = argparse.ArgumentParser(description="Builds a map database file from Debian's GSHHG and DCW data.")
    ap.add_argument("--text", action="store_true", help="write the text form instead of big-endian binary")
    ap.add_argument("map", choices=MAP_NAMES, help="the map file to build")
    ap.add_argument("output", help="the file to write")
    args = ap.parse_args()
    try:
        records = land_map() if args.map == "land.map" else gshhg_map(args.map)
        write_map(records, args.output, args.text)
    except MapError as err:
        sys.exit(f"make_map.py: {args.map}: {err}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
