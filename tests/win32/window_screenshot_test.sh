#!/usr/bin/env bash
# The engine's windows on a real display: the showcase program (window_showcase.cpp) runs under
# Wine on a virtual X server (Xvfb) and shows the splash and the preparing dialog with its
# progress bar. The test finds both windows on the X server at their sizes, takes a screenshot
# (ImageMagick's import) and checks that the pictures are drawn: the splash's colours and the
# progress bar's fill. SX_SCREENSHOT=FILE keeps the screenshot (docs/windows-preparing.png).
# Usage: window_screenshot_test.sh WINDOW_SHOWCASE.EXE WINE-RUN.SH
set -euo pipefail
showcase=$1
wine_run=$2
for tool in Xvfb xwininfo import identify; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps-windows.sh installs it)"; exit 1; }
done
work=$(mktemp -d)
xvfb=""
showcase_pid=""
cleanup() {
  [ -n "$showcase_pid" ] && { touch "$work/stop"; wait "$showcase_pid" 2>/dev/null || true; }
  [ -n "$xvfb" ] && { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

# A free display: Xvfb picks it and writes its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -br 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

folder_windows="Z:$(tr / '\\' <<<"$work")"
SX_WINE_GRAPHICS=x11 SX_TRACE= "$wine_run" "$showcase" "$folder_windows" >"$work/showcase.log" 2>&1 &
showcase_pid=$!

dialog_title='"Preparing "atlasdata.sxp" package..."'
# Bounded wait until both windows are drawn (the program says so) and mapped on the server.
found=""
for _ in $(seq 90); do
  if [ -f "$work/ready" ]; then
    xwininfo -root -tree >"$work/tree" 2>/dev/null || true
    if grep -q '"SXSplashWindow"' "$work/tree" &&
       grep -qF "$dialog_title" "$work/tree"; then
      found=1
      break
    fi
  fi
  kill -0 "$showcase_pid" 2>/dev/null || break
  sleep 0.5
done
if [ -z "$found" ]; then
  echo "the windows did not appear"; cat "$work/showcase.log"; cat "$work/tree" 2>/dev/null; exit 1
fi
sleep 0.5  # let the X server finish drawing what Wine sent
import -window root "$work/screen.png"

# The windows' geometry as the X server has it: WIDTHxHEIGHT+X+Y.
geometry() { grep -F "$1" "$work/tree" | head -n1 | grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' | head -n1; }
splash=$(geometry '"SXSplashWindow"')
dialog=$(geometry "$dialog_title")
echo "splash $splash, preparing dialog $dialog"
[ "${splash%%+*}" = 360x240 ] || { echo "the splash is not 360x240"; exit 1; }
IFS='x+' read -r dw dh dx dy <<<"$dialog"
# The dialog sits at the bottom right, 20 pixels from the edges, and is wider than tall.
[ "$((dx + dw))" -eq $((1024 - 20)) ] && [ "$((dy + dh))" -eq $((768 - 20)) ] ||
  { echo "the preparing dialog is not at the bottom right"; exit 1; }
[ "$dw" -gt 300 ] && [ "$dh" -gt 40 ] && [ "$dw" -gt "$dh" ] || { echo "odd dialog size"; exit 1; }

# What is drawn: the splash's island and sea at its centre and left edge, black outside its
# rounded corner.
pixel() { convert "$work/screen.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:; }
sx=$((512 - 180)); sy=$((384 - 120))
island=$(pixel $((sx + 150)) $((sy + 90)))
corner=$(pixel $((sx + 1)) $((sy + 1)))
echo "splash island $island, corner $corner"
IFS=, read -r r g b <<<"$island"
[ "$r" -gt 150 ] && [ "$g" -gt 130 ] && [ "$b" -lt "$g" ] || { echo "the splash picture is not drawn"; exit 1; }
[ "$corner" = 0,0,0 ] || { echo "the splash's region does not cut its corner"; exit 1; }
# The progress bar, on the dialog's lower half: filled at a third of the dialog's width, empty
# (white) near its right end.
bar_y=$((dy + dh * 5 / 8))
filled=$(pixel $((dx + dw * 35 / 100)) "$bar_y")
empty=$(pixel $((dx + dw * 85 / 100)) "$bar_y")
echo "progress bar filled $filled, empty $empty"
IFS=, read -r r g b <<<"$empty"
[ "$r" -gt 240 ] && [ "$g" -gt 240 ] && [ "$b" -gt 240 ] || { echo "no empty progress bar part"; exit 1; }
IFS=, read -r r g b <<<"$filled"
[ "$((r + g + b))" -lt 600 ] || { echo "the progress bar is not filled"; exit 1; }
# The bounding box of everything not black covers both windows.
trim=$(convert "$work/screen.png" -trim -format '%wx%h%O' info:)
echo "drawn area $trim"
IFS='x+' read -r tw th tx ty <<<"$trim"
[ "$tx" -le "$sx" ] && [ "$ty" -le "$sy" ] && [ "$((tx + tw))" -ge $((1024 - 20)) ] &&
  [ "$((ty + th))" -ge $((768 - 20)) ] || { echo "the drawn area misses a window"; exit 1; }

if [ -n "${SX_SCREENSHOT:-}" ]; then
  cp "$work/screen.png" "$SX_SCREENSHOT"
  echo "screenshot saved as $SX_SCREENSHOT"
fi
echo "the splash and the preparing dialog show on the display as the engine describes them"
