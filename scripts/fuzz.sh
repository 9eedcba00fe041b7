#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

bash scripts/deps.sh --tests
build=${VELMORA_FUZZ_BUILD_DIR:-build/fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORA_FUZZ=ON -DVELMORA_GUI=OFF -DVELMORA_TESTS=OFF -DVELMORA_WERROR=ON >/dev/null
cmake --build "$build"

shopt -s nullglob
targets=("$build"/fuzz/*)
if ((${#targets[@]} == 0)); then
  echo "no fuzz targets built" >&2
  exit 1
fi
status=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [[ -d tests/fuzz/seeds/$name ]] && seeds=("tests/fuzz/seeds/$name")
  echo "== $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/" \
      "$corpus" "${seeds[@]}" >"$build/$name.log" 2>&1; then
    echo "FAILED: $name (see $build/$name.log)"
    tail -n 40 "$build/$name.log"
    status=1
  else
    grep -E 'stat::number_of_executed_units' "$build/$name.log" || true
  fi
done
exit $status
