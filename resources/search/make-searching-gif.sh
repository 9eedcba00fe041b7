#!/usr/bin/env bash
# Draws the picture search's animation, a magnifier going round over a picture, into
# searching.gif beside this script (ImageMagick).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT
for i in $(seq 0 11); do
  read -r cx cy < <(awk -v i="$i" 'BEGIN { a = i * 3.14159265 / 6;
    printf "%d %d\n", 40 + 16 * cos(a) + (cos(a) >= 0 ? 0.5 : -0.5), 26 + 8 * sin(a) + (sin(a) >= 0 ? 0.5 : -0.5) }')
  convert -size 80x52 xc:none \
    -fill white -stroke '#606060' -strokewidth 1 -draw "rectangle 8,6 72,46" \
    -fill '#9fd3f5' -stroke none -draw "rectangle 9,7 71,45" \
    -fill '#5aa04a' -draw "polygon 9,45 26,24 38,36 50,20 71,45" \
    -fill '#f5d23c' -draw "circle 60,14 60,18" \
    -fill '#ffffff60' -stroke '#303030' -strokewidth 3 -draw "circle $cx,$cy $((cx + 8)),$cy" \
    -stroke '#303030' -strokewidth 4 -draw "line $((cx + 6)),$((cy + 6)) $((cx + 13)),$((cy + 13))" \
    "$frames/frame$(printf %02d "$i").png"
done
convert -delay 10 -loop 0 -dispose background "$frames"/frame*.png "$here/searching.gif"
