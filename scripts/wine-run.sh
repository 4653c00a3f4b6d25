#!/bin/sh
# Runs a Windows program under Wine in the project's private prefix.
# CTest uses this as the cross-compiling emulator.
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
. "$ZANTHEL_ROOT/scripts/wine-env.sh"
exec wine "$@"
