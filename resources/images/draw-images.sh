#!/usr/bin/env bash
# Draws the programs' pictures and icons with ImageMagick and writes them beside this script.
# The PNGs are committed; run this again only to change the artwork.
# doorlet:
#   IDB_SPLASH.png         480x280, light grey (192,192,192) where the splash is transparent
#   IDI_MAINFRAME.png      32x32 window icon
#   IDI_NETWORKDRIVE.png   32x32 a server on the local network (snapferry's device list too)
#   IDI_INTERNETDRIVE.png  32x32 a server reached through the relay (likewise)
#   IDI_NODEVICE.png       32x32 no server (likewise)
#   app-icon/doorlet-SIZE.png  the launcher's application icon at 48, 64, 128 and 256 px, for the
#                              icon theme, the desktop entry and the windows
#   app-icon/doorlet.svg       the same drawing, scalable
# snapferry:
#   snapferry-32.png, snapferry-48.png   window icon; snapferry-256.png the same for packaging
#   snapferry-header.png   49x49 picture at the right of the inner pages' header band
#   snapferry-welcome.png, snapferry-finish.png, snapferry-cancel.png
#                          164x314 band at the left of the full-size pages
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

# A photograph: a white card with a sky, a sun and a hill, w by h, centred on cx,cy and turned by
# angle degrees, with an outline line wide.
photo() { # cx cy w h angle line
  python3 -c '
import sys
cx, cy, w, h, angle, line = map(float, sys.argv[1:])
x0, y0, x1, y1 = -w / 2, -h / 2, w / 2, h / 2
m = max(1.0, w / 10)  # the white margin, wider at the foot as on a print
ix0, iy0, ix1, iy1 = x0 + m, y0 + m, x1 - m, y1 - m * 1.6
iw, ih = ix1 - ix0, iy1 - iy0
print(f"push graphic-context translate {cx},{cy} rotate {angle}")
print(f"fill #ffffff stroke #1d3d5c stroke-width {line}")
print(f"roundrectangle {x0},{y0} {x1},{y1} {m / 2},{m / 2}")
print(f"fill #8fc9ee stroke none rectangle {ix0},{iy0} {ix1},{iy1}")
sx, sy = ix0 + iw * 0.72, iy0 + ih * 0.3
print(f"fill #f2b13c circle {sx},{sy} {sx + ih * 0.15},{sy}")
hill = [(0, 1), (0, 0.62), (0.3, 0.4), (0.62, 0.75), (0.8, 0.6), (1, 0.72), (1, 1)]
print("fill #2a9d8f polygon " + " ".join(f"{ix0 + iw * x},{iy0 + ih * y}" for x, y in hill))
print("pop graphic-context")
' "$@"
}

# Wizard icon: two photographs going onto the server. Drawn on a 32 unit grid and scaled, so
# that every size shows the same picture.
wizard_icon() { # size file
  local scale
  scale=$(python3 -c "print($1 / 32)")
  convert -size "$1x$1" xc:none \
    -draw "scale $scale,$scale $(photo 11 10 17 13 -10 1) $(photo 13 12 17 13 4 1)
           $(server_box 18 14 1)" \
    "${png_options[@]}" PNG32:"$2"
}
wizard_icon 32 snapferry-32.png
wizard_icon 48 snapferry-48.png
wizard_icon 256 snapferry-256.png

# Header picture: the photographs and an arrow into the server, transparent around them so that
# it sits on the header band whatever its colour.
convert -size 49x49 xc:none \
  -draw "$(photo 13 16 21 16 -12 1) $(photo 15 20 21 16 3 1) $(server_box 24 16 2)" \
  -fill '#2a9d8f' -stroke none -draw 'polygon 6,38 14,38 14,34 21,41 14,48 14,44 6,44' \
  "${png_options[@]}" PNG32:snapferry-header.png

# The full-size pages' band: the splash's blue-to-teal with faint rings, the server at the foot
# on a white line, and what the page tells above it.
page_band() { # file draw
  convert -size 164x314 gradient:'#1f4e79-#2a9d8f' \
    -fill none -stroke 'rgba(255,255,255,0.08)' -strokewidth 18 \
    -draw 'circle 150,40 150,130' -draw 'circle 10,300 10,370' \
    -stroke none -draw "$(server_box 46 170 6) $2" \
    -fill 'rgba(255,255,255,0.9)' -draw 'roundrectangle 22,282 142,287 2,2' \
    -alpha off -depth 8 -type TrueColor "${png_options[@]}" "$1"
}
# Dots from the photographs down to the server: pictures on their way.
trail='fill rgba(255,255,255,0.75) stroke none circle 82,132 82,135.5 circle 82,146 82,149
       circle 82,158 82,160.5'
badge() { # cx cy radius colour
  echo "fill $4 stroke #ffffff stroke-width 4 circle $1,$2 $(($1 + $3)),$2
        fill none stroke #ffffff stroke-width 6 stroke-linecap round stroke-linejoin round"
}

# Welcome: photographs about to go.
page_band snapferry-welcome.png \
  "$(photo 70 70 70 54 -14 2) $(photo 92 82 70 54 9 2) $trail"
# Finish: one photograph gone through, and a check mark on the server.
page_band snapferry-finish.png \
  "$(photo 80 80 76 58 -6 2) $trail $(badge 118 250 22 '#7cd65c')
   polyline 107,250 115,258 129,242"
# Cancel: the photograph faded and stayed where it was, and a cross on the server.
page_band snapferry-cancel.png \
  "push graphic-context fill-opacity 0.55 stroke-opacity 0.55 $(photo 80 80 76 58 -6 2)
   pop graphic-context $(badge 118 250 22 '#d93025')
   line 109,241 127,259 line 127,241 109,259"
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
