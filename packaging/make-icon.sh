#!/usr/bin/env bash
# Draws the program's desktop icon with ImageMagick: a golden ticket with a red star on a deep red
# rounded square. The outputs (icons/orvanta-lottery-SIZE.png) are committed; run this only to change
# them. Needs: imagemagick.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT

convert -size 512x512 xc:none -fill '#8c0a14' -draw "roundrectangle 16,16 496,496 96,96" "$tmp/base.png"
convert -size 512x512 radial-gradient:'#e0404a'-'#6a0410' \
    \( -size 512x512 xc:none -fill white -draw "roundrectangle 16,16 496,496 96,96" \) \
    -alpha off -compose CopyOpacity -composite "$tmp/glow.png"
# The ticket: a gold band with two notches and a dashed tear line.
convert -size 512x512 xc:none -fill '#f2c230' -stroke '#fff0b0' -strokewidth 6 \
    -draw "roundrectangle 72,150 440,362 28,28" \
    -fill '#a0101c' -stroke none -draw "circle 72,256 72,290" -draw "circle 440,256 440,290" \
    -stroke '#a0101c' -strokewidth 6 \
    -draw "line 150,172 150,186" -draw "line 150,206 150,220" -draw "line 150,240 150,254" \
    -draw "line 150,274 150,288" -draw "line 150,308 150,322" "$tmp/ticket.png"
# A five-pointed star on the ticket.
convert -size 512x512 xc:none -fill '#c8101e' -stroke '#7a0610' -strokewidth 4 \
    -draw "polygon 300,178 321,232 378,234 333,268 349,324 300,292 251,324 267,268 222,234 279,232" \
    "$tmp/star.png"
convert "$tmp/base.png" "$tmp/glow.png" -composite "$tmp/ticket.png" -composite "$tmp/star.png" -composite \
    "$tmp/icon.png"
for size in 16 32 48 64 128 256; do
    convert "$tmp/icon.png" -resize "${size}x${size}" -strip -define png:exclude-chunks=date,time \
        "icons/orvanta-lottery-$size.png"
done
