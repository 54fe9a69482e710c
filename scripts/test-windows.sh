#!/usr/bin/env bash
# The Windows part of the test command: installs the cross toolchain, Wine and the cross-built
# libraries, builds the Windows programs into build-win64/ (or $SX_WIN_BUILD_DIR) and runs their
# tests under Wine, each test program in a throw-away prefix. Non-zero on failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps-windows.sh"
# Tests that compare the two builds find the Linux build (scripts/build.sh) here.
"$root/scripts/build-windows.sh" -DSX_LINUX_BUILD_DIR="${SX_BUILD_DIR:-$root/build}"
cd "${SX_WIN_BUILD_DIR:-$root/build-win64}"
ctest --output-on-failure -j "$(nproc)"
