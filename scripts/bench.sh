#!/bin/sh
# Builds the benchmark programs for each architecture that has a CMake preset
# and prints, under Wine, each figure beside its reference and its target:
# late- and early-bound mnuEvent reads against a plain type-information
# dispatcher, a fresh process's first LoadTray against a minimal tray program,
# a fresh process's first NotifyIcon shown against a minimal version-4 icon
# program, AppendMenu per item at 10,000 items against at 100, a NotifyIcon
# event from the callback message to a sink against a plain window procedure
# that calls the sink for the same message (alone, and as a host's clicks
# come: in chunks, with what each window posted to itself run after each
# chunk), NextEvent polls against mnuEvent
# reads, and the DLL's size and imports (programs in bench/timings/). Timings
# are medians of interleaved repetitions; the leak figures are
# scripts/stress.sh's soaks.
#
#   scripts/bench.sh [repetitions]    (default 7; AppendMenu takes 3)
#
# ZANTHEL_BUILD_ROOT=dir builds in dir/<preset> instead of the presets' own
# folders; WINEPREFIX picks another prefix, as everywhere.
set -eu
ZANTHEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export ZANTHEL_ROOT
cd "$ZANTHEL_ROOT"
repetitions=${1:-7}

scripts/install-deps.sh
. scripts/lib/preset-build-dir.sh
runs=""
for preset in win32 win64; do
    preset_build_dir "$preset"
    cmake --build "$build_dir" --target bench_probe
    runs="$runs $preset:$(cd "$build_dir" && pwd)"
done

ZANTHEL_XVFB=${ZANTHEL_XVFB:-1} exec scripts/lib/wine-session.sh run sh -c '
    set -u
    repetitions=$1
    shift
    . scripts/lib/wine-env.sh
    row() {  # figure, Zanthel, reference, unit, target ratio
        awk -v f="$1" -v z="$2" -v r="$3" -v u="$4" -v t="$5" "BEGIN {
            ratio = r > 0 ? z / r : 0
            printf \"  %-44s %10.4g %-2s %10.4g %-2s %7.2fx   <= %-5s %s\n\", f, z, u, r, u, ratio, t \"x\", (ratio <= t ? \"met\" : \"not met\")
        }"
    }
    for run in "$@"; do
        preset=${run%%:*}
        dir=${run#*:}
        echo "== $preset ($dir) =="
        dispatch=$(cd "$dir" && wine bench_probe.exe dispatch "$repetitions" 2>&1 | tr -d "\r") || true
        if ! echo "$dispatch" | grep -q "^invoke_mnuEvent "; then
            printf "  cannot run %s programs in %s (WINEARCH=%s):\n" "$preset" "$WINEPREFIX" "$WINEARCH"
            printf "%s\n" "$dispatch" | head -3 | sed "s/^/    /"
            continue
        fi
        fresh=$(cd "$dir" && wine bench_probe.exe fresh "$repetitions" | tr -d "\r")
        append=$(cd "$dir" && wine bench_probe.exe append 3 | tr -d "\r")
        notify=$(cd "$dir" && wine bench_probe.exe notify "$repetitions" 2>&1 | tr -d "\r")
        printf "  %-44s %13s %13s %8s   %s\n" figure Zanthel reference ratio target
        set -- $(echo "$dispatch" | grep "^invoke_mnuEvent ")
        row "mnuEvent read through IDispatch::Invoke" "$2" "$3" "$4" 1.5
        set -- $(echo "$dispatch" | grep "^vtable_mnuEvent ")
        row "get_mnuEvent through the vtable" "$2" "$3" "$4" 1.5
        set -- $(echo "$fresh" | grep "^fresh_process ")
        row "fresh process: class object, tip, LoadTray" "$2" "$3" "$4" 1.5
        set -- $(echo "$fresh" | grep "^notify_startup ")
        row "fresh process: NotifyIcon, tip, Visible" "$2" "$3" "$4" 1.2
        set -- $(echo "$append" | grep "^append_per_item ")
        row "AppendMenu per item: at 10,000 / at 100" "$2" "$3" "$4" 2
        # Both sides pay the same SendMessageW and the same sink Invoke; the
        # target allows the queue entry and the connection point. 1.2x is
        # reachable only if the queue keeps events without allocating.
        if echo "$notify" | grep -q "^invoke_NextEvent "; then
            set -- $(echo "$notify" | grep "^notify_event ")
            row "event: callback message to sink Invoke" "$2" "$3" "$4" 1.5
            # The same sink and queue (full, as for any host that never
            # drains it), in chunks of 5,000 clicks, each chunk timed with
            # the messages its window posted to itself.
            set -- $(echo "$notify" | grep "^host_click ")
            row "event as a host sees it: clicks in chunks" "$2" "$3" "$4" 1.3
            set -- $(echo "$notify" | grep "^invoke_NextEvent ")
            row "NextEvent (empty) against mnuEvent, Invoke" "$2" "$3" "$4" 1.5
            set -- $(echo "$notify" | grep "^submenu_choice ")
            row "menu choice 3 submenus deep / at the top" "$2" "$3" "$4" 1.2
        else
            printf "  %-44s %s\n" "NotifyIcon events" "not measured: $(echo "$notify" | tail -1)"
        fi

        case $preset in *64*) objdump=x86_64-w64-mingw32-objdump limit=100 ;; *) objdump=i686-w64-mingw32-objdump limit=100 ;; esac
        bytes=$(stat -c %s "$dir/Zanthel.dll")
        awk -v b="$bytes" -v l="$limit" "BEGIN {
            printf \"  %-44s %10.1f KB (%d bytes)            <= %d KB  %s\n\", \"Zanthel.dll size\", b / 1024, b, l, (b <= l * 1024 ? \"met\" : \"not met\")
        }"
        imports=$($objdump -p "$dir/Zanthel.dll" | sed -n "s/^[[:space:]]*DLL Name: //p" | tr "\n" " ")
        # Runtime DLLs of the compiler (libstdc++, libgcc, winpthread) would
        # have to ship with the DLL; the rest come with Windows.
        foreign=$(echo "$imports" | tr " " "\n" | grep -v "^$" | grep -ivE \
            "^(kernel32|user32|gdi32|ole32|oleaut32|shell32|advapi32|msvcrt|ucrtbase|comctl32|shlwapi|version|ntdll|rpcrt4)\.dll$|^api-ms-win-" || true)
        printf "  %-44s %s\n" "imports" "$imports"
        if [ -z "$foreign" ]; then verdict=met; else verdict="not met: $(echo $foreign)"; fi
        printf "  %-44s %-34s %s\n" "" "target: system DLLs only" "$verdict"
    done
' sh "$repetitions" $runs
