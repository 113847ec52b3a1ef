#!/usr/bin/env bash
# Builds the fuzz targets in their build tree: build_fuzz.sh BUILD_DIR JOBS.
# A failure does not fail the main build: the log is kept as
# BUILD_DIR/build.log and every fuzz test then fails pointing at it.
set -u
dir=$1 jobs=$2
rm -f "$dir/build.failed"
if ! cmake --build "$dir" -j "$jobs" >"$dir/build.log" 2>&1; then
    touch "$dir/build.failed"
    echo "The fuzz targets did not build (see $dir/build.log):"
    grep -m 10 "error" "$dir/build.log"
fi
exit 0
