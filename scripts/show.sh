#!/usr/bin/env bash
# Shows the launcher at work against a simulated Velmora server (tools/velmora-sim) on loopback,
# then the pictures wizard uploading a folder of pictures to the server's libraries (as root: the
# libraries are served by a private smbd), and, away from home, to the user's web folder through
# the relay.
# With a display: the real splash and windows, the desktop's own browser and file manager.
# Without one: the same runs under a private X server, in a network namespace of their own when
# run as root, with a recording opener that prints what would have been opened; the wizard's
# pages are walked through by keyboard (xdotool).
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
  [[ -n "${DISPLAY:-}" ]] || needed+=(xvfb xauth iproute2 xdotool)
  [[ $(id -u) -ne 0 ]] || needed+=(samba)
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
    source "$source_dir/scripts/apt-waiting.sh"
    apt_get_waiting update -qq
    apt_get_waiting install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
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
wizard_pid=""
stop_sim() {
  if [[ -n "$sim_pid" ]]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  sim_pid=""
}
cleanup() {
  [[ -n "$wizard_pid" ]] && kill "$wizard_pid" 2>/dev/null && wait "$wizard_pid" 2>/dev/null
  # The simulated server takes its smbd down and removes the shares' folder itself.
  stop_sim
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

# The pictures wizard's part ---------------------------------------------------------------------
snapferry=$program_dir/snapferry
export VELMORA_LOCK_DIR=$demo/lock # the show's wizard never waits for another one
mkdir -p "$VELMORA_LOCK_DIR"

# A folder of a few small pictures to upload (PNG, written without any image tool).
make_pictures() {
  python3 - "$1" <<'PICTURES'
import os, struct, sys, zlib
folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + \
        struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
for name, colour in (("Beach.png", (240, 200, 120)), ("Garden.png", (60, 160, 70)),
                     ("Snow.png", (235, 240, 250))):
    width, height = 320, 240
    rows = b"".join(b"\0" + bytes(colour) * width for _ in range(height))
    with open(os.path.join(folder, name), "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height,
                  8, 2, 0, 0, 0)) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
PICTURES
}

# Starts the simulated server with its libraries served by smbd on 127.0.0.1:PORT (announcing
# as home.local), in place of the launcher's. Sets shares, the folder of the shares' directories.
start_file_server() {
  stop_sim
  coproc SIM { exec python3 "$sim" --smbd --smb-port "$1" --host-name home.local \
    2>"$demo/sim-smbd.log"; }
  sim_pid=$SIM_PID
  local ready=""
  read -r -t 30 ready <&"${SIM[0]}" || true
  if [[ $ready != *" shares="* ]]; then
    echo "(the simulated server's smbd did not start:" "$(tail -n 3 "$demo/sim-smbd.log")" ")"
    return 1
  fi
  shares=${ready##* shares=}
}

show_arrived() { # what the share holds now, with sizes
  echo "On the share:"
  (cd "$shares" && find . -type f -printf '  %P (%s bytes)\n' | sort)
}

run() { # describe, then run doorlet with the arguments
  echo
  echo "== $1"
  shift
  echo "\$ doorlet $*"
  local status=0
  if [[ -n "${VELMORA_SHOW_INSIDE:-}" ]]; then
    # The stand-in desktop's complaints (no browser installed...) are kept out of the show. Nobody
    # answers a dialog here, so a run that is not done long after its search is stuck.
    timeout 120 "$doorlet" "$@" 2>>"$demo/doorlet.err" || status=$?
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
  if [[ $(id -u) -eq 0 && -x $snapferry ]]; then
    smb_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    make_pictures "$demo/pictures"
    if start_file_server "$smb_port"; then
      echo "== The pictures wizard uploads $demo/pictures to the simulated server's FamilyLibrary"
      echo "(smbd on 127.0.0.1:$smb_port). Click Next through its pages: the server search lasts"
      echo "ten seconds; on the last page, the link opens the folder in the file manager."
      echo "\$ snapferry /upload $demo/pictures"
      status=0
      # The wizard's choices go to the show's own hive, not to the user's.
      XDG_CONFIG_HOME=$demo/user VELMORA_SMB_PORT=$smb_port "$snapferry" /upload \
        "$demo/pictures" || status=$?
      echo "exit status $status"
      show_arrived
    fi
  else
    echo "(The pictures wizard's upload needs root, for the simulated server's smbd: not shown.)"
  fi
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

# The pictures wizard, walked through by keyboard as a user would: the welcome page, the server
# search, the server found, the folder page's choices as they are, the copy, the finish page's
# link and Finish.
if [[ $(id -u) -ne 0 || ! -x $snapferry ]]; then
  echo
  echo "(The pictures wizard's upload needs root, for the simulated server's smbd: not shown.)"
  exit 0
fi
bash tests/support/recording-opener.sh "$demo/opened.log"
opened_before=0
make_pictures "$demo/pictures"
start_file_server 445 || exit 0
echo
echo "== The pictures wizard uploads a folder of three pictures to the FamilyLibrary"
echo "\$ snapferry /upload $demo/pictures"
"$snapferry" /upload "$demo/pictures" >"$demo/snapferry.out" 2>>"$demo/snapferry.err" &
wizard_pid=$!
press() { # keys for the wizard's window
  timeout 10 xdotool windowfocus --sync "$sheet" key "$@" 2>/dev/null || true
}
sheet=$(timeout 20 xdotool search --sync --onlyvisible --name '^Dunmere Pictures Wizard$' |
  head -1) || true
if [[ -n $sheet ]]; then
  echo "welcome page: Next"
  press Return
  timeout 5 xdotool search --sync --onlyvisible --name '^Locating ' >/dev/null || true
  echo "device page: listening ten seconds for servers..."
  for _ in $(seq 150); do # the search lasts ten seconds; 30 at most
    timeout 5 xdotool search --onlyvisible --name '^Locating ' >/dev/null || break
    sleep 0.2
  done
  echo "device page: the server found, Next"
  press Return
  sleep 1.5 # the folder page lists the library's folders
  echo "folder page: group name Photo, destination FamilyPhotos/Photo, Next"
  press Return
  for _ in $(seq 100); do
    (($(find "$shares" -type f | wc -l) >= 3)) && break
    sleep 0.1
  done
  sleep 0.5
  echo "finish page: the link, then Finish"
  # Finish has the focus: the link is the control before it, and Finish the one after.
  press shift+Tab Return
  sleep 1
  press Tab Return
fi
for _ in $(seq 300); do
  kill -0 "$wizard_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$wizard_pid" 2>/dev/null; then
  echo "(the wizard did not end by itself; stopped)"
  kill "$wizard_pid"
fi
status=0
wait "$wizard_pid" || status=$?
wizard_pid=""
sed 's/^/  /' "$demo/snapferry.out"
echo "exit status $status"
((status == 0)) || grep -v -e Gtk-WARNING -e '^$' "$demo/snapferry.err" | tail -n 5 | sed 's/^/  /'
show_opened
show_arrived

# Away from home: nothing answers on the network. The launcher's remembered server is reached
# through the relay, and the pictures go to the user's web folder, served over TLS by a private
# httpd with mod_dav (the simulated server's --httpd) whose test authority the wizard is given.
stop_sim
coproc SIM { exec python3 "$sim" --no-announce --relay-port 0 --httpd --host-name home.local \
  2>"$demo/sim-httpd.log"; }
sim_pid=$SIM_PID
ready=""
read -r -t 30 ready <&"${SIM[0]}" || true
if [[ $ready != *" webfolders="* ]]; then
  echo "(the simulated server's web folders did not start:" "$(tail -n 3 "$demo/sim-httpd.log")" ")"
  exit 0
fi
relay_port=$(sed -n 's/.*relay=\([0-9]*\).*/\1/p' <<<"$ready")
ca=$(sed -n 's/.* ca=\([^ ]*\).*/\1/p' <<<"$ready")
webfolders=$(sed -n 's/.* webfolders=\([^ ]*\).*/\1/p' <<<"$ready")
printf '[Domain]\nDomain=localhost:%s\n' "$relay_port" >"$VELMORA_PROGRAM_DIR/settings.ini"
remember_server home
remember_user velmoratest
bash tests/support/recording-opener.sh "$demo/opened.log"
opened_before=$(wc -l <"$demo/opened.log")
echo
echo "== Away from home: the pictures wizard copies three pictures to the web folder, through the relay"
echo "\$ snapferry /upload $demo/pictures"
VELMORA_CA_BUNDLE=$ca "$snapferry" /upload "$demo/pictures" >"$demo/snapferry-away.out" \
  2>>"$demo/snapferry.err" &
wizard_pid=$!
sheet=$(timeout 20 xdotool search --sync --onlyvisible --name '^Dunmere Pictures Wizard$' |
  head -1) || true
if [[ -n $sheet ]]; then
  echo "welcome page: Next"
  press Return
  timeout 5 xdotool search --sync --onlyvisible --name '^Locating ' >/dev/null || true
  echo "device page: listening ten seconds for servers; none answers..."
  for _ in $(seq 150); do
    timeout 5 xdotool search --onlyvisible --name '^Locating ' >/dev/null || break
    sleep 0.2
  done
  echo "device page: 'home (through the relay)', Next"
  press Down Return
  prompt=$(timeout 20 xdotool search --sync --onlyvisible --name '^Password for your web folder$' |
    head -1) || true
  if [[ -n $prompt ]]; then
    echo "password dialog: the password, OK"
    timeout 10 xdotool windowfocus --sync "$prompt" type Pictures-4-all 2>/dev/null || true
    timeout 10 xdotool windowfocus --sync "$prompt" key Return 2>/dev/null || true
  fi
  sleep 2 # the folder page lists the web folder's folders
  echo "folder page: 'Copy pictures to my web folder', destination Pictures/Photo, Next"
  press Return
  arrived=$webfolders/velmoratest/Pictures/Photo
  for _ in $(seq 150); do
    (($(find "$arrived" -type f 2>/dev/null | wc -l) >= 3)) && break
    sleep 0.1
  done
  sleep 0.5
  echo "finish page: the link, then Finish"
  press shift+Tab Return
  sleep 1
  press Tab Return
fi
for _ in $(seq 300); do
  kill -0 "$wizard_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$wizard_pid" 2>/dev/null; then
  echo "(the wizard did not end by itself; stopped)"
  kill "$wizard_pid"
fi
status=0
wait "$wizard_pid" || status=$?
wizard_pid=""
sed 's/^/  /' "$demo/snapferry-away.out"
echo "exit status $status"
show_opened
echo "In the web folder:"
(cd "$webfolders" && find . -type f -printf '  %P (%s bytes)\n' | sort)
