#!/bin/sh
# Creates the private Wine prefix on first use, gives it a virtual desktop
# (its taskbar holds the notification area), and starts Wine's background
# processes once, so that test programs do not each wait for them.
set -eu
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
. "$ZANTHEL_ROOT/scripts/wine-env.sh"
tool=$ZANTHEL_ROOT/scripts/wine-tool.sh

# The desktop process keeps the mode it started in while the server runs,
# so the virtual desktop is set before the persistent server below starts.
# HKCU is one view for 32- and 64-bit programs.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1
    "$tool" 64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$tool" 64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
fi
# Fails harmlessly when a server for the prefix is already running.
wineserver -p </dev/null >/dev/null 2>&1 || true
# A crashing program should end, not wait in Wine's debugger until a timeout.
# Each architecture reads its own view of this key.
for view in 32 64; do
    "$tool" 64 reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
        "/reg:$view" </dev/null >/dev/null 2>&1 || true
done
"$tool" 32 cmd /c exit </dev/null >/dev/null 2>&1
"$tool" 64 cmd /c exit </dev/null >/dev/null 2>&1
