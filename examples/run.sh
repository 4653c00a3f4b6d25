#!/bin/sh
# Runs one example as a host would: registers Zanthel.dll in the project's
# Wine prefix, then runs a script under cscript or a program under Wine.
# A script passes only when it prints ZANTHEL-EXAMPLE-END and exits 0 (Wine's
# cscript exits 0 even after an uncaught error); a program passes when it
# exits 0. Usage: run.sh <path to Zanthel.dll> <example.vbs | example.exe>
set -u
dll=${1:?usage: run.sh <Zanthel.dll> <example.vbs | example.exe>}
example=${2:?usage: run.sh <Zanthel.dll> <example.vbs | example.exe>}
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
. "$ZANTHEL_ROOT/scripts/wine-env.sh"

# A host loads only a DLL of its own bitness, so regsvr32 and cscript are
# taken from the DLL's: the PE header's machine field (at the offset stored
# at 0x3c, plus 4) is 8664 for x86-64. In a 64-bit prefix the 32-bit tools
# live in syswow64.
pe=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
if [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$dll" | tr -d ' ')" = 8664 ]; then
    loader=/usr/lib/wine/wine64 tools='C:\windows\system32'
elif [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
    loader=wine tools='C:\windows\syswow64'
else
    loader=wine tools='C:\windows\system32'
fi

if ! timeout 60 "$loader" "$tools\\regsvr32.exe" /s "$(timeout 30 winepath -w "$dll")"; then
    echo "regsvr32 could not register $dll"
    exit 1
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
case $example in
*.vbs) timeout 120 "$loader" "$tools\\cscript.exe" //nologo "$(timeout 30 winepath -w "$example")" </dev/null >"$log" 2>&1 ;;
*) timeout 120 "$loader" "$example" </dev/null >"$log" 2>&1 ;;
esac
status=$?
tr -d '\r' <"$log"

if [ "$status" -eq 124 ]; then
    echo "$example did not finish within 120 s"
    exit 1
fi
case $example in
*.vbs)
    if ! tr -d '\r' <"$log" | grep -qx ZANTHEL-EXAMPLE-END; then
        echo "the script stopped before its end marker"
        exit 1
    fi
    ;;
esac
if [ "$status" -ne 0 ]; then
    echo "$example exited with $status"
    exit 1
fi
