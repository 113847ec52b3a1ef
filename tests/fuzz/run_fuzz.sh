#!/usr/bin/env bash
# Runs one fuzz target from its seed corpus for a bounded time:
#   run_fuzz.sh TARGET CORPUS SECONDS ARTIFACTS
# New inputs go to a scratch directory (the seed corpus is only read); an
# input that crashes, leaks, runs out of memory or time is kept in ARTIFACTS
# and the run fails, and so do later runs while that input still fails.
set -u
target=$1 corpus=$2 seconds=$3 artifacts=$4
build=$(dirname "$target")
if [ -e "$build/build.failed" ]; then
    echo "The fuzz targets did not build; from $build/build.log:"
    grep -m 20 -B2 "error" "$build/build.log"
    exit 1
fi
if [ ! -x "$target" ]; then
    echo "The fuzz target $target was not built: install the Debian packages clang and libclang-rt-14-dev"
    exit 1
fi
if [ ! -d "$corpus" ] || [ -z "$(ls -A "$corpus")" ]; then
    echo "No seed corpus in $corpus"
    exit 1
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/new" "$artifacts"
# The working directory is the scratch directory: a target may write there.
cd "$scratch" || exit 1
# Inputs that failed an earlier run fail until the fault is mended.
for input in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/oom-* "$artifacts"/timeout-*; do
    [ -e "$input" ] || continue
    if "$target" -timeout=25 -rss_limit_mb=2048 "$input" </dev/null; then
        rm -f "$input"
    else
        echo "An input kept from an earlier run still fails: $input"
        exit 1
    fi
done
"$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$scratch/new" "$corpus" </dev/null
