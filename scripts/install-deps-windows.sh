#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need (as root, or via sudo): the
# MinGW-w64 cross toolchain (with POSIX threads, for std::thread), zlib for MinGW, Wine, and
# libmspack cross-built from Debian's own source package into $SX_MINGW_PREFIX
# (default /opt/sxengine/mingw64). GoogleTest comes from the sources Debian's googletest installs.
# Xvfb, x11-utils and ImageMagick serve the screenshot test of the engine's windows.
# SX_WIN_ARCH=i686 installs the 32-bit toolchain and cross-builds the libraries for it into
# $SX_MINGW32_PREFIX (default /opt/sxengine/mingw32) instead.
set -euo pipefail
case ${SX_WIN_ARCH:-x86_64} in
  x86_64) prefix=${SX_MINGW_PREFIX:-/opt/sxengine/mingw64}; host=x86_64-w64-mingw32
          toolchain_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64) ;;
  i686)   prefix=${SX_MINGW32_PREFIX:-/opt/sxengine/mingw32}; host=i686-w64-mingw32
          toolchain_packages=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686) ;;
  *) echo "SX_WIN_ARCH must be x86_64 or i686" >&2; exit 2 ;;
esac
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"

packages=(mingw-w64 "${toolchain_packages[@]}"
          libz-mingw-w64-dev googletest wine wine64 dpkg-dev file
          # the screenshot test of the engine's windows: a virtual X server, its window list, ImageMagick
          xvfb x11-utils imagemagick)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

[ -f "$prefix/lib/libmspack.a" ] && [ -f "$prefix/lib/cmake/expat-2.5.0/expat-config.cmake" ] && exit 0

# `apt-get source` needs a source entry for the release the machine runs.
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  . /etc/os-release
  $sudo tee /etc/apt/sources.list.d/sxengine-deb-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $VERSION_CODENAME
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  $sudo apt-get update
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Unpacks Debian's source package $1 and prints the folder it is in.
unpack_source() {
  (cd "$work" && mkdir "$1" && cd "$1" && apt-get source --download-only "$1" >/dev/null 2>&1 &&
   dpkg-source -x ./*.dsc src >/dev/null 2>&1)
  echo "$work/$1/src"
}
$sudo mkdir -p "$prefix/lib" "$prefix/include"

# Only the libraries, static, so the programs carry them and need no extra DLL under Wine.
src=$(unpack_source libmspack)
(cd "$src" && ./configure --host=$host --disable-shared --enable-static >/dev/null &&
 make -j"$(nproc)" libmspack.la >/dev/null)
$sudo cp "$src/.libs/libmspack.a" "$prefix/lib/"
$sudo cp "$src/mspack/mspack.h" "$prefix/include/"

# expat builds with CMake: with the project's own toolchain file.
src=$(unpack_source expat)/expat
root=$(cd "$(dirname "$0")/.." && pwd)
SX_MINGW_PREFIX=$prefix SX_MINGW32_PREFIX=$prefix \
cmake -S "$src" -B "$work/expat-build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-${host%%-*}.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DEXPAT_SHARED_LIBS=OFF \
  -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF \
  -DEXPAT_BUILD_PKGCONFIG=OFF >/dev/null
# Debian's patches test "XML_DTD == 1", which its autotools build defines; CMake's header leaves
# the switches empty.
sed -i 's/^#define XML_DTD$/#define XML_DTD 1/; s/^#define XML_NS$/#define XML_NS 1/' \
  "$work/expat-build/expat_config.h"
cmake --build "$work/expat-build" -j"$(nproc)" >/dev/null
$sudo cmake --install "$work/expat-build" >/dev/null
echo "libmspack and expat for $host in $prefix"
