#!/bin/sh
# Runs a host script against the built Zanthel.dll: builds the DLL of the
# preset (win32 unless named), registers it in the demo's private Wine prefix
# and runs the script under Wine's cscript of the DLL's architecture (a
# script host loads only an in-process server of its own kind), on your
# display or, when DISPLAY is unset, on a private Xvfb.
#
#   scripts/try.sh FILE.vbs|FILE.js [win32|win64]
#
# The script's output is printed as it comes. Wine's cscript neither prints a
# script's error nor fails on one, so this script does: it reports a script
# that does not compile, a JScript exception with its code and line, and a
# VBScript run-time error (for which Wine tells no line or text; Windows'
# cscript does), and then exits 1. WScript.Quit's code is kept.
set -eu
ZANTHEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export ZANTHEL_ROOT
usage() {
    echo "usage: scripts/try.sh FILE.vbs|FILE.js [win32|win64]" >&2
    exit 2
}
inside=
[ "${1:-}" = --inside-session ] && inside=1 && shift
case $# in 1 | 2) ;; *) usage ;; esac
script=$1 preset=${2:-win32}
case $script in *.vbs | *.js | *.VBS | *.JS) ;; *) usage ;; esac
case $preset in
    win32) bits=32 ;;
    win64) bits=64 ;;
    *) usage ;;
esac
[ -f "$script" ] || { echo "try: no file $script" >&2; exit 2; }
script=$(cd "$(dirname "$script")" && pwd)/$(basename "$script")
cd "$ZANTHEL_ROOT"

if [ -z "$inside" ]; then
    scripts/build.sh "$preset" --target Zanthel >/dev/null
    exec scripts/lib/wine-session.sh run "$0" --inside-session "$script" "$preset"
fi

. scripts/lib/wine-env.sh
tool=$ZANTHEL_ROOT/scripts/lib/wine-tool.sh
build_dir=$ZANTHEL_ROOT/build/$preset
(cd "$build_dir" && timeout 60 "$tool" "$bits" regsvr32 /s Zanthel.dll) ||
    { echo "try: regsvr32 could not register $build_dir/Zanthel.dll" >&2; exit 1; }
echo "Registered the $bits-bit $build_dir/Zanthel.dll; running $script" >&2

errors=$(mktemp)
# The script host's and JScript's own traces are where Wine tells of a script's failure.
code=$(mktemp)
trap 'rm -f "$errors" "$code"' EXIT
{
    WINEDEBUG=-all,fixme+wscript,warn+jscript "$tool" "$bits" cscript //nologo "$(winepath -w "$script")" \
        </dev/null 2>"$errors" && echo 0 >"$code" || echo $? >"$code"
} | tr -d '\r'
status=$(cat "$code")
tr -d '\r' <"$errors" | grep -vE '^[0-9a-f]+:(fixme|warn|err|trace):' >&2 || true
failed=
if grep -q 'ParseScriptText failed' "$errors"; then
    failed="the script does not compile"
elif grep -q 'jscript:unwind_exception' "$errors"; then
    code=$(sed -n 's/.*jscript:unwind_exception Exception \([0-9a-f]*\).*/\1/p' "$errors" | tail -n 1)
    line=$(sed -n 's/.*jscript:print_backtrace 0.* line \([0-9]*\) char.*/\1/p' "$errors" | tail -n 1)
    failed="JScript error 0x$code at line ${line:-?}"
elif grep -q 'OnScriptError' "$errors"; then
    failed="a run-time error stopped the script (Wine's cscript tells neither its line nor its text)"
fi
if [ -n "$failed" ]; then
    echo "try: $(basename "$script") failed: $failed" >&2
    [ "$status" -ne 0 ] || status=1
fi
exit "$status"
