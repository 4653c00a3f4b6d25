#!/bin/sh
# Registers Zanthel.dll in the project's Wine prefix and runs a VBScript
# client (late_binding.vbs unless named) under Wine's cscript of the DLL's
# architecture (32 or 64): a script host loads only an in-process server of
# its own kind. cscript exits 0 even after an uncaught script error, so the
# test passes only when the script's end marker reports no failures and its
# exit code is 0.
# Usage: run.sh <path to Zanthel.dll> 32|64 [script [file...]]; the files
# reach the script as its arguments, in Windows form.
set -u
dll=${1:?usage: run.sh <path to Zanthel.dll> 32|64 [script [file...]]}
bits=${2:?usage: run.sh <path to Zanthel.dll> 32|64 [script [file...]]}
name=${3:-late_binding.vbs}
shift $(($# < 3 ? $# : 3))
here=$(cd "$(dirname "$0")" && pwd)
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$here/../.." && pwd)}
. "$ZANTHEL_ROOT/scripts/wine-env.sh"
tool=$ZANTHEL_ROOT/scripts/wine-tool.sh

if ! timeout 60 "$tool" "$bits" regsvr32 /s "$(timeout 30 winepath -w "$dll")"; then
    echo "regsvr32 could not register $dll"
    exit 1
fi

script=$(timeout 30 winepath -w "$here/$name")
for file in "$@"; do
    set -- "$@" "$(timeout 30 winepath -w "$file")"
    shift
done
log=$(mktemp)
trap 'rm -f "$log"' EXIT
timeout 120 "$tool" "$bits" cscript //nologo "$script" "$@" </dev/null >"$log"
status=$?
out=$(tr -d '\r' <"$log")
printf '%s\n' "$out"

if [ "$status" -eq 124 ]; then
    echo "cscript did not finish within 120 s"
    exit 1
fi
if ! printf '%s\n' "$out" | grep -qx 'ZANTHEL-VBS-END failures=0'; then
    echo "the script did not reach its end marker with no failures"
    exit 1
fi
if [ "$status" -ne 0 ]; then
    echo "cscript exited with $status"
    exit 1
fi
