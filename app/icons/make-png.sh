#!/usr/bin/env bash
# Draws the PNG sizes of the icon with ImageMagick from the same shapes as
# trevalon.svg (ImageMagick reads no SVG without an extra renderer).
set -euo pipefail
cd "$(dirname "$0")"
im=/usr/bin/convert
outer='M128 52 C180 50 214 66 216 112 C218 160 190 200 134 202 C78 204 42 178 40 128 C38 80 76 54 128 52 Z'
inner='M118 64 C160 62 196 76 200 114 C204 152 178 186 132 188 C84 190 56 166 54 126 C52 88 80 66 118 64 Z'
# Drawn at four times the size, then scaled down: smooth edges.
"$im" -size 1024x1024 xc:none -draw "scale 4,4 fill #c0c0c0 roundrectangle 8,8 247,247 40,40" \
  -draw "scale 4,4 stroke #000000 stroke-width 6 line 28,128 228,128 line 128,28 128,228" \
  -draw "scale 4,4 fill none stroke #00c0c0 stroke-width 6 stroke-dasharray 14 8 path '$inner'" \
  -draw "scale 4,4 fill none stroke #000080 stroke-width 14 stroke-linejoin round path '$outer'" \
  png32:big.png
for size in 16 32 48 64 128 256; do
  "$im" big.png -filter Lanczos -resize "${size}x${size}" -strip png32:"trevalon-$size.png"
done
rm -f big.png
