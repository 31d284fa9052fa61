#!/usr/bin/env bash
# Renders the icon's sizes from data/icons/tesora.svg (needs librsvg2-bin and imagemagick).
# The PNGs are kept in the tree, so a normal build needs neither tool.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for s in 16 32 48 128 256; do rsvg-convert -w "$s" -h "$s" tesora.svg -o "tesora-$s.png"; done
# The windows' own icon: 32 x 32 in at most 16 colours.
convert tesora-32.png -dither None -colors 16 PNG8:tesora-32-16colours.png
