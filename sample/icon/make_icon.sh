#!/usr/bin/env bash
# Draws the sample's 32x32 16-colour icon: an envelope under a magnifying glass, the program
# looking up where mail for a domain goes. Run again after changing the drawing and commit the
# resulting sample.png beside this script.
set -euo pipefail
cd "$(dirname "$0")"

convert -size 32x32 xc:none +antialias \
    -fill '#000080' -stroke '#000080' -draw 'roundrectangle 0,0 31,31 4,4' \
    -fill '#FFFFFF' -stroke '#000000' -draw 'rectangle 2,11 23,27' \
    -fill none -stroke '#808080' -draw 'polyline 3,12 12,20 22,12' \
    -stroke '#C0C0C0' -draw 'line 3,26 10,19' -draw 'line 22,26 15,19' \
    -fill '#00FFFF' -stroke '#FFFF00' -strokewidth 2 -draw 'circle 20,10 20,4' \
    -fill none -stroke '#FFFFFF' -strokewidth 1 -draw 'arc 16,6 22,12 190,260' \
    -stroke '#FFFF00' -strokewidth 3 -draw 'line 25,15 29,19' \
    -stroke '#808000' -strokewidth 1 -draw 'line 26,18 28,20' \
    -colors 16 -define png:bit-depth=4 -define png:color-type=3 \
    PNG8:sample.png.tmp
mv sample.png.tmp sample.png
