#!/bin/sh
# The release archive, made by scripts/package.sh from the DLLs of both
# trees: it is named after the project's version, holds the 32-bit DLL under
# x86/ and the 64-bit one under x64/, the user documentation and examples the
# repository tracks, and a SHA256SUMS that verifies every other file in it.
# Usage: check_package.sh X86_BUILD_DIR X64_BUILD_DIR VERSION
set -u
x86=${1:?usage: check_package.sh X86_BUILD_DIR X64_BUILD_DIR VERSION}
x64=${2:?usage: check_package.sh X86_BUILD_DIR X64_BUILD_DIR VERSION}
version=${3:?usage: check_package.sh X86_BUILD_DIR X64_BUILD_DIR VERSION}
root=$(cd "$(dirname "$0")/../.." && pwd)

if [ ! -f "$x86/Zanthel.dll" ]; then
    echo "SKIP: no 32-bit build at $x86 (build the win32 preset first)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

"$root/scripts/package.sh" --dlls "$x86" "$x64" --out "$work/out" || fail "package.sh failed"
zip=$work/out/Zanthel-$version.zip
[ -f "$zip" ] || fail "no Zanthel-$version.zip, found: $(ls "$work/out")"
mkdir "$work/unpacked"
unzip -q "$zip" -d "$work/unpacked" || fail "unzip"
cd "$work/unpacked" || exit 1

# The PE header's machine field (at the offset stored at 0x3c, plus 4).
machine() {
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' '
}
[ "$(machine x86/Zanthel.dll)" = 014c ] || fail "x86/Zanthel.dll is not a 32-bit x86 DLL"
[ "$(machine x64/Zanthel.dll)" = 8664 ] || fail "x64/Zanthel.dll is not an x86-64 DLL"

{
    git -C "$root" ls-files -- README.md docs/USING.md docs/images examples
    printf '%s\n' x86/Zanthel.dll x64/Zanthel.dll
} | LC_ALL=C sort >"$work/expected"
find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort >"$work/found"
diff "$work/expected" "$work/found" >&2 || fail "the archive's files differ from the expected ones (above: < missing, > extra)"
grep -qx docs/USING.md "$work/found" || fail "no docs/USING.md"

sed 's/^[0-9a-f]*  //' SHA256SUMS | LC_ALL=C sort | diff "$work/found" - >&2 ||
    fail "SHA256SUMS does not list exactly the other files"
sha256sum --check --strict --quiet SHA256SUMS || fail "SHA256SUMS does not match the files"
echo "PASS: Zanthel-$version.zip holds both DLLs, $(($(wc -l <"$work/found") - 2)) documents and examples, and checksums"
