#!/bin/sh
# Runs one of Wine's own programs (cscript, regsvr32, reg, cmd) in the
# project's prefix, in the given architecture. Debian's `wine` starts them in
# their 32-bit form even in a 64-bit prefix; our own programs need no choice,
# `wine` starts a 64-bit .exe as 64-bit.
# Usage: wine-tool.sh 32|64 PROGRAM [ARGUMENTS]
here=$(cd "$(dirname "$0")" && pwd)
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$here/../.." && pwd)}
. "$here/wine-env.sh"
bits=${1:-} program=${2:?usage: wine-tool.sh 32|64 PROGRAM [ARGUMENTS]}
shift 2
case $bits in
    32) exec wine "C:\\windows\\syswow64\\$program.exe" "$@" ;;
    64) exec /usr/lib/wine/wine64 "$program" "$@" ;;
    *) echo "wine-tool.sh: 32 or 64, not '$bits'" >&2; exit 2 ;;
esac
