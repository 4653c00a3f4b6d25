# Sourced: points Wine at the project's private 64-bit prefix, which runs the
# 32-bit and the 64-bit DLL side by side, and keeps it quiet. The sourcing
# script sets ZANTHEL_ROOT first. Under CTest, ZANTHEL_SESSION names the
# state of the run's Wine session (lib/wine-session.sh): its display is the
# one the prefix's desktop lives on, so every program of the run uses it.
: "${ZANTHEL_ROOT:?set ZANTHEL_ROOT to the repository before sourcing wine-env.sh}"
# A name of its own, so that an older 32-bit prefix at build/wineprefix is
# never reused: Wine refuses to run a prefix with another architecture.
: "${WINEPREFIX:=$ZANTHEL_ROOT/build/wineprefix64}"
WINEARCH=win64
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export ZANTHEL_ROOT WINEARCH WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
if [ -n "${ZANTHEL_SESSION:-}" ] && [ -f "$ZANTHEL_SESSION" ]; then
    DISPLAY=$(sed -n 's/^display=//p' "$ZANTHEL_SESSION")
    export DISPLAY
fi
