#!/usr/bin/env bash
# Shows the launcher at work against a simulated Velmora server (tools/velmora-sim) on loopback.
# With a display: the real splash and windows, the desktop's own browser and file manager.
# Without one: the same runs under a private X server, in a network namespace of their own when
# run as root, with a recording opener that prints what would have been opened.
# Usage: scripts/show.sh BUILD
set -euo pipefail
build=$(cd "${1:?usage: scripts/show.sh BUILD}" && pwd)
cd "$(dirname "$0")/.."
source_dir=$PWD
sim=$source_dir/tools/velmora-sim/velmora-sim
program_dir=$build/velmora
doorlet=$program_dir/doorlet

if [[ -z "${VELMORA_SHOW_DEMO:-}" ]]; then
  echo "Built into $program_dir:"
  ls -1 "$program_dir"
  if [[ ! -x $doorlet ]]; then
    echo "doorlet was not built (no wxWidgets GUI?): nothing to show."
    exit 0
  fi

  # What the show needs beyond the build: the simulated server runs on Python, xdg-open hands
  # addresses to the desktop, and without a display a private X server stands in.
  needed=(python3 xdg-utils)
  [[ -n "${DISPLAY:-}" ]] || needed+=(xvfb xauth iproute2)
  missing=()
  for package in "${needed[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  if ((${#missing[@]})); then
    if [[ $(id -u) -ne 0 ]]; then
      echo "show.sh needs these packages: ${missing[*]}" >&2
      exit 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi

  # The program directory of the show: the build's bundles and a settings.ini of its own.
  demo=$(mktemp -d /tmp/velmora-show.XXXXXX)
  owns_demo=1
  mkdir -p "$demo/program" "$demo/machine/velmora"
  cp -r "$program_dir"/. "$demo/program/"
  rm -f "$demo/program/doorlet" "$demo/program/snapferry"
  export VELMORA_PROGRAM_DIR=$demo/program
  # The show's machine-wide registry hive comes first; the system's directories stay behind it.
  export XDG_CONFIG_DIRS=$demo/machine:${XDG_CONFIG_DIRS:-/etc/xdg}
else
  demo=$VELMORA_SHOW_DEMO
  owns_demo=""
fi
sim_pid=""
cleanup() {
  if [[ -n "$sim_pid" ]]; then
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
  [[ -n "$owns_demo" ]] && rm -rf "$demo"
  return 0
}
trap cleanup EXIT

product_key='Software\Corvanta Corporation\Velmora Desktop Applications\1.2'
remember_server() { # the home server's name, as an administrator would set it
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\%s]\n"subdomain"="%s"\n' \
    "$product_key" "$1" >"$demo/machine/velmora/registry.reg"
}
remember_user() { # the user name in the user's own hive
  mkdir -p "${XDG_CONFIG_HOME:-$HOME/.config}/velmora"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\%s]\n"username"="%s"\n' \
    "$product_key" "$1" >"${XDG_CONFIG_HOME:-$HOME/.config}/velmora/registry.reg"
}

# Starts the simulated server: announcements as home.local from 127.0.0.1, its web interface on
# port 80 when that port is free, the relay on RELAY_PORT (0: any). Sets relay_port.
start_sim() {
  local relay=$1 web_port=-1
  if python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 80))' 2>/dev/null; then
    web_port=80
  fi
  coproc SIM { exec python3 "$sim" --relay-port "$relay" --web-port "$web_port" \
    --host-name home.local 2>"$demo/sim.log"; }
  sim_pid=$SIM_PID
  local ready
  read -r -t 10 ready <&"${SIM[0]}"
  relay_port=$(sed -n 's/.*relay=\([0-9]*\).*/\1/p' <<<"$ready")
  [[ $web_port == 80 ]] || echo "(port 80 is taken: the simulated web interface is not served)"
  printf '[Domain]\nDomain=localhost:%s\n' "$relay_port" >"$VELMORA_PROGRAM_DIR/settings.ini"
}

run() { # describe, then run doorlet with the arguments
  echo
  echo "== $1"
  shift
  echo "\$ doorlet $*"
  local status=0
  if [[ -n "${VELMORA_SHOW_INSIDE:-}" ]]; then
    # The stand-in desktop's complaints (no browser installed...) are kept out of the show.
    "$doorlet" "$@" 2>>"$demo/doorlet.err" || status=$?
  else
    "$doorlet" "$@" || status=$?
  fi
  echo "exit status $status"
}

if [[ -n "${DISPLAY:-}" && -z "${VELMORA_SHOW_INSIDE:-}" ]]; then
  start_sim 0
  echo "The simulated Velmora server announces itself as home.local on 127.0.0.1;"
  echo "its relay answers as www.localhost:$relay_port."
  remember_server home
  run "At home: the splash, a five-second search, then the server's web interface in the browser" /web
  remember_server smith
  run "Away from home (the remembered server 'smith' is not on the network): its page on the relay" /web
  echo
  echo "Next, the web folder through the relay. If no user name is remembered yet, a dialog asks"
  echo "for one: type any name (try 'error3' for the relay's error message) and press OK."
  run "Away from home: the user's web folder, looked up through the relay" /folder
  echo
  echo "The show is over; the simulated server stops now."
  exit 0
fi

# Without a display: a private X server and HOME (tests/support/with-display.sh), and, as root, a
# network namespace whose loopback belongs to the show alone.
if [[ -z "${VELMORA_SHOW_INSIDE:-}" ]]; then
  echo
  echo "No display: running under a private X server with a recording opener."
  export VELMORA_SHOW_INSIDE=1 VELMORA_SHOW_DEMO=$demo
  prefix=()
  if [[ $(id -u) -eq 0 ]] && unshare -n true 2>/dev/null; then
    prefix=(unshare -n)
  fi
  status=0
  "${prefix[@]}" bash tests/support/with-display.sh bash "$0" "$build" || status=$?
  exit $status
fi

ip link set lo up 2>/dev/null || true
bash tests/support/recording-opener.sh "$demo/opened.log"
opened_before=0
show_opened() {
  local lines
  lines=$(wc -l <"$demo/opened.log")
  if ((lines > opened_before)); then
    tail -n +"$((opened_before + 1))" "$demo/opened.log" | sed 's/^/opened: /'
  else
    echo "opened: nothing"
  fi
  opened_before=$lines
}

start_sim 0 >/dev/null
echo "The simulated Velmora server announces itself as home.local on 127.0.0.1;"
echo "its relay answers as www.localhost:$relay_port."

remember_server home
remember_user alice
run "At home, /web: the server's web interface" /web
show_opened
run "At home, /folder: the server's shares in the file manager" /folder
show_opened
remember_server smith
run "Away from home, /web: the remembered server's page on the relay" /web
show_opened
run "Away from home, /folder: the user's web folder, looked up through the relay" /folder
show_opened
bash tests/support/recording-opener.sh "$demo/opened.log" http https smb
opened_before=0
run "Away from home, /folder, and no file manager for web folders: the browser shows it" /folder
show_opened
echo
echo "Requests the simulated server answered:"
grep '^request' "$demo/sim.log" | sed 's/^/  /'
