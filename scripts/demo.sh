#!/usr/bin/env bash
# Runs the built programs on a fresh machine folder and shows what they did.
set -euo pipefail
build=${1:?usage: demo.sh BUILD_DIR}
machine=$(mktemp -d /tmp/sxengine-demo-XXXXXX)
export SX_MACHINE=$machine/machine
export SX_TRACE=$machine/trace.log
sxtool=$build/tools/sxtool
sxbuild=$build/tools/sxbuild
root=$(cd "$(dirname "$0")/.." && pwd)

echo "== a fresh machine"
"$sxtool" machine init
(cd "$SX_MACHINE" && find dosdevices drive_c -maxdepth 3 | sort | head -40)

echo
echo "== its registry, through sxtool"
"$sxtool" reg query "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion"
"$sxtool" reg add "HKLM\\Software\\SXEngine Demo" /v Greeting /t REG_SZ /d "Hello from SXEngine"
"$sxtool" reg add "HKLM\\Software\\SXEngine Demo" /v Count /t REG_DWORD /d 42
"$sxtool" reg query "HKLM\\Software\\SXEngine Demo"
echo "-- as Wine keeps it in system.reg:"
grep -A4 'SXEngine Demo' "$SX_MACHINE/system.reg"

echo
echo "== the sample product, built into a setup program and packages"
"$sxbuild" "$root/examples/hello" -o "$machine/out"
ls -l "$machine/out"
setup=$(ls "$machine/out"/*.exe | head -1)
"$sxtool" package info "$setup"

echo
echo "== the setup program, started on the machine (it prepares its packages with the splash and"
echo "   the preparing window, selects what to install, and runs the installation)"
cp "$setup" "$SX_MACHINE/drive_c/setup.exe"
for sxp in "$machine/out"/*.sxp; do [ -e "$sxp" ] && cp "$sxp" "$SX_MACHINE/drive_c/"; done
"$SX_MACHINE/drive_c/setup.exe" && echo "setup exit code: $?"
echo "-- its temporary folder tree is gone again:"
ls -A "$SX_MACHINE/drive_c/users/user/Temp"
echo "-- the trace of observable events (first 40 lines of $(wc -l < "$SX_TRACE")):"
head -40 "$SX_TRACE"

product="$SX_MACHINE/drive_c/Program Files/Hello"
echo
echo "== what the setup installed"
(cd "$SX_MACHINE/drive_c" && find "Program Files/Hello" | sort)
echo "-- its registry values:"
"$sxtool" reg query "HKLM\\Software\\Hello"
echo "-- its uninstall entry:"
"$sxtool" reg query "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HelloSX"
echo "-- its shortcut, read back:"
link=$(find "$SX_MACHINE/drive_c/users" -name '*.lnk' | head -1)
if command -v lnkinfo >/dev/null; then
  lnkinfo "$link" | grep -E 'Local path|Description|Working directory|Command line arguments' || true
else
  echo "$link"
fi
echo "-- the install log the uninstaller reads:"
cat "$product/install.log"

echo
echo "== the product's uninstaller, run silently"
chmod +x "$product/Uninstall.exe"   # a setup's files carry no execute bit on the host
"$product/Uninstall.exe" /s && echo "uninstaller exit code: $?"
sleep 1   # it removes itself through a batch file started as it ends
echo "-- left of the product folder:"
ls -A "$SX_MACHINE/drive_c/Program Files/" | grep -x Hello || echo "(nothing: the folder is gone)"
"$sxtool" reg query "HKLM\\Software\\Hello" 2>&1 || true
echo
echo "machine folder: $SX_MACHINE"
