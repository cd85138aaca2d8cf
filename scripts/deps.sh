#!/usr/bin/env bash
# Installs the Debian packages quillo needs to build and test, when missing.
#   scripts/deps.sh build   what building the programs needs
#   scripts/deps.sh test    that plus what the tests need
#   scripts/deps.sh bench   that plus Google Benchmark, for the bench preset
set -euo pipefail

want=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev
      qt6-base-dev qt6-base-dev-tools libgl-dev liblz4-dev nlohmann-json3-dev libssl-dev
      fonts-ipafont-gothic xvfb xauth xdg-utils)
if [[ "${1:-build}" == test ]]; then
  want+=(iproute2 nginx-light openssl xdotool xclip x11-utils imagemagick
         mingw-w64 g++-mingw-w64-x86-64-posix googletest wine64 firefox-esr chromium
         python3 clang-format clang libclang-rt-dev
         dpkg-dev help2man lintian desktop-file-utils
         at-spi2-core python3-pyatspi dbus-daemon)
fi
if [[ "${1:-build}" == bench ]]; then
  want+=(libbenchmark-dev)
fi

missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "deps.sh: installing ${missing[*]} needs root (run with sudo)" >&2
    exit 1
  fi
  echo "deps.sh: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
