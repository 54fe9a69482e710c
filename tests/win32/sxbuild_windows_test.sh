#!/usr/bin/env bash
# Setups for Windows, built two ways: sxbuild.exe under Wine, and the Linux sxbuild with
# --target windows. The Linux-built setup must be a valid PE program whose image the appended
# package leaves untouched; both builders must write the same bytes; the setup installs silently
# under Wine. One Wine prefix for all of it.
# Usage: sxbuild_windows_test.sh WINDOWS_TOOLS_DIR WINE_RUN HELLO_PROJECT OBJDUMP [LINUX_BUILD_DIR]
#   WINDOWS_TOOLS_DIR  the Windows build's tools/ (sxbuild.exe with the programs setups carry)
#   LINUX_BUILD_DIR    the Linux build (its tools/sxbuild); without it only sxbuild.exe is tested
set -euo pipefail
tools=$1 wine_run=$2 project=$3 objdump=$4 linux_build=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

mkdir "$work/bin"
for program in sxbuild.exe sxengine.exe sxwizard.dll Uninstall.exe; do cp "$tools/$program" "$work/bin/"; done
cp -rp "$project" "$work/project"
name=hello-setup  # examples/hello installs to C:\Program Files\Hello
# The generated files of both builds carry the same date.
export SOURCE_DATE_EPOCH=1700000000

linux_sxbuild=$linux_build/tools/sxbuild
if [ -n "$linux_build" ] && [ -x "$linux_sxbuild" ]; then
  "$linux_sxbuild" --target windows --engine "$work/bin/sxengine.exe" "$work/project" -o "$work/linux-out" >/dev/null
  setup=$work/linux-out/$name.exe
  file "$setup" | tee /dev/stderr | grep 'PE32+ executable.*x86-64' >/dev/null || fail "file does not see a PE program"
  "$objdump" -p "$setup" >"$work/setup.txt" || fail "objdump cannot read the setup program"
  "$objdump" -p "$work/bin/sxengine.exe" >"$work/engine.txt"
  # The headers, sections and imports are the engine's: only the file name differs.
  diff <(tail -n +3 "$work/engine.txt") <(tail -n +3 "$work/setup.txt") ||
    fail "objdump reads the setup program differently from the engine image"
  engine_size=$(stat -c %s "$work/bin/sxengine.exe")
  cmp -n "$engine_size" "$work/bin/sxengine.exe" "$setup" || fail "the package disturbed the engine image"
  [ "$(stat -c %s "$setup")" -gt "$engine_size" ] || fail "no package was appended"
  # A Windows engine with the Linux wizard would be a setup that cannot run: refused.
  if "$linux_sxbuild" --engine "$work/bin/sxengine.exe" --uninstaller "$linux_build/tools/Uninstall.exe" \
       "$work/project" -o "$work/mixed-out" >"$work/mixed.txt" 2>&1; then
    fail "a Windows engine with a Linux uninstaller was accepted"
  fi
  grep -q 'built for Linux, the engine image .* for Windows' "$work/mixed.txt" || { cat "$work/mixed.txt"; fail "unclear refusal"; }
  [ ! -e "$work/mixed-out/$name.exe" ] || fail "the refused build left a setup program"
  install_with="linux-out\\$name.exe"
else
  echo "No Linux build given (SX_LINUX_BUILD_DIR): only sxbuild.exe is tested"
  install_with="out\\$name.exe"
fi

printf '%s\r\n' '@echo off' \
  'bin\sxbuild.exe project -o out' \
  'echo build=%errorlevel%' \
  "$install_with /s" \
  'echo setup=%errorlevel%' \
  'dir /b /s "C:\Program Files\Hello"' \
  'reg query "HKLM\Software\Hello"' > "$work/run.bat"
out=$(cd "$work" && SX_WINE_PREFIX=$work/prefix "$wine_run" cmd /c run.bat 2>&1 | tr -d '\r') || true
echo "$out"
grep -q '^build=0$' <<<"$out" || fail "sxbuild.exe did not build the project"
grep -q '^setup=0$' <<<"$out" || fail "the setup did not install under Wine"
for file in "$project"/payload/core/*.txt; do
  grep -qi "\\\\$(basename "$file")$" <<<"$out" || fail "$(basename "$file") was not installed"
done
grep -qE 'InstallPath[[:space:]]+REG_SZ[[:space:]]+C:\\Program Files\\Hello$' <<<"$out" ||
  fail "Wine's reg query does not show the installed InstallPath"

[ -f "$work/out/$name.exe" ] || fail "sxbuild.exe wrote no $name.exe"
if [ -d "$work/linux-out" ]; then
  for file in "$work"/linux-out/*; do
    cmp "$file" "$work/out/$(basename "$file")" || fail "sxbuild.exe and sxbuild --target windows differ in $(basename "$file")"
  done
  [ "$(ls "$work/out" | wc -l)" = "$(ls "$work/linux-out" | wc -l)" ] || fail "the two builds wrote different files"
fi
echo "sxbuild.exe and sxbuild --target windows build the same setup; it installs under Wine"
