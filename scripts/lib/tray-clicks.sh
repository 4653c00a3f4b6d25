# Sourced: finds Wine's notification area and a host's popup menu on the X
# display and clicks them with xdotool, for the demo and the real-click test.
# Needs DISPLAY, xdotool, xwininfo and ImageMagick. Every wait has a bound.
#
# Layout measured on Wine 8 at 96 dpi: our prefix runs programs in a virtual
# desktop whose taskbar (an explorer.exe child window as wide as the desktop,
# at its bottom) gives each icon a 20 x 20 cell, the first at the right end.
# A popup menu has 3 px of frame and margin above its first row and below its
# last; a text row is 17 px high (a separator row is 9 px).
TRAY_ICON_CELL=20
TRAY_MENU_INSET=3
TRAY_ROW_HEIGHT=17

# tray_wait SECONDS COMMAND...: retries COMMAND every 0.2 s until it succeeds
# or the time is up.
tray_wait() {
    _tw_end=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$_tw_end" ] || return 1
        sleep 0.2
    done
}

# The virtual desktop's window; it exists only while a program runs in it.
tray_find_desktop() {
    TRAY_DESKTOP=$(xdotool search --onlyvisible --name ' - Wine desktop$' 2>/dev/null | head -n 1)
    [ -n "$TRAY_DESKTOP" ]
}

# Sets TRAY_BAR_X/Y/W/H (absolute) to the taskbar's geometry and
# TRAY_ICON_X/Y to the centre of the first icon's cell.
tray_find_taskbar() {
    tray_find_desktop || return 1
    _tf_geometry=$(xwininfo -id "$TRAY_DESKTOP" -tree 2>/dev/null | awk '
        /"explorer\.exe"/ {
            for (i = 1; i < NF; i++) if ($i ~ /^[0-9]+x[0-9]+[+-]/) {
                split($i, size, /[x+-]/); split($(i + 1), at, /[+]/)
            }
            if (size[1] >= 200 && size[2] >= 16 && size[2] <= 60) { print at[2], at[3], size[1], size[2]; exit }
        }')
    [ -n "$_tf_geometry" ] || return 1
    read -r TRAY_BAR_X TRAY_BAR_Y TRAY_BAR_W TRAY_BAR_H <<EOF
$_tf_geometry
EOF
    TRAY_ICON_X=$((TRAY_BAR_X + TRAY_BAR_W - TRAY_ICON_CELL / 2))
    TRAY_ICON_Y=$((TRAY_BAR_Y + TRAY_BAR_H / 2))
}

# Succeeds when the first icon cell shows a picture, not the bare taskbar.
tray_icon_drawn() {
    tray_find_taskbar || return 1
    _td_colours=$(import -silent -window root miff:- 2>/dev/null |
        convert - -crop "16x16+$((TRAY_ICON_X - 8))+$((TRAY_ICON_Y - 8))" +repage -format '%k' info: 2>/dev/null)
    [ "${_td_colours:-1}" -gt 2 ]
}

# The taskbar is there and its first cell is bare.
tray_icon_gone() { tray_find_taskbar && ! tray_icon_drawn; }

# tray_screenshot FILE [tray]: saves the virtual desktop as PNG, or with
# "tray" only the taskbar's right end around the icon.
tray_screenshot() {
    tray_find_taskbar || return 1
    if [ "${2:-}" = tray ]; then
        _ts_w=$((TRAY_BAR_W < 240 ? TRAY_BAR_W : 240))
        import -silent -window root -crop "${_ts_w}x$((TRAY_BAR_H + 40))+$((TRAY_BAR_X + TRAY_BAR_W - _ts_w))+$((TRAY_BAR_Y - 40))" "$1"
    else
        import -silent -window "$TRAY_DESKTOP" "$1"
    fi
}

# tray_geometry WINDOW NAME: sets NAME_X/Y/W/H to the window's absolute
# position and size, all 0 when it is gone.
tray_geometry() {
    eval "$(xwininfo -id "$1" 2>/dev/null | awk -v name="$2" '
        /Absolute upper-left X:/ { x = $NF }
        /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/ { w = $NF }
        /^ *Height:/ { h = $NF }
        END { printf "%s_X=%d %s_Y=%d %s_W=%d %s_H=%d\n", name, x, name, y, name, w, name, h }')"
}

# tray_find_popup CLASS: sets POPUP_X/Y/W/H to the visible popup menu of the
# host whose window class (its exe name under Wine) is CLASS.
tray_find_popup() {
    for _tp_window in $(xdotool search --onlyvisible --class "$1" 2>/dev/null); do
        tray_geometry "$_tp_window" POPUP
        [ "$POPUP_W" -gt 20 ] && [ "$POPUP_H" -gt 20 ] && return 0
    done
    return 1
}

# Sets BALLOON_X/Y/W/H to the balloon notification beside the icon: a window
# of the shell's that is neither the desktop nor the taskbar.
tray_find_balloon() {
    for _tb_window in $(xdotool search --onlyvisible --class explorer.exe 2>/dev/null); do
        tray_geometry "$_tb_window" BALLOON
        [ "$BALLOON_W" -ge 100 ] && [ "$BALLOON_H" -ge 30 ] && [ "$BALLOON_H" -le 200 ] && return 0
    done
    return 1
}

tray_click_balloon() {
    tray_find_balloon && xdotool mousemove "$((BALLOON_X + BALLOON_W / 2))" "$((BALLOON_Y + BALLOON_H / 2))" click 1
}

tray_no_popup() { ! tray_find_popup "$1"; }

# tray_find_submenu CLASS: sets SUBMENU_X/Y/W/H to the submenu open beside the
# popup that tray_find_popup found: another visible popup of the same host.
tray_find_submenu() {
    for _tu_window in $(xdotool search --onlyvisible --class "$1" 2>/dev/null); do
        tray_geometry "$_tu_window" SUBMENU
        [ "$SUBMENU_W" -gt 20 ] && [ "$SUBMENU_H" -gt 20 ] &&
            { [ "$SUBMENU_X" -ne "$POPUP_X" ] || [ "$SUBMENU_Y" -ne "$POPUP_Y" ]; } && return 0
    done
    return 1
}

# Two presses of one button on the icon within the double-click time (500 ms)
# reach the host as a double click, which opens nothing: each click on the
# icon first lets that time pass. tray_click_icon [xdotool click options] BUTTON
tray_click_icon() {
    sleep 0.6
    xdotool mousemove "$TRAY_ICON_X" "$TRAY_ICON_Y" click "$@"
}

tray_left_click() { tray_click_icon 1; }

tray_double_click() { tray_click_icon --repeat 2 --delay 120 1; }

# tray_open_popup CLASS: right-clicks the icon and waits for the popup.
tray_open_popup() {
    tray_wait 5 tray_no_popup "$1" || return 1
    tray_click_icon 3
    tray_wait 5 tray_find_popup "$1"
}

# tray_row_top ROW [SUBMENU]: sets _TR_X/Y/W/H to the popup's geometry (with
# SUBMENU the submenu's) and _TR_TOP to the top of its ROW-th row (1 is the
# first; no separator may come before it).
tray_row_top() {
    eval "_TR_X=\$${2:-POPUP}_X _TR_Y=\$${2:-POPUP}_Y _TR_W=\$${2:-POPUP}_W _TR_H=\$${2:-POPUP}_H"
    _TR_TOP=$((_TR_Y + TRAY_MENU_INSET + TRAY_ROW_HEIGHT * ($1 - 1)))
}

# tray_choose first|last|ROW [SUBMENU]: clicks the open popup's first, last
# or ROW-th row (see tray_row_top), or with SUBMENU that of the open submenu.
# A popup moves to stay on screen, so rows are found from its own geometry.
tray_choose() {
    case $1 in
        first) tray_row_top 1 "${2:-}" ;;
        last) tray_row_top 1 "${2:-}" && _TR_TOP=$((_TR_Y + _TR_H - TRAY_MENU_INSET - TRAY_ROW_HEIGHT)) ;;
        '' | *[!0-9]*) return 2 ;;
        *) tray_row_top "$1" "${2:-}" ;;
    esac
    xdotool mousemove "$((_TR_X + _TR_W / 2))" "$((_TR_TOP + TRAY_ROW_HEIGHT / 2))" click 1
}

# tray_open_submenu CLASS ROW: chooses the open popup's ROW-th row and waits
# for the submenu it opens.
tray_open_submenu() {
    tray_choose "$2" && tray_wait 5 tray_find_submenu "$1"
}

# tray_row_marked ROW [SUBMENU]: succeeds when the open popup's ROW-th row
# (see tray_row_top) shows a check or radio mark: the mark's column, left of
# the caption, holds more than one colour, highlighted or not.
tray_row_marked() {
    tray_row_top "$1" "${2:-}"
    _tm_colours=$(import -silent -window root miff:- 2>/dev/null |
        convert - -crop "14x$TRAY_ROW_HEIGHT+$((_TR_X + TRAY_MENU_INSET))+$_TR_TOP" +repage -format '%k' info: 2>/dev/null)
    [ "${_tm_colours:-1}" -gt 1 ]
}

# tray_mark_alone ROW OTHER [SUBMENU]: the ROW-th row shows a mark and the
# OTHER-th none, as a radio group of two shows its choice.
tray_mark_alone() { tray_row_marked "$1" "${3:-}" && ! tray_row_marked "$2" "${3:-}"; }

# tray_wait_line SECONDS FILE LINE [COUNT]: waits until the host's output
# FILE holds LINE at least COUNT times (Wine writes CRLF line ends).
tray_count_line() { [ "$(tr -d '\r' <"$1" | grep -cxF -- "$2")" -ge "$3" ]; }
tray_wait_line() { tray_wait "$1" tray_count_line "$2" "$3" "${4:-1}"; }

# tray_left_then_exit HOST OUTPUT POPUP_PNG: left-clicks the icon and waits
# for "LeftMouse" in OUTPUT, then opens the popup, saves it to POPUP_PNG and
# chooses its last item ("Exit"). Says what went wrong on stderr.
tray_left_then_exit() {
    tray_left_click
    tray_wait_line 5 "$2" "mnuEvent: LeftMouse" || { echo "left click gave no LeftMouse" >&2; return 1; }
    tray_open_popup "$1" || { echo "right click opened no popup" >&2; return 1; }
    tray_screenshot "$3" && echo "Screenshot of the open popup: $3"
    tray_choose last
}
