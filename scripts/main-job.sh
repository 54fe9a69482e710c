#!/usr/bin/env bash
# The main job: builds the programs and the sample product Atlas (examples/atlas), then installs
# and removes it on a fresh machine folder, showing a person what happened (scripts/demo.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${SX_BUILD_DIR:-$root/build}
exec "$root/scripts/demo.sh" "$build"
