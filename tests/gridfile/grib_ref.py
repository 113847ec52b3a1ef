# GRIB references for the decoder tests, written and read by ecCodes.
#   grib_ref.py make DIR NAME...  writes the named fixture files into DIR
#   grib_ref.py dump FILE         prints each product as the decoder should
#                                 hold it: lines "nK nx ny", "vK values",
#                                 "laK lats", "loK lons" in the decoder's
#                                 layout (row 0 northernmost, x fastest,
#                                 -9999 missing; thinned rows interpolated
#                                 across the full width with numpy.interp;
#                                 a row without points has no latitude)
#   grib_ref.py fields FILE DIR   the same for every field of a file (a product
#                                 of several fields gives several), written as
#                                 little-endian doubles DIR/vK (and DIR/laK,
#                                 DIR/loK when the field's grid differs from
#                                 the one before), with one line per field:
#                                 "fK nx ny newgrid year month day hour minute
#                                 time ltype level" in the decoder's terms
import math
import os
import subprocess
import sys

import eccodes as ec
import numpy as np

EXAMPLES = "/usr/share/doc/python-grib-doc/examples"
# Example files repacked as JPEG 2000 code streams.
JPEG = {"eta_jpeg.grb2": "eta.grb", "gfs_jpeg.grb2": "gfs.grb", "reduced_jpeg.grb2": "reduced_latlon_surface.grib2",
        "maxt_jpeg.grb2": "ds.maxt.bin"}
R_GRIB1 = 6367470.0  # ecCodes' earth radius of GRIB edition 1


def pattern(n, seed, scale=10.0, base=270.0):
    rng = np.random.default_rng(seed)
    t = np.linspace(0.0, 6.0, n)
    return base + scale * np.sin(t) + rng.normal(0.0, scale / 10.0, n)


def write(path, handles):
    with open(path, "wb") as f:
        for h in handles:
            ec.codes_write(h, f)
            ec.codes_release(h)


def sets(h, pairs):
    for k, v in pairs:
        ec.codes_set(h, k, v)


def latlon_scan(mode, seed):
    h = ec.codes_grib_new_from_samples("regular_ll_pl_grib1")
    ineg, jpos, jcons = (mode >> 7) & 1, (mode >> 6) & 1, (mode >> 5) & 1
    sets(h, [("Ni", 12), ("Nj", 7), ("iScansNegatively", ineg), ("jScansPositively", jpos),
             ("jPointsAreConsecutive", jcons),
             ("latitudeOfFirstGridPointInDegrees", 10.0 if jpos else 40.0),
             ("latitudeOfLastGridPointInDegrees", 40.0 if jpos else 10.0),
             ("longitudeOfFirstGridPointInDegrees", 25.0 if ineg else -30.0),
             ("longitudeOfLastGridPointInDegrees", -30.0 if ineg else 25.0),
             ("iDirectionIncrementInDegrees", 5.0), ("jDirectionIncrementInDegrees", 5.0),
             ("bitsPerValue", 16)])
    ec.codes_set_values(h, pattern(84, seed))
    return h


def latlon2(ni, nj, seed, pairs=()):
    """An edition 2 latitude-longitude field (10-40 N, 30 W-25 E) with values."""
    h = ec.codes_grib_new_from_samples("regular_ll_sfc_grib2")
    sets(h, [("Ni", ni), ("Nj", nj), ("latitudeOfFirstGridPointInDegrees", 40.0),
             ("latitudeOfLastGridPointInDegrees", 10.0), ("longitudeOfFirstGridPointInDegrees", 330.0),
             ("longitudeOfLastGridPointInDegrees", 25.0), ("iDirectionIncrementInDegrees", 55.0 / (ni - 1)),
             ("jDirectionIncrementInDegrees", 30.0 / (nj - 1)), ("bitsPerValue", 16)] + list(pairs))
    return h


def scan2(mode, seed):
    ineg, jpos, jcons, alt = (mode >> 7) & 1, (mode >> 6) & 1, (mode >> 5) & 1, (mode >> 4) & 1
    h = latlon2(12, 7, seed, [("iScansNegatively", ineg), ("jScansPositively", jpos),
                              ("jPointsAreConsecutive", jcons), ("alternativeRowScanning", alt),
                              ("latitudeOfFirstGridPointInDegrees", 10.0 if jpos else 40.0),
                              ("latitudeOfLastGridPointInDegrees", 40.0 if jpos else 10.0),
                              ("longitudeOfFirstGridPointInDegrees", 25.0 if ineg else 330.0),
                              ("longitudeOfLastGridPointInDegrees", 330.0 if ineg else 25.0)])
    ec.codes_set_values(h, pattern(84, seed))
    return h


def packed2(packing, seed, order=0, missing=(), decimal=None, const=None):
    h = latlon2(20, 15, seed)
    ec.codes_set(h, "packingType", packing)
    if order:
        ec.codes_set(h, "orderOfSpatialDifferencing", order)
    if decimal is not None:
        sets(h, [("decimalScaleFactor", decimal), ("bitsPerValue", 0)])
    v = np.full(300, const) if const is not None else pattern(300, seed, scale=40.0)
    if missing:
        sets(h, [("bitmapPresent", 1), ("missingValue", 9999)])
        v[list(missing)] = 9999
    ec.codes_set_values(h, v)
    return h


def product2(pdt, seed, pairs):
    h = latlon2(8, 6, seed)
    ec.codes_set(h, "productDefinitionTemplateNumber", pdt)
    sets(h, pairs)
    ec.codes_set_values(h, pattern(48, seed))
    return h


def edition2(name):
    gaps = (0, 7, 19, 20, 21, 150, 299)
    if name == "scan.grb2":
        return [scan2(m, i) for i, m in enumerate([0x00, 0x40, 0x80, 0xC0, 0x20, 0x60, 0xA0, 0xE0, 0x10, 0x50,
                                                   0x90, 0x30])]
    if name == "packing.grb2":
        return [packed2("grid_simple", 1, decimal=2), packed2("grid_simple", 2, missing=gaps),
                packed2("grid_simple", 3, const=281.5), packed2("grid_complex", 4),
                packed2("grid_complex", 5, missing=gaps), packed2("grid_complex_spatial_differencing", 6, 1),
                packed2("grid_complex_spatial_differencing", 7, 2),
                packed2("grid_complex_spatial_differencing", 8, 2, missing=gaps)]
    if name == "products.grb2":
        def surfaces(t1, s1, v1, t2=255, s2=None, v2=None):
            # The types first: setting a type clears the values.
            out = [("typeOfFirstFixedSurface", t1), ("typeOfSecondFixedSurface", t2),
                   ("scaleFactorOfFirstFixedSurface", s1), ("scaledValueOfFirstFixedSurface", v1)]
            if t2 != 255:
                out += [("scaleFactorOfSecondFixedSurface", s2), ("scaledValueOfSecondFixedSurface", v2)]
            return out

        pl = surfaces(100, 0, 85000)
        layer = surfaces(106, 2, 10, 106, 1, 4)
        ground = surfaces(1, 0, 0)
        return [
            product2(0, 1, pl + [("forecastTime", 36)]),
            product2(0, 2, surfaces(103, 0, 2) + [("indicatorOfUnitOfTimeRange", 10), ("forecastTime", 4)]),
            product2(0, 3, surfaces(100, 0, 50000, 100, 0, 30000)),
            product2(0, 4, surfaces(104, 4, 9950)),
            product2(0, 5, layer),
            product2(1, 6, pl + [("typeOfEnsembleForecast", 3), ("perturbationNumber", 4), ("forecastTime", 12)]),
            product2(2, 7, pl + [("derivedForecast", 0)]),
            product2(2, 8, pl + [("derivedForecast", 2)]),
            product2(5, 9, pl + [("typeOfGeneratingProcess", 2), ("probabilityType", 0),
                                 ("scaleFactorOfLowerLimit", 1), ("scaledValueOfLowerLimit", 2732)]),
            product2(8, 10, ground + [("stepType", "accum"), ("startStep", 6), ("endStep", 12)]),
            product2(8, 11, surfaces(103, 1, 25) + [("stepType", "max"), ("startStep", 0), ("endStep", 24)]),
            product2(9, 12, ground + [("stepType", "accum"), ("startStep", 12), ("endStep", 18),
                             ("typeOfGeneratingProcess", 4), ("probabilityType", 1),
                             ("scaleFactorOfUpperLimit", 3), ("scaledValueOfUpperLimit", 254)]),
            product2(11, 13, pl + [("typeOfEnsembleForecast", 2), ("perturbationNumber", 7), ("stepType", "avg"),
                                   ("startStep", 0), ("endStep", 6)]),
            product2(12, 14, pl + [("derivedForecast", 1), ("stepType", "min"), ("startStep", 6),
                                   ("endStep", 30)]),
        ]
    if name == "polar.grb2":
        hs = []
        for south in (0, 1):
            h = ec.codes_grib_new_from_samples("polar_stereographic_pl_grib2")
            sets(h, [("Nx", 20), ("Ny", 15), ("latitudeOfFirstGridPointInDegrees", -25.0 if south else 25.0),
                     ("longitudeOfFirstGridPointInDegrees", 240.0), ("orientationOfTheGridInDegrees", 260.0),
                     ("LaDInDegrees", -60.0 if south else 60.0), ("DxInMetres", 150000), ("DyInMetres", 150000),
                     ("projectionCentreFlag", 128 * south), ("jScansPositively", 1), ("bitsPerValue", 16)])
            ec.codes_set_values(h, pattern(300, 20 + south))
            hs.append(h)
        return hs
    if name == "merc.grb2":
        # As merc.grb1, on the earth of edition 2's shape 6.
        h = latlon2(16, 12, 30)
        ec.codes_set(h, "gridType", "mercator")
        nx, ny, lad = 16, 12, 20.0
        di = 6371229.0 * math.cos(math.radians(lad)) * math.radians(40.0) / (nx - 1)
        sets(h, [("Ni", nx), ("Nj", ny), ("latitudeOfFirstGridPointInDegrees", 10.0),
                 ("longitudeOfFirstGridPointInDegrees", 300.0), ("latitudeOfLastGridPointInDegrees", 50.0),
                 ("longitudeOfLastGridPointInDegrees", 340.0), ("LaDInDegrees", lad), ("DiInMetres", round(di)),
                 ("DjInMetres", round(di)), ("jScansPositively", 1), ("bitsPerValue", 16)])
        ec.codes_set_values(h, pattern(nx * ny, 30))
        lats = ec.codes_get_array(h, "latitudes")
        ec.codes_set(h, "latitudeOfLastGridPointInDegrees", round(float(lats[-1]), 6))
        return [h]
    if name == "thin.grb2":
        h = ec.codes_grib_new_from_samples("reduced_ll_sfc_grib2")
        sets(h, [("Nj", 6)])
        ec.codes_set_array(h, "pl", np.array([2, 10, 6, 1, 7, 10]))
        sets(h, [("latitudeOfFirstGridPointInDegrees", 60.0), ("latitudeOfLastGridPointInDegrees", 10.0),
                 ("longitudeOfFirstGridPointInDegrees", 0.0), ("longitudeOfLastGridPointInDegrees", 90.0),
                 ("jDirectionIncrementInDegrees", 10.0), ("bitsPerValue", 16), ("bitmapPresent", 1),
                 ("missingValue", 9999)])
        v = pattern(36, 40)
        v[[3, 13, 25]] = 9999
        ec.codes_set_values(h, v)
        return [h]
    sys.exit("unknown fixture " + name)


def make(d, name):
    path = os.path.join(d, name)
    if name == "scan.grb1":
        write(path, [latlon_scan(m, i) for i, m in enumerate([0x00, 0x40, 0x80, 0xC0, 0x20, 0x60, 0xA0, 0xE0])])
    elif name == "bitmap.grb1":
        h = ec.codes_grib_new_from_samples("regular_ll_sfc_grib1")
        sets(h, [("bitmapPresent", 1), ("missingValue", 9999), ("bitsPerValue", 12)])
        v = pattern(496, 7)
        v[[0, 5, 17, 100, 101, 102, 250, 495]] = 9999
        ec.codes_set_values(h, v)
        write(path, [h])
    elif name == "const.grb1":
        h = ec.codes_grib_new_from_samples("regular_ll_sfc_grib1")
        ec.codes_set_values(h, np.full(496, 273.25))
        write(path, [h])
    elif name == "polar.grb1":
        hs = []
        for south in (0, 1):
            h = ec.codes_grib_new_from_samples("polar_stereographic_pl_grib1")
            sets(h, [("Nx", 20), ("Ny", 15), ("latitudeOfFirstGridPointInDegrees", -25.0 if south else 25.0),
                     ("longitudeOfFirstGridPointInDegrees", 240.0), ("orientationOfTheGridInDegrees", 260.0),
                     ("DxInMetres", 150000), ("DyInMetres", 150000), ("projectionCentreFlag", 128 * south),
                     ("jScansPositively", 1), ("bitsPerValue", 16)])
            ec.codes_set_values(h, pattern(300, 20 + south))
            hs.append(h)
        write(path, hs)
    elif name == "merc.grb1":
        # ecCodes steps Mercator rows by Di, so the cells are square and the
        # last latitude is where ecCodes puts it.
        h = ec.codes_grib_new_from_samples("regular_ll_sfc_grib1")
        ec.codes_set(h, "gridType", "mercator")
        nx, ny, lad = 16, 12, 20.0
        di = R_GRIB1 * math.cos(math.radians(lad)) * math.radians(40.0) / (nx - 1)
        sets(h, [("Ni", nx), ("Nj", ny), ("latitudeOfFirstGridPointInDegrees", 10.0),
                 ("longitudeOfFirstGridPointInDegrees", -60.0), ("latitudeOfLastGridPointInDegrees", 50.0),
                 ("longitudeOfLastGridPointInDegrees", -20.0), ("LaDInDegrees", lad),
                 ("DiInMetres", round(di)), ("DjInMetres", round(di)), ("jScansPositively", 1),
                 ("bitsPerValue", 16)])
        ec.codes_set_values(h, pattern(nx * ny, 30))
        lats = ec.codes_get_array(h, "latitudes")
        ec.codes_set(h, "latitudeOfLastGridPointInDegrees", round(float(lats[-1]), 3))
        write(path, [h])
    elif name == "lambert.grb1":
        tmp = path + ".grb2"
        subprocess.run(["grib_copy", "-w", "typeOfLevel=isobaricInhPa,level=500",
                        EXAMPLES + "/eta.grb", tmp], check=True)
        subprocess.run(["grib_set", "-s", "edition=1", tmp, path], check=True)
        os.remove(tmp)
    elif name == "eta_pl.grb1":
        # eta.grb's pressure-level fields as edition 1 products.
        tmp = path + ".grb2"
        subprocess.run(["grib_copy", "-w", "typeOfLevel=isobaricInhPa", EXAMPLES + "/eta.grb", tmp], check=True)
        subprocess.run(["grib_set", "-s", "edition=1", tmp, path], check=True)
        os.remove(tmp)
    elif name in JPEG:
        subprocess.run(["grib_set", "-r", "-s", "packingType=grid_jpeg", EXAMPLES + "/" + JPEG[name], path],
                       check=True)
    elif name == "thin.grb1":
        h = ec.codes_grib_new_from_samples("reduced_ll_sfc_grib1")
        sets(h, [("Nj", 6)])
        ec.codes_set_array(h, "pl", np.array([2, 10, 6, 1, 7, 10]))
        sets(h, [("latitudeOfFirstGridPointInDegrees", 60.0), ("latitudeOfLastGridPointInDegrees", 10.0),
                 ("longitudeOfFirstGridPointInDegrees", 0.0), ("longitudeOfLastGridPointInDegrees", 90.0),
                 ("jDirectionIncrementInDegrees", 10.0), ("bitsPerValue", 16)])
        ec.codes_set_values(h, pattern(36, 40))
        write(path, [h])
    elif name == "second.grb1":
        tmp = path + ".simple"
        h = ec.codes_grib_new_from_samples("regular_ll_sfc_grib1")
        sets(h, [("bitsPerValue", 16)])
        ec.codes_set_values(h, pattern(496, 50))
        write(tmp, [h])
        subprocess.run(["grib_set", "-r", "-s", "packingType=grid_second_order", tmp, path], check=True)
        os.remove(tmp)
    elif name == "gauss.grb1":
        h = ec.codes_grib_new_from_samples("regular_gg_sfc_grib1")
        write(path, [h])
    elif name.endswith(".grb2"):
        write(path, edition2(name))
    else:
        sys.exit("unknown fixture " + name)


def cs2cs(src, dst, pts):
    text = "".join("%.10f %.10f\n" % (a, b) for a, b in pts)
    out = subprocess.run(["cs2cs"] + src.split() + ["+to"] + dst.split() + ["-f", "%.10f"], input=text,
                         capture_output=True, text=True, check=True).stdout
    return np.array([[float(w) for w in line.split()[:2]] for line in out.splitlines()])


def south_polar_places(h, di, dj):
    # ecCodes 2.28 places edition 1 grids with the south pole on the
    # projection plane as if the north pole were; PROJ places them instead.
    geo = "+proj=longlat +R=%g" % R_GRIB1
    plane = "+proj=stere +lat_0=-90 +lat_ts=-60 +lon_0=%g +R=%g" % (
        ec.codes_get(h, "orientationOfTheGridInDegrees"), R_GRIB1)
    first = cs2cs(geo, plane, [(ec.codes_get(h, "longitudeOfFirstGridPointInDegrees"),
                                ec.codes_get(h, "latitudeOfFirstGridPointInDegrees"))])[0]
    pts = zip(first[0] + di * ec.codes_get(h, "DxInMetres"), first[1] + dj * ec.codes_get(h, "DyInMetres"))
    ll = cs2cs(plane, geo, list(pts))
    return ll[:, 1], ll[:, 0]


def layout(h):
    """nx, ny and the values, latitudes and longitudes of a field in the
    decoder's layout."""
    ec.codes_set(h, "missingValue", -9999.0)
    v = ec.codes_get_values(h)
    la = ec.codes_get_array(h, "latitudes")
    lo = ec.codes_get_array(h, "longitudes")
    if ec.codes_get(h, "edition") == 2 and ec.codes_get(h, "dataRepresentationTemplateNumber") in (2, 3) and \
            ec.codes_get(h, "numberOfGroupsOfDataValues") == 0:
        # Without groups the field is constant at its reference value;
        # ecCodes 2.28 reads past the data section instead.
        const = ec.codes_get(h, "referenceValue") * 10.0 ** -ec.codes_get(h, "decimalScaleFactor")
        v = np.where(v == -9999.0, v, const)
    if ec.codes_get(h, "gridType") == "reduced_ll":
        pl = ec.codes_get_array(h, "pl")
        nx, ny = int(pl.max()), len(pl)
        lo1 = ec.codes_get(h, "longitudeOfFirstGridPointInDegrees")
        lo2 = ec.codes_get(h, "longitudeOfLastGridPointInDegrees")
        cols = lo1 + np.arange(nx) * (lo2 - lo1) / (nx - 1)
        # Rows that go round the earth follow their last point with the first.
        period = 360.0 if abs((lo2 - lo1) * nx / (nx - 1) - 360.0) < 0.01 * (lo2 - lo1) / (nx - 1) else None
        out_v, out_la, out_lo = [], [], []
        first = 0
        for n in pl:
            n = int(n)
            row_lo = lo[first:first + n]
            row_v = v[first:first + n]
            if n > 1:
                # A column between two points takes neither when one is missing.
                row = np.interp(cols, row_lo, row_v, period=period)
                gone = np.interp(cols, row_lo, (row_v == -9999.0).astype(float), period=period)
                row[gone > 1e-9] = -9999.0
            else:
                row = np.full(nx, row_v[0] if n == 1 else -9999.0)
            out_v += list(row)
            out_la += [la[first] if n > 0 else np.nan] * nx
            out_lo += list(cols)
            first += n
        v, la, lo = np.array(out_v), np.array(out_la), np.array(out_lo)
        if ec.codes_get(h, "jScansPositively") == 1:
            v, la, lo = (a.reshape(ny, nx)[::-1].ravel() for a in (v, la, lo))
        return nx, ny, v, la, lo
    nx, ny = ec.codes_get(h, "Ni"), ec.codes_get(h, "Nj")
    ineg = ec.codes_get(h, "iScansNegatively")
    jpos = ec.codes_get(h, "jScansPositively")
    jcons = ec.codes_get(h, "jPointsAreConsecutive")
    idx = np.arange(nx * ny)
    i, j = (idx // ny, idx % ny) if jcons else (idx % nx, idx // nx)
    if ec.codes_get(h, "edition") == 2 and ec.codes_get(h, "alternativeRowScanning") == 1:
        # ecCodes 2.28 hands out the values of such grids in file order but
        # places them as if every row ran the same way: in the file every
        # second row runs the other way.
        v2 = v.reshape((nx, ny) if jcons else (ny, nx)).copy()
        v2[1::2] = v2[1::2, ::-1]
        v = v2.ravel()
    if ec.codes_get(h, "gridType") == "polar_stereographic" and ec.codes_get(h, "edition") == 1 and \
            ec.codes_get(h, "southPoleOnProjectionPlane") == 1:
        la, lo = south_polar_places(h, i * (-1 if ineg else 1), j * (1 if jpos else -1))
    col = nx - 1 - i if ineg else i
    row = ny - 1 - j if jpos else j
    order = np.empty(nx * ny, dtype=int)
    order[row * nx + col] = idx
    return nx, ny, v[order], la[order], lo[order]


def dump(path):
    with open(path, "rb") as f:
        k = 0
        while True:
            h = ec.codes_grib_new_from_file(f)
            if h is None:
                break
            nx, ny, v, la, lo = layout(h)
            print("n%d %d %d" % (k, nx, ny))
            print("v%d " % k + " ".join("%.9g" % x for x in v))
            print("la%d " % k + " ".join("%.6f" % x for x in la))
            print("lo%d " % k + " ".join("%.6f" % x for x in lo))
            ec.codes_release(h)
            k += 1


# Statistics of a time range as the decoder's time codes count them.
STATISTICS = {"avg": 3000000, "accum": 4000000, "diff": 5000000, "max": 6000000, "min": 7000000}


def time_code(h):
    ec.codes_set(h, "stepUnits", "h")
    start, end = ec.codes_get(h, "startStep"), ec.codes_get(h, "endStep")
    kind = ec.codes_get(h, "stepType")
    if ec.codes_get(h, "productDefinitionTemplateNumber") not in (8, 9, 11, 12):
        return end
    return STATISTICS.get(kind, 2000000) + start * 1000 + end


def surface_value(h, which):
    scale = ec.codes_get(h, "scaleFactorOf%sFixedSurface" % which)
    value = ec.codes_get(h, "scaledValueOf%sFixedSurface" % which)
    if ec.codes_is_missing(h, "scaleFactorOf%sFixedSurface" % which) or \
            ec.codes_is_missing(h, "scaledValueOf%sFixedSurface" % which):
        return None
    if value >= 1 << 31:
        # ecCodes reads the value unsigned; its top bit is the sign (NCEP's
        # -2 PVU surface).
        value = -(value - (1 << 31))
    return value * 10.0 ** -scale


def level(h):
    """Level type and level of the fixed surfaces in the edition 1 terms the
    decoder uses: levels in hPa, m, cm, hundredths of sigma; a layer packs
    its top x 1000 + its bottom in the edition 1 units of the layer."""
    t1 = ec.codes_get(h, "typeOfFirstFixedSurface", int)
    t2 = ec.codes_get(h, "typeOfSecondFixedSurface", int)
    p, q = surface_value(h, "First"), surface_value(h, "Second")
    w = math.trunc

    def pv(x):  # potential vorticity units of 10^-6
        return w(x * 1000000 + (-0.01 if x <= 0 else 0.01))
    stat = ec.codes_get(h, "productDefinitionTemplateNumber") in (8, 11, 12)
    if t2 == 255:
        single = {100: (100, lambda: w(p / 100)), 101: (102, lambda: 0), 102: (103, lambda: w(p)),
                  103: (105, lambda: w(p) if stat else w(p + 0.5)), 104: (107, lambda: w(p * 10000 + 0.01)),
                  105: (109, lambda: w(p)), 106: (111, lambda: w(p * 100 + 0.01)), 107: (113, lambda: w(p)),
                  108: (115, lambda: w(p / 100)), 109: (117, lambda: pv(p)), 111: (119, lambda: w(p))}
        if t1 in single:
            return single[t1][0], -9999 if p is None and t1 != 101 else single[t1][1]()
        return t1, 0 if p is None else w(p)
    layer = {100: (101, 1000.0, -1), 102: (104, 100.0, -1), 103: (106, 100.0, -1), 104: (108, 100.0, 1),
             106: (112, 100.0, 1), 108: (116, 100.0, -1)}
    if t1 in layer:
        lt, f, mul = layer[t1]
        top, bottom = (w(p / f), w(q / f)) if mul < 0 else (w(p * f + 0.01), w(q * f + 0.01))
        return lt, top * 1000 + bottom
    if t1 == 109:
        return 117, pv(p)
    return {105: 109, 107: 114, 111: 120}.get(t1, t1), 0 if p is None else w(p)


def fields(path, out):
    ec.codes_grib_multi_support_on()
    try:
        with open(path, "rb") as f:
            k, grid = 0, None
            while True:
                h = ec.codes_grib_new_from_file(f)
                if h is None:
                    break
                nx, ny, v, la, lo = layout(h)
                v.astype("<f8").tofile(os.path.join(out, "v%d" % k))
                key = (ec.codes_get(h, "md5GridSection"), ec.codes_get(h, "scanningMode"))
                if key != grid:
                    la.astype("<f8").tofile(os.path.join(out, "la%d" % k))
                    lo.astype("<f8").tofile(os.path.join(out, "lo%d" % k))
                date, hhmm = ec.codes_get(h, "dataDate"), ec.codes_get(h, "dataTime")
                lt, lev = level(h)
                print("f%d %d %d %d %d %d %d %d %d %d %d %d" % (
                    k, nx, ny, key != grid, date // 10000, date // 100 % 100, date % 100, hhmm // 100, hhmm % 100,
                    time_code(h), lt, lev))
                grid = key
                ec.codes_release(h)
                k += 1
    finally:
        ec.codes_grib_multi_support_off()


if __name__ == "__main__":
    if sys.argv[1] == "make":
        for name in sys.argv[3:]:
            make(sys.argv[2], name)
    elif sys.argv[1] == "fields":
        fields(sys.argv[2], sys.argv[3])
    else:
        dump(sys.argv[2])
