#!/usr/bin/env bash
# A program started where the toolkit cannot start (no display, or one nobody serves) must end at
# once with its failure status and one line on standard error that says why.
# Usage: without-display.sh EXPECTED_STATUS PROGRAM [ARGS...]
set -uo pipefail
expected=$1
shift
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
failed=0

check() { # description, then the environment changes for env(1)
  local what=$1 status lines
  shift
  timeout 30 env -u WAYLAND_DISPLAY "$@" "${program[@]}" >/dev/null 2>"$errors"
  status=$?
  lines=$(wc -l <"$errors")
  if [[ $status -ne $expected ]]; then
    echo "FAIL ($what): status $status, expected $expected" >&2
    failed=1
  fi
  if [[ $lines -ne 1 ]] || ! grep -q "^$(basename "${program[0]}"): .*display" "$errors"; then
    echo "FAIL ($what): standard error is not one line naming the display:" >&2
    cat "$errors" >&2
    failed=1
  fi
}

program=("$@")
check "DISPLAY not set" -u DISPLAY
# A display number that no X server serves.
for ((n = 900; n < 1000; n++)); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || break
done
check "DISPLAY :$n unserved" DISPLAY=":$n"
exit $failed
