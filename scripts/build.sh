#!/bin/sh
# Installs what is missing and builds the win32 and win64 presets, or the one
# named first; further arguments go to the build (for example --target
# soak_bench). Usage: scripts/build.sh [win32|win64] [build arguments]
set -eu
cd "$(dirname "$0")/.."
presets="win32 win64"
case ${1:-} in
    win32 | win64) presets=$1 && shift ;;
esac
scripts/install-deps.sh
for preset in $presets; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" "$@"
done
