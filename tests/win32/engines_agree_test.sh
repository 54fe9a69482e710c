#!/usr/bin/env bash
# The two engines agree: the project tests/win32/agree, built by the Linux sxbuild once for the
# simulated machine and once for Windows, is installed silently by the Linux engine onto a
# simulated machine and by the Windows engine under Wine. Both machines must then hold the same
# files (bytes; shortcuts by what lnkinfo reads from them; Uninstall.exe is each system's own) with
# the same attributes, the same install log, and the same
# registry values below the keys the project writes. Attributes are read three ways: by the
# Linux sxtool on either machine (a Wine prefix is a machine folder as it is) and by sxtool.exe
# under Wine, so that the simulation's reading of Wine's files is checked as well.
# Usage: engines_agree_test.sh WINDOWS_TOOLS_DIR WINE_RUN PROJECT [LINUX_BUILD_DIR]
set -euo pipefail
tools=$1 wine_run=$2 project=$3 linux_build=${4:-}
if [ -z "$linux_build" ] || [ ! -x "$linux_build/tools/sxbuild" ]; then
  echo "SKIPPED: no Linux build (SX_LINUX_BUILD_DIR) to compare the Windows engine with"
  exit 77
fi
work=$(mktemp -d)
trap '[ -n "${SX_TEST_KEEP:-}" ] || rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
sxtool=$linux_build/tools/sxtool

mkdir "$work/bin"
for program in sxengine.exe sxwizard.dll Uninstall.exe sxtool.exe; do cp "$tools/$program" "$work/bin/"; done
cp -rp "$project" "$work/project"
chmod a-w "$work/project/payload/core/notes/fixed.txt"  # packed read-only (git keeps no such mode)
# Both setups run from the same folder (the uninstall entry names it): the Linux one first.
"$linux_build/tools/sxbuild" "$work/project" -o "$work/out" >/dev/null

app='C:\Program Files\SX Agree'
shared='C:\Program Files\Common Files\SX Agree'
# ---- The Linux engine on a fresh simulated machine
machine=$work/machine
SX_MACHINE=$machine "$sxtool" machine init >/dev/null
SX_MACHINE=$machine "$work/out/agree-setup.exe" /s || fail "the Linux engine failed ($?)"
rm -r "$work/out"
"$linux_build/tools/sxbuild" --target windows --engine "$work/bin/sxengine.exe" "$work/project" -o "$work/out" >/dev/null
# ---- The Windows engine under Wine
printf '%s\r\n' '@echo off' 'out\agree-setup.exe /s' 'echo setup=%errorlevel%' \
  "bin\\sxtool.exe attrib /s \"$app\"" "bin\\sxtool.exe attrib /s \"$shared\"" >"$work/run.bat"
out=$(cd "$work" && SX_WINE_PREFIX=$work/prefix "$wine_run" cmd /c run.bat 2>&1 | tr -d '\r') || true
echo "$out"
grep -q '^setup=0$' <<<"$out" || fail "the Windows engine failed"
prefix=$work/prefix

# What a machine holds: attributes, bytes (lnkinfo's reading for shortcuts), registry values.
state() {
  local m=$1 uninstaller=$2
  echo "== attributes"
  SX_MACHINE=$m "$sxtool" attrib /s "$app" || true
  SX_MACHINE=$m "$sxtool" attrib /s "$shared" || true
  echo "== files"
  (cd "$m/drive_c/Program Files" && { find "SX Agree" "Common Files/SX Agree" -type f 2>/dev/null || true; } | LC_ALL=C sort |
   while read -r file; do
     if [[ $file == */Uninstall.exe ]]; then
       # Each setup carries the uninstaller built for its own system.
       cmp -s "$file" "$uninstaller" && echo "$file: the uninstaller of its system" || echo "$file: another program"
     elif [[ $file == *.lnk ]]; then
       echo "$file:"
       lnkinfo "$file" | grep -E '^\s*(Local path|Command line arguments|Working directory|Description|Show window)' |
         sed 's/[[:space:]]\+/ /g'
     else
       echo "$file $(sha256sum <"$file" | cut -c1-64)"
     fi
   done)
  echo "== registry"
  {
    for key in 'HKLM\Software\SX Agree' 'HKCU\Software\SX Agree' 'HKCR\.sxagree' \
               'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\SXAgree'; do
      SX_MACHINE=$m "$sxtool" reg query "$key" /s || echo "$key: missing"
    done
    SX_MACHINE=$m "$sxtool" reg query 'HKCU\Environment' /v SXAGREE_HOME || echo "SXAGREE_HOME: missing"
    SX_MACHINE=$m "$sxtool" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs' \
      /v "$shared\\agreert.dll" || echo "SharedDLLs: missing"
  } | sorted_values
}

# The values of each key sorted by name: Wine enumerates a key's values ordered by name, Windows
# (and the simulation) in the order they were made; the values themselves must be the same.
sorted_values() {
  awk '/^    / { values[++n] = $0; next }
       { flush(); print }
       END { flush() }
       function flush(  i, j, t) {
         for (i = 2; i <= n; i++) for (j = i; j > 1 && values[j - 1] > values[j]; j--) {
           t = values[j]; values[j] = values[j - 1]; values[j - 1] = t
         }
         for (i = 1; i <= n; i++) print values[i]
         n = 0
       }'
}
state "$machine" "$linux_build/tools/Uninstall.exe" >"$work/linux.txt" 2>&1
state "$prefix" "$work/bin/Uninstall.exe" >"$work/wine.txt" 2>&1
cat "$work/linux.txt"
diff -u "$work/linux.txt" "$work/wine.txt" || fail "the two engines left different machines (- Linux, + Windows)"

# The Win32 host's own view of the attributes under Wine: the same as the simulation's.
windows_view=$(sed -n '/^[-D][-A][-S][-H][-R] /p' <<<"$out")
diff <(sed -n '/^== attributes$/,/^== files$/p' "$work/wine.txt" | sed '1d;$d') <(echo "$windows_view") ||
  fail "the Win32 host and the simulation read the attributes in the Wine prefix differently"
grep -q '^-A--R C:\\Program Files\\SX Agree\\notes\\fixed.txt$' "$work/linux.txt" || fail "the read-only file lost its attribute"

# ---- Both uninstallers remove the product: the machines agree again (nothing of it is left).
log="$app\\install.log"
# (the copied uninstaller carries no execute bit: a user starting it from a shell adds it)
chmod u+x "$machine/drive_c/Program Files/SX Agree/Uninstall.exe"
SX_MACHINE=$machine "$machine/drive_c/Program Files/SX Agree/Uninstall.exe" /s "$log" || fail "the Linux uninstaller failed"
for _ in $(seq 100); do [ -e "$machine/drive_c/Program Files/SX Agree" ] || break; sleep 0.1; done  # its batch ends it
printf '%s\r\n' '@echo off' "\"$app\\Uninstall.exe\" /s \"$log\"" 'echo uninstall=%errorlevel%' >"$work/run.bat"
out=$(cd "$work" && SX_WINE_PREFIX=$work/prefix "$wine_run" cmd /c run.bat 2>&1 | tr -d '\r') || true
grep -q '^uninstall=0$' <<<"$out" || { echo "$out"; fail "the Windows uninstaller failed"; }
state "$machine" "$linux_build/tools/Uninstall.exe" >"$work/linux-removed.txt" 2>&1
state "$prefix" "$work/bin/Uninstall.exe" >"$work/wine-removed.txt" 2>&1
diff -u "$work/linux-removed.txt" "$work/wine-removed.txt" || fail "the two uninstallers left different machines"
! grep -q 'SX Agree\|SXAGREE\|sxagree' <(grep -v 'missing\|does not exist\|ERROR' "$work/linux-removed.txt") ||
  { cat "$work/linux-removed.txt"; fail "the uninstallers left something of the product"; }
echo "the Linux engine and the Windows engine leave the same machine, and their uninstallers too"
