#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sample need (as root, or via sudo).
set -euo pipefail
packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libmspack-dev
          zlib1g-dev libexpat1-dev cabextract gcab liblnk-utils
          fonts-dejavu-core tmux
          clang libclang-rt-14-dev)  # clang: the fuzz targets (libFuzzer) of scripts/fuzz.sh
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  echo "installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
