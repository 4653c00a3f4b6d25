#!/bin/sh
# The release archive, made by scripts/package.sh from the DLLs of both
# trees: it is named after the project's version and unpacks into one folder
# of that name, holding the 32-bit DLL under x86/ and the 64-bit one under
# x64/, the users' README, the user documentation and examples the repository
# tracks, the generated declarations, and a SHA256SUMS that verifies every
# other file in it. Every link of its documents leads to a file in it, and
# every C++ example builds from it alone.
# Usage: check_package.sh X86_BUILD_DIR X64_BUILD_DIR VERSION CXX
set -u
usage="usage: check_package.sh X86_BUILD_DIR X64_BUILD_DIR VERSION CXX"
x86=${1:?$usage} x64=${2:?$usage} version=${3:?$usage} cxx=${4:?$usage}
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
top=Zanthel-$version
zip=$work/out/$top.zip
[ -f "$zip" ] || fail "no $top.zip, found: $(ls "$work/out")"
if unzip -Z1 "$zip" | grep -v "^$top/" >&2; then fail "entries outside $top/ (above)"; fi
mkdir "$work/unpacked"
unzip -q "$zip" -d "$work/unpacked" || fail "unzip"
cd "$work/unpacked/$top" || fail "no folder $top in the archive"

# The PE header's machine field (at the offset stored at 0x3c, plus 4).
machine() {
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' '
}
[ "$(machine x86/Zanthel.dll)" = 014c ] || fail "x86/Zanthel.dll is not a 32-bit x86 DLL"
[ "$(machine x64/Zanthel.dll)" = 8664 ] || fail "x64/Zanthel.dll is not an x86-64 DLL"
grep -q "version=\"$version\" processorArchitecture=\"x86\"" x86/Zanthel.Server.manifest &&
    grep -q "version=\"$version\" processorArchitecture=\"amd64\"" x64/Zanthel.Server.manifest &&
    grep -q "version=\"$version\"" examples/regfree_host.exe.manifest &&
    grep -q "name=\"Zanthel.Server\" version=\"$version\"" docs/USING.md ||
    fail "the assembly manifests, the host's manifest or docs/USING.md do not name version $version and the architecture"

{
    git -C "$root" ls-files -- docs/USING.md docs/images examples | while read -r file; do
        [ ! -f "$root/$file" ] || echo "${file%.in}"
    done
    printf '%s\n' README.md x86/Zanthel.dll x64/Zanthel.dll include/Zanthel_h.h include/Zanthel_i.c \
        x86/Zanthel.Server.manifest x64/Zanthel.Server.manifest \
        include/ZanthelNotify_h.h include/ZanthelNotify_i.c
} | LC_ALL=C sort >"$work/expected"
find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort >"$work/found"
diff "$work/expected" "$work/found" >&2 || fail "the archive's files differ from the expected ones (above: < missing, > extra)"
grep -qx docs/USING.md "$work/found" || fail "no docs/USING.md"

# A link to the source tree (the developers' guide, a test, a script) is one
# a user cannot follow.
for doc in $(find . -name '*.md'); do
    grep -o '\]([^)]*)' "$doc" | sed 's/^](//; s/)$//; s/#.*//' | while read -r target; do
        case $target in '' | http://* | https://*) continue ;; esac
        [ -e "$(dirname "$doc")/$target" ] || echo "$doc: $target"
    done
done >"$work/broken"
[ ! -s "$work/broken" ] || { cat "$work/broken" >&2; fail "links that lead out of the archive (above)"; }

for example in examples/*.cpp; do
    "$cxx" -static -Iinclude "$example" include/*_i.c -lole32 -loleaut32 -luuid -o "$work/example.exe" \
        >"$work/compiler.log" 2>&1 || { cat "$work/compiler.log" >&2; fail "$example does not build from the archive alone"; }
done

sed 's/^[0-9a-f]*  //' SHA256SUMS | LC_ALL=C sort | diff "$work/found" - >&2 ||
    fail "SHA256SUMS does not list exactly the other files"
sha256sum --check --strict --quiet SHA256SUMS || fail "SHA256SUMS does not match the files"
echo "PASS: $top.zip unpacks into $top/ with both DLLs, $(($(wc -l <"$work/found") - 2)) documents, examples" \
    "and declarations, links that stay inside it, examples that build from it, and checksums"
