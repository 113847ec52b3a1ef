#!/usr/bin/env bash
# The held window of a surface map under xdotool: the value read-out at the
# pointer (Alt-v) against the grids the run saved, a Shift + button-1 band
# zoom centred where the band was, Alt-u refused while the picture is
# magnified (Alt-z), the return to the first domain (Alt-u), a
# resize redrawn at the new size (xwd), and a grid point edited (Alt-e, the
# answer on standard input) and saved (Alt-s); with the analysed wind added
# as a vector of two members and as a vector function, each field prints its
# values once and Alt-e changes nothing.
. "$(dirname "$0")/lib/common.sh"
win_pid=

on_exit() {
    # Shift is pressed for real during the drag: never leave it down.
    [ -n "${DISPLAY:-}" ] && xdotool keyup shift 2>/dev/null
    [ -n "$win_pid" ] && kill "$win_pid" 2>/dev/null
}

if [ -z "${DISPLAY:-}" ]; then
    echo "FAIL: the window test needs an X display (build.sh test starts Xvfb)"
    exit 1
fi
for tool in xdotool:xdotool xwd:x11-apps convert:imagemagick stdbuf:coreutils flock:util-linux; do
    command -v "${tool%%:*}" >/dev/null || { echo "FAIL: ${tool%%:*} is missing (Debian package ${tool#*:})"; exit 1; }
done
/usr/bin/python3 -c 'import numpy' 2>/dev/null || { echo "FAIL: the value check needs python3-numpy"; exit 1; }
readout="$ZEQ_SOURCE_DIR/tests/support/pointer_readout.py"
stations="$ZEQ_BUILD_DIR/data/sao.cty"

data="$work/data"
mkdir -p "$data"
cp "$ZEQ_SOURCE_DIR/data/04120812.sfc" "$data/"

# Tests that move the pointer or press keys for real take turns on a server
# (the same lock as the graphics tests of the held window).
exec {lock}>"/tmp/zeqtest-heldwindow-${DISPLAY//[^[:alnum:]]/_}.lock"
flock -w 120 "$lock" || { echo "FAIL: the held-window lock of $DISPLAY was not free within 120 s"; exit 1; }

# Polls a condition (a command) for up to $1 tenths of a second.
wait_for() {
    local n=$1
    shift
    for _ in $(seq 1 "$n"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
lines_of() { grep -c -- "$2" "$1"; }
more_lines() { [ "$(lines_of "$1" "$2")" -gt "$3" ]; }
x() { xdotool "$@" 2>/dev/null; }

# Starts the held window in directory $1 with variables $2 and the Alt-e
# answer 1234 on standard input; sets out, wid and win_pid, and waits for
# the drawn map. Standard output is line-buffered so that each read-out can
# be waited for.
start_window() {
    out="$work/$1"
    mkdir -p "$out"
    local title="tarnisk-interact$$-$1"
    # (stdbuf preloads a library ahead of the address sanitizer's runtime)
    (cd "$out" && ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" \
        exec timeout 100 stdbuf -oL "$TARNISK" -pf over -dp "$data" -gp "$out" -rp "$out" -re us -va "$2" \
        -pl cf -in 8 -of zeq -de d -ti "$title" 04120812 <<<1234 >"$out/stdout" 2>"$out/stderr") &
    win_pid=$!
    wid=
    # (a run that ended stops the wait)
    wait_for 300 eval 'wid=$(xdotool search --name "^$title\$" 2>/dev/null | head -1)
        [ -n "$wid" ] || ! kill -0 "$win_pid" 2>/dev/null'
    [ -n "$wid" ] || return 1
    wait_for 300 grep -q "^Contouring data" "$out/stdout" || return 1
    local colours=0
    wait_for 100 eval 'colours=$(xwd -id "$wid" -nobdrs 2>/dev/null | convert xwd:- -format "%k" info: 2>/dev/null); [ "${colours:-0}" -gt 8 ]'
}

# Alt-v with the pointer at window pixel ($1, $2): the block of $3 lines
# the program printed goes to $out/ro-$4. The first keys may come before the
# window waits for them and are then ignored: the key is sent again until a
# block for this pixel appears (a key read late prints the same block).
read_at() {
    local px=$1 py=$2 n=$3 tag=$4 i
    local mark
    mark=$(printf 'Pixel: *%s\\.00 *%s\\.00$' "$px" "$py")
    local before
    before=$(wc -l <"$out/stdout")
    x windowraise "$wid"
    x mousemove --window "$wid" "$px" "$py"
    for i in $(seq 1 10); do
        x key --window "$wid" alt+v
        wait_for 30 block_done "$before" "$mark" "$n" && break
    done
    local at
    at=$(tail -n +"$((before + 1))" "$out/stdout" | grep -n -- "$mark" | tail -1 | cut -d: -f1)
    # Every later step needs the window: without a read-out the test ends.
    [ -n "$at" ] || { echo "FAIL: no read-out at pixel $px $py (stdout: $(tail -3 "$out/stdout"))"; exit 1; }
    tail -n +"$((before + at))" "$out/stdout" | head -"$n" >"$out/ro-$tag"
}
block_done() { # lines before, mark, block lines
    local at
    at=$(tail -n +"$(($1 + 1))" "$out/stdout" | grep -n -- "$2" | tail -1 | cut -d: -f1)
    [ -n "$at" ] && [ "$(wc -l <"$out/stdout")" -ge "$(($1 + at + $3 - 1))" ]
}

# Return ends the hold (sent again should the window not have read it);
# the run's status.
end_window() {
    for _ in $(seq 1 20); do
        x key --window "$wid" Return
        wait_for 10 eval '! kill -0 "$win_pid" 2>/dev/null' && break
    done
    wait "$win_pid"
    local status=$?
    win_pid=
    return $status
}

# ---- One variable: read-out, zoom, return, resize, edit ------------------------------------

start_window one temp
st=$?; check "the window of temp opens and draws the map ($(tail -2 "$out/stderr"))" $st
[ $st -eq 0 ] || exit 1
grd="$out/04120812_sfc_temp_-9999_0.grd"
cp "$grd" "$work/temp.grd"

# The band (120, 104) - (360, 296) with its centre (240, 200), away from
# the view's centre; the view's centre from the grid positions read at the
# corners.
read_at 240 200 2 c && read_at 120 104 2 a && read_at 360 296 2 b
for t in c:240:200 a:120:104 b:360:296; do
    IFS=: read -r tag px py <<<"$t"
    /usr/bin/python3 "$readout" values "$out/ro-$tag" "$px" "$py" "$stations" temp="$work/temp.grd" >"$work/check" 2>&1
    st=$?; check "read-out at $px $py: $(cat "$work/check")" $st
done
read -r vx vy < <(/usr/bin/python3 "$readout" centre "$out/ro-a" "$out/ro-b" "$work/temp.grd")
[ -n "$vx" ] && [ -n "$vy" ]
check "the view's centre is found" $?
read_at "$vx" "$vy" 2 v0

# Shift held for real, button 1 pressed at one corner and released at the
# other, both sent to the window (their state carries the real Shift).
redraws=$(lines_of "$out/stdout" "^Contouring data")
x windowraise "$wid"
x keydown shift
x mousemove --window "$wid" 120 104 mousedown --window "$wid" 1 mousemove --window "$wid" 360 296 \
    mouseup --window "$wid" 1
x keyup shift
wait_for 200 grep -q "^New domain: " "$out/stdout" && wait_for 300 more_lines "$out/stdout" "^Contouring data" "$redraws"
st=$?; check "the band zoom prints the new domain and redraws (stdout: $(tail -3 "$out/stdout"))" $st
read_at "$vx" "$vy" 2 v1 && read_at $((vx + 10)) "$vy" 2 vx && read_at "$vx" $((vy + 10)) 2 vy
/usr/bin/python3 "$readout" same_place "$out/ro-c" "$out/ro-v1" "$out/ro-vx" "$out/ro-vy" >"$work/check" 2>&1
st=$?; check "the zoomed view is centred on the band's centre: $(cat "$work/check")" $st
/usr/bin/python3 "$readout" values "$out/ro-v1" "$vx" "$vy" "$stations" temp="$work/temp.grd" >"$work/check" 2>&1
st=$?; check "read-out after the zoom: $(cat "$work/check")" $st

# Alt-z magnifies the picture: an Alt-u then only takes the magnification
# back and leaves the plot's domain alone (the read-out after both keys
# shows they were read).
redraws=$(lines_of "$out/stdout" "^Contouring data")
x mousemove --window "$wid" "$vx" "$vy"
x key --window "$wid" alt+z
x key --window "$wid" alt+u
read_at "$vx" "$vy" 2 m
! grep -q "^Original domain: " "$out/stdout" && [ "$(lines_of "$out/stdout" "^Contouring data")" -eq "$redraws" ]
check "Alt-u while the picture is magnified neither returns nor redraws" $?
[ "$(awk 'NR == 1 {print $2, $4}' "$out/ro-m")" = "$(awk 'NR == 1 {print $2, $4}' "$out/ro-v1")" ]
st=$?; check "the view's centre after the magnification ($(head -1 "$out/ro-m")) is the zoomed one" $st

# Alt-u: the first domain, printed as it was before the zoom, and drawn.
first=$(grep -B1 "^New domain: " "$out/stdout" | head -1)
redraws=$(lines_of "$out/stdout" "^Contouring data")
x key --window "$wid" alt+u
wait_for 200 grep -q "^Original domain: " "$out/stdout" && wait_for 300 more_lines "$out/stdout" "^Contouring data" "$redraws"
st=$?; check "Alt-u returns and redraws (stdout: $(tail -3 "$out/stdout"))" $st
[ "$(grep "^Original domain: " "$out/stdout")" = "Original domain: $first" ] && [ -n "$first" ]
st=$?; check "Alt-u prints the first domain ($first; got: $(grep "^Original domain: " "$out/stdout"))" $st
read_at "$vx" "$vy" 2 v2
[ "$(awk 'NR == 1 {print $2, $4}' "$out/ro-v2")" = "$(awk 'NR == 1 {print $2, $4}' "$out/ro-v0")" ]
st=$?; check "after Alt-u the view's centre is where it was ($(head -1 "$out/ro-v0") / $(head -1 "$out/ro-v2"))" $st

# A resize redraws the map at the new size.
redraws=$(lines_of "$out/stdout" "^Contouring data")
x windowsize "$wid" 800 600
wait_for 300 more_lines "$out/stdout" "^Contouring data" "$redraws"
check "the resize redraws" $?
size= right= bottom=
for _ in $(seq 1 50); do
    xwd -id "$wid" -nobdrs -out "$work/resized.xwd" 2>/dev/null || continue
    size=$(convert "$work/resized.xwd" -format "%wx%h" info: 2>/dev/null)
    # beyond the old width and below the old height
    right=$(convert "$work/resized.xwd" -crop 140x380+650+100 -format "%k" info: 2>/dev/null)
    bottom=$(convert "$work/resized.xwd" -crop 700x30+50+520 -format "%k" info: 2>/dev/null)
    [ "$size" = 800x600 ] && [ "${right:-0}" -gt 3 ] && [ "${bottom:-0}" -gt 3 ] && break
    sleep 0.2
done
[ "$size" = 800x600 ] && [ "${right:-0}" -gt 3 ] && [ "${bottom:-0}" -gt 3 ]
check "the window is drawn at 800x600 (size $size, colours right of the old width $right, below the old height $bottom)" $?

# Alt-e at a point takes the answer 1234 from standard input; Alt-s saves
# the grid: the saved file differs from the first one at that point only.
x mousemove --window "$wid" 300 200
x key --window "$wid" alt+e
wait_for 200 grep -q "Val = .*New value: " "$out/stdout"
st=$?; check "Alt-e shows the grid point and asks (stdout: $(tail -2 "$out/stdout"))" $st
saves=$(lines_of "$out/stdout" "Creating grid file")
x key --window "$wid" alt+s
wait_for 200 more_lines "$out/stdout" "Creating grid file" "$saves"
check "Alt-s saves the grid" $?
point=$(grep -o "Grid: *[0-9]*, *[0-9]* Val" "$out/stdout" | tail -1 | tr -dc '0-9,' | tr , ' ')
/usr/bin/python3 - "$work/temp.grd" "$grd" $point >"$work/check" 2>&1 <<'PY'
import sys
import numpy as np
sys.path.insert(0, __import__("os").environ["ZEQ_SOURCE_DIR"] + "/tests/support")
from station_band_colours import read_grid
before, after = read_grid(sys.argv[1]), read_grid(sys.argv[2])
col, row = int(sys.argv[3]), int(sys.argv[4])
assert after[row, col] == 1234, (col, row, after[row, col])
changed = np.argwhere(before != after).tolist()
assert changed == [[row, col]], changed
PY
st=$?; check "the saved grid holds 1234 at the edited point only: $(tail -2 "$work/check")" $st

end_window
st=$?; check "one-variable run status after Return ($(tail -3 "$out/stderr"))" $st

# ---- Temperature and two wind vectors -------------------------------------------------------

start_window two "temp,windg,wind::barb(uwndg,vwndg)"
st=$?; check "the window of temp and wind opens and draws the map ($(tail -2 "$out/stderr"))" $st
[ $st -eq 0 ] || exit 1
for v in temp uwndg vwndg; do
    cp "$out/04120812_sfc_${v}_-9999_0.grd" "$work/$v.grd"
done
# The location, the station, then temp, the two members of windg and the
# two components of the function wind on one line.
read_at 300 200 6 w
/usr/bin/python3 "$readout" values "$out/ro-w" 300 200 "$stations" \
    temp="$work/temp.grd" uwndg="$work/uwndg.grd" vwndg="$work/vwndg.grd" wind="$work/uwndg.grd,$work/vwndg.grd" \
    >"$work/check" 2>&1
st=$?; check "each field prints its value once, the bilinear value of its grid: $(cat "$work/check")" $st
# Alt-e does nothing with two variables (nor does Alt-s): no question, the
# same values at the point, the grid files as they were.
x key --window "$wid" alt+e
x key --window "$wid" alt+s
read_at 300 200 6 w2
cmp -s "$out/ro-w" "$out/ro-w2"
check "Alt-e with two variables leaves the values alone" $?
! grep -q "New value: \|Val = " "$out/stdout"
check "Alt-e with two variables asks nothing" $?
for v in temp uwndg vwndg; do
    cmp -s "$out/04120812_sfc_${v}_-9999_0.grd" "$work/$v.grd"
    check "the grid file of $v is unchanged" $?
done
end_window
st=$?; check "two-variable run status after Return ($(tail -3 "$out/stderr"))" $st

exit $fail
