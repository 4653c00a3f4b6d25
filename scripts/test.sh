#!/bin/sh
# Installs what is missing, builds the win32 and win64 presets, and runs every
# test of both under Wine (what CI runs); with win32 or win64 first, only that
# preset. Further arguments go to ctest:
#
#   scripts/test.sh [win32|win64] [ctest arguments]   e.g. scripts/test.sh win64 -R menu
#
# From a built tree `ctest --preset win64 -R menu` does the same without the
# install and build: the tests' Wine session is a CTest fixture.
set -eu
cd "$(dirname "$0")/.."
preset=
case ${1:-} in
    win32 | win64) preset=$1 && shift ;;
esac
scripts/build.sh ${preset:+"$preset"}
presets=${preset:-win32 win64}

# However the run ends, its processes go with it: the runner has a process
# group of its own, so one kill reaches ctest and the programs under test, and
# a session that a cut-short run leaves behind (display, Wine server) is
# stopped here.
runner=
finish() {
    status=$?
    trap - EXIT INT TERM
    [ -z "$runner" ] || kill -TERM "-$runner" 2>/dev/null || true
    for preset in $presets; do
        scripts/lib/wine-session.sh stop "build/$preset/wine-session"
    done
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

setsid sh -c '
    presets=$1
    shift
    status=0
    for preset in $presets; do
        ctest --preset "$preset" "$@" || status=$?
    done
    exit $status' sh "$presets" "$@" &
runner=$!
wait "$runner"
