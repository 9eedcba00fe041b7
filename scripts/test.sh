#!/usr/bin/env bash
# Installs what is missing, builds every target with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh --tests

build=${VELMORA_BUILD_DIR:-build/test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON
cmake --build "$build"

bash scripts/check-format.sh

# A short run of every fuzz target catches a parser that crashes on what it was made to survive;
# scripts/fuzz.sh with a longer time is for real fuzzing.
bash scripts/fuzz.sh "${VELMORA_FUZZ_SECONDS:-10}"

# Tests that need a display find one through tests/support/with-display.sh; none is assumed here.
unset DISPLAY WAYLAND_DISPLAY
ctest --test-dir "$build" --output-on-failure --timeout 600 -j2
