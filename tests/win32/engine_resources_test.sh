#!/usr/bin/env bash
# The Windows engine's image carries its resources as real PE resources (read back with the
# toolchain's windres), and the engine finds "UNPACK" under Wine: without an appended package it
# gets past writing the unpack library and stops at the package check that follows.
# Usage: engine_resources_test.sh SXENGINE.EXE WINDRES WINE-RUN.SH
set -euo pipefail
engine=$1
windres=$2
wine_run=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$windres" -J coff -O rc -i "$engine" -o "$work/resources.rc"
fail() { echo "$1"; exit 1; }
grep -q 'Name: "UNPACK"' "$work/resources.rc" || fail "no resource UNPACK"
grep -A2 'Type: rcdata' "$work/resources.rc" | grep -q 'UNPACK' || fail "UNPACK is no RCDATA resource"
grep -A2 'Type: group icon' "$work/resources.rc" | grep -q 'Name: "MAINICON"' || fail "no icon group MAINICON"
grep -q '^"DLG_PRESETUP" DIALOG 0, 0, 262, 34$' "$work/resources.rc" || fail "no dialog DLG_PRESETUP"
grep -q 'CAPTION "Tarrow Installer initializing..."' "$work/resources.rc" || fail "dialog caption"
grep -q 'CONTROL "", 101, "MSCTLS_PROGRESS32", 0x50000000, 36, 11, 218, 12' "$work/resources.rc" ||
  fail "dialog progress bar"
grep -q 'CONTROL "MAINICON", 100, "STATIC", 0x50000003, 6, 7, 23, 23' "$work/resources.rc" ||
  fail "dialog icon"

trace_windows="Z:$(tr / '\\' <<<"$work")\\trace.log"
SX_TRACE=$trace_windows SX_MSGBOX_ANSWERS=IDOK "$wine_run" "$engine" /s >/dev/null 2>&1 && fail "the engine succeeded without a package"
cat "$work/trace.log"
grep -q "Can't extract UNPACK.DLL" "$work/trace.log" && fail "the engine did not find UNPACK"
grep -q 'text="Invalid package size!' "$work/trace.log" || fail "the engine stopped before the package check"
echo "sxengine.exe carries UNPACK, MAINICON and DLG_PRESETUP and finds UNPACK under Wine"
