#!/usr/bin/env bash
# Renders the PNG icons from the SVG. Run it after changing the SVG and commit the PNGs: the
# build takes them as they are, so it needs no SVG renderer, and the window shows the same
# files the package installs.
set -euo pipefail
cd "$(dirname "$0")"

../../tools/install-deps.sh librsvg2-bin
svg=hicolor/scalable/apps/org.quillmark.Quillmark.svg
for size in 16 32 48 64 128 256; do
    out=hicolor/${size}x${size}/apps/org.quillmark.Quillmark.png
    mkdir -p "$(dirname "$out")"
    rsvg-convert --width "$size" --height "$size" "$svg" --output "$out"
done
