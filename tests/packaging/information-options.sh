#!/usr/bin/env bash
# --help and --version of both programs as a terminal user meets them: without any display, on
# standard output, status 0, nothing on standard error; the help names every command and every
# exit status. A write that fails (a full disk) is a failure, not a success.
# Usage: information-options.sh PROGRAM_DIR PROGRAM...
set -uo pipefail
program_dir=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# program  option  what its output must hold (extended regular expressions, all of them)
cases=(
  "doorlet   --help     ^Usage: doorlet COMMAND$|^  /web |^  /folder |^  --help |^  --version |^  0  |^  1  |^  2  |^  3  "
  "doorlet   --version  ^doorlet \(Velmora desktop suite\) [0-9]+\.[0-9]+\.[0-9]+$|^Copyright "
  "snapferry --help     ^Usage: snapferry COMMAND$|^  /upload FOLDER |^  /autoplay LOCATION |^  /register |^  /unregister |^  --help |^  --version |^  0  |^  1  |^  2  |^  3  |^  4  |^  5  "
  "snapferry --version  ^snapferry \(Velmora desktop suite\) [0-9]+\.[0-9]+\.[0-9]+$|^Copyright "
)

# A display number nobody serves: the answer must not try to reach one.
for ((n = 900; n < 1000; n++)); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || break
done

for row in "${cases[@]}"; do
  read -r program option patterns <<<"$row"
  [[ " $* " == *" $program "* ]] || continue
  path=$program_dir/$program
  for display in unset ":$n"; do
    settings=(-u DISPLAY -u WAYLAND_DISPLAY)
    [[ $display == unset ]] || settings=(-u WAYLAND_DISPLAY DISPLAY="$display")
    status=0
    timeout 20 env "${settings[@]}" "$path" "$option" >"$work/out" 2>"$work/err" || status=$?
    what="$program $option (DISPLAY $display)"
    ((status == 0)) || fail "$what: status $status"
    [[ ! -s $work/err ]] || fail "$what: standard error: $(cat "$work/err")"
    IFS='|' read -ra wanted <<<"$patterns"
    for pattern in "${wanted[@]}"; do
      grep -qE -- "$pattern" "$work/out" || fail "$what: no line matches '$pattern'"
    done
    too_long=$(awk 'length > 79' "$work/out")
    [[ -z $too_long ]] || fail "$what: lines wider than 79 columns: $too_long"
  done
  if [[ -w /dev/full ]]; then
    status=0
    timeout 20 env -u DISPLAY "$path" "$option" >/dev/full 2>"$work/err" || status=$?
    ((status != 0)) || fail "$program $option: a failed write ended with status 0"
    grep -q "^$program: .*standard output" "$work/err" ||
      fail "$program $option >/dev/full: standard error: $(cat "$work/err")"
  fi
done
exit $failed
