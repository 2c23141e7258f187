#!/usr/bin/env bash
# Draws the control's artwork with ImageMagick: the 32x32 face icon (256-colour palette PNG)
# and the 16x15 toolbox bitmap (24-bit BMP). Run it again after changing the drawing; the
# resulting files are committed beside it.
set -euo pipefail
cd "$(dirname "$0")"

# Face: an envelope on a teal tile, with a magnifying glass looking at it.
convert -size 32x32 xc:none \
    -fill '#1f6f78' -stroke '#134a50' -strokewidth 1 -draw 'roundrectangle 0.5,0.5 31.5,31.5 5,5' \
    -fill '#fdfbf3' -stroke '#9aa7a9' -draw 'rectangle 4,7 25,22' \
    -fill none -stroke '#9aa7a9' -draw 'polyline 4,7 14.5,16 25,7' \
    -stroke '#c9d3d4' -draw 'line 4,22 11,15' -draw 'line 25,22 18,15' \
    -fill '#ffd27a' -stroke '#e0851c' -strokewidth 2 -draw 'circle 22,21 26,21' \
    -stroke '#5a3a12' -strokewidth 3 -draw 'line 25,24 29,28' \
    -background none -colors 256 PNG8:mxquery_face.png

# Toolbox: the same envelope and glass at the small size, on the toolbox's grey.
convert -size 16x15 xc:'#c0c0c0' \
    -fill '#fdfbf3' -stroke '#1f6f78' -strokewidth 1 -draw 'rectangle 1,2 12,10' \
    -fill none -draw 'polyline 1,2 6.5,7 12,2' \
    -fill '#ffd27a' -stroke '#e0851c' -draw 'circle 11,10 13,10' \
    -stroke '#5a3a12' -draw 'line 13,12 15,14' \
    -type TrueColor BMP3:mxquery_toolbox.bmp
