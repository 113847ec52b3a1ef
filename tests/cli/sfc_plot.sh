#!/usr/bin/env bash
# Surface plots end to end on the sample observations: the map in PostScript
# rendered by ghostscript and checked against the grid the run saved, the
# point-data file, the plot type "none", a file sequence with a missing file
# and a single missing file.
. "$(dirname "$0")/lib/common.sh"

for tool in gs:ghostscript; do
    command -v "${tool%%:*}" >/dev/null || { echo "FAIL: ${tool%%:*} is missing (Debian package ${tool#*:})"; exit 1; }
done
/usr/bin/python3 -c 'import PIL, numpy' 2>/dev/null ||
    { echo "FAIL: the colour check needs python3-pil and python3-numpy"; exit 1; }

data="$work/data"
mkdir -p "$data" "$work/out"
cp "$ZEQ_SOURCE_DIR/data/04120812.sfc" "$data/"
run() { # output directory, then tarnisk options
    local out=$1
    shift
    (cd "$out" && "$TARNISK" -ba -pf over -dp "$data" -gp "$out" -rp "$out" -re us "$@" >"$out/stdout" 2>"$out/stderr" </dev/null)
}

# The demo's map: temperature fill, pressure contours and wind barbs in
# colour, with coastlines and borders; ghostscript renders it.
mkdir -p "$work/demo"
run "$work/demo" -va sfc -pp pscolor -de "ps,$work/demo/map.ps" -of zeq 04120812
check "demo status" $?
[ ! -s "$work/demo/stderr" ]
rc=$?
check "demo writes no warning (got: $(head -3 "$work/demo/stderr"))" $rc
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r50 -sOutputFile="$work/demo/map.png" "$work/demo/map.ps" 2>"$work/demo/gs.err"
rc=$?
check "ghostscript renders the demo map ($(head -3 "$work/demo/gs.err"))" $rc
grep -q "setrgbcolor" "$work/demo/map.ps"
check "the demo map is in colour" $?
for v in temp pralt; do
    [ -s "$work/demo/04120812_sfc_${v}_-9999_0.grd" ]
    check "grid file of $v" $?
done
grep -q "^%%TE:.* 10[0-9][0-9]$" "$work/demo/map.ps"
check "pressure contour labels in mb" $?

# Temperature in colour bands of our own with the station values: at the
# stations the page has the colour of the band of the analysed value.
out="$work/out"
run "$out" -va "t{temp:F:cf,temp:F:value}" -pp pscolor -cod black \
    -cof "-40:blue,20:green,40:yellow,60:red,100:red" -de "ps,$out/t.ps" -of zeq 04120812
check "band plot status" $?
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r100 -sOutputFile="$out/t.png" "$out/t.ps"
check "ghostscript renders the band plot" $?
/usr/bin/python3 "$ZEQ_SOURCE_DIR/tests/support/station_band_colours.py" "$out/t.ps" "$out/t.png" 100 \
    "$out/04120812_sfc_temp_-9999_0.grd" "-40,20,40,60,100" "0,0,255;0,255,0;255,255,0;255,0,0" >"$out/colours" 2>&1
rc=$?
check "station colours: $(tail -3 "$out/colours")" $rc

# The point-data file lists each plotted station's temperature as read.
raw="$out/04120812_sfc_temp.raw"
head -1 "$raw" | grep -qx ZEQRAW
check "point-data file written" $?
/usr/bin/python3 - "$raw" "$data/04120812.sfc" <<'PY'
import sys
raw, sfc = sys.argv[1:3]
temps = {}
for line in open(sfc).read().split("\n")[1:]:
    w = line.split()
    if w:
        t = w[1].split(".")[0]
        temps[w[0]] = None if t == "-99" else int(t)
lines = open(raw).read().split("\n")
body = lines[lines.index("$") + 1:]
n = 0
for line in body:
    w = line.split()
    if not w:
        break
    assert len(w) == 4, line
    assert temps[w[0]] is not None and int(w[3]) == temps[w[0]], (line, temps[w[0]])
    n += 1
assert n >= 20, n
PY
check "point-data values are the reports' temperatures" $?

# Station values of temp and dewp with out_file "raw": the dated point-data
# file has both fields in its header and, station by station, the values the
# map shows as texts.
mkdir -p "$work/raw"
run "$work/raw" -va "s{temp:F:value,dewp:F:value}" -de "ps,$work/raw/map.ps" -of raw 04120812
check "raw run status" $?
# Each station stands at its place in the station table to 0.01 degrees.
cty="$(dirname "$TARNISK")/../data/sao.cty"
[ -s "$cty" ] || { echo "FAIL: no station table at $cty (the build writes it)"; fail=1; }
/usr/bin/python3 - "$work/raw/04120812_sfc_temp.raw" "$work/raw/map.ps" "$cty" <<'PY'
import sys
raw, ps, cty = sys.argv[1:4]
lines = open(raw).read().split("\n")
head = lines[:lines.index("$")]
assert any(l.startswith("temp:") for l in head) and any(l.startswith("dewp:") for l in head), head
rows = [l.split() for l in lines[lines.index("$") + 1:] if l.strip()]
texts = [l.split()[-1] for l in open(ps, errors="replace") if l.startswith("%%TE:")]
values = [w for r in rows for w in r[3:]]
assert len(rows) > 20 and values == texts[:len(values)], (len(rows), values[:6], texts[:6])
places = {}
for line in open(cty, errors="replace"):
    w = line.split()
    if len(w) >= 7:
        places.setdefault(w[3], (float(w[5]), float(w[6])))
for r in rows:
    lat, lon = places[r[0]]
    assert abs(float(r[1]) - lat) <= 0.01 and abs(float(r[2]) - lon) <= 0.01, (r[:3], lat, lon)
PY
check "point-data file holds the drawn values at the stations' places" $?

# The variable front draws the frontal bulletin of the run's date over the
# pressure contours: H and L centres, tropical storm names and the label.
mkdir -p "$work/front"
cp "$ZEQ_SOURCE_DIR/tests/data/fronts/04120812.frt" "$data/"
run "$work/front" -va "g{pralt:mb:cont,front::value}" -de "ps,$work/front/map.ps" 04120812
check "front run status" $?
te() { grep -c "^%%TE:.* $1\$" "$work/front/map.ps"; }
[ "$(te H)" -ge 1 ] && [ "$(te L)" -ge 1 ] && [ "$(te IVAN)" -eq 1 ] && [ "$(te 'Frontal positions')" -eq 1 ]
rc=$?
check "front centres, storms and label drawn (H $(te H), L $(te L), IVAN $(te IVAN))" $rc
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage "$work/front/map.ps" 2>"$work/front/gs.err"
rc=$?
check "ghostscript reads the front map ($(head -2 "$work/front/gs.err"))" $rc
rm -f "$data/04120812.frt"

# Plot type "none": nothing drawn, the files still written.
mkdir -p "$work/none"
run "$work/none" -va tempv -pl none -of zeq 04120812
check "plot type none status" $?
[ -s "$work/none/04120812_sfc_temp.raw" ]
check "plot type none writes the point-data file" $?

# A sequence of three files whose middle file is missing: the other two are
# drawn, each with its files; one warning; status 0.
cp "$data/04120812.sfc" "$data/04120818.sfc"
mkdir -p "$work/seq"
run "$work/seq" -va "t{temp:F:cf,temp:F:value}" -de "ps,$work/seq/s.ps" -of zeq 04120812 04120815 04120818
check "sequence status" $?
[ "$(grep -c "SFC_open_file: Unable to open file:" "$work/seq/stderr")" = 1 ]
rc=$?
check "one warning for the missing file (got: $(cat "$work/seq/stderr"))" $rc
for h in 12 18; do
    [ -s "$work/seq/041208${h}_sfc_temp_-9999_0.grd" ] && [ -s "$work/seq/041208${h}_sfc_temp.raw" ]
    check "files of the frame of hour $h" $?
done

# The window: a two-file sequence drawn as looping frames in the held window
# (xwd dumps it, ImageMagick reads the dump); Return in the window ends the
# run with status 0.
if [ -z "${DISPLAY:-}" ]; then
    echo "FAIL: the window test needs an X display (build.sh test starts Xvfb)"
    fail=1
else
    for tool in xdotool:xdotool xwd:x11-apps convert:imagemagick; do
        command -v "${tool%%:*}" >/dev/null || { echo "FAIL: ${tool%%:*} is missing (Debian package ${tool#*:})"; exit 1; }
    done
    mkdir -p "$work/win"
    sed '1s/.*/18Z  8 DEC 04/' "$data/04120812.sfc" >"$data/04120818.sfc"
    title="tarnisk$$"
    (cd "$work/win" && exec timeout 60 "$TARNISK" -pf over -dp "$data" -re us -va temp -pl cf -in 8 -de d \
        -ti "$title" 04120812 04120818 </dev/null >"$work/win/stdout" 2>"$work/win/stderr") &
    win_pid=$!
    wid=
    for _ in $(seq 1 300); do
        wid=$(xdotool search --name "$title" 2>/dev/null | head -1)
        [ -n "$wid" ] && break
        sleep 0.1
    done
    [ -n "$wid" ]
    check "the window opens" $?
    if [ -n "$wid" ]; then
        # The frames are drawn after the window opens: wait for the map.
        colours=0
        for _ in $(seq 1 60); do
            xwd -id "$wid" -out "$work/win/w.xwd" 2>/dev/null &&
                colours=$(convert "$work/win/w.xwd" -format "%k" info: 2>/dev/null || echo 0)
            [ "${colours:-0}" -gt 8 ] && break
            sleep 0.5
        done
        [ "${colours:-0}" -gt 8 ]
        check "the window shows the coloured map (colours: ${colours:-none})" $?
        # Return ends the hold (sent again while the last frame is still drawn).
        for _ in $(seq 1 20); do
            kill -0 "$win_pid" 2>/dev/null || break
            xdotool key --window "$wid" Return 2>/dev/null
            sleep 1
        done
    fi
    wait "$win_pid"
    check "window run status after Return" $?
    [ "$(grep -c '^Date: ' "$work/win/stdout")" = 2 ]
    check "both files drawn as frames" $?
fi

# A single file that cannot be opened ends with status 10.
mkdir -p "$work/miss"
run "$work/miss" -va temp -de "ps,$work/miss/m.ps" 04120815
[ $? -eq 10 ]
check "single missing file status 10" $?
grep -q "SFC_open_file: Unable to open file:" "$work/miss/stderr"
check "single missing file warning" $?

exit $fail
