#!/usr/bin/env bash
# Draws the program's built-in pictures with ImageMagick. The outputs are committed; run this only
# to change them. Needs: imagemagick, python3.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT

# The draw screen's background: a deep red glow, soft golden rays, floating lights, gold rules.
convert -size 1920x1080 radial-gradient:'#d8323a'-'#4a0208' "$tmp/glow.png"
convert -size 1920x1080 xc:none -fill 'rgba(255,215,120,0.07)' \
    -draw "polygon 960,300 0,0 300,0" -draw "polygon 960,300 500,0 760,0" \
    -draw "polygon 960,300 1160,0 1420,0" -draw "polygon 960,300 1620,0 1920,0" \
    -draw "polygon 960,300 0,400 0,700" -draw "polygon 960,300 1920,400 1920,700" -blur 0x12 "$tmp/rays.png"
python3 - "$tmp" <<'PY'
import random, sys
random.seed(2027)
draws = []
for _ in range(70):
    x, y, r = random.randint(0, 1920), random.randint(0, 1080), random.randint(4, 28)
    a = random.uniform(0.05, 0.22)
    draws += ["-fill", f"rgba(255,{random.randint(190,230)},{random.randint(90,150)},{a:.2f})",
              "-draw", f"circle {x},{y} {x+r},{y}"]
open(sys.argv[1] + "/lights.args", "w").write("\n".join(draws))
PY
mapfile -t lights < "$tmp/lights.args"
convert -size 1920x1080 xc:none "${lights[@]}" -blur 0x3 "$tmp/lights.png"
convert -size 1920x1080 xc:none \
    -fill 'rgba(212,160,23,0.85)' -draw "rectangle 0,1066 1920,1072" -draw "rectangle 0,8 1920,14" \
    -fill 'rgba(212,160,23,0.5)' -draw "rectangle 0,1076 1920,1078" -draw "rectangle 0,2 1920,4" "$tmp/rules.png"
convert "$tmp/glow.png" "$tmp/rays.png" -composite "$tmp/lights.png" -composite "$tmp/rules.png" -composite \
    -quality 88 background.jpg

# The header strip of the winners panel and the small panels: dark red into gold, a light top edge.
convert -size 33x800 gradient:'#7a0610'-'#d4a017' -rotate -90 \
    \( -size 800x2 xc:'rgba(255,240,200,0.55)' \) -gravity north -composite header.png

# The close glyph: a white cross on a gold disc.
convert -size 44x44 xc:none -fill '#d4a017' -draw "circle 22,22 22,3" \
    -stroke white -strokewidth 5 -draw "line 14,14 30,30" -draw "line 30,14 14,30" -resize 22x22 close.png
# The same, four times as large, for the stage on a large screen.
convert -size 176x176 xc:none -fill '#d4a017' -draw "circle 88,88 88,12" \
    -stroke white -strokewidth 20 -draw "line 56,56 120,120" -draw "line 120,56 56,120" -resize 88x88 close-large.png

# The drop-down arrow of the operator's console: a gold triangle, drawn large and reduced.
convert -size 48x32 xc:none -fill '#e8b830' -draw "polygon 4,6 44,6 24,28" -resize 12x8 arrow-down.png
