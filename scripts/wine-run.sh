#!/bin/sh
# Runs a Windows program under Wine in the project's private prefix.
# CTest uses this as the cross-compiling emulator.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
exec wine "$@"
