#!/bin/sh
# Installs what is missing, builds the 32-bit Zanthel.dll and the demo host
# (the win32 preset; ZANTHEL_PRESET=win64 demos the 64-bit ones) and nothing
# else, registers the DLL in the private Wine prefix and runs the demo host,
# whose icon sits in the notification area at the right end of the Wine
# desktop's taskbar.
#
# The host creates a Zanthel.NotifyIcon with a tip, a menu and a balloon. The
# menu: "Logging", checked and the default item (bold), the submenu "Rate"
# with the radio items "Slow" (checked) and "Fast", "Calibrate" greyed, a
# separator and "Exit". It advises the icon's connection point and prints
# each event as it arrives ("event: Click"), then the same event read from
# the queue ("NextEvent: Click"); on each MenuOpening it writes the chosen
# rate into the submenu's caption. Under a private Xvfb the script clicks the
# balloon, then the icon, chooses Rate > Fast and opens the submenu again,
# double-clicks the icon (the default item "Logging") and chooses "Exit",
# so that you see the events and the screenshots. The demo only shows: the
# test command checks these clicks (tests/clicks/). It fails when the host
# cannot start or ends badly (a crash); a host the clicks leave running is
# stopped. On your own X display (DISPLAY set) you click, and choosing
# "Exit" ends the demo. Screenshots are saved in <build dir>/demo/.
#
#   scripts/demo.sh [--class NotifyIcon|classTray] [--seconds N]
#
#   --class classTray   demos the older class instead: the host polls and
#                       prints mnuEvent ("mnuEvent: LeftMouse")
#   --seconds N         time limit for your clicks (default 120)
#
# ZANTHEL_XVFB=1 forces the private Xvfb; ZANTHEL_BUILD_DIR names another
# build directory than the preset's build/win32 or build/win64.
set -eu
ZANTHEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export ZANTHEL_ROOT
cd "$ZANTHEL_ROOT"
usage() {
    echo "usage: scripts/demo.sh [--class NotifyIcon|classTray] [--seconds N]" >&2
    exit 2
}
preset=${ZANTHEL_PRESET:-win32}
case $preset in
    win32) bits=32 toolchain=cmake/mingw-i686.cmake ;;
    win64) bits=64 toolchain=cmake/mingw-x86_64.cmake ;;
    *) echo "demo: ZANTHEL_PRESET is win32 or win64, not $preset" >&2 && exit 2 ;;
esac
inside=
[ "${1:-}" = --inside-session ] && inside=1 && shift
class=NotifyIcon seconds=120
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || usage
    case $1 in
        --class) class=$2 ;;
        --seconds) seconds=$2 ;;
        *) usage ;;
    esac
    shift 2
done
case $class in NotifyIcon | classTray) ;; *) usage ;; esac
case $seconds in '' | *[!0-9]*) usage ;; esac

if [ -z "$inside" ]; then
    if [ -n "${ZANTHEL_BUILD_DIR:-}" ]; then
        scripts/install-deps.sh
        [ -f "$ZANTHEL_BUILD_DIR/CMakeCache.txt" ] ||
            cmake -S . -B "$ZANTHEL_BUILD_DIR" -G Ninja --toolchain "$toolchain" >/dev/null
        cmake --build "$ZANTHEL_BUILD_DIR" --target Zanthel demo_host
    else
        scripts/build.sh "$preset" --target Zanthel demo_host
    fi
    # Nobody can click on a private Xvfb, so there the script clicks.
    ZANTHEL_DEMO_CLICKS=
    if [ -z "${DISPLAY:-}" ] || [ -n "${ZANTHEL_XVFB:-}" ]; then ZANTHEL_DEMO_CLICKS=1; fi
    export ZANTHEL_DEMO_CLICKS
    exec scripts/lib/wine-session.sh run "$0" --inside-session --class "$class" --seconds "$seconds"
fi

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

host_options="--seconds $seconds"
[ "$class" = classTray ] || host_options="$host_options --notify 1 --menu 2 --balloon 1"
# The file exists before tail looks for it, whichever of the two starts first.
: >"$output"
# shellcheck disable=SC2086 # the options are words
(cd "$build_dir" && exec timeout $((seconds + 30)) wine "$host" $host_options) >"$output" 2>&1 &
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
host_gone() { ! kill -0 "$host_pid" 2>/dev/null; }
# Wine reports a crash on the program's stderr, then may keep it waiting.
crashed() { tr -d '\r' <"$output" | grep -q '^wine: Unhandled'; }
host_done() { host_gone || crashed; }
host_up() { tray_count_line "$output" "Icon loaded" 1 || host_done; }
# pace LINE: gives the host a moment to print LINE before the next click.
pace() { tray_wait_line 5 "$output" "$1" || true; }
stopped() {
    echo "demo: the clicks stopped: $*" >&2
    return 1
}
# A click on the desktop above the taskbar closes an open menu, choosing nothing.
click_beside_menu() { xdotool mousemove "$((TRAY_BAR_X + TRAY_BAR_W / 2))" "$((TRAY_BAR_Y - 300))" click 1; }

# show_rate PNG: opens the menu and its submenu "Rate" (the second row) and
# saves the screen to PNG once the submenu shows its radio mark.
show_rate() {
    tray_open_popup "$host" || stopped "a right click opened no menu" || return 1
    tray_open_submenu "$host" 2 || stopped "choosing Rate opened no submenu" || return 1
    tray_wait 3 rate_drawn || true
    tray_screenshot "$1" && echo "Screenshot of the menu and its submenu: $1"
}
rate_drawn() { tray_row_marked 1 SUBMENU || tray_row_marked 2 SUBMENU; }

# The balloon, the icon, the radio item "Fast" in the submenu, the submenu
# again, a double click (the default item "Logging": its check mark goes),
# and "Exit", which ends the host.
click_notify_icon() {
    echo "Clicking the balloon"
    if ! tray_click_balloon; then
        echo "(the balloon had gone)"
    elif ! tray_wait_line 3 "$output" "event: BalloonClick"; then
        echo "(no BalloonClick: Wine's shell does not tell programs about clicks on balloons; Windows does)"
    fi
    echo "Left-clicking the icon"
    tray_left_click
    pace "NextEvent: Click"
    echo "Right-clicking the icon and choosing Rate > Fast (Slow has the radio mark)"
    show_rate "$shots/popup.png" || return 1
    tray_choose 2 SUBMENU
    pace "NextEvent: MenuItemClick,4,Fast"
    echo "Right-clicking the icon and opening Rate again: the radio mark has moved to Fast"
    show_rate "$shots/popup-fast.png" || return 1
    click_beside_menu
    tray_wait 3 tray_no_popup "$host" || stopped "a click beside the menu left it open" || return 1
    echo "Double-clicking the icon: DoubleClick, then MenuItemClick for the default item Logging"
    tray_double_click
    pace "NextEvent: MenuItemClick,1,Logging"
    echo "Right-clicking the icon and choosing Exit"
    tray_open_popup "$host" || stopped "the last right click opened no menu" || return 1
    tray_screenshot "$shots/popup-unchecked.png" &&
        echo "Screenshot of the menu without Logging's check mark: $shots/popup-unchecked.png"
    tray_choose last
}

click_tray() {
    echo "Left-clicking the icon, then right-clicking it and choosing Exit"
    tray_left_then_exit "$host" "$output" "$shots/popup.png"
}

tray_wait 60 host_up || true
tray_count_line "$output" "Icon loaded" 1 || fail "the host did not start"
icon_seen=
if tray_wait 15 tray_icon_drawn; then
    icon_seen=1
    tray_screenshot "$shots/tray.png" tray && echo "Screenshot of the tray: $shots/tray.png"
else
    echo "demo: could not see the icon; is the Wine desktop window covered?" >&2
fi
if [ "$class" = NotifyIcon ]; then
    # Wine's shell shows a balloon 2 s after it is asked to, for 10 s.
    if tray_wait 10 tray_find_balloon && tray_screenshot "$shots/balloon.png"; then
        echo "Screenshot of the balloon: $shots/balloon.png"
    else
        echo "demo: could not see the balloon" >&2
    fi
fi

if [ -n "$ZANTHEL_DEMO_CLICKS" ]; then
    exited=
    if [ -z "$icon_seen" ]; then
        stopped "no icon to click" || true
    elif [ "$class" = NotifyIcon ]; then
        click_notify_icon && exited=1
    else
        click_tray && exited=1
    fi
    # Nobody else can click on this display: a host the clicks left running
    # is stopped, but one that crashed or that its Exit did not end fails.
    tray_wait 10 host_done || true
    ! crashed || fail "the host crashed"
    if ! host_gone; then
        [ -z "$exited" ] || fail "choosing Exit did not end the host"
        echo "demo: stopping the host (scripts/test.sh checks the clicks)" >&2
        kill "$host_pid" 2>/dev/null || true
        wait "$host_pid" 2>/dev/null || true
        echo "Demo done."
        exit 0
    fi
elif [ "$class" = NotifyIcon ]; then
    echo "In the window \"Default - Wine desktop\", click the balloon and the icon at the right end"
    echo "of the taskbar: a left click prints Click, a double click DoubleClick and MenuItemClick for"
    echo "the bold Logging, a right click MenuOpening and opens the menu; choose Rate > Fast and open"
    echo "Rate again to see the radio mark moved; choose Exit to end (limit $seconds s)."
else
    echo "In the window \"Default - Wine desktop\", click the icon at the right end of the taskbar:"
    echo "left click prints LeftMouse, right click opens the menu; choose Exit to end (limit $seconds s)."
fi
wait "$host_pid" || fail "the host ended with status $?"
echo "Demo done."
