#!/usr/bin/env bash
# sxtool.exe writes registry values under Wine; Wine's own reg.exe reads them back in the same
# throw-away prefix. Usage: sxtool_reg_test.sh SXTOOL.EXE WINE-RUN.SH
set -euo pipefail
sxtool=$1
wine_run=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$sxtool" "$work/sxtool.exe"
printf '%s\r\n' '@echo off' \
  'sxtool.exe reg add "HKLM\Software\SX Wine Test" /v Greeting /t REG_SZ /d "Hello Wine"' \
  'echo add=%errorlevel%' \
  'sxtool.exe reg add "HKLM\Software\SX Wine Test" /v Count /t REG_DWORD /d 42' \
  'echo add=%errorlevel%' \
  'sxtool.exe reg query "HKLM\Software\SX Wine Test"' \
  'echo query=%errorlevel%' \
  'echo --- reg.exe' \
  'reg query "HKLM\Software\SX Wine Test"' > "$work/check.bat"
out=$(cd "$work" && "$wine_run" cmd /c check.bat 2>&1 | tr -d '\r') || true
echo "$out"
if grep -qE '^(add|query)=[1-9]' <<<"$out"; then echo "sxtool.exe failed"; exit 1; fi
expect() {
  grep -qE "$1" <<<"${out#*--- reg.exe}" || { echo "missing in reg.exe's answer: $1"; exit 1; }
}
expect 'Greeting[[:space:]]+REG_SZ[[:space:]]+Hello Wine'
expect 'Count[[:space:]]+REG_DWORD[[:space:]]+0x2a'
grep -q 'Greeting' <<<"${out%%--- reg.exe*}" || { echo "sxtool reg query did not list the value"; exit 1; }
echo "sxtool.exe reg add/query agree with Wine's reg query"
