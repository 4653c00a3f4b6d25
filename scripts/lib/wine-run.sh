#!/bin/sh
# Runs a Windows program under Wine in the project's private prefix.
# CTest uses this as the cross-compiling emulator of both presets: `wine`
# starts a 32-bit .exe as 32-bit and a 64-bit one as 64-bit.
here=$(cd "$(dirname "$0")" && pwd)
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$here/../.." && pwd)}
. "$here/wine-env.sh"
exec wine "$@"
