#!/bin/sh
# Builds and runs the soak benchmark: memory, handles and time per round of
# host activity. Usage: scripts/bench.sh [rounds]
set -eu
ZANTHEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export ZANTHEL_ROOT
cd "$ZANTHEL_ROOT"
scripts/build.sh --target soak_bench
ZANTHEL_XVFB=${ZANTHEL_XVFB:-1} scripts/with-display.sh sh -c '
    scripts/prepare-wine.sh
    cd build/win32 && scripts_dir=$ZANTHEL_ROOT/scripts && "$scripts_dir/wine-run.sh" soak_bench.exe "$@"' sh "$@"
