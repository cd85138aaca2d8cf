#!/usr/bin/env bash
# Sets up a fresh Wine prefix for the tests (wineboot -i) and waits until
# the prefix's wineserver has ended, so that nothing of the set-up still runs
# or writes the prefix when the tests start. On a loaded machine a new
# prefix's first command fails now and then (wineboot exiting 53): it is
# tried again from an empty prefix, at most three times in all, each retry
# said on standard error. Wine's own output goes to standard output.
#   WINEPREFIX  required: the prefix's folder (made when missing)
set -euo pipefail

prefix=${WINEPREFIX:?wine-boot.sh: WINEPREFIX is not set}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
tries=3

for try in $(seq "$tries"); do
  mkdir -p "$prefix"
  status=0
  timeout 300 "$wine" wineboot -i 2>&1 || status=$?
  # The server ends a few seconds after the set-up's last process.
  if ((status == 0)); then
    timeout 120 "$wineserver" -w && exit 0
    status=$?
  fi
  echo "wine-boot.sh: setting up $prefix failed (status $status), try $try of $tries" >&2
  timeout 30 "$wineserver" -k 2>/dev/null || true
  timeout 60 "$wineserver" -w 2>/dev/null || true
  rm -rf "$prefix"
done
echo "wine-boot.sh: no Wine prefix after $tries tries" >&2
exit 1
