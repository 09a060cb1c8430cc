#!/usr/bin/env bash
# Draws the icon's pictures for the desktop's usual sizes from the scalable
# drawing, dist/icons/tqf-editor.svg (which follows src/app/AppIcon.cpp).
# Run it after changing the drawing; the pictures are kept in the repository
# so that building needs no SVG renderer. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../dist/icons"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2; exit 1; }
# Below the drawing's own 32 pixels, crisp edges would drop whole lines of
# it; there the edges are smoothed instead.
soft=$(mktemp --suffix=.svg)
trap 'rm -f "$soft"' EXIT
sed 's/ shape-rendering="crispEdges"//' tqf-editor.svg >"$soft"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  drawing=tqf-editor.svg
  if [ "$size" -lt 32 ]; then drawing=$soft; fi
  rsvg-convert --width "$size" --height "$size" "$drawing" -o "${size}x${size}/tqf-editor.png"
done
