#!/usr/bin/env bash
# Runs a command with a private X server of its own, so that GUI tests need no display and can
# run side by side. Usage: with-display.sh COMMAND [ARGS...]
# The command finds its display in DISPLAY, and only there: it must never look for "the" display
# among the servers of the machine. A caller that drives the command's windows from outside
# names a file in VELMORA_DISPLAY_FILE, where the display's name (":N") is written once the
# server is up. Ends with the command's status; when it is ended by a signal (an interrupt, a
# timeout), the command is ended too, and then the server.
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

xvfb_pid=""
command_pid=""
cleanup() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [[ -n "${test_home:-}" ]] && rm -rf "$test_home"
  return 0
}
# The command's whole process group first, given 30 s to take down what it started, then the
# server.
on_signal() {
  if [[ -n "$command_pid" ]] && kill -TERM -- "-$command_pid" 2>/dev/null; then
    for _ in $(seq 300); do
      kill -0 -- "-$command_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$command_pid" 2>/dev/null
  fi
  exit "$1"
}
trap cleanup EXIT
trap 'on_signal 130' INT
trap 'on_signal 143' TERM
trap 'on_signal 129' HUP

# Xvfb takes the first free display itself and writes its number once it listens, so that two
# runs starting at once never end up on one server (a display picked here could be taken by the
# time its server starts, and the winner's socket mistaken for one's own).
number_file=$(mktemp /tmp/velmora-display.XXXXXX)
for attempt in 1 2 3; do
  : >"$number_file"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  n=""
  for _ in $(seq 100); do
    n=$(tr -dc '0-9' <"$number_file")
    [[ -n "$n" ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [[ -n "$n" ]] && kill -0 "$xvfb_pid" 2>/dev/null; then
    rm -f "$number_file"
    export DISPLAY=":$n"
    if [[ -n "${VELMORA_DISPLAY_FILE:-}" ]]; then
      echo "$DISPLAY" >"$VELMORA_DISPLAY_FILE.$$" && mv "$VELMORA_DISPLAY_FILE.$$" "$VELMORA_DISPLAY_FILE"
    fi
    # In the background, so that a signal reaches the traps while the command runs, and in a
    # process group of its own (set -m), so that the traps reach everything it started; its
    # standard input stays the caller's.
    set -m
    "$@" <&0 &
    command_pid=$!
    set +m
    wait "$command_pid"
    status=$?
    command_pid=""
    exit "$status"
  fi
  kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""
done
rm -f "$number_file"
echo "with-display.sh: could not start Xvfb" >&2
exit 1
