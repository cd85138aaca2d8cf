#!/usr/bin/env bash
# Starts the real quillo program on a virtual X server, waits for its window,
# checks the window's name and client size and takes a screenshot of it.
#   window_on_xvfb.sh PROGRAM SCREENSHOT.png
set -euo pipefail

program=$1
shot=$2

for tool in xvfb-run xauth xdotool xprop import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

# Run the rest of this script on its own virtual display.
if [[ -z "${QUILLO_ON_XVFB:-}" ]]; then
  export QUILLO_ON_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

unset QT_QPA_PLATFORM
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT

window=
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name '^Form1$' 2>/dev/null | head -n 1 || true)
  [[ -n "$window" ]] && break
  kill -0 "$pid" 2>/dev/null || fail "quillo ended before showing its window"
  sleep 0.1
done
[[ -n "$window" ]] || fail "no window named Form1 within 10 s"

# Nothing may be appended to the caption (no application name).
names=$(xprop -id "$window" WM_NAME _NET_WM_NAME)
echo "$names"
grep -qx 'WM_NAME(STRING) = "Form1"' <<<"$names" || fail "WM_NAME is not Form1"
grep -qx '_NET_WM_NAME(UTF8_STRING) = "Form1"' <<<"$names" || fail "_NET_WM_NAME is not Form1"

eval "$(xdotool getwindowgeometry --shell "$window")"
[[ "$WIDTH" == 530 && "$HEIGHT" == 309 ]] || fail "client area is ${WIDTH}x${HEIGHT}, not 530x309"

# The window paints shortly after it is mapped: wait until the picture shows
# more than a blank area.
for _ in $(seq 50); do
  import -window "$window" "$shot"
  colours=$(convert "$shot" -format '%k' info:)
  ((colours > 40)) && break
  sleep 0.1
done
((colours > 40)) || fail "the window stayed blank (${colours} colours)"
echo "screenshot: $shot (${colours} colours)"
