#!/usr/bin/env bash
# Builds and runs every benchmark; each prints one table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
for b in "${SX_BUILD_DIR:-$root/build}"/bench/*_bench; do
  echo "== $(basename "$b")"
  "$b"
done
