#!/usr/bin/env bash
# Analysed grids saved and reused: batch runs on the sample observations with
# out_file "zeq", "zeqb" and "cdf" write one grid file per variable; the
# netCDF file has the system's own layout (ncdump) and python3-netcdf4 reads
# its record 0 upright, equal to the native text file of the same analysis; a
# second run reuses every file (no report is read, nothing is saved again)
# and draws the same map, also on a Lambert region; the netCDF twin of the
# sample file analyses to the same grids.
. "$(dirname "$0")/lib/common.sh"

command -v ncdump >/dev/null || { echo "FAIL: ncdump is missing (Debian package netcdf-bin)"; exit 1; }
/usr/bin/python3 -c 'import netCDF4, numpy' 2>/dev/null ||
    { echo "FAIL: the grid check needs python3-netcdf4 and python3-numpy"; exit 1; }

data="$work/data"
mkdir -p "$data"
cp "$ZEQ_SOURCE_DIR/data/04120812.sfc" "$data/"
run() { # output directory, map file, then tarnisk options
    local out=$1 map=$2
    shift 2
    (cd "$out" && "$TARNISK" -ba -me mess -dp "$data" -gp "$out" -rp "$out" -va "g{temp:F:cf,pralt:mb:cont}" \
        -de "ps,$out/$map" "$@" 04120812 >"$out/$map.out" 2>"$out/$map.err" </dev/null)
}
# The PostScript drawing without its creation date.
drawing() { grep -v '^%%CreationDate' "$1"; }

for region in us lambert; do
    case $region in
    us) where=(-re us) ;;
    lambert) where=(-pd "lc,40,-100,51,31,1.2") ;;
    esac
    for kind in zeq zeqb cdf; do
        out="$work/$region-$kind"
        mkdir -p "$out"
        ext=grd
        [ $kind = cdf ] && ext=nc
        run "$out" first.ps "${where[@]}" -of $kind
        st=$?; check "$region $kind: first run status ($(head -3 "$out/first.ps.err"))" $st
        grep -q "Reading in data from converted file" "$out/first.ps.out"
        check "$region $kind: the first run reads the reports" $?
        for v in temp pralt; do
            [ -s "$out/04120812_sfc_${v}_-9999_0.$ext" ]
            check "$region $kind: one grid file for $v" $?
        done
        [ "$(ls "$out" | grep -c "\.$ext$")" -eq 2 ]
        check "$region $kind: exactly two grid files" $?

        run "$out" second.ps "${where[@]}" -of $kind
        check "$region $kind: second run status" $?
        ! grep -q "Reading in data from converted file" "$out/second.ps.out"
        check "$region $kind: the second run reuses the grid files" $?
        [ ! -s "$out/second.ps.err" ]
        st=$?; check "$region $kind: the second run warns of nothing (got: $(head -3 "$out/second.ps.err"))" $st
        cmp -s <(drawing "$out/first.ps") <(drawing "$out/second.ps")
        check "$region $kind: the second run draws the same map" $?
    done

    # The netCDF file's own layout, and its values upright and equal to the
    # native text file of the same analysis.
    nc="$work/$region-cdf/04120812_sfc_temp_-9999_0.nc"
    ncdump -h "$nc" >"$work/$region.cdl"
    grep -q ':source = "ZEQ"' "$work/$region.cdl" && grep -q ':version = "1.0"' "$work/$region.cdl" &&
        grep -q 'float values(grid, y, x)' "$work/$region.cdl"
    st=$?; check "$region: ncdump shows the own layout ($(grep -m3 'source\|version\|values' "$work/$region.cdl" | tr '\n' ' '))" $st
    /usr/bin/python3 - "$nc" "$work/$region-zeq/04120812_sfc_temp_-9999_0.grd" >"$work/$region.cmp" 2>&1 <<'PY'
import sys
import netCDF4
import numpy as np
nc, text = sys.argv[1:3]
with netCDF4.Dataset(nc) as f:
    f.set_auto_mask(False)
    values = np.array(f.variables["values"][0], dtype=np.float64)
lines = open(text).read().split("\n")
nx, ny = int(lines[4].split()[-2]), int(lines[4].split()[-1])
native = np.array([float(w) for w in lines[5:5 + nx * ny]]).reshape(ny, nx)
assert values.shape == (ny, nx), (values.shape, ny, nx)
assert np.allclose(values, native, rtol=1e-6, atol=1e-3), np.abs(values - native).max()
assert (native != -9999).sum() > nx * ny // 2
PY
    st=$?; check "$region: netCDF record 0 equals the native file ($(tail -2 "$work/$region.cmp"))" $st
done

# The netCDF twin of the sample file (report layout, record dimension "ob",
# written by python3-netcdf4) analyses to the sample's grids within the
# round-off of its unit conversions.
twin="$work/twin"
mkdir -p "$twin/data" "$twin/out"
/usr/bin/python3 "$ZEQ_SOURCE_DIR/tests/surface/make_sfc_twin.py" "$data/04120812.sfc" "$twin/data/04120812.sfc" \
    >"$twin/make.out" 2>&1
st=$?; check "twin written ($(tail -2 "$twin/make.out"))" $st
(cd "$twin/out" && "$TARNISK" -ba -dp "$twin/data" -gp "$twin/out" -rp "$twin/out" -re us \
    -va "g{temp:F:cf,pralt:mb:cont}" -de "ps,$twin/out/map.ps" -of zeq 04120812 >/dev/null 2>"$twin/err" </dev/null)
st=$?; check "twin run status ($(head -3 "$twin/err"))" $st
/usr/bin/python3 - "$twin/out" "$work/us-zeq" >"$twin/cmp" 2>&1 <<'PY'
import sys
import numpy as np
twin, sample = sys.argv[1:3]
def values(path):
    lines = open(path).read().split("\n")
    nx, ny = int(lines[4].split()[-2]), int(lines[4].split()[-1])
    return np.array([float(w) for w in lines[5:5 + nx * ny]])
for v, tol in (("temp", 0.01), ("pralt", 0.01)):
    name = "/04120812_sfc_%s_-9999_0.grd" % v
    a, b = values(twin + name), values(sample + name)
    assert ((a == -9999) == (b == -9999)).all(), v
    known = b != -9999
    assert known.sum() > len(b) // 2, v
    assert np.abs(a[known] - b[known]).max() <= tol, (v, np.abs(a[known] - b[known]).max())
PY
st=$?; check "the twin's grids equal the sample's ($(tail -2 "$twin/cmp"))" $st

exit $fail
