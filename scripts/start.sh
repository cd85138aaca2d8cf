#!/usr/bin/env bash
# Installs what is missing, builds and starts quillo. Without a display the
# window runs on a virtual X server (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build
cmake --preset dev
cmake --build --preset dev

program=build/dev/src/quillo-cli
if [[ -x build/dev/src/app/quillo ]]; then program=build/dev/src/app/quillo; fi
if [[ "$program" == *quillo-cli ]]; then
  exec "$program" "$@"
fi
if [[ -z "${DISPLAY:-}" ]]; then
  echo "start.sh: no display; running the window on a virtual X server (Xvfb)" >&2
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$program" "$@"
fi
exec "$program" "$@"
