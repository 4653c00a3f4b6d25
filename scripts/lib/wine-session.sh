#!/bin/sh
# The Wine session that programs under test run in: an X display, and the
# project's prefix with its server and virtual desktop started on it. One
# prefix serves one display at a time, so a session owns its prefix.
#
#   wine-session.sh start STATE     takes the user's display (DISPLAY), or a
#                                   private Xvfb when there is none or when
#                                   ZANTHEL_XVFB is set; creates the prefix on
#                                   first use with a virtual desktop (its
#                                   taskbar holds the notification area) and
#                                   starts Wine's background processes once,
#                                   so that programs do not each wait for them.
#                                   STATE keeps what wine-env.sh and stop need.
#   wine-session.sh stop STATE      ends the prefix's processes and the Xvfb
#   wine-session.sh run COMMAND...  runs COMMAND in a session of its own
#
# CTest starts one for each run and stops it at the end (tests/wine_session/).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$here/../.." && pwd)}
. "$here/wine-env.sh"
tool=$here/wine-tool.sh

stop() {
    [ -f "$1" ] || return 0
    prefix=$(sed -n 's/^prefix=//p' "$1")
    xvfb=$(sed -n 's/^xvfb=//p' "$1")
    WINEPREFIX=${prefix:-$WINEPREFIX} wineserver -k 2>/dev/null || true
    WINEPREFIX=${prefix:-$WINEPREFIX} timeout 60 wineserver -w 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -f "$1"
}

start() {
    stop "$1"
    # A server still running would keep its desktop on the display it started with.
    wineserver -k 2>/dev/null || true
    timeout 60 wineserver -w 2>/dev/null || true
    xvfb=
    if [ -z "${DISPLAY:-}" ] || [ -n "${ZANTHEL_XVFB:-}" ]; then
        number=$(mktemp)
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" </dev/null >/dev/null 2>&1 &
        xvfb=$!
        waited=0
        until [ -s "$number" ]; do
            if ! kill -0 "$xvfb" 2>/dev/null || [ "$waited" -ge 100 ]; then
                rm -f "$number"
                echo "wine-session: Xvfb did not start" >&2
                return 1
            fi
            sleep 0.1
            waited=$((waited + 1))
        done
        DISPLAY=:$(cat "$number")
        rm -f "$number"
    fi
    export DISPLAY
    mkdir -p "$(dirname "$1")"
    printf 'display=%s\nxvfb=%s\nprefix=%s\n' "$DISPLAY" "$xvfb" "$WINEPREFIX" >"$1"
    ZANTHEL_SESSION=$1
    export ZANTHEL_SESSION

    # The desktop process keeps the mode it started in while the server runs,
    # so the virtual desktop is set before the persistent server below starts.
    # HKCU is one view for 32- and 64-bit programs.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$(dirname "$WINEPREFIX")"
        wineboot -i >/dev/null 2>&1
        "$tool" 64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        "$tool" 64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
        timeout 120 wineserver -w || true
    fi
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # A crashing program should end, not wait in Wine's debugger until a
    # timeout. Each architecture reads its own view of this key.
    for view in 32 64; do
        "$tool" 64 reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
            "/reg:$view" </dev/null >/dev/null 2>&1 || true
    done
    "$tool" 32 cmd /c exit </dev/null >/dev/null 2>&1
    "$tool" 64 cmd /c exit </dev/null >/dev/null 2>&1
}

usage="usage: wine-session.sh start STATE | stop STATE | run COMMAND..."
case ${1:-} in
    start | stop)
        [ $# -eq 2 ] || { echo "$usage" >&2; exit 2; }
        "$1" "$2"
        ;;
    run)
        shift
        [ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }
        state=$(mktemp)
        trap 'stop "$state"' EXIT
        trap 'exit 130' INT
        trap 'exit 143' TERM
        start "$state"
        status=0
        "$@" || status=$?
        exit "$status"
        ;;
    *) echo "$usage" >&2; exit 2 ;;
esac
