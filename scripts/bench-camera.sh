#!/usr/bin/env bash
# Times a camera run against gphoto2 --get-all-files into a folder plus smbclient mput of that
# folder: 200 pictures of 2 MiB on a tmpfs camera, to a private smbd on loopback, median of RUNS
# runs (default 3). Needs root: the camera is a tmpfs in a private mount namespace.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh --tests
build=${VELMORA_BUILD_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" --target camera_bench
# The benchmark takes its smbd and its memory disks down itself; the namespace takes the rest.
status=0
unshare -m --propagation private "$build/bin/camera_bench" "${1:-3}" || status=$?
case $status in
  0) ;;
  1) echo "bench-camera: the camera run is slower than allowed" >&2 ;;
  *) echo "bench-camera: a run failed or was interrupted (status $status)" >&2 ;;
esac
exit "$status"
