#!/bin/sh
# Zanthel.Server.manifest says what regsvr32 writes: each class's ProgIDs,
# threading model and type library, each type library's version, and each
# interface's type library, as the registry of the session's prefix holds
# them once the DLL of the same build is registered.
# Usage: matches_registration.sh <build dir> 32|64
set -u
build=${1:?usage: matches_registration.sh <build dir> 32|64}
bits=${2:?usage: matches_registration.sh <build dir> 32|64}
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
. "$ZANTHEL_ROOT/scripts/lib/wine-env.sh"
tool=$ZANTHEL_ROOT/scripts/lib/wine-tool.sh
manifest=$build/Zanthel.Server.manifest
timeout 60 "$tool" "$bits" regsvr32 /s "$(timeout 30 winepath -w "$build/Zanthel.dll")" ||
    { echo "regsvr32 could not register $build/Zanthel.dll"; exit 1; }
failures=0

# The value of a key (its default when no name is given) in the view of the DLL's architecture.
value() {
    if [ -n "${2:-}" ]; then set -- "$1" /v "$2"; else set -- "$1" /ve; fi
    timeout 30 "$tool" "$bits" reg query "HKCR\\$1" "$2" ${3:+"$3"} </dev/null 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *[^ ]* *REG_SZ *//p'
}
check() {
    if [ "$1" = "$2" ]; then
        echo "ok   $3"
    else
        echo "FAIL $3: the registry has '$1', the manifest '$2'"
        failures=$((failures + 1))
    fi
}
attribute() { printf '%s\n' "$1" | sed -n "s/.* $2=\"\([^\"]*\)\".*/\1/p"; }

classes=$(grep -c '<comClass ' "$manifest")
[ "$classes" -eq 2 ] || { echo "FAIL the manifest lists $classes classes, not 2"; failures=$((failures + 1)); }
grep '<comClass ' "$manifest" | while read -r line; do
    clsid=$(attribute "$line" clsid)
    check "$(value "CLSID\\$clsid\\ProgID")" "$(attribute "$line" progid)" "$clsid's ProgID"
    check "$(value "CLSID\\$clsid\\InprocServer32" ThreadingModel)" "$(attribute "$line" threadingModel)" \
        "$clsid's threading model"
    check "$(value "CLSID\\$clsid\\TypeLib")" "$(attribute "$line" tlbid)" "$clsid's type library"
    independent=$(awk -v clsid="clsid=\"$clsid\"" 'index($0, clsid) { inside = $0 !~ /\/>$/; next }
        inside && /<\/comClass>/ { inside = 0 }
        inside { sub(/.*<progid>/, ""); sub(/<\/progid>.*/, ""); print }' "$manifest")
    check "$(value "CLSID\\$clsid\\VersionIndependentProgID")" "$independent" "$clsid's version-independent ProgID"
done | tee "$build/regfree-registration.log"
grep '<typelib ' "$manifest" | while read -r line; do
    tlbid=$(attribute "$line" tlbid) version=$(attribute "$line" version)
    check "$(value "TypeLib\\$tlbid\\$version" | grep -c .)" 1 "$tlbid $version is a registered version"
done | tee -a "$build/regfree-registration.log"
grep '<comInterfaceExternalProxyStub ' "$manifest" | while read -r line; do
    iid=$(attribute "$line" iid)
    check "$(value "Interface\\$iid\\TypeLib")" "$(attribute "$line" tlbid)" "$(attribute "$line" name)'s type library"
done | tee -a "$build/regfree-registration.log"
! grep -q '^FAIL' "$build/regfree-registration.log" && [ "$failures" -eq 0 ]
