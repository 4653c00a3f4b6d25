#!/bin/sh
# The 32-bit and the 64-bit Zanthel.dll registered in one 64-bit prefix: each
# registration lands in its own architecture's registry view, pointing at its
# own file; a 32-bit and a 64-bit script host each create both classes by
# their ProgIDs; unregistering either DLL leaves the other one creatable, and
# unregistering the only one, machine-wide or per user, leaves no key of ours
# in either view.
# Usage: side_by_side.sh <64-bit Zanthel.dll> <32-bit Zanthel.dll>
set -u
dll64=${1:?usage: side_by_side.sh <64-bit Zanthel.dll> <32-bit Zanthel.dll>}
dll32=${2:?usage: side_by_side.sh <64-bit Zanthel.dll> <32-bit Zanthel.dll>}
here=$(cd "$(dirname "$0")" && pwd)
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$here/../.." && pwd)}
. "$ZANTHEL_ROOT/scripts/lib/wine-env.sh"
tool=$ZANTHEL_ROOT/scripts/lib/wine-tool.sh

if [ ! -f "$dll32" ]; then
    echo "SKIP: no 32-bit build at $dll32 (build the win32 preset first)"
    exit 77
fi
path64=$(timeout 30 winepath -w "$dll64")
path32=$(timeout 30 winepath -w "$dll32")
script=$(timeout 30 winepath -w "$here/create.vbs")
server='CLSID\{F10E18D1-7FD9-4FCB-A502-A4EBD416FEE0}\InprocServer32'
. "$ZANTHEL_ROOT/tests/support/check.sh"

# The server's file in the 32- or 64-bit view of HKCR or another classes tree, or "none".
server_in_view() {
    timeout 30 "$tool" 64 reg query "${2:-HKCR}\\$server" /ve "/reg:$1" 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *(Default) *REG_SZ *//p' | grep . || echo none
}

# "created" when the script host of that architecture creates the ProgID's class.
create_from() {
    if timeout 60 "$tool" "$1" cscript //nologo "$script" "$2" </dev/null 2>&1 | tr -d '\r' | grep -qx ZANTHEL-CREATED; then
        echo created
    else
        echo "not created"
    fi
}

register() { timeout 60 "$tool" "$1" regsvr32 /s "$2" || echo "regsvr32 $2 failed"; }
unregister() { timeout 60 "$tool" "$1" regsvr32 /s /u "$2" || echo "regsvr32 /u $2 failed"; }

# Our keys left under a classes tree, in either registry view, or "none".
leftovers() {
    found=
    for key in 'CLSID\{F10E18D1-7FD9-4FCB-A502-A4EBD416FEE0}' 'Interface\{255303FC-DB0E-4A3C-A0BE-1F532BA54289}' \
        'TypeLib\{523C9B63-E39D-43F2-89E9-BC52ACAF8220}' Zanthel.classTray \
        'CLSID\{32F47B91-0869-40E1-8864-78D847A3534E}' 'Interface\{D65FDAAB-7FB0-43E4-A050-7228510BE9BB}' \
        'Interface\{E142EF95-8AB1-4F76-9E31-4A1E9C80CD38}' 'TypeLib\{CBA33684-8FF9-404A-A932-BDBE32C1F40D}' \
        'Interface\{59FF6850-4B78-4FC6-A88C-B17750321DE1}' 'Interface\{18C22D39-C991-4B7E-BA48-1C458FB54637}' \
        Zanthel.NotifyIcon.1 Zanthel.NotifyIcon; do
        for view in 32 64; do
            timeout 30 "$tool" 64 reg query "$1\\$key" "/reg:$view" >/dev/null 2>&1 && found="$found $key/reg:$view"
        done
    done
    echo "${found:-none}"
}

# Each DLL registered alone and unregistered again.
unregister 64 "$path64"
unregister 32 "$path32"
for bits in 32 64; do
    eval "path=\$path$bits"
    register "$bits" "$path"
    unregister "$bits" "$path"
    check "$(leftovers 'HKLM\Software\Classes')" none "the $bits-bit DLL alone leaves no key after unregistering"
done

register 64 "$path64"
register 32 "$path32"
check "$(server_in_view 64)" "$path64" "the 64-bit view names the 64-bit DLL"
check "$(server_in_view 32)" "$path32" "the 32-bit view names the 32-bit DLL"
for class in Zanthel.classTray Zanthel.NotifyIcon; do
    check "$(create_from 64 $class)" created "a 64-bit host creates $class"
    check "$(create_from 32 $class)" created "a 32-bit host creates $class"
done

# Per user beside both machine-wide registrations (regsvr32 /n /i:user).
for bits in 32 64; do
    eval "path=\$path$bits"
    timeout 60 "$tool" "$bits" regsvr32 /s /n /i:user "$path" || echo "regsvr32 /n /i:user $path failed"
    check "$(server_in_view "$bits" 'HKCU\Software\Classes')" "$path" "the $bits-bit DLL registers for the user"
    timeout 60 "$tool" "$bits" regsvr32 /s /u /n /i:user "$path" || echo "regsvr32 /u /n /i:user $path failed"
    check "$(leftovers 'HKCU\Software\Classes')" none "and unregistering it leaves no key of the user's"
done

unregister 32 "$path32"
check "$(server_in_view 32)" none "unregistering the 32-bit DLL empties the 32-bit view"
check "$(server_in_view 64)" "$path64" "and keeps the 64-bit view"
for class in Zanthel.classTray Zanthel.NotifyIcon; do
    check "$(create_from 32 $class)" "not created" "a 32-bit host then cannot create $class"
    check "$(create_from 64 $class)" created "a 64-bit host still creates $class"
done

register 32 "$path32"
unregister 64 "$path64"
check "$(server_in_view 64)" none "unregistering the 64-bit DLL empties the 64-bit view"
for class in Zanthel.classTray Zanthel.NotifyIcon; do
    check "$(create_from 32 $class)" created "a 32-bit host still creates $class"
done

# Other tests expect the DLLs registered.
register 64 "$path64"
echo "side by side: $failures failures"
[ "$failures" -eq 0 ]
