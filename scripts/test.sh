#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds with warnings as
# errors and runs every test;
# then the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# and each fuzz target for a bounded time (QUILLO_FUZZ_SECONDS,
# default 30 per target); last the Windows build, its tests run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test

# The code as .clang-format writes it: any difference fails the run.
find src tests fuzz bench \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror

cmake --preset ci
cmake --build --preset ci
ctest --preset ci

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

scripts/fuzz.sh "${QUILLO_FUZZ_SECONDS:-30}"

# The Windows build (mingw-w64) and its tests under Wine.
tests/windows/run-wine.sh
