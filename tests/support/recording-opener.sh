#!/usr/bin/env bash
# Makes a recording program the desktop's default for web, share and web-folder addresses, so
# that tests and demonstrations see what xdg-open would have opened. Each address goes on a line
# of LOG, and "SECONDS.NANOSECONDS ADDRESS" on a line of LOG.times. Only for a throw-away HOME.
# Usage: recording-opener.sh LOG [SCHEME...]   (default: http https smb dav davs)
set -euo pipefail
log=$1
shift
schemes=("$@")
((${#schemes[@]})) || schemes=(http https smb dav davs)

case "$HOME" in
  /tmp/* | "${TMPDIR:-/tmp}"/*) ;;
  *) echo "recording-opener.sh: HOME ($HOME) is no temporary folder; nothing changed" >&2; exit 1 ;;
esac

data=${XDG_DATA_HOME:-$HOME/.local/share}
config=${XDG_CONFIG_HOME:-$HOME/.config}
mkdir -p "$data/applications" "$config"

recorder=$data/velmora-recorder
{
  echo '#!/bin/sh'
  echo "when=\$(date +%s.%N)"
  printf 'printf "%%s\\n" "$1" >> %q\n' "$log"
  printf 'printf "%%s %%s\\n" "$when" "$1" >> %q\n' "$log.times"
} >"$recorder"
chmod +x "$recorder"

mime_types=()
for scheme in "${schemes[@]}"; do
  mime_types+=("x-scheme-handler/$scheme")
done
cat >"$data/applications/velmora-recorder.desktop" <<EOF2
[Desktop Entry]
Type=Application
Name=Velmora recorder
Exec=$recorder %u
NoDisplay=true
MimeType=$(IFS=';'; echo "${mime_types[*]}");
EOF2

# Only the schemes given now go to the recorder.
[[ -f "$config/mimeapps.list" ]] && sed -i '/=velmora-recorder.desktop/d' "$config/mimeapps.list"
for mime_type in "${mime_types[@]}"; do
  xdg-mime default velmora-recorder.desktop "$mime_type"
done
: >"$log"
: >"$log.times"
