#!/usr/bin/env bash
# Builds and runs the locate step's benchmark: CPU time of a five-second launcher window, quiet
# and with 200 servers announcing five times a second, lost announcements, and UI tick times.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VELMORA_BUILD_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_GUI=OFF >/dev/null
cmake --build "$build" --target bench_discovery
"$build/bin/bench_discovery"
