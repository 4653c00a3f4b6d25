#!/bin/sh
# Builds the stress program (bench/stress/) and runs it under Wine: a
# seeded fuzz of 100,000 IDispatch::Invoke calls on one classTray, then the
# soaks (create/release, icon rounds, apartment threads, host windows closed
# from outside) with their growth per 1,000 rounds. Prints figures; not a test.
#
#   scripts/stress.sh [--preset NAME] [--heap-check] [--calls N] [--seed S]
#                     [--scale F] [--real-shell]
#
#   --preset      the CMake preset to build and run (default win32)
#   --heap-check  runs the fuzz with WINEDEBUG=warn+heap and counts Wine's heap
#                 warnings (double frees show there)
#   --calls/--seed  the fuzz's length and seed (default 100000 and 20261207)
#   --scale       multiplies every soak's rounds (0.1 for a quick look)
#   --real-shell  soaks call the real notification area instead of counting
#
# ZANTHEL_BUILD_ROOT=dir builds in dir/<preset>; WINEPREFIX picks another prefix.
# The fuzz's findings, call by call, go to <build dir>/stress-fuzz.log.
set -eu
ZANTHEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export ZANTHEL_ROOT
cd "$ZANTHEL_ROOT"

preset=win32
heap_check=
fuzz_args=
soak_args=
while [ $# -gt 0 ]; do
    case $1 in
        --preset) preset=$2; shift 2 ;;
        --heap-check) heap_check=1; shift ;;
        --calls | --seed) fuzz_args="$fuzz_args $1 $2"; shift 2 ;;
        --scale) soak_args="$soak_args $1 $2"; shift 2 ;;
        --real-shell) soak_args="$soak_args $1"; shift ;;
        *) sed -n '2,/^set -eu/p' "$0" | sed '$d'; exit 2 ;;
    esac
done

scripts/install-deps.sh
. scripts/lib/preset-build-dir.sh
preset_build_dir "$preset"
cmake --build "$build_dir" --target stress
build_dir=$(cd "$build_dir" && pwd)

ZANTHEL_XVFB=${ZANTHEL_XVFB:-1} exec scripts/lib/wine-session.sh run sh -c '
    set -u
    build_dir=$1 heap_check=$2 fuzz_args=$3 soak_args=$4
    . scripts/lib/wine-env.sh
    cd "$build_dir"
    log=$build_dir/stress-fuzz.log
    if [ -n "$heap_check" ]; then
        WINEDEBUG=warn+heap wine stress.exe fuzz $fuzz_args 2>"$log" | tr -d "\r"
        echo "heap_warnings: $(grep -c "warn:heap" "$log")"
    else
        wine stress.exe fuzz $fuzz_args 2>"$log" | tr -d "\r"
    fi
    findings=$(grep -c "^call " "$log")
    [ "$findings" -eq 0 ] || echo "($findings fuzz findings, call by call, in $log)"
    wine stress.exe soak $soak_args | tr -d "\r"
' sh "$build_dir" "$heap_check" "$fuzz_args" "$soak_args"
