#!/bin/sh
# Installs what is missing, builds the win32 and win64 presets, and runs every
# test of both under Wine, in one 64-bit prefix. Arguments go to both ctest runs.
set -eu
ZANTHEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export ZANTHEL_ROOT
cd "$ZANTHEL_ROOT"
scripts/build.sh
. scripts/wine-env.sh

# However the run ends, its processes and the prefix's Wine server go with
# it: a server left running keeps serving a display that no longer exists.
# The runner has a process group of its own, so one kill reaches the display,
# ctest and the programs under test.
runner=
finish() {
    status=$?
    trap - EXIT INT TERM
    [ -z "$runner" ] || kill -TERM "-$runner" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

setsid scripts/with-display.sh sh -c '
    scripts/prepare-wine.sh
    status=0
    ctest --preset win32 "$@" || status=$?
    ctest --preset win64 "$@" || status=$?
    exit $status' sh "$@" &
runner=$!
wait "$runner"
