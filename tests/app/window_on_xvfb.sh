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

# Sets window to the first mapped window named $1 that has an area, and X,
# Y, WIDTH and HEIGHT to its geometry; status 1 when there is none. A window
# that goes between the search and the question about it counts as gone.
shown_window() {
  local w key value
  for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true); do
    WIDTH=0
    while IFS='=' read -r key value; do
      case $key in X | Y | WIDTH | HEIGHT) printf -v "$key" '%d' "$value" ;; esac
    done < <(xdotool getwindowgeometry --shell "$w" 2>/dev/null || true)
    ((WIDTH > 1)) && window=$w && return 0
  done
  return 1
}

unset QT_QPA_PLATFORM
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT

window=
for _ in $(seq 100); do
  shown_window Form1 && break
  kill -0 "$pid" 2>/dev/null || fail "quillo ended before showing its window"
  sleep 0.1
done
[[ -n "$window" ]] || fail "no window named Form1 within 10 s"

# Nothing may be appended to the caption (no application name).
names=$(xprop -id "$window" WM_NAME _NET_WM_NAME) || fail "the window went away"
echo "$names"
grep -qx 'WM_NAME(STRING) = "Form1"' <<<"$names" || fail "WM_NAME is not Form1"
grep -qx '_NET_WM_NAME(UTF8_STRING) = "Form1"' <<<"$names" || fail "_NET_WM_NAME is not Form1"

[[ "$WIDTH" == 530 && "$HEIGHT" == 309 ]] || fail "client area is ${WIDTH}x${HEIGHT}, not 530x309"

# The window paints shortly after it is mapped: wait until the picture shows
# more than a blank area.
for _ in $(seq 50); do
  import -window "$window" "$shot" || fail "the window went away"
  colours=$(convert "$shot" -format '%k' info:)
  ((colours > 40)) && break
  sleep 0.1
done
((colours > 40)) || fail "the window stayed blank (${colours} colours)"
echo "screenshot: $shot (${colours} colours)"
