#!/usr/bin/env bash
# Runs a program on a virtual X server of its own whose desktop asks for DPI
# dots per inch, through the Xft.dpi resource as GNOME and KDE set it.
#   at_dpi.sh DPI PROGRAM [ARGUMENTS...]
set -euo pipefail

for tool in xvfb-run xauth xprop xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

if [[ -z "${QUILLO_AT_DPI:-}" ]]; then
  export QUILLO_AT_DPI=1
  # Room for the window at twice its size and more; the root window keeps
  # the resource between the clients (no reset when the last one leaves).
  exec xvfb-run -a -s "-screen 0 2560x1600x24 -noreset" bash "$0" "$@"
fi

dpi=$1
shift
xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	$dpi"
unset QT_QPA_PLATFORM QT_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING
exec "$@"
