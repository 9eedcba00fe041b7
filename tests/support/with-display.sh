#!/usr/bin/env bash
# Runs a command with a private X server of its own, so that GUI tests need no display and can
# run side by side. Usage: with-display.sh COMMAND [ARGS...]
set -uo pipefail

# A private home keeps the desktop's own settings and handlers out of the test.
if [[ -z "${VELMORA_KEEP_HOME:-}" ]]; then
  test_home=$(mktemp -d /tmp/velmora-home.XXXXXX)
  export HOME=$test_home XDG_CONFIG_HOME=$test_home/.config XDG_DATA_HOME=$test_home/.local/share
  export XDG_CACHE_HOME=$test_home/.cache XDG_RUNTIME_DIR=$test_home/run
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi
export GTK_A11Y=none NO_AT_BRIDGE=1 GDK_BACKEND=x11
unset WAYLAND_DISPLAY

pick_display() {
  local n
  for ((n = 90 + RANDOM % 400; n < 1000; n++)); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || { echo "$n"; return; }
  done
  return 1
}

xvfb_pid=""
cleanup() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [[ -n "${test_home:-}" ]] && rm -rf "$test_home"
}
trap cleanup EXIT

for attempt in 1 2 3 4 5; do
  n=$(pick_display) || break
  Xvfb ":$n" -nolisten tcp -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [[ -e /tmp/.X11-unix/X$n ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [[ -e /tmp/.X11-unix/X$n ]] && kill -0 "$xvfb_pid" 2>/dev/null; then
    export DISPLAY=":$n"
    "$@"
    exit $?
  fi
  kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""
done
echo "with-display.sh: could not start Xvfb" >&2
exit 1
