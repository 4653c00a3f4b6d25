#!/bin/sh
# Real clicks through Wine's own notification area: the demo host loads the
# icon with the menu "Show", "-", "Exit", and xdotool clicks the icon and the
# items of the real popup.
# Usage: real_clicks.sh BUILD_DIR 32|64
set -u
# shellcheck source=tests/clicks/setup.sh
. "$(dirname "$0")/setup.sh"

# Two "Exit" choices end the host, so "Show" can come between them; it then
# keeps the virtual desktop for 3 s, to show the taskbar without the icon.
start_host host-output 75 --exits 2 --linger 3
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
end_host "the host"

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
start_host host-output-built-in 45 --menu 0
tray_open_popup "$host" || fail "right click on the built-in menu opened no popup"
tray_choose first
tray_wait_line 5 "$output" "mnuEvent: Zanthel" || fail "choosing Top gave no Zanthel"
tray_wait_line 5 "$output" "Icon removed" || fail "the second host did not end"
end_host "the second host"

# NotifyIcon: a host with an event sink gets Click and MenuItemClick, and its
# queue holds the same events in the same order.
start_host host-output-notify 45 --notify 1
tray_left_click
tray_wait_line 5 "$output" "event: Click" || fail "a left click raised no Click"
tray_open_popup "$host" || fail "a right click opened no NotifyIcon menu"
tray_choose last
tray_wait_line 5 "$output" "Icon removed" || fail "choosing Exit did not end the NotifyIcon host"
tray_wait 2 tray_icon_gone || fail "Visible = False left the icon in the taskbar"
end_host "the NotifyIcon host"
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
start_host host-output-balloon 8 --notify 1 --balloon 1
tray_wait 10 tray_find_balloon || fail "no balloon showed"
tray_screenshot "$out_dir/balloon.png" && echo "Balloon: $out_dir/balloon.png"
end_host "the balloon host"
echo "PASS: LeftMouse, Exit,72, Show and Zanthel, and NotifyIcon's Click, MenuItemClick and balloon through real clicks"
