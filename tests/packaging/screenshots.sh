#!/usr/bin/env bash
# Takes the screenshots the metainfo shows, under a private X server (run through
# with-display.sh), and checks that every screenshot the metainfo names was taken.
# Usage: screenshots.sh PROGRAM_DIR METAINFO OUTPUT_DIR
set -euo pipefail
program_dir=$1 metainfo=$2 out=$3
source "$(dirname "$0")/gui-steps.sh"
mkdir -p "$out"
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
# The usage text names the program as it was started: as a desktop starts it, from PATH.
mkdir -p "$work/bin"
ln -s "$program_dir/doorlet" "$work/bin/doorlet"
export PATH="$work/bin:$PATH"

# The usage box, then closed with its OK button as a user does.
doorlet &
pid=$!
pids+=("$pid")
window=$(window_of "$pid")
[[ -n "$window" ]] || { echo "no usage box" >&2; exit 1; }
import -window "$window" "$out/doorlet-usage.png"
press_return "$window"
status=0
wait_status "$pid" || status=$?
[[ $status -eq 2 ]] || { echo "usage run ended with $status, expected 2" >&2; exit 1; }

# The splash during the five-second search; the run is ended before it opens anything.
doorlet /web >/dev/null &
pid=$!
pids+=("$pid")
window=$(window_of "$pid")
[[ -n "$window" ]] || { echo "no splash" >&2; exit 1; }
sleep 0.5 # let it paint
import -window "$window" "$out/doorlet-splash.png"
kill "$pid"
wait "$pid" 2>/dev/null || true

missing=0
while read -r url; do
  name=${url##*/}
  if [[ ! -s "$out/$name" ]]; then
    echo "the metainfo shows $name, which no step took" >&2
    missing=1
  fi
done < <(grep -o '<image[^>]*>[^<]*</image>' "$metainfo" | sed 's/<[^>]*>//g')
exit $missing
