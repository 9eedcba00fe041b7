#!/usr/bin/env bash
# Times the copy engine against smbclient put/mput on a private smbd on loopback (needs root):
# 1 GiB in 8 files and 1,000 files of 200 KiB, median of RUNS runs (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh --tests
build=${VELMORA_BUILD_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" --target transfer_bench
# The benchmark takes its smbd and memory disk down itself on every path, interrupts included; it
# says which run failed.
status=0
"$build/bin/transfer_bench" "${1:-5}" || status=$?
case $status in
  0) ;;
  1) echo "bench-transfer: the copy engine is slower than allowed" >&2 ;;
  *) echo "bench-transfer: a run failed or was interrupted (status $status)" >&2 ;;
esac
exit "$status"
