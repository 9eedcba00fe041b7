#!/usr/bin/env bash
# Runs snapferry inside a network namespace of its own, beside the simulated server on that
# namespace's loopback: its announcements from 127.0.0.1 to port 1234 and its libraries served by
# a private smbd on 127.0.0.1:445. Nothing leaves the namespace, so runs never disturb each other
# or the machine. A mount namespace of its own keeps the server's small disks (--small-disk) out
# of everybody else's sight. Needs root (unshare -n -m, smbd).
#
# Usage: snapferry-netns.sh [--slow] [--keep-shares DIR] [--seed-shares DIR]
#          [--server-pid-file FILE] SNAPFERRY
#          [SIM_OPTION...] -- [SNAPFERRY_ARGUMENT...]
#   --slow              holds the namespace's loopback to about 50 MB/s, so that a copy of a few
#                       large pictures lasts long enough to be cancelled by hand
#   --keep-shares DIR   copies the share folders into DIR once snapferry has ended, before the
#                       server (which removes its own) stops
#   --seed-shares DIR   copies DIR's folders into the share folders before snapferry starts, so
#                       that a run finds what an earlier run (kept with --keep-shares) left there
#   --server-pid-file FILE  writes the simulated server's process id into FILE once it is ready,
#                       so that a test can stop its smbd (SIGUSR1) and start it again (SIGUSR2)
# The first line on standard output is "snapferry-netns: shares=FOLDER", the live share folders
# (one directory a share), then, with the server's --httpd, "snapferry-netns: webfolders=FOLDER"
# (one directory a user's web folder); "snapferry-netns: program=PID" names snapferry's process once it has
# started, and snapferry's own output follows. Exits with snapferry's status (90 and
# up: the namespace or the server could not be set up).
set -uo pipefail
if [[ -z "${VELMORA_IN_NETNS:-}" ]]; then
  exec unshare -n -m --propagation private env VELMORA_IN_NETNS=1 bash "$0" "$@"
fi
ip link set lo up || exit 90

slow=""
keep=""
seed=""
pid_file=""
while (($#)); do
  case $1 in
    --slow) slow=1; shift ;;
    --keep-shares) keep=$2; shift 2 ;;
    --seed-shares) seed=$2; shift 2 ;;
    --server-pid-file) pid_file=$2; shift 2 ;;
    *) break ;;
  esac
done
snapferry=$1
shift
sim_options=()
while (($#)) && [[ $1 != -- ]]; do
  sim_options+=("$1")
  shift
done
(($#)) && shift

if [[ -n $slow ]] &&
  ! tc qdisc add dev lo root tbf rate 400mbit burst 256kb latency 50ms; then
  echo "snapferry-netns.sh: the slow network could not be set up" >&2
  exit 92
fi

source_dir=$(cd "$(dirname "$0")/../../.." && pwd)
sim_pid=""
program_pid=""
stop() {
  [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  # The simulator takes smbd down and removes its folder; wait for that to finish.
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
}
trap 'stop; exit 143' TERM INT

coproc SIM { exec python3 "$source_dir/tools/velmora-sim/velmora-sim" --smbd \
  --host-name home.local "${sim_options[@]}"; }
sim_pid=$SIM_PID
if ! read -r -t 30 ready <&"${SIM[0]}" || [[ $ready != "velmora-sim ready"* ]]; then
  echo "snapferry-netns.sh: the simulated server did not start" >&2
  stop
  exit 91
fi
shares=${ready##* shares=}
if [[ -n $seed ]] && ! cp -a "$seed"/. "$shares"/; then
  echo "snapferry-netns.sh: the shares could not be seeded from $seed" >&2
  stop
  exit 93
fi
[[ -n $pid_file ]] && echo "$sim_pid" >"$pid_file"
echo "snapferry-netns: shares=$shares"
# With --httpd: the users' web folders, and the test authority snapferry is to trust for them.
if [[ $ready == *" ca="* ]]; then
  ca=${ready##* ca=}
  export VELMORA_CA_BUNDLE=${ca%% *}
  webfolders=${ready##* webfolders=}
  echo "snapferry-netns: webfolders=${webfolders%% *}"
fi

# In the background, so that a TERM reaches the trap while snapferry runs.
"$snapferry" "$@" &
program_pid=$!
# Its windows carry this id, by which a driver tells them from any other program's.
echo "snapferry-netns: program=$program_pid"
wait "$program_pid"
status=$?
program_pid=""
if [[ -n $keep ]]; then
  mkdir -p "$keep" && cp -a "$shares"/. "$keep"/
fi
stop
exit $status
