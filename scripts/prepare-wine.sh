#!/bin/sh
# Creates the private Wine prefix on first use, gives it a virtual desktop
# (its taskbar holds the notification area), and starts Wine's background
# processes once, so that test programs do not each wait for them.
set -eu
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
. "$ZANTHEL_ROOT/scripts/wine-env.sh"

# The desktop process keeps the mode it started in while the server runs,
# so the virtual desktop is set before the persistent server below starts.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
fi
# Fails harmlessly when a server for the prefix is already running.
wineserver -p </dev/null >/dev/null 2>&1 || true
# A crashing program should end, not wait in Wine's debugger until a timeout.
wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1
