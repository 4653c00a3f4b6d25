#!/bin/sh
# Installs what is missing and builds the win32 preset; arguments go to the
# build (for example --target soak_bench).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 "$@"
