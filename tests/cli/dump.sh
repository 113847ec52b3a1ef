#!/usr/bin/env bash
# Image output of batch runs in the own window: plot_param png, gif, xwd and
# img write zeq.* under image_path at the window's size (pngcheck, ImageMagick
# and the program's own image reader check them); a sequence of three files
# writes numbered frames, or names from a template with frame and title; an
# image_path that cannot be written warns and the run still ends with 0.
. "$(dirname "$0")/lib/common.sh"

if [ -z "${DISPLAY:-}" ]; then
    echo "FAIL: the image dumps capture the program's window and need an X display (DISPLAY is not set; build.sh test starts Xvfb)"
    exit 1
fi
for tool in pngcheck:pngcheck identify:imagemagick convert:imagemagick; do
    command -v "${tool%%:*}" >/dev/null || { echo "FAIL: ${tool%%:*} is missing (Debian package ${tool#*:})"; exit 1; }
done
driver="$ZEQ_BUILD_DIR/bin/plot_driver"
[ -x "$driver" ] || { echo "FAIL: $driver is not built (target plot_driver)"; exit 1; }

data="$work/data"
mkdir -p "$data"
cp "$ZEQ_SOURCE_DIR/data/04120812.sfc" "$data/"
for h in 15 18; do
    sed "1s/.*/${h}Z  8 DEC 04/" "$data/04120812.sfc" >"$data/041208$h.sfc"
done

# The window's size in every run: the geometry resource sets it.
width=600
height=450
run() { # output directory, image_path, then tarnisk options
    local out=$1 images=$2
    shift 2
    mkdir -p "$out"
    (cd "$out" && exec timeout 60 "$TARNISK" -ba -pf over -dp "$data" -gp "$out" -rp "$out" -re us -va temp \
        -ge "${width}x${height}+0+0" -ip "$images" -me mess "$@" >"$out/stdout" 2>"$out/stderr" </dev/null)
}
# A check whose text runs a command substitution is given the status saved
# in rc before it: the substitution sets $? anew.
listing() { # the names in a directory, one line
    (cd "$1" && ls -A | tr '\n' ' ')
}
# Runs into $2 with image_path $2/images and checks the run ($1 names it):
# status 0, no warning, and image_path holding exactly the names $3 (as
# listing gives them); the tarnisk options follow.
clean_run() {
    local what=$1 out=$2 names=$3 rc
    shift 3
    run "$out" "$out/images" "$@"
    check "$what run status" $?
    [ ! -s "$out/stderr" ]
    rc=$?
    check "$what run writes no warning (got: $(head -3 "$out/stderr"))" $rc
    [ "$(listing "$out/images")" = "$names" ]
    rc=$?
    check "$what run writes $names(got: $(listing "$out/images"))" $rc
}

# One plot of each kind: exactly its file under image_path, with the
# program's message naming it.
for kind in png gif xwd img; do
    out="$work/$kind"
    clean_run "$kind" "$out" "zeq.$kind " -pp "$kind" 04120812
    grep -qF "Wrote $(case $kind in png) echo PNG ;; gif) echo GIF ;; img) echo IMG ;; xwd) echo xdump ;; esac) file: $out/images/zeq.$kind" "$out/stdout"
    check "$kind run reports the file written" $?
done

pngcheck -q "$work/png/images/zeq.png" >"$work/pngcheck" 2>&1
rc=$?
check "pngcheck passes zeq.png ($(head -3 "$work/pngcheck"))" $rc
# ImageMagick reads the files at the window's size, and they hold the drawn
# map (colour bands), not an empty window.
for kind in png gif xwd; do
    f="$work/$kind/images/zeq.$kind"
    size=$(identify -format "%wx%h" "$f" 2>&1)
    [ "$size" = "${width}x${height}" ]
    check "ImageMagick reads zeq.$kind at the window's size ${width}x${height} (got: $size)" $?
    colours=$(convert "$f" -format "%k" info: 2>/dev/null)
    [ "${colours:-0}" -gt 8 ]
    check "zeq.$kind holds the coloured map (colours: ${colours:-none})" $?
done

# The native file carries the plot domain (region us of the region table)
# spread over the image, one grid point a pixel.
"$driver" img_domain "$work/img/images/zeq.img" >"$work/img/domain" 2>&1
rc=$?
check "the program's image reader reads zeq.img ($(head -3 "$work/img/domain"))" $rc
/usr/bin/python3 - "$work/img/domain" "$ZEQ_SOURCE_DIR/data/zeq.reg" "$width" "$height" <<'PY'
import sys
got, reg, width, height = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
lines = dict(l.split(None, 1) for l in open(got).read().splitlines())
w, h = map(int, lines["image"].split())
proj, clat, clon, nx, ny, dx, dy = lines["domain"].split()
proj, nx, ny = int(proj), int(nx), int(ny)
clat, clon, dx, dy = map(float, (clat, clon, dx, dy))
row = next(l.split() for l in open(reg) if l.split()[:1] == ["us"])
rproj = int(row[2])
rclat, rclon, rnx, rny, rdx = map(float, row[3].split(","))
assert (w, h) == (width, height), (w, h)
assert (proj, nx, ny) == (rproj, w, h), (proj, nx, ny)
assert abs(clat - rclat) < 1e-4 and abs(clon - rclon) < 1e-4, (clat, clon)
# The same plane extent as the region's grid.
assert abs((nx - 1) * dx - (rnx - 1) * rdx) < 1e-3, ((nx - 1) * dx, (rnx - 1) * rdx)
assert abs((ny - 1) * dy - (rny - 1) * rdx) < 1e-3, ((ny - 1) * dy, (rny - 1) * rdx)
PY
rc=$?
check "zeq.img carries the plot domain of region us: $(tr '\n' ' ' <"$work/img/domain")" $rc

# Three dated files: one numbered PNG per frame and no zeq.png; the frames
# differ (each shows its own date), all pass pngcheck, and the data files'
# name convention survives each dump (all three files are found and drawn).
out="$work/seq"
clean_run sequence "$out" "zeq-00.png zeq-01.png zeq-02.png " -pp png 04120812 04120815 04120818
[ "$(grep -c '^Date: ' "$out/stdout")" = 3 ]
rc=$?
check "all three files drawn (got: $(grep '^Date: ' "$out/stdout" | tr '\n' ' '))" $rc
for i in 00 01 02; do
    pngcheck -q "$out/images/zeq-$i.png" >/dev/null 2>&1
    check "pngcheck passes zeq-$i.png" $?
done
! cmp -s "$out/images/zeq-00.png" "$out/images/zeq-01.png" && ! cmp -s "$out/images/zeq-01.png" "$out/images/zeq-02.png"
check "each frame's image is its own" $?

# A template names each frame with its number and the window title.
out="$work/tmpl"
run "$out" "$out/images" -pp "png:run_%i_%p.png" -ti dumptitle 04120812 04120815 04120818
check "template run status" $?
[ "$(listing "$out/images")" = "run_00_dumptitle.png run_01_dumptitle.png run_02_dumptitle.png " ]
rc=$?
check "template names frames by number and title (got: $(listing "$out/images"))" $rc

# An image_path below a plain file: every frame warns, the run goes on and
# ends with 0.
out="$work/bad"
mkdir -p "$out"
: >"$out/plain"
run "$out" "$out/plain/images" -pp png 04120812 04120815 04120818
check "unwritable image_path run status 0" $?
for i in 00 01 02; do
    grep -qxF "PLT_dump: Unable to write PNG file: $out/plain/images/zeq-$i.png" "$out/stderr"
    rc=$?
    check "warning for frame $i (got: $(grep PLT_dump "$out/stderr" | tr '\n' ' '))" $rc
done
[ "$(grep -c '^Date: ' "$out/stdout")" = 3 ]
check "the run goes on after a failed dump" $?

exit $fail
