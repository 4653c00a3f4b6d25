#!/bin/sh
# NotifyIcon 1.1's menu through real clicks. The demo host's menu (--menu 2):
# "Logging", checked and the default item, the submenu "Rate" with the radio
# items "Slow" (checked) and "Fast", "Calibrate" greyed, a separator and
# "Exit"; each choice of "Logging" toggles its check mark.
# Usage: notify_menu_clicks.sh BUILD_DIR 32|64
set -u
# shellcheck source=tests/clicks/setup.sh
. "$(dirname "$0")/setup.sh"

start_host host-output 60 --notify 1 --menu 2

# open_rate ROW: opens the menu and its submenu "Rate", and waits until the
# radio mark is on the submenu's ROW-th row alone ("Slow" 1, "Fast" 2).
open_rate() {
    tray_open_popup "$host" || fail "a right click opened no menu"
    tray_open_submenu "$host" 2 || fail "choosing Rate opened no submenu"
    tray_wait 3 tray_mark_alone "$1" $((3 - $1)) SUBMENU || fail "the radio mark is not on Rate's row $1 alone"
}

open_rate 1
tray_row_marked 1 || fail "Logging shows no check mark"
tray_screenshot "$out_dir/rate-slow.png"
tray_choose 2 SUBMENU
tray_wait_line 5 "$output" "NextEvent: MenuItemClick,4,Fast" || fail "choosing Fast gave no MenuItemClick"

tray_double_click
tray_wait_line 5 "$output" "NextEvent: MenuItemClick,1,Logging" || fail "a double click did not choose Logging"

# The mark moved to "Fast", and the host's toggle cleared Logging's check mark.
open_rate 2
! tray_row_marked 1 || fail "Logging kept its check mark"
tray_screenshot "$out_dir/rate-fast.png"
# A click beside the menu closes it and chooses nothing.
xdotool mousemove "$((TRAY_BAR_X + TRAY_BAR_W / 2))" "$((TRAY_BAR_Y - 300))" click 1
tray_wait 3 tray_no_popup "$host" || fail "a click beside the menu left it open"

tray_open_popup "$host" || fail "the last right click opened no menu"
tray_choose last
tray_wait_line 5 "$output" "Icon removed" || fail "choosing Exit did not end the host"
end_host "the host"

# Only right clicks opened the menu; the sink and the queue got each choice
# once, in order, the double click before the default item it chose.
events=$(tr -d '\r' <"$output" | grep -E '^event: (MenuOpening|DoubleClick|MenuItemClick)')
[ "$events" = "event: MenuOpening
event: MenuItemClick 4 Fast
event: DoubleClick
event: MenuItemClick 1 Logging
event: MenuOpening
event: MenuOpening
event: MenuItemClick 6 Exit" ] || fail "unexpected events at the sink"
queued=$(tr -d '\r' <"$output" | grep -E '^NextEvent: (DoubleClick|MenuItemClick)')
[ "$queued" = "NextEvent: MenuItemClick,4,Fast
NextEvent: DoubleClick
NextEvent: MenuItemClick,1,Logging
NextEvent: MenuItemClick,6,Exit" ] || fail "unexpected events in the queue"
echo "PASS: Rate > Fast moved the radio mark, a double click chose the default item, through real clicks"
