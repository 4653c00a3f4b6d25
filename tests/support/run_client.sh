#!/bin/sh
# Registers Zanthel.dll in the project's Wine prefix and runs one client as a
# host would, in the DLL's architecture (32 or 64): a script under Wine's
# cscript of that architecture (a script host loads only an in-process server
# of its own kind), a program under wine. It passes when the client exits 0
# and, for a script, prints its end marker with no failures
# (ZANTHEL-...-END, optionally "failures=0"): Wine's cscript exits 0 even
# after an uncaught script error.
# Usage: run_client.sh <Zanthel.dll> 32|64 <client.vbs | client.exe> [file...];
# the files reach the client as arguments, in Windows form.
set -u
usage="usage: run_client.sh <Zanthel.dll> 32|64 <client.vbs | client.exe> [file...]"
dll=${1:?$usage}
bits=${2:?$usage}
client=${3:?$usage}
shift 3
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
. "$ZANTHEL_ROOT/scripts/lib/wine-env.sh"
tool=$ZANTHEL_ROOT/scripts/lib/wine-tool.sh

if ! timeout 60 "$tool" "$bits" regsvr32 /s "$(timeout 30 winepath -w "$dll")"; then
    echo "regsvr32 could not register $dll"
    exit 1
fi

for file in "$@"; do
    set -- "$@" "$(timeout 30 winepath -w "$file")"
    shift
done
log=$(mktemp)
trap 'rm -f "$log"' EXIT
case $client in
    *.vbs) timeout 120 "$tool" "$bits" cscript //nologo "$(timeout 30 winepath -w "$client")" "$@" </dev/null >"$log" 2>&1 ;;
    *) timeout 120 wine "$client" "$@" </dev/null >"$log" 2>&1 ;;
esac
status=$?
tr -d '\r' <"$log"

if [ "$status" -eq 124 ]; then
    echo "$client did not finish within 120 s"
    exit 1
fi
case $client in
    *.vbs)
        if ! tr -d '\r' <"$log" | grep -qxE 'ZANTHEL-[A-Z]+-END( failures=0)?'; then
            echo "the script did not reach its end marker with no failures"
            exit 1
        fi
        ;;
esac
if [ "$status" -ne 0 ]; then
    echo "$client exited with $status"
    exit 1
fi
