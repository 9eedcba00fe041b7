#!/usr/bin/env bash
# Times matching 10,000 pictures against a record of 200,000 copies and confirming them on a
# private smbd on loopback (20 folders), beside the copy of those pictures by the copy engine, as
# root; median of RUNS runs (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh --tests
build=${VELMORA_BUILD_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" --target record_bench
# The benchmark takes its smbd and memory disk down itself on every path, interrupts included.
status=0
"$build/bin/record_bench" "${1:-5}" || status=$?
case $status in
  0) ;;
  1) echo "bench-record: matching or confirming is slower than allowed" >&2 ;;
  *) echo "bench-record: a run failed or was interrupted (status $status)" >&2 ;;
esac
exit "$status"
