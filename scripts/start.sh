#!/usr/bin/env bash
# Installs what is missing, builds, and opens the quillo window on the demo
# listings site: nginx serving demo/site on port 80 in a private network
# namespace whose hosts file leads the site's host name there
# (scripts/demo-site.sh). The window runs inside that namespace, so a
# download reaches the demo site exactly as it would reach the real one.
#
#   scripts/start.sh [ARG...]     ARGs go to quillo
#
# Without a display the window runs on a virtual X server (Xvfb) until
# Ctrl-C. Without root there is no demo site: the window starts on its own.
set -euo pipefail
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$(dirname "$self")/.."

program=$PWD/build/dev/src/app/quillo

# The last step, run where the window is to open: inside the namespace when
# there is one, on Xvfb when there is no usable display.
if [[ ${1:-} == --open-window ]]; then
  shift
  if [[ -n ${QUILLO_START_ON_XVFB:-} ]]; then
    echo "start.sh: no display: the window runs on the virtual X server $DISPLAY until Ctrl-C."
    echo "  Screenshot: DISPLAY=$DISPLAY XAUTHORITY=$XAUTHORITY import -window root quillo.png"
  fi
  if [[ -n ${QUILLO_DEMO_URL:-} ]]; then
    echo "start.sh: demo site ready. Paste this address into the URL field and press CSVでダウンロード:"
    echo
    echo "  $QUILLO_DEMO_URL"
    echo
    echo "  (or over https: $QUILLO_DEMO_HTTPS_URL)"
    echo
  fi
  unset QUILLO_START_ON_XVFB
  exec "$program" "$@"
fi

scripts/deps.sh build
cmake --preset dev
# Only the two programs: the first window should not wait for the test suites.
targets=(quillo-cli)
if grep -q '^QUILLO_BUILD_APP:BOOL=ON' build/dev/CMakeCache.txt; then targets+=(quillo); fi
cmake --build --preset dev --target "${targets[@]}"
if [[ ! -x $program ]]; then
  echo "start.sh: $program was not built (QUILLO_BUILD_APP=OFF?); the console program is" \
    "build/dev/src/quillo-cli" >&2
  exit 1
fi

# The namespace has its own network but shares the file system, so only a
# display reached through its socket file in /tmp/.X11-unix works from
# inside; TCP displays (ssh -X forwarding) do not.
display_reachable() {
  [[ ${DISPLAY:-} =~ ^(unix)?:([0-9]+)(\.[0-9]+)?$ ]] && [[ -S /tmp/.X11-unix/X${BASH_REMATCH[2]} ]]
}

as_root=0
if [[ $(id -u) -eq 0 ]]; then as_root=1; fi

on_xvfb=0
if [[ -z ${DISPLAY:-} ]]; then
  on_xvfb=1
elif ((as_root)) && ! display_reachable; then
  echo "start.sh: the display '$DISPLAY' cannot be reached from the demo site's namespace" \
    "(no socket in /tmp/.X11-unix): using a virtual X server instead" >&2
  on_xvfb=1
else
  # Under sudo, the cookie is still in the invoking user's home.
  if [[ -z ${XAUTHORITY:-} && -n ${SUDO_USER:-} ]]; then
    user_home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
    if [[ -r $user_home/.Xauthority ]]; then export XAUTHORITY=$user_home/.Xauthority; fi
  fi
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}
fi

open_window=("$self" --open-window "$@")
if ((on_xvfb)); then
  unset XAUTHORITY QT_QPA_PLATFORM
  export QUILLO_START_ON_XVFB=1
  open_window=(xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "${open_window[@]}")
fi

if ((!as_root)); then
  echo "start.sh: the demo site needs root (it serves port 80 in a network namespace of its" \
    "own); run 'sudo -E scripts/start.sh' for it. Starting the window without it." >&2
  exec "${open_window[@]}"
fi
echo "start.sh: starting the demo site (nginx in a private network namespace); the console" \
  "program works there too: scripts/demo-site.sh run -- sh -c 'build/dev/src/quillo-cli \"\$QUILLO_DEMO_URL\"'"
exec scripts/demo-site.sh run -- "${open_window[@]}"
