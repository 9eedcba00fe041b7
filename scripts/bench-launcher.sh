#!/usr/bin/env bash
# Measures doorlet from its start until it calls the opener (xdg-open), for "/web" with the home
# server found on the network: a private X server, a network namespace of its own (root), the
# simulated server announcing on its loopback. The search window itself lasts 5 seconds; the
# figure that matters is the time beyond it.
# Usage: scripts/bench-launcher.sh [BUILD [RUNS]]   (default build/main, 5 runs)
# It runs under with-display.sh, whose server is the only one it talks to; every wait has a time
# limit, and the simulated server is stopped on every path, interrupts included.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/main}" && pwd)
runs=${2:-5}
doorlet=$build/velmora/doorlet
[[ -x $doorlet ]] || { echo "no doorlet in $build/velmora: build it first" >&2; exit 1; }

if [[ -z "${VELMORA_BENCH_INSIDE:-}" ]]; then
  export VELMORA_BENCH_INSIDE=1
  exec unshare -n bash tests/support/with-display.sh bash "$0" "$build" "$runs"
fi
ip link set lo up

work=$(mktemp -d /tmp/velmora-bench.XXXXXX)
sim_pid=""
cleanup() {
  [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$work/program" "$work/machine/velmora" "$work/bin"
printf '[Domain]\nDomain=localhost:8080\n' >"$work/program/settings.ini"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\%s]\n"subdomain"="home"\n' \
  'Software\Corvanta Corporation\Velmora Desktop Applications\1.2' \
  >"$work/machine/velmora/registry.reg"
export VELMORA_PROGRAM_DIR=$work/program XDG_CONFIG_DIRS=$work/machine
bash tests/support/recording-opener.sh "$work/opened.log" http
# The moment doorlet calls the opener, noted before the real xdg-open runs.
printf '#!/bin/sh\ndate +%%s%%N >> %q\nexec /usr/bin/xdg-open "$@"\n' "$work/called" \
  >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

coproc SIM { exec python3 tools/velmora-sim/velmora-sim --relay-port 8080 --host-name home.local \
  --interval 0.5 2>/dev/null; }
sim_pid=$SIM_PID
if ! read -r -t 10 ready <&"${SIM[0]}" || [[ $ready != "velmora-sim ready"* ]]; then
  echo "bench-launcher: the simulated server did not start" >&2
  exit 1
fi

beyond=()
echo "run  start->opener  server choice  outside the choice  beyond 5 s"
for ((run = 1; run <= runs; run++)); do
  : >"$work/called"
  start=$(date +%s%N)
  # The search window lasts 5 s; a run that is not done long after it is stuck.
  output=$(timeout 60 "$doorlet" /web 2>/dev/null) || true
  called=$(head -n 1 "$work/called")
  [[ -n $called ]] || { echo "run $run: the opener was not called" >&2; exit 1; }
  total=$(((called - start) / 1000000))
  choice=$(sed -n 's/^Server choice [0-9-]* after \([0-9]*\) ms$/\1/p' <<<"$output")
  beyond+=($((total - 5000)))
  printf '%3d  %10d ms  %10s ms  %15d ms  %7d ms\n' "$run" "$total" "${choice:-?}" \
    "$((total - ${choice:-0}))" "$((total - 5000))"
done
median=$(printf '%s\n' "${beyond[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
echo "median time beyond the 5 s window: $median ms"
