#!/usr/bin/env bash
# The main job: builds the programs and runs them on a fresh machine folder, showing what they did.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${SX_BUILD_DIR:-$root/build}
exec "$root/scripts/demo.sh" "$build"
