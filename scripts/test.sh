#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test;
# then the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# and each differential fuzz target for a bounded time (QUILLO_FUZZ_SECONDS,
# default 30 per target).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
cmake --preset ci
cmake --build --preset ci
ctest --preset ci

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

scripts/fuzz.sh "${QUILLO_FUZZ_SECONDS:-30}"
