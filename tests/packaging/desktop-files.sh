#!/usr/bin/env bash
# The desktop entries and the metainfo as the build makes them pass the desktop's own validators.
# Usage: desktop-files.sh METAINFO DESKTOP_ENTRY...
set -uo pipefail
metainfo=$1
shift
failed=0
for entry in "$@"; do
  # desktop-file-validate reports hints too; only errors and warnings fail.
  report=$(desktop-file-validate "$entry" 2>&1)
  if [[ $? -ne 0 ]] || grep -Eq 'error:|warning:' <<<"$report"; then
    echo "$report" >&2
    failed=1
  fi
done
appstreamcli validate --no-net --pedantic "$metainfo" || failed=1
exit $failed
