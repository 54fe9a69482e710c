#!/usr/bin/env bash
# Cross-builds the Windows programs (sxengine.exe, sxtool.exe, sxbuild.exe, unpack.dll, the
# wizard and the Win32 host tests) with MinGW-w64 into build-win64/ (or $SX_WIN_BUILD_DIR).
# SX_WIN_ARCH=i686 builds them for 32-bit Windows into build-win32/ instead.
# Run scripts/install-deps-windows.sh first (with the same SX_WIN_ARCH). Extra arguments go to CMake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case ${SX_WIN_ARCH:-x86_64} in
  x86_64) build=${SX_WIN_BUILD_DIR:-$root/build-win64} ;;
  i686) build=${SX_WIN_BUILD_DIR:-$root/build-win32} ;;
  *) echo "SX_WIN_ARCH must be x86_64 or i686" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-${SX_WIN_ARCH:-x86_64}.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSX_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
