#!/usr/bin/env bash
# Bad input under Wine, refused as on the simulated machine (tests/scenarios/bad_input_test.cpp,
# tests/install/file_phase_flow_test.cpp): a setup program cut short ("Invalid package"), one with
# a damaged data block (the file phase stops at the block's checksum and rolls back), and a
# project whose file name expands to a path out of its destination folder (never written). Each
# ends with an error box and exit code 255 and leaves no product files, registry key or
# temporary files. With the Linux build, the Linux engine meets the same damage and must show the
# same boxes. One Wine prefix.
# Usage: bad_input_wine_test.sh WINDOWS_TOOLS_DIR WINE_RUN HELLO_PROJECT [LINUX_BUILD_DIR]
#   HELLO_PROJECT  examples/hello, whose language file the test projects take (the messages)
set -euo pipefail
tools=$1 wine_run=$2 hello=$3 linux_build=${4:-}
work=$(mktemp -d)
trap '[ -n "${SX_TEST_KEEP:-}" ] || rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
export SX_WINE_PREFIX=$work/prefix
# Without a display a real message box would wait for ever: the boxes are answered by script.
export SX_MSGBOX_ANSWERS=ok,ok,ok,ok,ok,ok
run_batch() {
  printf '%s\r\n' '@echo off' "$@" >"$work/run.bat"
  (cd "$work" && "$wine_run" cmd /c run.bat 2>&1 | tr -d '\r') || true
}

mkdir "$work/bin"
for program in sxbuild.exe sxengine.exe sxwizard.dll Uninstall.exe; do cp "$tools/$program" "$work/bin/"; done
project() {  # project() FOLDER NAME FILE-NAME [VARIABLES]
  mkdir -p "$1/payload/core"
  cat >"$1/project.xml" <<EOF
<?xml version="1.0" encoding="utf-8"?>
<sx2project version="1.0">
  <variables>
    <var name="AppID" value="$2"/><var name="AppName" value="$2"/>
    <var name="InstallPath" value="%ProgramFiles%\\$2"/>${4:-}
  </variables>
  <packages><package id="main" main="1" filename="setup"/></packages>
  <components><component id="core"><files><file src="*.*" dst="%InstallPath%\\sub\\"/></files>
    <registry><reg key="HKLM\\Software\\$2" param="Installed" value="1"/></registry></component></components>
  <features><feature id="all" name="All"><components><component id="core"/></components></feature></features>
</sx2project>
EOF
  echo "text" >"$1/payload/core/$3"
  mkdir -p "$1/packages/main"
  cp -r "$hello/packages/main/lng" "$1/packages/main/"
}
project "$work/gizmo" Gizmo gizmo.txt
head -c 200000 /dev/zero | tr '\0' 'x' >"$work/gizmo/payload/core/large.bin"
project "$work/escape" Escape '%Up%.txt' $'\n    <var name="Up" value="..\\..\\..\\windows\\evil"/>'

out=$(run_batch 'bin\sxbuild.exe gizmo -o gizmo-out --compression none' 'echo build=%errorlevel%' \
                'bin\sxbuild.exe escape -o escape-out' 'echo build=%errorlevel%' 'echo ---temp' 'dir /b "%TEMP%"')
[ "$(grep -c '^build=0$' <<<"$out")" = 2 ] || { echo "$out"; fail "the setups were not built"; }
temp_before=$(sed -n '/^---temp$/,$p' <<<"$out")

# The damage, made the same way to any setup program.
damage() {  # damage SETUP: writes SETUP's truncated and damaged copies beside it
  local size
  size=$(stat -c %s "$1")
  head -c $((size - 5000)) "$1" >"${1%.exe}-truncated.exe"
  chmod +x "${1%.exe}-truncated.exe"
  cp "$1" "${1%.exe}-damaged.exe"
  printf '\x5a' | dd of="${1%.exe}-damaged.exe" bs=1 seek=$((size - 2500)) conv=notrunc status=none
}
damage "$work/gizmo-out/setup.exe"

out=$(run_batch 'gizmo-out\setup-truncated.exe /s' 'echo truncated=%errorlevel%' \
                'gizmo-out\setup-damaged.exe /s' 'echo damaged=%errorlevel%' \
                'escape-out\setup.exe /s' 'echo escape=%errorlevel%' \
                'reg query "HKLM\Software\Gizmo"' 'reg query "HKLM\Software\Escape"' 'echo ---temp' 'dir /b "%TEMP%"')
echo "$out"
for run in truncated damaged escape; do
  grep -q "^$run=255$" <<<"$out" || fail "the $run setup did not end with 255"
done
boxes=$(grep '^messagebox ' <<<"$out")
[ "$(wc -l <<<"$boxes")" -ge 3 ] || fail "not every refusal showed a message box"
grep -q '^messagebox title="Invalid package" text="Invalid package size!' <<<"$boxes" || fail "the truncated setup"
grep -q 'text="Cannot install \\"C:\\\\Program Files\\\\Gizmo\\\\sub\\\\large.bin\\".*data block checksum mismatch' <<<"$boxes" ||
  fail "the damaged data block"
grep -q 'evil' <<<"$boxes" || fail "no box names the escaping path"
c=$work/prefix/drive_c
[ ! -e "$c/Program Files/Gizmo" ] && [ ! -e "$c/Program Files/Escape" ] || fail "a refused setup left files"
[ -z "$(find "$c/windows" -maxdepth 1 -iname 'evil*')" ] && [ -z "$(find "$c" -iname 'evil.txt')" ] ||
  fail "the escaping path was written"
[ "$(grep -c 'Unable to find the specified registry key' <<<"$out")" = 2 ] || fail "a refused setup left its registry key"
temp_after=$(sed -n '/^---temp$/,$p' <<<"$out")
[ "$temp_after" = "$temp_before" ] || fail "temporary files were left: $temp_after"

# The Linux engine meets the same damage and says the same.
if [ -n "$linux_build" ] && [ -x "$linux_build/tools/sxbuild" ]; then
  for name in gizmo escape; do
    flags=()
    [ $name = gizmo ] && flags=(--compression none)
    "$linux_build/tools/sxbuild" "$work/$name" -o "$work/linux-$name" "${flags[@]}" >/dev/null
  done
  damage "$work/linux-gizmo/setup.exe"
  export SX_MACHINE=$work/machine
  "$linux_build/tools/sxtool" machine init >/dev/null
  linux_boxes=$(for setup in linux-gizmo/setup-truncated linux-gizmo/setup-damaged linux-escape/setup; do
                  "$work/$setup.exe" /s 2>&1 | grep '^messagebox ' || true
                done)
  # The boxes name where the setup ran from: the same folder names on both sides.
  normal() { sed -e 's/linux-\(gizmo\|escape\)/\1-out/g' -e 's/Z:\\\\[^"]*\\\\\(gizmo-out\|escape-out\)/SETUP\\\\\1/g'; }
  diff <(normal <<<"$linux_boxes") <(normal <<<"$boxes") || fail "the two engines refuse differently (< Linux, > Windows)"
else
  echo "No Linux build given (SX_LINUX_BUILD_DIR): the boxes are not compared with the Linux engine's"
fi
echo "bad input is refused under Wine as on the simulated machine, and changes nothing"
