# Sourced: points Wine at the project's private 32-bit prefix and keeps it
# quiet. The sourcing script sets ZANTHEL_ROOT first.
: "${ZANTHEL_ROOT:?set ZANTHEL_ROOT to the repository before sourcing wine-env.sh}"
: "${WINEPREFIX:=$ZANTHEL_ROOT/build/wineprefix}"
: "${WINEARCH:=win32}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export ZANTHEL_ROOT WINEARCH WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
