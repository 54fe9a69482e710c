#!/usr/bin/env bash
# Cross-builds the Windows programs (sxengine.exe, sxtool.exe, sxbuild.exe, unpack.dll, the
# wizard and the Win32 host tests) with MinGW-w64 into build-win64/ (or $SX_WIN_BUILD_DIR).
# Run scripts/install-deps-windows.sh first. Extra arguments go to CMake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SX_WIN_BUILD_DIR:-$root/build-win64}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSX_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
