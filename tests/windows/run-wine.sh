#!/usr/bin/env bash
# Builds the Windows programs and their tests with mingw-w64 (preset mingw)
# and runs the tests under Wine, in a throw-away Wine prefix, on a virtual X
# server of its own.
#
# As root the whole Wine session runs in a private network namespace: its
# 127.0.0.1:80 belongs to the tests, and its hosts file leads the site host
# there, so quillo-cli.exe can fetch from a local server on the port it always
# uses. Without a namespace those tests report themselves skipped.
#
#   tests/windows/run-wine.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/../.."

timeout 600 cmake --preset mingw
timeout 1800 cmake --build --preset mingw

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
host=$(sed -n 's/^QUILLO_SITE_HOST:[A-Z]*=//p' build/mingw/CMakeCache.txt)

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quillo-wine.XXXXXX")
export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY  # never the user's own screen

namespace=""
cleanup() {
  timeout 30 "$wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  if [[ -n "$namespace" ]]; then
    ip netns del "$namespace" 2>/dev/null || true
    rm -rf "/etc/netns/$namespace"
  fi
}
trap cleanup EXIT

inside=()
if [[ $(id -u) -eq 0 ]] && command -v ip >/dev/null &&
   ip netns add "quillo-wine-$$" 2>/dev/null; then
  namespace="quillo-wine-$$"
  mkdir -p "/etc/netns/$namespace"
  printf '127.0.0.1 localhost %s\n::1 localhost\n' "$host" >"/etc/netns/$namespace/hosts"
  ip netns exec "$namespace" ip link set lo up
  inside=(ip netns exec "$namespace")
else
  echo "run-wine.sh: no private network namespace (needs root and iproute2);" \
       "the quillo-cli tests will be skipped" >&2
fi

# One wineserver for the whole run, started inside the namespace: Wine's
# sockets are made by the server, so its namespace is theirs.
"${inside[@]}" bash -euo pipefail -c '
  wine=$1 wineserver=$2 boot=$3 probe=$4; shift 4
  # A virtual X server of its own for the window tests, never the user'"'"'s
  # screen, large enough for the window at twice its size (Wine keeps a
  # window within the screen); it reports its display number once it is
  # ready. The number is
  # taken high: an X server that a test starts in a namespace of its own
  # picks the lowest number its namespace has free, and would take over the
  # socket file of a low one.
  display=90
  while [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]]; do display=$((display + 1)); done
  displays=$(mktemp)
  Xvfb ":$display" -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$displays" >/dev/null 2>&1 &
  xvfb=$!
  trap '"'"'kill "$xvfb" 2>/dev/null; rm -f "$displays"'"'"' EXIT
  for _ in $(seq 300); do [[ -s "$displays" ]] && break; sleep 0.1; done
  [[ -s "$displays" ]] || { echo "run-wine.sh: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$displays")"
  start=$SECONDS
  "$boot" >/dev/null
  echo "run-wine.sh: Wine prefix ready in $((SECONDS - start)) s"
  "$wineserver" -p
  # quillo-probe stands in for the browser: LaunchTarget'"'"'s test reads
  # what the shell handed it.
  command="\"$(timeout 60 "$wine" winepath -w "$probe")\" record \"%1\""
  timeout 60 "$wine" reg add "HKCR\\http\\shell\\open\\command" /ve /d "$command" /f >/dev/null
  result=0
  timeout 1500 ctest --preset mingw "$@" || result=$?
  timeout 30 "$wineserver" -k || true
  exit "$result"
' run-wine "$wine" "$wineserver" "$PWD/tests/windows/wine-boot.sh" \
  "$PWD/build/mingw/bin/quillo-probe.exe" "$@"
