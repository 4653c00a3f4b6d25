#!/bin/sh
# Writes dist/Zanthel-<version>.zip, whose one top folder Zanthel-<version>/
# holds what a user needs: x86/Zanthel.dll and x64/Zanthel.dll, each with
# the assembly manifest Zanthel.Server.manifest beside it (for hosts that use
# it without registration), the users'
# README (docs/package/README.md), docs/USING.md and its images, examples/,
# include/ (the declarations and GUIDs generated from the IDL files, which the
# C++ examples build with), and SHA256SUMS over all of them; and beside it
# dist/Zanthel-<version>-x86.msi and -x64.msi, the Windows Installer packages
# that install one DLL per machine and write its registration as registry
# rows (packaging/wxs.sh, built with wixl), and -x86-user.msi and
# -x64-user.msi, which a standard user installs for themselves. The version is
# project()'s in CMakeLists.txt, the one that feeds the DLLs' version resource.
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
out=$root/dist build32= build64=
while [ $# -gt 0 ]; do
    case $1 in
        --dlls) [ $# -ge 3 ] || { echo "$usage" >&2; exit 2; }
            build32=$2 build64=$3
            shift 3 ;;
        --out) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
            out=$2
            shift 2 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shipped="docs/USING.md docs/images examples"

if [ -z "$build32" ]; then
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
    build32=$work/build-i686 build64=$work/build-x86_64
    # shellcheck disable=SC2086 # the list is word-split on purpose
    git ls-tree -r --name-only HEAD -- $shipped >"$work/files"
else
    source=$root
    # shellcheck disable=SC2086
    git ls-files -- $shipped >"$work/files"
fi

version=$(sed -n 's/^project(Zanthel VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in project() of CMakeLists.txt" >&2; exit 1; }
grep -qx docs/USING.md "$work/files" || { echo "package: docs/USING.md is missing" >&2; exit 1; }

top=Zanthel-$version
stage=$work/stage/$top
mkdir -p "$stage/x86" "$stage/x64" "$stage/include"
cp "$build32/Zanthel.dll" "$stage/x86/Zanthel.dll"
cp "$build64/Zanthel.dll" "$stage/x64/Zanthel.dll"
cp "$build32/Zanthel.Server.manifest" "$stage/x86/Zanthel.Server.manifest"
cp "$build64/Zanthel.Server.manifest" "$stage/x64/Zanthel.Server.manifest"
# The generated files are the same for both architectures; their first line
# names the IDL file without the build machine's folders.
for file in Zanthel_h.h Zanthel_i.c ZanthelNotify_h.h ZanthelNotify_i.c; do
    sed '1s|from .*/\([^/]*\.idl\)|from \1|' "$build64/generated/$file" >"$stage/include/$file"
done
sed "s/@VERSION@/$version/g" "$source/docs/package/README.md" >"$stage/README.md"
(cd "$source" && while read -r file; do [ ! -f "$file" ] || cp --parents "$file" "$stage"; done) <"$work/files"
# A template (a host's manifest) ships filled in with the version it must name.
find "$stage/examples" -name '*.in' | while read -r template; do
    sed "s/@VERSION@/$version/g" "$template" >"${template%.in}" && rm "$template"
done
(cd "$stage" && find . -type f -printf '%P\0' | LC_ALL=C sort -z | xargs -0 sha256sum >"$work/SHA256SUMS" &&
    mv "$work/SHA256SUMS" SHA256SUMS)

(cd "$work/stage" && zip -q -X -D -r "$work/package.zip" "$top")
mkdir -p "$out"
zip=$(cd "$out" && pwd)/$top.zip
mv "$work/package.zip" "$zip"
echo "$zip"

for arch in x86 x64; do
    if [ $arch = x86 ]; then build=$build32; else build=$build64; fi
    mkdir "$work/msi-$arch"
    cp "$build/Zanthel.dll" "$work/msi-$arch/"
    for scope in machine user; do
        sh "$source/packaging/wxs.sh" "$build/Zanthel.Server.manifest" "$version" $arch $scope \
            >"$work/msi-$arch/Zanthel.wxs"
        if [ $scope = user ]; then suffix=-user; else suffix=; fi
        msi=$(cd "$out" && pwd)/$top-$arch$suffix.msi
        (cd "$work/msi-$arch" && wixl --arch $arch -o "$msi" Zanthel.wxs)
        echo "$msi"
    done
done
