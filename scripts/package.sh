#!/bin/sh
# Writes dist/Zanthel-<version>.zip: x86/Zanthel.dll and x64/Zanthel.dll, the
# user documentation (README.md, docs/USING.md and its images), examples/,
# and SHA256SUMS over all of them. The version is project()'s in
# CMakeLists.txt, the one that feeds the DLLs' version resource.
#
#   scripts/package.sh
#       builds both DLLs in fresh build directories from an export of the
#       committed tree (HEAD), so nothing of a working tree gets in
#   scripts/package.sh --dlls X86_BUILD_DIR X64_BUILD_DIR [--out DIR]
#       packages DLLs already built there, with the working tree's files
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
usage="usage: scripts/package.sh [--dlls X86_BUILD_DIR X64_BUILD_DIR] [--out DIR]"
out=$root/dist dll32= dll64=
while [ $# -gt 0 ]; do
    case $1 in
        --dlls) [ $# -ge 3 ] || { echo "$usage" >&2; exit 2; }
            dll32=$2/Zanthel.dll dll64=$3/Zanthel.dll
            shift 3 ;;
        --out) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
            out=$2
            shift 2 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
mkdir -p "$stage/x86" "$stage/x64"
shipped="README.md docs/USING.md docs/images examples"

if [ -z "$dll32" ]; then
    scripts/install-deps.sh
    [ -z "$(git status --porcelain --untracked-files=no)" ] ||
        echo "package: uncommitted changes are left out; packaging HEAD $(git rev-parse --short HEAD)" >&2
    source=$work/source
    mkdir "$source"
    git archive HEAD | tar -x -C "$source"
    for arch in i686 x86_64; do
        cmake -S "$source" -B "$work/build-$arch" -G Ninja --toolchain "$source/cmake/mingw-$arch.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
        cmake --build "$work/build-$arch" --target Zanthel
    done
    dll32=$work/build-i686/Zanthel.dll dll64=$work/build-x86_64/Zanthel.dll
    # shellcheck disable=SC2086 # the list is word-split on purpose
    git ls-tree -r --name-only HEAD -- $shipped >"$work/files"
else
    source=$root
    # shellcheck disable=SC2086
    git ls-files -- $shipped >"$work/files"
fi

version=$(sed -n 's/^project(Zanthel VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in project() of CMakeLists.txt" >&2; exit 1; }
grep -qx README.md "$work/files" || { echo "package: README.md is missing" >&2; exit 1; }

cp "$dll32" "$stage/x86/Zanthel.dll"
cp "$dll64" "$stage/x64/Zanthel.dll"
(cd "$source" && while read -r file; do [ ! -f "$file" ] || cp --parents "$file" "$stage"; done) <"$work/files"
(cd "$stage" && find . -type f -printf '%P\0' | LC_ALL=C sort -z | xargs -0 sha256sum >"$work/SHA256SUMS" &&
    mv "$work/SHA256SUMS" SHA256SUMS)

(cd "$stage" && zip -q -X -D -r "$work/package.zip" .)
mkdir -p "$out"
zip=$(cd "$out" && pwd)/Zanthel-$version.zip
mv "$work/package.zip" "$zip"
echo "$zip"
