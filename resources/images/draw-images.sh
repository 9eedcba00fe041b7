#!/usr/bin/env bash
# Draws the launcher's splash picture and icons with ImageMagick and writes them beside this
# script. The PNGs are committed; run this again only to change the artwork.
#   IDB_SPLASH.png         480x280, light grey (192,192,192) where the splash is transparent
#   IDI_MAINFRAME.png      32x32 window icon
#   IDI_NETWORKDRIVE.png   32x32 a server on the local network
#   IDI_INTERNETDRIVE.png  32x32 a server reached through the relay
#   IDI_NODEVICE.png       32x32 no server
#   app-icon/doorlet-SIZE.png  the launcher's application icon at 48, 64, 128 and 256 px, for the
#                              icon theme, the desktop entry and the windows
#   app-icon/doorlet.svg       the same drawing, scalable
set -euo pipefail
cd "$(dirname "$0")"

# No time stamps in the files, so that drawing again gives the same bytes.
png_options=(-strip -define png:exclude-chunks=date,time)

# The home server: a rounded box with two drive bays and a status light, under a roof.
server_box() { # x0 y0 scale
  local x=$1 y=$2 s=$3
  echo "fill #2f5d8a stroke #1d3d5c stroke-width $((s > 4 ? 3 : 1))
        roundrectangle $x,$((y + 7 * s)) $((x + 12 * s)),$((y + 16 * s)) $s,$s
        fill #dfe9f3 stroke none
        rectangle $((x + 2 * s)),$((y + 9 * s)) $((x + 10 * s)),$((y + 10 * s))
        rectangle $((x + 2 * s)),$((y + 12 * s)) $((x + 10 * s)),$((y + 13 * s))
        fill #7cd65c circle $((x + 10 * s)),$((y + 14 * s + s / 2)) $((x + 10 * s + s / 2)),$((y + 14 * s + s / 2))
        fill #e07b39 stroke #a8521c stroke-width $((s > 4 ? 3 : 1))
        polygon $((x - s)),$((y + 7 * s)) $((x + 6 * s)),$y $((x + 13 * s)),$((y + 7 * s))"
}

# A band of a ring round the server's top right corner, from inner to outer radius: a polygon,
# since this ImageMagick closes stroked open paths.
signal_arc() { # inner outer
  python3 -c '
import math, sys
inner, outer = int(sys.argv[1]), int(sys.argv[2])
angles = [math.radians(a) for a in range(-62, -7, 3)]
ring = [(outer, a) for a in angles] + [(inner, a) for a in reversed(angles)]
print("polygon " + " ".join(f"{250 + r * math.cos(a):.1f},{110 + r * math.sin(a):.1f}" for r, a in ring))
' "$1" "$2"
}

# Splash: a blue-to-teal card with rounded corners on light grey, the server and signal arcs.
convert -size 480x280 xc:'rgb(192,192,192)' \
  \( -size 472x272 gradient:'#1f4e79-#2a9d8f' \
     \( -size 472x272 xc:black -fill white -draw 'roundrectangle 0,0 471,271 28,28' \) \
     -alpha off -compose copy_opacity -composite \) \
  -geometry +4+4 -compose over -composite \
  -stroke none \
  -fill 'rgba(255,255,255,0.9)' -draw "$(signal_arc 46 56)" \
  -fill 'rgba(255,255,255,0.7)' -draw "$(signal_arc 80 90)" \
  -fill 'rgba(255,255,255,0.5)' -draw "$(signal_arc 114 124)" \
  -stroke none -draw "$(server_box 110 40 12)" \
  -fill 'rgba(255,255,255,0.9)' -draw 'roundrectangle 60,236 420,244 4,4' \
  -alpha off -depth 8 -type TrueColor "${png_options[@]}" IDB_SPLASH.png

# Window icon: the server alone.
convert -size 32x32 xc:none -draw "$(server_box 4 0 2)" \
  "${png_options[@]}" PNG32:IDI_MAINFRAME.png

# A drive on the local network: the server and a cable to a network line.
convert -size 32x32 xc:none -draw "$(server_box 10 0 1)" \
  -fill '#444444' -draw 'rectangle 15,16 16,24' -draw 'rectangle 3,25 28,27' \
  -fill '#7cd65c' -draw 'rectangle 3,25 6,27' -draw 'rectangle 25,25 28,27' \
  "${png_options[@]}" PNG32:IDI_NETWORKDRIVE.png

# A drive through the relay: the server before a globe.
convert -size 32x32 xc:none \
  -fill '#3c8dd6' -stroke '#1d5a8f' -draw 'circle 20,12 20,1' \
  -fill none -stroke '#cfe6fa' -draw 'ellipse 20,12 5,11 0,360' -draw 'line 9,12 31,12' \
  -draw 'line 10,7 30,7' -draw 'line 10,17 30,17' \
  -stroke none -draw "$(server_box 2 9 1)" \
  "${png_options[@]}" PNG32:IDI_INTERNETDRIVE.png

# No server: a dimmed server crossed out in red.
convert -size 32x32 xc:none -draw "$(server_box 10 6 1)" -channel A -evaluate multiply 0.55 \
  +channel -stroke '#d93025' -strokewidth 3 -draw 'line 5,5 27,27' -draw 'line 27,5 5,27' \
  "${png_options[@]}" PNG32:IDI_NODEVICE.png

# The application icon: the window icon's drawing (a 16-unit grid, the server two units in) at the
# sizes the icon theme wants, and once as SVG from the same coordinates.
mkdir -p app-icon
for size in 48 64 128 256; do
  unit=$((size / 16))
  convert -size ${size}x${size} xc:none -draw "$(server_box $((2 * unit)) 0 $unit)" \
    "${png_options[@]}" PNG32:app-icon/doorlet-$size.png
done

# server_box's shapes at unit 1 (ImageMagick's rectangles include their last pixel, hence +1).
cat >app-icon/doorlet.svg <<'SVG'
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 16 16">
  <rect x="2" y="7" width="12" height="9" rx="1" ry="1" fill="#2f5d8a" stroke="#1d3d5c"
        stroke-width="0.2"/>
  <rect x="4" y="9" width="8" height="1" fill="#dfe9f3"/>
  <rect x="4" y="12" width="8" height="1" fill="#dfe9f3"/>
  <circle cx="12" cy="14.5" r="0.5" fill="#7cd65c"/>
  <polygon points="1,7 8,0 15,7" fill="#e07b39" stroke="#a8521c" stroke-width="0.2"
           stroke-linejoin="round"/>
</svg>
SVG
