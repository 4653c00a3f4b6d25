#!/bin/sh
# Real clicks through Wine's own notification area: the demo host loads the
# icon with the menu "Show", "-", "Exit", and xdotool clicks the icon and the
# items of the real popup; the build's demo host and DLL are 32- or 64-bit.
# Usage: real_clicks.sh BUILD_DIR 32|64
set -u
build_dir=$(cd "$1" && pwd)
bits=${2:?usage: real_clicks.sh BUILD_DIR 32|64}
ZANTHEL_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ZANTHEL_ROOT/scripts/lib/wine-env.sh"
. "$ZANTHEL_ROOT/scripts/lib/tray-clicks.sh"

if [ -z "${DISPLAY:-}" ]; then
    echo "SKIP: no X display (CTest's wine_session_start gives one)"
    exit 77
fi
host=demo_host.exe
out_dir=$build_dir/clicks
output=$out_dir/host-output.txt
mkdir -p "$out_dir"
rm -f "$out_dir"/*.png "$output"

host_pid=
fail() {
    echo "FAIL: $*"
    tray_screenshot "$out_dir/failure.png" && echo "Screenshot at failure: $out_dir/failure.png"
    echo "--- host output ---"
    tr -d '\r' <"$output"
    [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
    exit 1
}

cd "$build_dir" || exit 1
"$ZANTHEL_ROOT/scripts/lib/wine-tool.sh" "$bits" regsvr32 /s Zanthel.dll || fail "regsvr32 Zanthel.dll"

# Two "Exit" choices end the host, so "Show" can come between them; it then
# keeps the virtual desktop for 3 s, to show the taskbar without the icon.
timeout 90 wine "$host" --seconds 75 --exits 2 --linger 3 >"$output" 2>&1 &
host_pid=$!

tray_wait_line 30 "$output" "Icon loaded" || fail "the host did not load the icon"
tray_wait 15 tray_icon_drawn || fail "no icon in the taskbar"
tray_screenshot "$out_dir/tray.png" tray && echo "Tray: $out_dir/tray.png"

tray_left_then_exit "$host" "$output" "$out_dir/popup.png" || fail "the clicks went wrong"
tray_wait_line 5 "$output" "mnuEvent: Exit,72" || fail "choosing Exit gave no Exit,72"

tray_open_popup "$host" || fail "second right click opened no popup"
tray_choose first
tray_wait_line 5 "$output" "mnuEvent: Show" || fail "choosing Show gave no Show"

# A click elsewhere closes the popup and chooses nothing.
tray_open_popup "$host" || fail "third right click opened no popup"
xdotool mousemove "$((TRAY_BAR_X + TRAY_BAR_W / 2))" "$((TRAY_BAR_Y - 300))" click 1
tray_wait 3 tray_no_popup "$host" || fail "a click beside the popup left it open"

tray_open_popup "$host" || fail "fourth right click opened no popup"
tray_choose last
tray_wait_line 5 "$output" "Icon removed" || fail "the host did not end after the second Exit"
tray_wait 2 tray_icon_gone || fail "UnLoadTray left the icon in the taskbar"
wait "$host_pid" || fail "the host ended with status $?"
host_pid=

# Nothing else reached mnuEvent: a right click alone writes no event.
expected="Icon loaded
mnuEvent: LeftMouse
mnuEvent: Exit,72
mnuEvent: Show
mnuEvent: Exit,72
Icon removed"
[ "$(tr -d '\r' <"$output")" = "$expected" ] || fail "unexpected host output"

# Before any caption the popup holds only its built-in item, which reports
# the sentinel text.
output=$out_dir/host-output-built-in.txt
timeout 60 wine "$host" --seconds 45 --menu 0 >"$output" 2>&1 &
host_pid=$!
tray_wait_line 30 "$output" "Icon loaded" || fail "the second host did not load the icon"
tray_wait 15 tray_icon_drawn || fail "no icon in the taskbar for the second host"
tray_open_popup "$host" || fail "right click on the built-in menu opened no popup"
tray_choose first
tray_wait_line 5 "$output" "mnuEvent: Zanthel" || fail "choosing Top gave no Zanthel"
tray_wait_line 5 "$output" "Icon removed" || fail "the second host did not end"
wait "$host_pid" || fail "the second host ended with status $?"
host_pid=

# NotifyIcon: a host with an event sink gets Click and MenuItemClick, and its
# queue holds the same events in the same order.
output=$out_dir/host-output-notify.txt
timeout 60 wine "$host" --notify 1 --seconds 45 >"$output" 2>&1 &
host_pid=$!
tray_wait_line 30 "$output" "Icon loaded" || fail "the NotifyIcon host did not show its icon"
tray_wait 15 tray_icon_drawn || fail "no NotifyIcon in the taskbar"
tray_left_click
tray_wait_line 5 "$output" "event: Click" || fail "a left click raised no Click"
tray_open_popup "$host" || fail "a right click opened no NotifyIcon menu"
tray_choose last
tray_wait_line 5 "$output" "Icon removed" || fail "choosing Exit did not end the NotifyIcon host"
tray_wait 2 tray_icon_gone || fail "Visible = False left the icon in the taskbar"
wait "$host_pid" || fail "the NotifyIcon host ended with status $?"
host_pid=
expected="Icon loaded
event: Click
NextEvent: Click
event: MenuOpening
event: MenuItemClick 2 Exit
NextEvent: MenuItemClick,2,Exit
Icon removed"
[ "$(tr -d '\r' <"$output")" = "$expected" ] || fail "unexpected NotifyIcon host output"

# A balloon notification shows beside the icon: a window of the shell's that
# is neither the desktop nor the taskbar.
output=$out_dir/host-output-balloon.txt
timeout 60 wine "$host" --notify 1 --balloon 1 --seconds 8 >"$output" 2>&1 &
host_pid=$!
tray_wait_line 30 "$output" "Icon loaded" || fail "the balloon host did not show its icon"
tray_wait 10 tray_find_balloon || fail "no balloon showed"
tray_screenshot "$out_dir/balloon.png" && echo "Balloon: $out_dir/balloon.png"
wait "$host_pid" || fail "the balloon host ended with status $?"
host_pid=
echo "PASS: LeftMouse, Exit,72, Show and Zanthel, and NotifyIcon's Click, MenuItemClick and balloon through real clicks"
