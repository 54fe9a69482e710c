#!/usr/bin/env bash
# Runs a Windows program under Wine in a throw-away prefix: CTest's emulator for the Windows
# build (CMAKE_CROSSCOMPILING_EMULATOR). The first call makes a template prefix (wineboot, once,
# under a lock); every run gets its own copy (the programs' files hard-linked, the registry
# copied), so tests never see each other's files or registry, and the copy goes afterwards.
# Headless: no display is needed.
set -uo pipefail
template=${SX_WINE_TEMPLATE:-${TMPDIR:-/tmp}/sxengine-wine-template}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)

(
  flock 9
  if [ ! -f "$template/.sx-ready" ]; then
    rm -rf "$template"
    WINEPREFIX=$template "$wine" wineboot -i >/dev/null 2>&1
    # The null graphics driver: windows exist (the engine's main window, the preparing window)
    # without a display.
    WINEPREFIX=$template "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    WINEPREFIX=$template wineserver -w
    touch "$template/.sx-ready"
  fi
) 9>"$template.lock"

# SX_WINE_PREFIX=FOLDER: run in that prefix instead (made from the template when it does not
# exist yet) and keep it, so that a test script can run several programs in one prefix and look
# at its files and registry afterwards (Wine has written them back when this returns).
if [ -n "${SX_WINE_PREFIX:-}" ]; then
  prefix=$SX_WINE_PREFIX
  trap 'WINEPREFIX=$prefix wineserver -w' EXIT
  if [ -f "$prefix/system.reg" ]; then
    WINEPREFIX=$prefix "$wine" "$@"
    exit
  fi
  mkdir -p "$prefix"
else
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/sxengine-wine-XXXXXX")
  cleanup() {
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    rm -rf "$prefix"
  }
  trap cleanup EXIT
fi
cp -al "$template/." "$prefix/"
for reg in system.reg user.reg userdef.reg; do
  rm -f "$prefix/$reg" && cp "$template/$reg" "$prefix/$reg"
done
# Wine links the user's Desktop, Documents, ... to the home folder: in a test prefix they are
# folders of the prefix, so that what a test installs there stays in the prefix.
find "$prefix/drive_c/users" -mindepth 2 -maxdepth 2 -type l -exec sh -c 'rm "$1" && mkdir "$1"' _ {} \;
# Files a run may change in place are its own, not the template's.
find "$prefix/drive_c" -maxdepth 2 -name '*.ini' -exec sh -c 'cp "$1" "$1.tmp" && mv "$1.tmp" "$1"' _ {} \;
# SX_WINE_GRAPHICS=x11: this run draws on $DISPLAY (the screenshot test) instead of the null
# driver, with window frames and captions drawn by Wine itself (there is no window manager).
if [ "${SX_WINE_GRAPHICS:-}" = x11 ]; then
  sed -i '/^"Graphics"="null"$/d' "$prefix/user.reg"
  printf '\n[Software\\\\Wine\\\\X11 Driver]\n"Decorated"="N"\n' >>"$prefix/user.reg"
fi
WINEPREFIX=$prefix "$wine" "$@"
