# Sourced: points Wine at the project's private 32-bit prefix and keeps it quiet.
zanthel_root=$(cd "$(dirname "${0}")/.." 2>/dev/null && pwd)
: "${ZANTHEL_ROOT:=$zanthel_root}"
: "${WINEPREFIX:=$ZANTHEL_ROOT/build/wineprefix}"
: "${WINEARCH:=win32}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export ZANTHEL_ROOT WINEARCH WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
