#!/bin/sh
# Draws kitforge.ico (a parcel on a blue tile) with ImageMagick in the four sizes Windows asks
# for. The icon is committed; run this only to change the drawing.
set -eu
cd "$(dirname "$0")"
convert -size 256x256 xc:none \
  -fill '#1f5fa8' -stroke '#0d2f57' -strokewidth 8 -draw "roundrectangle 16,16 240,240 36,36" \
  -fill '#f2b134' -stroke '#7a4e00' -strokewidth 6 -draw "polygon 64,104 128,72 192,104 128,136" \
  -fill '#d9962a' -draw "polygon 64,104 128,136 128,208 64,176" \
  -fill '#b87a1c' -draw "polygon 192,104 128,136 128,208 192,176" \
  -depth 8 -define icon:auto-resize=256,48,32,16 kitforge.ico
