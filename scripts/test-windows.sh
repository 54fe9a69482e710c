#!/usr/bin/env bash
# The Windows part of the test command: installs the cross toolchain, Wine and the cross-built
# libraries, builds the Windows programs into build-win64/ (or $SX_WIN_BUILD_DIR) and runs their
# tests under Wine, each test program in a throw-away prefix. Non-zero on failure.
# SX_WIN_ARCH=i686 does the same for 32-bit Windows in build-win32/; where Wine cannot run 32-bit
# programs (Debian's wine64 without wine32:i386), only the tests that read the built images run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${SX_WIN_ARCH:-x86_64}
"$root/scripts/install-deps-windows.sh"
# Tests that compare the two builds find the Linux build (scripts/build.sh) here.
"$root/scripts/build-windows.sh" -DSX_LINUX_BUILD_DIR="${SX_BUILD_DIR:-$root/build}"
if [ "$arch" = i686 ]; then
  cd "${SX_WIN_BUILD_DIR:-$root/build-win32}"
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    echo "Wine cannot run 32-bit programs here (no wine32:i386): only the image checks run"
    ctest --output-on-failure -j "$(nproc)" -L pe-image
    exit
  fi
else
  cd "${SX_WIN_BUILD_DIR:-$root/build-win64}"
fi
ctest --output-on-failure -j "$(nproc)"
