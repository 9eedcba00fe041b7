#!/usr/bin/env bash
# Times the copy engine into a web folder (the simulated server's httpd and mod_dav over TLS)
# against sequential curl -T uploads of the same 100 pictures of 2 MiB, in a network namespace of
# its own (needs root): with loopback held to 100 Mbit/s, with 20 ms added to every round trip by
# the simulated server's relaying proxy, and with both. Median of RUNS (default 3).
# Usage: scripts/bench-webdav.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}

if [[ -z "${VELMORA_IN_NETNS:-}" ]]; then
  bash scripts/deps.sh --tests
  build=${VELMORA_BUILD_DIR:-build/bench}
  # A build folder already there keeps its own settings (VELMORA_BUILD_DIR=build/test reuses it).
  if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" --target webdav_bench
  exec unshare -n env VELMORA_IN_NETNS=1 VELMORA_BENCH_PROGRAM="$build/bin/webdav_bench" \
    bash "$0" "$@"
fi

ip link set lo up

sim_pid=""
stop() {
  if [[ -n $sim_pid ]]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  sim_pid=""
}
trap 'stop' EXIT
trap 'stop; exit 130' INT TERM

status=0
# RATE for loopback (none: as fast as it goes), the delay in each direction, the ratio allowed
# (0: only reported). With the delaying proxy every byte crosses loopback twice, so 200mbit there
# is a 100 Mbit/s link. A bucket of 256kb or more: loopback's 64 KiB packets are dropped for good
# by a smaller one.
#   100 Mbit/s: at most curl's time, the link being the limit for both;
#   20 ms a round trip: at most 0.6 of curl's time, the uploads under way at once hiding it;
#   both at once: reported.
for setting in "100mbit 0 1.0" "none 10 0.6" "200mbit 10 0"; do
  read -r rate delay allowed <<<"$setting"
  tc qdisc del dev lo root 2>/dev/null || true
  if [[ $rate != none ]]; then
    tc qdisc add dev lo root tbf rate "$rate" burst 256kb latency 50ms
  fi
  coproc SIM { exec python3 tools/velmora-sim/velmora-sim --no-announce --httpd \
    --dav-delay-ms "$delay" 2>/tmp/bench-webdav-sim.$$.log; }
  sim_pid=$SIM_PID
  ready=""
  if ! read -r -t 30 ready <&"${SIM[0]}" || [[ $ready != *" dav="* ]]; then
    echo "bench-webdav: the simulated server did not start" >&2
    tail -n 5 /tmp/bench-webdav-sim.$$.log >&2
    exit 2
  fi
  port=$(sed -n 's/.* dav=\([0-9]*\).*/\1/p' <<<"$ready")
  export VELMORA_CA_BUNDLE=$(sed -n 's/.* ca=\([^ ]*\).*/\1/p' <<<"$ready")
  echo "== loopback held to: $rate; added to every round trip: $((delay * 2)) ms"
  result=0
  "$VELMORA_BENCH_PROGRAM" "https://home.localhost:$port/webdav/velmoratest/" "$allowed" "$runs" ||
    result=$?
  stop
  rm -f /tmp/bench-webdav-sim.$$.log
  case $result in
    0) ;;
    1) echo "bench-webdav: the copy engine is slower than allowed"; status=1 ;;
    *) echo "bench-webdav: a run failed (status $result)" >&2; exit 2 ;;
  esac
done
exit "$status"
