#!/usr/bin/env bash
# The test command: installs what the build needs, builds, runs every test. Non-zero on failure.
#   SX_FUZZ_SECONDS=N   run each fuzz target N seconds after the suite (default 5; 0 skips)
#   SX_SANITIZE_CI=1    then build the suite again with AddressSanitizer and
#                       UndefinedBehaviorSanitizer (into build-asan/, or $SX_SANITIZE_BUILD_DIR)
#                       and run it (last: it takes longest)
#   SX_WIN_I686=1       also build the Windows programs for 32-bit Windows (build-win32/) and
#                       run their tests (only the image checks where Wine runs no 32-bit programs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$@"
(cd "${SX_BUILD_DIR:-$root/build}" && ctest --output-on-failure -j "$(nproc)")

# The fuzz targets keep building and running: a short run of each.
if [ "${SX_FUZZ_SECONDS:-5}" != 0 ]; then
  "$root/scripts/fuzz.sh" "${SX_FUZZ_SECONDS:-5}"
fi

# The Windows build, tested under Wine.
"$root/scripts/test-windows.sh"
if [ "${SX_WIN_I686:-0}" = 1 ]; then
  SX_WIN_ARCH=i686 SX_WIN_BUILD_DIR= "$root/scripts/test-windows.sh"
fi

if [ "${SX_SANITIZE_CI:-0}" = 1 ]; then
  asan_build=${SX_SANITIZE_BUILD_DIR:-$root/build-asan}
  SX_BUILD_DIR=$asan_build "$root/scripts/build.sh" -DSX_SANITIZE=ON -DSX_BUILD_BENCH=OFF "$@"
  (cd "$asan_build" && ctest --output-on-failure -j "$(nproc)")
fi
