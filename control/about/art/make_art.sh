#!/usr/bin/env bash
# Draws the About dialog's artwork: the 32 x 32, 256-colour window icon and the 388 x 96
# banner. The PNGs beside this script are its output and are committed; run it again after
# changing the drawing. Needs ImageMagick's convert and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")"

# Strip dates and other metadata so that the same drawing gives the same bytes.
deterministic=(-strip -define png:exclude-chunks=date,time)

# The icon: a blue tile with a white envelope whose flap points at an orange exchange dot.
convert -size 32x32 xc:none \
    -fill '#1f4e8c' -draw 'roundrectangle 0,0 31,31 6,6' \
    -fill '#2f6fc0' -draw 'roundrectangle 2,2 29,29 5,5' \
    -fill white -stroke '#0f2f5c' -strokewidth 1 -draw 'rectangle 5,9 26,23' \
    -fill none -draw 'polyline 5,9 15.5,17 26,9' \
    -stroke none -fill '#f39c12' -draw 'circle 24,24 28,24' \
    -colors 256 "${deterministic[@]}" PNG8:about_icon.png

# The banner: a dusk gradient, the product name, a strapline, and a small chain of
# exchangers on the right, linked by the path a message takes.
convert -size 388x96 gradient:'#0f2f5c-#2f8fa0' -rotate 90 -resize '388x96!' \
    -fill '#ffffff22' -draw 'circle 330,48 330,-20' \
    -stroke '#f39c12' -strokewidth 2 -fill none -draw 'polyline 262,70 300,34 338,62 372,28' \
    -stroke white -strokewidth 2 -fill '#1f4e8c' \
    -draw 'circle 262,70 268,70' -draw 'circle 300,34 306,34' \
    -draw 'circle 338,62 344,62' -draw 'circle 372,28 378,28' \
    -stroke none -fill white -font DejaVu-Sans-Bold -pointsize 34 -annotate +18+52 'Ombrix' \
    -fill '#d6e6f5' -font DejaVu-Sans -pointsize 13 -annotate +20+76 'Mail exchanger lookup' \
    "${deterministic[@]}" PNG24:about_banner.png
