#!/usr/bin/env bash
# with-display.sh as its callers rely on it: the command's display is in DISPLAY and in the file
# VELMORA_DISPLAY_FILE names, the command's status is passed on, and a signal to it ends the
# command, whatever the command started, and the X server.
set -uo pipefail
with_display=$(dirname "$0")/with-display.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# Waits up to 10 s for a process to be gone.
gone() { # pid
  local i
  for ((i = 0; i < 100; i++)); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

status=0
VELMORA_DISPLAY_FILE=$work/display timeout 30 bash "$with_display" bash -c \
  'echo "$DISPLAY" >"$1" && xdotool getdisplaygeometry >"$1.size" && exit 7' _ "$work/seen" ||
  status=$?
((status == 7)) || fail "the command's status 7 came back as $status"
[[ -s $work/seen && $(cat "$work/display") == "$(cat "$work/seen")" ]] ||
  fail "display file '$(cat "$work/display" 2>/dev/null)', command's DISPLAY '$(cat "$work/seen")'"
[[ $(cat "$work/seen.size" 2>/dev/null) == "1280 1024" ]] || fail "the command's display is not served"

# A TERM while the command waits for a process of its own.
VELMORA_DISPLAY_FILE=$work/display2 bash "$with_display" bash -c \
  'sleep 300 & echo $! >"$1"; wait' _ "$work/sleeper" &
runner=$!
for ((i = 0; i < 100; i++)); do
  [[ -s $work/sleeper && -s $work/display2 ]] && break
  sleep 0.1
done
display=$(cat "$work/display2" 2>/dev/null)
sleeper=$(cat "$work/sleeper" 2>/dev/null)
xvfb=$(pgrep -P "$runner" -x Xvfb)
if [[ -z $sleeper || -z $xvfb ]]; then
  fail "the command did not start (display '$display', sleeper '$sleeper', server '$xvfb')"
  kill "$runner" 2>/dev/null
  [[ -n $sleeper ]] && kill "$sleeper" 2>/dev/null
else
  kill -TERM "$runner"
  status=0
  wait "$runner" || status=$?
  ((status == 143)) || fail "ended by TERM with status $status, expected 143"
  gone "$sleeper" || { fail "the command's own process $sleeper was left"; kill "$sleeper"; }
  gone "$xvfb" || { fail "the X server $xvfb was left"; kill "$xvfb"; }
fi
exit $failed
