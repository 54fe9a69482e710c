#!/usr/bin/env bash
# The sample product Atlas built for Windows (its programs and its self-registering server as PE
# files) by sxbuild.exe, installed silently by the Windows engine under Wine and removed by its
# Uninstall.exe, in one Wine prefix. Wine's own reg.exe reads the registry, the files are looked
# at in the prefix's drive_c, the shortcuts with lnkinfo.
# Usage: atlas_wine_test.sh WINDOWS_TOOLS_DIR WINE_RUN ATLAS_PROJECT
#   WINDOWS_TOOLS_DIR  the Windows build's tools/ (sxbuild.exe with the programs setups carry)
#   ATLAS_PROJECT      the Atlas project assembled by the Windows build (target atlas_project)
set -euo pipefail  # (grep reads its whole input after a pipe: -q would end the writer early)
tools=$1 wine_run=$2 project=$3
work=$(mktemp -d)
trap '[ -n "${SX_TEST_KEEP:-}" ] || rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
command -v lnkinfo >/dev/null || fail "lnkinfo is missing (Debian package liblnk-utils)"

mkdir "$work/bin"
for program in sxbuild.exe sxengine.exe sxwizard.dll Uninstall.exe; do cp "$tools/$program" "$work/bin/"; done
cp -r "$project" "$work/atlas"
export SX_WINE_PREFIX=$work/prefix
# The programs and the server note their runs here (Z: is the host's root under Wine).
export ATLAS_RUN_LOG=Z:$work/run.log ATLASEXT_LOG=Z:$work/ext.log
run_batch() {  # runs the lines as one batch file in the prefix; prints what it wrote
  printf '%s\r\n' '@echo off' "$@" >"$work/run.bat"
  (cd "$work" && "$wine_run" cmd /c run.bat 2>&1 | tr -d '\r') || true
}
app='C:\Program Files\Northwind\Atlas'
clsid='{6B1F3C52-9A0E-4D7B-8E21-3C5A9D40F1A7}'
queries=(
  'reg query "HKLM\Software\Northwind\Atlas"'
  'reg query "HKCU\Software\Northwind\Atlas\View"'
  'reg query "HKCR\.map" /ve'
  'reg query "HKCR\Northwind.AtlasMap\shell\open\command" /ve'
  "reg query \"HKCR\\CLSID\\$clsid\\InprocServer32\""
  "reg query \"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\""
  'reg query "HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts" /v "DejaVu Sans Mono (TrueType)"'
  'reg query "HKLM\System\CurrentControlSet\Control\Session Manager\Environment" /v PATH')

# ---- Build and install
# Wine registers the host's own fonts, Atlas's DejaVu Sans Mono (from fonts-dejavu-core) among
# them, at its path on drive Z:. A font registered already is replaced where it is registered:
# the prefix must not have it, or the setup would write into the host's font folder.
fonts='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
out=$(run_batch "reg delete \"$fonts\" /v \"DejaVu Sans Mono (TrueType)\" /f" \
        'bin\sxbuild.exe atlas -o out --max-cabinet-size 640K' 'echo build=%errorlevel%' \
        'out\atlas-setup.exe /s' 'echo setup=%errorlevel%' "${queries[@]}")
echo "$out"
grep -q '^build=0$' <<<"$out" || fail "sxbuild.exe did not build Atlas"
[ -f "$work/out/atlasdata-2.cab" ] || fail "the data package was not spanned over two cabinets"
grep -q '^setup=0$' <<<"$out" || fail "the setup did not install Atlas"
expect() { grep -qE "$1" <<<"$out" || fail "Wine's reg query does not show: $1"; }
ws='[[:space:]]+'
expect "InstallPath${ws}REG_SZ${ws}C:\\\\Program Files\\\\Northwind\\\\Atlas\$"
expect "Version${ws}REG_SZ${ws}2\\.1\$"
expect "Build${ws}REG_DWORD${ws}0x83b\$"
expect "Languages${ws}REG_MULTI_SZ${ws}ENU\\\\0DEU\$"
expect "Signature${ws}REG_BINARY${ws}4E5741540201\$"
expect "Zoom${ws}REG_DWORD${ws}0x3\$"
expect "Language${ws}REG_SZ${ws}ENU\$"
expect "\\(Default\\)${ws}REG_SZ${ws}Northwind\\.AtlasMap\$"
expect "\\(Default\\)${ws}REG_SZ${ws}\"C:\\\\Program Files\\\\Northwind\\\\Atlas\\\\bin\\\\atlas\\.exe\" \"%1\"\$"
expect "\\(Default\\)${ws}REG_SZ${ws}C:\\\\Program Files\\\\Northwind\\\\Atlas\\\\bin\\\\atlasext\\.dll\$"
expect "ThreadingModel${ws}REG_SZ${ws}Apartment\$"
expect "C:\\\\Program Files\\\\Common Files\\\\Northwind\\\\nwrt\\.dll${ws}REG_DWORD${ws}0x1\$"
expect "DejaVu Sans Mono \\(TrueType\\)${ws}REG_SZ${ws}DejaVuSansMono\\.ttf\$"
expect "PATH${ws}REG_EXPAND_SZ${ws}.*;C:\\\\Program Files\\\\Northwind\\\\Atlas\\\\bin\$"

c=$work/prefix/drive_c
installed=$c/"Program Files/Northwind/Atlas"
for pair in bin/atlas.exe:core/bin/atlas.exe bin/atlascfg.exe:core/bin/atlascfg.exe readme.txt:core/readme.txt \
            bin/atlasext.dll:ext/atlasext.dll maps/world.tiles:maps/world.tiles docs/manual-enu.txt:manual/manual-enu.txt; do
  cmp "$installed/${pair%%:*}" "$work/atlas/payload/${pair#*:}" || fail "${pair%%:*} is not the project's file"
done
cmp "$c/Program Files/Common Files/Northwind/nwrt.dll" "$work/atlas/payload/runtime/nwrt.dll" || fail "nwrt.dll"
cmp "$c/windows/Fonts/DejaVuSansMono.ttf" "$work/atlas/payload/font/DejaVuSansMono.ttf" || fail "the font"
[ -f "$installed/Uninstall.exe" ] && [ -f "$installed/install.log" ] || fail "no uninstaller or install log"
file "$installed/bin/atlasext.dll" | grep 'PE32+ executable (DLL)' >/dev/null || fail "atlasext.dll is no Windows DLL"
tr -d '\r' <"$installed/atlas.ini" | grep -x 'Maps=C:\\Program Files\\Northwind\\Atlas\\maps' >/dev/null || fail "atlas.ini"
tr -d '\r' <"$c/windows/win.ini" | grep -x 'Home=C:\\Program Files\\Northwind\\Atlas' >/dev/null || fail "win.ini's entry"
# (written in text mode: CR LF line ends)
grep -qx $'precheck /quiet\r' "$work/run.log" && grep -qx $'atlascfg /firstrun\r' "$work/run.log" ||
  fail "the programs did not run: $(cat "$work/run.log" 2>&1)"
grep -qix $'register c:\\\\program files\\\\northwind\\\\atlas\\\\bin\\\\atlasext.dll\r' "$work/ext.log" ||
  fail "the server was not registered: $(cat "$work/ext.log" 2>&1)"

user=$(ls "$c/users" | grep -vx Public | head -n 1)
desktop=$c/users/$user/Desktop/Atlas.lnk
menu=$c/users/$user/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/"Northwind Atlas"
lnkinfo "$desktop" >"$work/lnk.txt" || fail "lnkinfo cannot read $desktop"
cat "$work/lnk.txt"
grep -qE 'Local path[[:space:]]*:[[:space:]]*C:\\Program Files\\Northwind\\Atlas\\bin\\atlas\.exe' "$work/lnk.txt" ||
  fail "the desktop shortcut's target"
grep -qE 'Command line arguments[[:space:]]*:[[:space:]]*/map demo' "$work/lnk.txt" || fail "the shortcut's arguments"
grep -qE 'Working directory[[:space:]]*:[[:space:]]*C:\\Program Files\\Northwind\\Atlas\\bin' "$work/lnk.txt" ||
  fail "the shortcut's working folder"
lnkinfo "$menu/Uninstall Atlas.lnk" | grep -E 'Local path[[:space:]]*:.*\\Uninstall\.exe' >/dev/null || fail "the uninstall shortcut"
[ -f "$menu/Manual.lnk" ] && [ -f "$menu/Atlas.lnk" ] || fail "the start menu shortcuts"

# ---- Remove with the product's own uninstaller
out=$(run_batch "\"$app\\Uninstall.exe\" /s \"$app\\install.log\"" 'echo uninstall=%errorlevel%' "${queries[@]}")
echo "$out"
grep -q '^uninstall=0$' <<<"$out" || fail "Uninstall.exe failed"
for gone in 'InstallPath' 'Zoom' 'Northwind.AtlasMap' 'atlasext.dll' 'nwrt.dll'; do
  ! grep -q "$gone" <<<"$out" || fail "the registry still holds $gone"
done
grep -E "^ +PATH${ws}REG_EXPAND_SZ" <<<"$out" | grep -v 'Northwind' >/dev/null || fail "PATH still holds Atlas's folder"

[ ! -e "$c/Program Files/Northwind" ] || { find "$c/Program Files/Northwind"; fail "Atlas's folders are still there"; }
[ ! -e "$c/Program Files/Common Files/Northwind" ] || fail "the shared runtime is still there"
[ ! -e "$c/windows/Fonts/DejaVuSansMono.ttf" ] || fail "the font is still there"
[ ! -e "$desktop" ] && [ ! -e "$menu" ] || fail "shortcuts are still there"
! tr -d '\r' <"$c/windows/win.ini" | grep 'Northwind' >/dev/null || fail "win.ini still has Atlas's section"
grep -qx $'atlascfg /cleanup\r' "$work/run.log" || fail "the clean-up did not run before the removal"
grep -qix $'unregister c:\\\\program files\\\\northwind\\\\atlas\\\\bin\\\\atlasext.dll\r' "$work/ext.log" || fail "not unregistered"
echo "Atlas installs under Wine as built for Windows, and its uninstaller removes it all"
