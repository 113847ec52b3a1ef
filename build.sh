#!/usr/bin/env bash
# Set-up, build, demo and tests.
#   ./build.sh demo    install what is missing, build, run the program on the sample data
#   ./build.sh test    install what is missing, build with sanitizers, run every test
#   ./build.sh deps    only install what is missing
#   ./build.sh build   only build (release build in build/)
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)

# Packages the build needs.
build_pkgs=(
    cmake g++ make            # toolchain
    libgtest-dev libgmock-dev # unit tests
    libbenchmark-dev          # benchmarks of the hot paths
    libnetcdf-dev             # netCDF surface, upper-air and grid files
    libopenjp2-7-dev          # JPEG 2000 packed GRIB edition 2 data
    zlib1g-dev                # compressed native image files
    libpng-dev                # PNG images
    libx11-dev                # the X window workstation
    weather-util-data         # station list the station file is built from
    iso-codes                 # country and subdivision codes for the station file
    hershey-fonts-data        # stroke fonts the font files are built from
    libeccodes-data           # WMO and NCEP GRIB edition 2 parameters the table grib2_var.lup is built from
    libeccodes-dev            # only bench/ links it: GRIB decoding speed against ecCodes' C API
    python3                   # data converters in tools/
    gmt-gshhg-low             # shorelines and borders the map files are built from
    gmt-dcw                   # country polygons the land map is built from
    python3-numpy python3-netcdf4 # the map converter reads the netCDF map data
)
# Packages only the tests use, as independent checks of what we write and compute.
test_pkgs=(
    xvfb xauth x11-apps xdotool # a real X server for window tests; xwd/xdotool as peers
    x11-utils                   # xprop, xwininfo and xdpyinfo read window properties and visuals
    x11-xserver-utils           # xrdb sets the X defaults the window tests read
    netcdf-bin                  # ncdump reads the netCDF files we write
    ghostscript                 # renders our PostScript
    imagemagick                 # reads our PNG, GIF and XWD images
    netpbm                      # xwdtopnm reads our XWD dumps
    giflib-tools                # giftext lists the blocks of our GIF files
    pngcheck                    # checks the chunks of our PNG files
    python3-pil                 # decodes GIF and PNG files to compare pixels; writes files of every kind for the readers
    libeccodes-tools            # writes GRIB files for the decoder tests
    libopenjp2-tools            # opj_compress writes JPEG 2000 streams for the GRIB tests
    proj-bin                    # cs2cs and geod check projections and distances
    python3-numpy python3-scipy # reference computations for grids and formulas
    python3-pil                 # reads the rendered surface map for the colours at its stations
    python3-contourpy python3-shapely # reference contour lines and band areas of the contour cells
    python3-matplotlib          # contour and contourf timed beside ours in bench/cont_bench
    python3-netcdf4             # reference netCDF reader
    python3-eccodes             # reference GRIB writer; reads the model behind the sample observations
    python-grib-doc             # eta.grb and the other example GRIB files: sample observations and decoder tests
    python3-sysv-ipc socat      # independent peers of the loop-window link
    units                       # GNU units checks every conversion of data/units.lup
    hp2xx                       # renders our HP-GL/2 plot files
    clang libclang-rt-14-dev    # the libFuzzer targets of tests/fuzz (clang with the fuzzer and sanitizer runtimes)
)

missing() {
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            echo "$p"
        fi
    done
}

# apt-get with its arguments; while another install holds the package lock it
# waits (apt's own lock timeout, then retries) instead of failing.
apt_get() {
    local sudo="" out tries=0
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    while :; do
        if out=$($sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@" 2>&1); then
            return 0
        fi
        if grep -qiE "could not get lock|unable to (acquire|lock)|another process" <<<"$out" && [ $((tries += 1)) -le 60 ]; then
            echo "Waiting for the package lock (another install is running) ..."
            sleep 10
            continue
        fi
        echo "$out" >&2
        return 1
    done
}

install_pkgs() {
    local need
    need=$(missing "$@")
    [ -z "$need" ] && return 0
    echo "Installing: $(echo $need | tr '\n' ' ')"
    apt_get update -qq
    # shellcheck disable=SC2086
    apt_get install -y -qq --no-install-recommends $need
}

jobs=$(nproc 2>/dev/null || echo 2)

configure_build() {
    local dir=$1
    shift
    cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

# Starts a private Xvfb on the first free display and exports DISPLAY;
# the server is stopped when the script ends. Screen 0 is true colour; screen
# 1 (DISPLAY=:N.1) is 8 bits deep with a PseudoColor visual, for the tests of
# read-write colour cells; screen 2 (DISPLAY=:N.2) is 16-bit true colour, for
# the window images of 2-byte pixels. -noreset: by default the server resets whenever its
# last client disconnects, and connections made meanwhile by parallel tests
# are refused or dropped.
start_xvfb() {
    local n
    for n in $(seq 90 140); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            break
        fi
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -screen 1 1280x1024x8 -screen 2 1280x1024x16 -nolisten tcp -noreset >/tmp/xvfb-$n.log 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
    local i
    for i in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    if [ ! -e "/tmp/.X11-unix/X$n" ]; then
        echo "build.sh: Xvfb did not start on :$n" >&2
        cat "/tmp/xvfb-$n.log" >&2
        exit 1
    fi
    local visuals
    visuals=$(xdpyinfo -display ":$n.1" | sed -n '/^screen #1:/,$p' | grep -A3 "default visual id" || true)
    if ! grep -q "class:    PseudoColor" <<<"$visuals"; then
        echo "build.sh: screen 1 of the Xvfb on :$n has no PseudoColor default visual" >&2
        exit 1
    fi
    # The report is taken whole before it is searched: grep -q in the pipe
    # would stop reading early, and under pipefail xdpyinfo's broken pipe
    # would fail the check.
    local screen2
    screen2=$(xdpyinfo -display ":$n.2" | sed -n '/^screen #2:/,$p' || true)
    if ! grep -q "depth of root window:    16 planes" <<<"$screen2"; then
        echo "build.sh: screen 2 of the Xvfb on :$n is not 16 bits deep" >&2
        exit 1
    fi
    export DISPLAY=":$n"
}

cmd=${1:-demo}
case "$cmd" in
deps)
    install_pkgs "${build_pkgs[@]}" "${test_pkgs[@]}"
    ;;
build)
    install_pkgs "${build_pkgs[@]}"
    configure_build build
    ;;
demo)
    install_pkgs "${build_pkgs[@]}"
    configure_build build -DZEQ_TESTS=OFF
    export LC_ALL=C TZ=UTC
    # The surface analysis of the sample observations over the United States
    # (temperature fill, pressure contours, wind barbs) as a colour PostScript
    # map in build/demo/, with the analysed grids and the station values.
    out="$top/build/demo"
    mkdir -p "$out"
    demo_args=(-dp "$top/data" -gp "$out" -rp "$out" -re us -va sfc -of zeq 04120812)
    "$top/build/bin/tarnisk" -ba -pf over -pp pscolor -de "ps,$out/tarnisk_demo.ps" "${demo_args[@]}"
    echo "Map written: $out/tarnisk_demo.ps"
    # With a display the same map opens in a window (Enter in the window ends it).
    if [ -n "${DISPLAY:-}" ]; then
        "$top/build/bin/tarnisk" -pf over -de d "${demo_args[@]}" </dev/null
    fi
    ;;
test)
    install_pkgs "${build_pkgs[@]}" "${test_pkgs[@]}"
    configure_build build-test -DZEQ_SANITIZE=ON -DZEQ_BENCH=ON
    start_xvfb
    export LC_ALL=C TZ=UTC
    ctest --test-dir build-test -j "$jobs" --output-on-failure --timeout 300
    ;;
*)
    echo "usage: $0 demo|test|deps|build" >&2
    exit 2
    ;;
esac
