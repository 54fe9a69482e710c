#!/usr/bin/env bash
# Shows the sample product Atlas (examples/atlas) on a fresh machine folder: builds its setup
# twice (plain and with a password), installs the plain one silently and shows what it did,
# removes it with its own uninstaller and shows that the machine is back as it was; then does
# the same with the password build, the password given in the silent settings file.
set -euo pipefail
build=${1:?usage: demo.sh BUILD_DIR}
sxtool=$build/tools/sxtool
sxbuild=$build/tools/sxbuild
project=$build/examples/atlas   # assembled by the build (target atlas_project)
password="north-by-northwest"

work=$(mktemp -d /tmp/sxengine-atlas-XXXXXX)
export SX_MACHINE=$work/machine
export SX_TRACE=$work/trace.log
export ATLASEXT_LOG=$work/atlasext.log   # the shell extension notes its (un)registration here
export ATLAS_RUN_LOG=$work/programs.log  # the product's programs note their runs here
drive_c=$SX_MACHINE/drive_c
product="$drive_c/Program Files/Northwind/Atlas"

say() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
note() { printf -- '-- %s\n' "$*"; }

# What a person would compare: every file and folder of C: (type, size, checksum) and every
# registry value of HKLM, HKCU and HKU, as sxtool lists them (C:\setup, where the setup is
# started from, is left out).
snapshot() {
  (cd "$drive_c" && find . -mindepth 1 -path ./setup -prune -o \( -type d -printf 'folder %p\n' \) -o \( -type f -printf 'file %p %s ' -exec md5sum {} \; \) |
     sed 's/  \..*$//' | sort)
  for root_key in HKLM HKCU HKU; do "$sxtool" reg query "$root_key" /s; done
}

show_links() {
  while IFS= read -r -d '' link; do
    echo "${link#"$drive_c"/}"
    lnkinfo "$link" | sed -n 's/^[[:space:]]*\(Local path\|Command line arguments\|Working directory\|Description\|Show window value\)[[:space:]]*:[[:space:]]*/    \1: /p'
  done < <(find "$drive_c/users" -name '*.lnk' -print0 | sort -z)
}

# The install log, section by section: how many entries, and the entries themselves.
log_summary() {
  awk '/^\[/ { if (section) printf "%-18s %3d entries\n", section, count; section=$0; count=0; next }
       /=/ { count++ } END { if (section) printf "%-18s %3d entries\n", section, count }' "$1"
}

# Starts the product's uninstaller as the uninstall entry names it, and waits for it to remove
# itself (it does so through a batch file that runs after it ended).
uninstall() {
  chmod +x "$product/Uninstall.exe"   # a setup's files carry no execute bit on the host
  local code=0
  "$product/Uninstall.exe" /s "C:\\Program Files\\Northwind\\Atlas\\install.log" || code=$?
  echo "uninstaller exit code: $code"
  for _ in $(seq 50); do
    [ -e "$product" ] || [ -n "$(find "$drive_c/Program Files" -maxdepth 2 -name '*.bat')" ] || break
    sleep 0.1
  done
}

compare_with_before() {
  snapshot > "$work/after.txt"
  if diff -u "$work/before.txt" "$work/after.txt" > "$work/difference.txt"; then
    echo "no difference: every file, folder and registry value is as it was before the setup ran"
  else
    echo "differences (the log documents what is kept on purpose):"
    cat "$work/difference.txt"
  fi
}

say "Building the setup of Atlas from $project"
"$sxbuild" "$project" -o "$work/plain" --max-cabinet-size 640K
"$sxbuild" "$project" -o "$work/locked" --max-cabinet-size 640K --password "$password" >/dev/null
note "the plain build:"
ls -l "$work/plain"
note "the build with the password \"$password\" (the password itself is stored nowhere):"
ls -l "$work/locked"

say "A fresh machine: $SX_MACHINE"
"$sxtool" machine init
snapshot > "$work/before.txt"
echo "$(grep -c '^file' "$work/before.txt") files; the snapshot is kept to compare with at the end"

say "Installing silently: C:\\setup\\atlas-setup.exe /s"
mkdir -p "$drive_c/setup"
cp "$work/plain"/* "$drive_c/setup/"
code=0
"$drive_c/setup/atlas-setup.exe" /s || code=$?
echo "setup exit code: $code"
[ "$code" = 0 ] || { echo "the setup failed; the trace is in $SX_TRACE"; exit 1; }
note "programs the setup started (from the trace):"
grep '^process' "$SX_TRACE" | sed 's/^process /    /'

say "The files the setup installed"
(cd "$drive_c" && find "Program Files/Northwind" "Program Files/Common Files/Northwind" | sort | sed 's/^/    /')
note "the font, in the system's font folder:"
(cd "$drive_c" && ls -l windows/Fonts)
note "the shortcuts:"
(cd "$drive_c" && find users -name '*.lnk' | sort | sed 's/^/    /')
note "the entry in a file the machine already had (C:\\windows\\win.ini):"
cat "$drive_c/windows/win.ini"
note "Atlas's own atlas.ini:"
cat "$product/atlas.ini"

say "The registry values the setup wrote (sxtool reg query)"
"$sxtool" reg query "HKLM\\Software\\Northwind\\Atlas"
"$sxtool" reg query "HKCU\\Software\\Northwind\\Atlas" /s
"$sxtool" reg query "HKCR\\.map"
"$sxtool" reg query "HKCR\\Northwind.AtlasMap" /s
note "the shared runtime's count, the font's registration, the system PATH:"
"$sxtool" reg query "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"
"$sxtool" reg query "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
"$sxtool" reg query "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment" /v PATH

say "The uninstall entry"
"$sxtool" reg query "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NorthwindAtlas"

say "The shortcuts, read back (lnkinfo)"
show_links

say "The self-registering shell extension and the product's programs"
note "atlasext.dll's calls:"; cat "$ATLASEXT_LOG"
note "programs run before and after the installation:"; cat "$ATLAS_RUN_LOG"

say "The install log (C:\\Program Files\\Northwind\\Atlas\\install.log), which the uninstaller reads"
log_summary "$product/install.log"
note "in full:"
cat "$product/install.log"

say "Removing Atlas with its own uninstaller: Uninstall.exe /s"
: > "$ATLAS_RUN_LOG"; : > "$ATLASEXT_LOG"
uninstall
note "atlasext.dll's calls:"; cat "$ATLASEXT_LOG"
note "programs run before removing:"; cat "$ATLAS_RUN_LOG"

say "The machine compared with its snapshot from before the setup"
compare_with_before

say "The password build, installed silently"
rm -rf "$drive_c/setup"
mkdir -p "$drive_c/setup"
cp "$work/locked"/* "$drive_c/setup/"
note "without the password the setup refuses (and changes nothing):"
code=0
"$drive_c/setup/atlas-setup.exe" /s || code=$?
echo "setup exit code: $code"
note "with the password in the silent settings file beside the setup, C:\\setup\\atlas-setup.sss:"
cat > "$drive_c/setup/atlas-setup.sss" <<EOF
<silentsettings>
  <variables>
    <var name="Password" value="$password"/>
  </variables>
</silentsettings>
EOF
cat "$drive_c/setup/atlas-setup.sss"
code=0
"$drive_c/setup/atlas-setup.exe" /s || code=$?
echo "setup exit code: $code"
[ "$code" = 0 ] || { echo "the setup failed; the trace is in $SX_TRACE"; exit 1; }
(cd "$drive_c" && find "Program Files/Northwind/Atlas" -maxdepth 1 | sort | sed 's/^/    /')
note "the password reached no file of the machine:"
grep -rl -- "$password" "$SX_MACHINE" | grep -v '/setup/atlas-setup.sss$' || echo "    (none but the settings file itself)"
uninstall
rm -rf "$drive_c/setup"

say "The machine compared with its snapshot from before the first setup"
compare_with_before

echo
echo "machine folder: $SX_MACHINE"
echo "To run the same setup interactively (the terminal wizard), in a terminal:"
echo "  SX_MACHINE=$SX_MACHINE $work/plain/atlas-setup.exe"
