#!/usr/bin/env bash
# Runs doorlet inside a network namespace of its own, beside the simulated server on that
# namespace's loopback: its relay on 127.0.0.1:8080 (reached as www.localhost:8080) and, unless
# the options say otherwise, its announcements from 127.0.0.1 to port 1234. Nothing leaves the
# namespace, so runs never disturb each other or the machine. Needs root (unshare -n).
# Usage: doorlet-netns.sh DOORLET [SIM_OPTION...] -- [DOORLET_ARGUMENT...]
# Exits with doorlet's status (90 and up: the namespace or the server could not be set up).
set -uo pipefail
if [[ -z "${VELMORA_IN_NETNS:-}" ]]; then
  exec unshare -n env VELMORA_IN_NETNS=1 bash "$0" "$@"
fi
ip link set lo up || exit 90

doorlet=$1
shift
sim_options=()
while (($#)) && [[ $1 != -- ]]; do
  sim_options+=("$1")
  shift
done
(($#)) && shift

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
sim_pid=""
program_pid=""
stop() {
  [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
}
trap 'stop; exit 143' TERM
trap 'stop; exit 130' INT

coproc SIM { exec python3 "$source_dir/tools/velmora-sim/velmora-sim" --relay-port 8080 \
  "${sim_options[@]}"; }
sim_pid=$SIM_PID
if ! read -r -t 10 ready <&"${SIM[0]}" || [[ $ready != "velmora-sim ready"* ]]; then
  echo "doorlet-netns.sh: the simulated server did not start" >&2
  stop
  exit 91
fi

# In the background, so that a TERM reaches the trap while doorlet runs; its standard input stays
# the caller's.
"$doorlet" "$@" <&0 &
program_pid=$!
wait "$program_pid"
status=$?
program_pid=""
stop
exit $status
