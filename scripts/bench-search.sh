#!/usr/bin/env bash
# Times the picture search against find(1) with the wizard's extensions (each in both letter
# cases) over a tree of 100,000 files in 5,000 folders, side by side with a warm page cache, and
# measures the found set's memory per picture. Usage: bash scripts/bench-search.sh [RUNS]
# (default 9; medians).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-9}
build=${VELMORA_BENCH_BUILD_DIR:-build/bench-search}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_GUI=OFF >/dev/null
cmake --build "$build" --target search_benchmark >/dev/null

tree=$(mktemp -d /tmp/velmora-bench-search.XXXXXX)
trap 'rm -rf "$tree"' EXIT
"$build/bin/search_benchmark" make-tree "$tree/pictures"
"$build/bin/search_benchmark" run "$tree/pictures" "$runs"
