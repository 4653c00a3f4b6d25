# Sourced by the real-click tests, whose arguments are BUILD_DIR 32|64 (the
# build's demo host and DLL are 32- or 64-bit): skips without an X display,
# registers the build's Zanthel.dll and gives host, out_dir (for the host's
# output and screenshots: BUILD_DIR/clicks/<the test's name>), fail,
# start_host and end_host.
build_dir=$(cd "${1:?usage: $0 BUILD_DIR 32|64}" && pwd)
bits=${2:?usage: $0 BUILD_DIR 32|64}
ZANTHEL_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ZANTHEL_ROOT/scripts/lib/wine-env.sh"
. "$ZANTHEL_ROOT/scripts/lib/tray-clicks.sh"

if [ -z "${DISPLAY:-}" ]; then
    echo "SKIP: no X display (CTest's wine_session_start gives one)"
    exit 77
fi
host=demo_host.exe
out_dir=$build_dir/clicks/$(basename "$0" .sh)
mkdir -p "$out_dir"
rm -f "$out_dir"/*.png "$out_dir"/*.txt

# The running host and the file its output goes to.
host_pid=
output=/dev/null
fail() {
    echo "FAIL: $*"
    tray_screenshot "$out_dir/failure.png" && echo "Screenshot at failure: $out_dir/failure.png"
    echo "--- host output ---"
    tr -d '\r' <"$output"
    [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
    exit 1
}

cd "$build_dir" || exit 1
"$ZANTHEL_ROOT/scripts/lib/wine-tool.sh" "$bits" regsvr32 /s Zanthel.dll || fail "regsvr32 Zanthel.dll"

# start_host NAME SECONDS OPTION...: runs the demo host with the OPTIONs for
# at most SECONDS, its output in out_dir/NAME.txt, and waits until its icon
# shows in the taskbar.
start_host() {
    output=$out_dir/$1.txt
    _sh_seconds=$2
    shift 2
    timeout $((_sh_seconds + 15)) wine "$host" --seconds "$_sh_seconds" "$@" >"$output" 2>&1 &
    host_pid=$!
    tray_wait_line 30 "$output" "Icon loaded" || fail "the host $1 did not load the icon"
    tray_wait 15 tray_icon_drawn || fail "no icon in the taskbar for the host $1"
}

# end_host WHAT: waits for the host to end, and fails unless it ended well.
end_host() {
    wait "$host_pid" || fail "$1 ended with status $?"
    host_pid=
}
