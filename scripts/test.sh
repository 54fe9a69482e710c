#!/usr/bin/env bash
# The test command: installs what the build needs, builds, runs every test. Non-zero on failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$@"
cd "${SX_BUILD_DIR:-$root/build}"
ctest --output-on-failure -j "$(nproc)"
# The Windows build, tested under Wine.
"$root/scripts/test-windows.sh"
