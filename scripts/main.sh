#!/usr/bin/env bash
# Builds the programs and runs them for a look.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

build=${VELMORA_BUILD_DIR:-build/main}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF
cmake --build "$build"

exec bash scripts/show.sh "$build"
