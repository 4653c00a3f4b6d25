#!/bin/sh
# Installs the cross toolchain, Wine and the display tools the build and tests use.
# Safe to run again: it only installs what is missing.
set -eu

need_pkgs="python3 clang-format git zip unzip g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev wine wine32:i386 wine64 xvfb xdotool x11-apps x11-utils imagemagick googletest cmake ninja-build wixl msitools"

missing=""
for p in $need_pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
