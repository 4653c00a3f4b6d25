#!/bin/sh
# Zanthel's Windows Installer package, installed per machine by Wine's
# msiexec in a prefix of its own: both classes are created by their ProgIDs,
# the registry holds exactly the rows regsvr32 writes for the same DLL at the
# same place, and uninstalling leaves no key and no file. It installs over a
# package of an older version, which the new one must replace. The per-user
# package is then checked the same way (over its own 1.0.0) against
# regsvr32 /n /i:user, in HKCU.
#
#   run.sh prepare                        creates that prefix once
#   run.sh <build dir> 32|64 <version>    builds the build's package and checks it
set -u
here=$(cd "$(dirname "$0")" && pwd)
ZANTHEL_ROOT=${ZANTHEL_ROOT:-$(cd "$here/../.." && pwd)}
# Its own prefix: the session's has everything registered by regsvr32.
WINEPREFIX=$ZANTHEL_ROOT/build/wineprefix-msi
. "$ZANTHEL_ROOT/scripts/lib/wine-env.sh"
tool=$ZANTHEL_ROOT/scripts/lib/wine-tool.sh

if [ "${1:-}" = prepare ]; then
    [ -f "$WINEPREFIX/system.reg" ] && exit 0
    timeout 240 wineboot -i </dev/null >/dev/null 2>&1
    timeout 60 wineserver -w
    [ -f "$WINEPREFIX/system.reg" ]
    exit
fi

usage="usage: run.sh prepare | run.sh <build dir> 32|64 <version>"
build=${1:?$usage} bits=${2:?$usage} version=${3:?$usage}
command -v wixl >/dev/null || { echo "SKIP: no wixl (scripts/install-deps.sh installs it)"; exit 77; }
case $bits in 32) arch=x86 folder='Program Files (x86)' ;; *) arch=x64 folder='Program Files' ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/Zanthel.dll" "$work/" || exit 1
# package NAME VERSION [user]: builds the package C:\NAME.msi of this DLL.
package() {
    sh "$ZANTHEL_ROOT/packaging/wxs.sh" "$build/Zanthel.Server.manifest" "$2" "$arch" "${3:-machine}" >"$work/Zanthel.wxs" &&
        (cd "$work" && wixl --arch "$arch" -o "$WINEPREFIX/drive_c/$1.msi" Zanthel.wxs) ||
        { echo "FAIL wixl could not build the $arch package $2"; exit 1; }
}
package "Zanthel-$arch" "$version"
package "Zanthel-$arch-older" 1.0.0
package "Zanthel-$arch-user" "$version" user
package "Zanthel-$arch-user-older" 1.0.0 user
package="C:\\Zanthel-$arch.msi"
installed=$WINEPREFIX/drive_c/$folder/Zanthel/Zanthel.dll
. "$ZANTHEL_ROOT/tests/support/check.sh"

# Every key the manifest names (classes, ProgIDs, type libraries, interfaces).
keys=$(sed -n 's/.* clsid="\([^"]*\)".*/CLSID\\\1/p; s/.* progid="\([^"]*\)".*/\1/p; s/.*<progid>\(.*\)<\/progid>.*/\1/p;
    s/.* tlbid="\([^"]*\)" version.*/TypeLib\\\1/p; s/.* iid="\([^"]*\)".*/Interface\\\1/p' "$build/Zanthel.Server.manifest")
# Those keys' values in the DLL's registry view of HKLM (or HKCU), one "key|name|type|value" a line, sorted.
rows() {
    for key in $keys; do
        timeout 30 "$tool" 64 reg query "${1:-HKLM}\\Software\\Classes\\$key" /s "/reg:$bits" </dev/null 2>/dev/null
    done | tr -d '\r' | awk '/^HKEY/ { key = $0; next }
        /^    / { sub(/^    /, ""); n = index($0, "    "); name = substr($0, 1, n - 1); rest = substr($0, n + 4)
                  t = index(rest, "    "); value = substr(rest, t + 4)
                  # A folder property ends in a backslash, which names the same folder.
                  if (key ~ /\\HELPDIR$/) sub(/\\$/, "", value)
                  print key "|" name "|" substr(rest, 1, t - 1) "|" value }' |
        LC_ALL=C sort
}
create() {
    timeout 60 "$tool" "$bits" cscript //nologo "$(winepath -w "$ZANTHEL_ROOT/tests/registration/create.vbs")" "$1" \
        </dev/null 2>&1 | tr -d '\r' | grep -qx ZANTHEL-CREATED && echo created || echo "not created"
}

timeout 120 wine msiexec /i "C:\\Zanthel-$arch-older.msi" /qn </dev/null || echo "FAIL msiexec /i of 1.0.0"
timeout 120 wine msiexec /i "$package" /qn </dev/null || echo "FAIL msiexec /i $package"
check "$(test -f "$installed" && echo present)" present "the package installs $folder\\Zanthel\\Zanthel.dll"
for progid in Zanthel.classTray Zanthel.NotifyIcon; do
    check "$(create "$progid")" created "a $bits-bit script host creates $progid"
done
rows >"$work/package.rows"
timeout 120 wine msiexec /x "$package" /qn </dev/null || echo "FAIL msiexec /x $package"
# The older package's keys would stay had the upgrade not removed it.
check "$(rows | wc -l)" 0 "no key of ours is left after uninstalling"
check "$(test -e "$installed" && echo present || echo absent)" absent "no file is left after uninstalling"

# regsvr32 with the same file at the same place writes the same rows.
mkdir -p "$(dirname "$installed")" && cp "$build/Zanthel.dll" "$installed"
path=$(timeout 30 winepath -w "$installed")
timeout 60 "$tool" "$bits" regsvr32 /s "$path" || echo "FAIL regsvr32 $path"
rows >"$work/regsvr32.rows"
timeout 60 "$tool" "$bits" regsvr32 /s /u "$path"
rm -rf "$(dirname "$installed")"
# same_rows WHAT: the package's rows are regsvr32's.
same_rows() {
    if diff "$work/regsvr32.rows" "$work/package.rows" >"$work/rows.diff"; then
        echo "ok   $1 writes the rows regsvr32 writes ($(wc -l <"$work/package.rows") values)"
    else
        echo "FAIL $1's rows (>) differ from regsvr32's (<):"
        cat "$work/rows.diff"
        failures=$((failures + 1))
    fi
}
same_rows "the package"

# The per-user package, as a standard user installs it: HKCU and the user's own folder.
installed=$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Local/Programs/Zanthel/Zanthel.dll
timeout 120 wine msiexec /i "C:\\Zanthel-$arch-user-older.msi" /qn </dev/null || echo "FAIL msiexec /i of per-user 1.0.0"
timeout 120 wine msiexec /i "C:\\Zanthel-$arch-user.msi" /qn </dev/null || echo "FAIL msiexec /i of the per-user package"
check "$(test -f "$installed" && echo present)" present "the per-user package installs LocalAppData\\Programs\\Zanthel\\Zanthel.dll"
# Wine's HKCR shows only HKLM's classes (its bug 14771); Windows merges the user's in.
if timeout 30 "$tool" 64 reg query 'HKCR\Zanthel.NotifyIcon' </dev/null >/dev/null 2>&1; then
    for progid in Zanthel.classTray Zanthel.NotifyIcon; do
        check "$(create "$progid")" created "a $bits-bit script host creates $progid registered per user"
    done
else
    echo "skip creating the classes per user: this Wine's HKCR does not show HKCU\\Software\\Classes"
fi
rows HKCU >"$work/package.rows"
timeout 120 wine msiexec /x "C:\\Zanthel-$arch-user.msi" /qn </dev/null || echo "FAIL msiexec /x of the per-user package"
check "$(rows HKCU | wc -l)" 0 "no per-user key of ours is left after uninstalling"
check "$(test -e "$installed" && echo present || echo absent)" absent "no per-user file is left after uninstalling"
mkdir -p "$(dirname "$installed")" && cp "$build/Zanthel.dll" "$installed"
path=$(timeout 30 winepath -w "$installed")
timeout 60 "$tool" "$bits" regsvr32 /s /n /i:user "$path" || echo "FAIL regsvr32 /n /i:user $path"
rows HKCU >"$work/regsvr32.rows"
timeout 60 "$tool" "$bits" regsvr32 /s /u /n /i:user "$path"
rm -rf "$(dirname "$installed")"
same_rows "the per-user package"
[ "$failures" -eq 0 ] ||
    { echo "note a failed run may leave a product installed: delete $WINEPREFIX before the next"; exit 1; }
