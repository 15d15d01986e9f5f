#!/usr/bin/env bash
# Renders the program's PNG icons from data/icons/hicolor/scalable/apps/klangmappe.svg.
# The PNGs are kept in the repository, so a build needs no SVG renderer; run
# this after changing the drawing (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
icons=$(cd "$(dirname "$0")/../data/icons/hicolor" && pwd)
svg="$icons/scalable/apps/klangmappe.svg"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}/apps"
  rsvg-convert --width "$size" --height "$size" "$svg" --output "$icons/${size}x${size}/apps/klangmappe.png"
done
