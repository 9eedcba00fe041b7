#!/usr/bin/env bash
# Runs the discovery tests (the locate step's worker, tick and busy counter) under
# ThreadSanitizer in a build of their own.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VELMORA_BUILD_DIR:-build/tsan-discovery}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_GUI=OFF \
  -DVELMORA_SANITIZE=thread >/dev/null
cmake --build "$build" --target discovery_rules discovery_locate discovery_port1234
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
ctest --test-dir "$build" --output-on-failure -j2 -R '^discovery_'
