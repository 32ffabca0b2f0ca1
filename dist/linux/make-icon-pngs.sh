#!/usr/bin/env bash
# Renders the program icon (scalable/apps/ordersentinel.svg) to the PNG sizes
# of the hicolor theme. The PNGs are kept in the repository; run this after
# changing the SVG (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" scalable/apps/ordersentinel.svg -o "${size}x${size}/apps/ordersentinel.png"
done
