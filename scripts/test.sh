#!/bin/sh
# Installs what is missing, builds, and runs every test under Wine.
set -eu
ZANTHEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export ZANTHEL_ROOT
cd "$ZANTHEL_ROOT"
scripts/build.sh
scripts/with-display.sh sh -c '
    scripts/prepare-wine.sh
    status=0
    ctest --preset win32 "$@" || status=$?
    . scripts/wine-env.sh
    wineserver -k 2>/dev/null || true
    exit $status' sh "$@"
