#!/bin/sh
# Zanthel without registration: regfree_host, whose own manifest names the
# Zanthel.Server assembly, runs beside Zanthel.dll and Zanthel.Server.manifest
# in a Wine prefix where nothing of Zanthel was ever registered.
#
#   run.sh prepare                    creates that prefix once (a minute at most)
#   run.sh <build dir> 32|64          runs the host of that build in it
#
# Under Wine 8 the host creates both classes by CLSID and by ProgID, loads the
# first type library by its GUID and receives a Click through the events'
# connection point. CLSIDFromProgID answers a per-run alias of the class
# (which creates it), and the type library in the DLL's second resource is
# not found (Wine's lookup answers the DLL without the resource number).
set -u
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
# Its own prefix: the session's has everything registered.
WINEPREFIX=$ZANTHEL_ROOT/build/wineprefix-regfree
. "$ZANTHEL_ROOT/scripts/lib/wine-env.sh"

if [ "${1:-}" = prepare ]; then
    [ -f "$WINEPREFIX/system.reg" ] && exit 0
    timeout 240 wineboot -i </dev/null >/dev/null 2>&1
    # A crash ends the host instead of waiting in Wine's debugger.
    for view in 32 64; do
        timeout 60 /usr/lib/wine/wine64 reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /f "/reg:$view" </dev/null >/dev/null 2>&1
    done
    timeout 60 wineserver -w
    [ -f "$WINEPREFIX/system.reg" ]
    exit
fi

build=${1:?usage: run.sh prepare | run.sh <build dir> 32|64}
bits=${2:?usage: run.sh prepare | run.sh <build dir> 32|64}
folder=$WINEPREFIX/drive_c/regfree-$bits
rm -rf "$folder"
mkdir -p "$folder"
cp "$build/regfree_host.exe" "$build/Zanthel.dll" "$build/Zanthel.Server.manifest" "$folder/" || exit 1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
(cd "$folder" && timeout 60 wine regfree_host.exe </dev/null >"$log" 2>&1)
tr -d '\r' <"$log" | tee "$folder/output.txt"
clsid='{F10E18D1-7FD9-4FCB-A502-A4EBD416FEE0}'
if timeout 30 /usr/lib/wine/wine64 reg query "HKCR\\CLSID\\$clsid" "/reg:$bits" </dev/null >/dev/null 2>&1; then
    echo "FAIL classTray is registered in $WINEPREFIX: delete the prefix to make it again"
    exit 1
fi
# The host ran to its end, received the Click, and failed no step but the one Wine lacks.
grep -qx 'ok      event Click' "$folder/output.txt" && grep -qx '[0-9]* failed' "$folder/output.txt" &&
    ! grep '^FAILED' "$folder/output.txt" | grep -vF 'LoadRegTypeLib(ZanthelNotify 1.1): 0x8002801D' ||
    { echo "FAIL the host did not do all it should without registration ($bits-bit)"; exit 1; }
! grep -q '^FAILED' "$folder/output.txt" ||
    echo "note Wine finds no type library in the DLL's second resource through the manifest"
! grep -q 'an alias of the class' "$folder/output.txt" ||
    echo "note CLSIDFromProgID answered an alias of the class, not its CLSID (Wine's activation context)"
