#!/usr/bin/env bash
# The test plug-ins built for Windows: each exports GetPluginInfo under its plain name (except
# no_info.dll, which exports none); under Wine, sxtool.exe's "plugin info" (the engine's own
# loader) accepts and refuses them as the Linux build does its own, and the engine of a setup
# built for Windows loads the recorder as its user interface and sends it its events. One prefix.
# Usage: plugins_wine_test.sh WINDOWS_TOOLS_DIR WINE_RUN PLUGIN_DIR OBJDUMP [LINUX_BUILD_DIR]
set -euo pipefail
tools=$1 wine_run=$2 plugins=$3 objdump=$4 linux_build=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
names=(recorder c_plugin no_info newer_engine reserved_set no_handler unterminated_id)

mkdir "$work/bin" "$work/plugins"
for program in sxbuild.exe sxengine.exe sxwizard.dll Uninstall.exe sxtool.exe; do cp "$tools/$program" "$work/bin/"; done
for name in "${names[@]}"; do
  cp "$plugins/$name.dll" "$work/plugins/"
  exports=$("$objdump" -p "$plugins/$name.dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p')
  if [ "$name" = no_info ]; then
    ! grep -q 'GetPluginInfo' <<<"$exports" || fail "$name.dll exports GetPluginInfo"
  else
    grep -qE '\] GetPluginInfo$' <<<"$exports" || { echo "$exports"; fail "$name.dll does not export GetPluginInfo by its plain name"; }
  fi
done

# A project whose user interface is the recorder: it logs every event the engine sends.
mkdir -p "$work/project/payload/core" "$work/project/plugins/wizard"
echo "a file" >"$work/project/payload/core/note.txt"
cp "$plugins/recorder.dll" "$work/project/plugins/wizard/"
printf 'id wizard\nlog Z:%s/events.log\nmute EV_FILEINSTALLPROGRESS\n' "$work" >"$work/project/plugins/wizard/recorder.script"
cat >"$work/project/project.xml" <<'EOF'
<?xml version="1.0" encoding="utf-8"?>
<sx2project version="1.0">
  <variables>
    <var name="AppID" value="RecorderUnderWine"/>
    <var name="AppName" value="Recorder"/>
    <var name="InstallPath" value="%ProgramFiles%\Recorder Test"/>
  </variables>
  <packages><package id="main" main="1" filename="setup"><plugins><plugin id="wizard"/></plugins></package></packages>
  <components><component id="core"><files><file src="note.txt" dst="%InstallPath%\"/></files></component></components>
  <features><feature id="all" name="All"><components><component id="core"/></components></feature></features>
</sx2project>
EOF

# The first program a fresh prefix starts has once failed to start under Wine ("Can't recognize
# ...", 9009) while later ones ran: a first start that is not part of what is checked.
lines=('@echo off' 'bin\sxtool.exe >nul 2>&1')
for name in "${names[@]}"; do lines+=("echo --- $name" "bin\\sxtool.exe plugin info plugins\\$name.dll" 'echo rc=%errorlevel%'); done
lines+=('echo --- end' 'bin\sxbuild.exe project -o out' 'echo build=%errorlevel%' 'out\setup.exe /s' 'echo setup=%errorlevel%'
        'dir /b "C:\Program Files\Recorder Test"')
printf '%s\r\n' "${lines[@]}" >"$work/run.bat"
out=$(cd "$work" && SX_WINE_PREFIX=$work/prefix "$wine_run" cmd /c run.bat 2>&1 | tr -d '\r') || true
echo "$out"

# What "plugin info" says, without the file's path, per plug-in.
verdicts() { grep -v '^file: ' | sed -n '/^--- end$/q;p'; }
windows=$(verdicts <<<"$out")
grep -q 'refused: it does not export GetPluginInfo' <<<"$windows" || fail "no_info.dll was not refused"
[ "$(grep -c '^accepted$' <<<"$windows")" = 3 ] || fail "not exactly recorder, c_plugin and unterminated_id accepted"
if [ -n "$linux_build" ] && [ -x "$linux_build/tools/sxtool" ]; then
  linux=$(export SX_MACHINE=$work/machine
          "$linux_build/tools/sxtool" machine init >/dev/null
          for name in "${names[@]}"; do
            echo "--- $name"
            "$linux_build/tools/sxtool" plugin info "$linux_build/tests/$name.dll" && echo rc=0 || echo "rc=$?"
          done)
  diff <(grep -v '^file: ' <<<"$linux") <(echo "$windows") || fail "the two engines judge the plug-ins differently"
else
  echo "No Linux build given (SX_LINUX_BUILD_DIR): the verdicts are not compared with it"
fi

grep -q '^build=0$' <<<"$out" || fail "the setup was not built"
grep -q '^setup=0$' <<<"$out" || fail "the setup with the recorder failed"
grep -qx 'note.txt' <<<"$out" || fail "the file was not installed"
log=$work/events.log
[ -f "$log" ] || fail "the recorder wrote no log: the engine did not load it"
tr -d '\r' <"$log" >"$work/events.txt"
for line in 'wizard GetPluginInfo mark=0x00010000' 'wizard EV_SETSTARTUPINFO mark=0x00010000 version=0x00030400' \
            'wizard EV_LOAD' 'wizard EV_SHOWDIALOGS after=0' 'wizard EV_FINISH success=1' 'wizard EV_UNLOAD'; do
  grep -q "^$line" "$work/events.txt" || { cat "$work/events.txt"; fail "the recorder did not get: $line"; }
done
echo "the Windows plug-ins export GetPluginInfo, are judged as on Linux, and the engine loads them under Wine"
