#!/bin/sh
# Installs what is missing, builds the 32-bit Zanthel.dll (the win32 preset;
# ZANTHEL_PRESET=win64 demos the 64-bit one), registers it in the private
# Wine prefix and runs the demo host of the same architecture, whose icon sits
# in the notification area at the right end of the Wine desktop's taskbar.
# The host prints every mnuEvent value it polls. Under a private Xvfb the
# script clicks the icon and the menu itself; on your own X display (DISPLAY
# set) you click, and choosing "Exit" ends the demo. Screenshots are saved in
# <build dir>/demo/.
#
#   scripts/demo.sh [--seconds N]    time limit for your clicks (default 120)
#
# ZANTHEL_XVFB=1 forces the private Xvfb; ZANTHEL_BUILD_DIR names another
# build directory than the preset's build/win32 or build/win64.
set -eu
ZANTHEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export ZANTHEL_ROOT
cd "$ZANTHEL_ROOT"
preset=${ZANTHEL_PRESET:-win32}
case $preset in
    win32) bits=32 toolchain=cmake/mingw-i686.cmake ;;
    win64) bits=64 toolchain=cmake/mingw-x86_64.cmake ;;
    *) echo "demo: ZANTHEL_PRESET is win32 or win64, not $preset" >&2 && exit 2 ;;
esac

if [ "${1:-}" != --inside-session ]; then
    if [ -n "${ZANTHEL_BUILD_DIR:-}" ]; then
        scripts/install-deps.sh
        [ -f "$ZANTHEL_BUILD_DIR/CMakeCache.txt" ] ||
            cmake -S . -B "$ZANTHEL_BUILD_DIR" -G Ninja --toolchain "$toolchain" >/dev/null
        cmake --build "$ZANTHEL_BUILD_DIR"
    else
        scripts/build.sh "$preset"
    fi
    # Nobody can click on a private Xvfb, so there the script clicks.
    ZANTHEL_DEMO_CLICKS=
    if [ -z "${DISPLAY:-}" ] || [ -n "${ZANTHEL_XVFB:-}" ]; then ZANTHEL_DEMO_CLICKS=1; fi
    export ZANTHEL_DEMO_CLICKS
    exec scripts/lib/wine-session.sh run "$0" --inside-session "$@"
fi
shift
seconds=120
[ "${1:-}" = --seconds ] && seconds=$2

. scripts/lib/wine-env.sh
. scripts/lib/tray-clicks.sh
build_dir=$(cd "${ZANTHEL_BUILD_DIR:-build/$preset}" && pwd)
shots=$build_dir/demo
output=$shots/host-output.txt
host=demo_host.exe
mkdir -p "$shots"
rm -f "$shots"/*.png

(cd "$build_dir" && "$ZANTHEL_ROOT/scripts/lib/wine-tool.sh" "$bits" regsvr32 /s Zanthel.dll)
echo "Registered the $bits-bit $build_dir/Zanthel.dll in the Wine prefix $WINEPREFIX"

# The file exists before tail looks for it, whichever of the two starts first.
: >"$output"
(cd "$build_dir" && exec timeout $((seconds + 30)) wine "$host" --seconds "$seconds") >"$output" 2>&1 &
host_pid=$!
tail -n +1 -f --pid="$host_pid" "$output" &
tail_pid=$!
finish() {
    kill "$host_pid" 2>/dev/null || true
    wait "$tail_pid" 2>/dev/null || true
}
trap finish EXIT
trap 'exit 130' INT TERM
fail() {
    echo "demo: $*" >&2
    exit 1
}

tray_wait_line 60 "$output" "Icon loaded" || fail "the host did not load the icon (see above)"
if tray_wait 15 tray_icon_drawn && tray_screenshot "$shots/tray.png" tray; then
    echo "Screenshot of the tray: $shots/tray.png"
else
    [ -z "$ZANTHEL_DEMO_CLICKS" ] || fail "no icon in the Wine desktop's taskbar"
    echo "demo: could not see the icon; is the Wine desktop window covered?" >&2
fi

if [ -n "$ZANTHEL_DEMO_CLICKS" ]; then
    echo "Left-clicking the icon, then right-clicking it and choosing Exit"
    tray_left_then_exit "$host" "$output" "$shots/popup.png" || fail "the clicks went wrong"
    tray_wait_line 10 "$output" "Icon removed" || fail "choosing Exit did not end the host"
else
    echo "In the window \"Default - Wine desktop\", click the icon at the right end of the taskbar:"
    echo "left click prints LeftMouse, right click opens the menu; choose Exit to end (limit $seconds s)."
fi
wait "$host_pid" || fail "the host ended with status $?"
echo "Demo done."
