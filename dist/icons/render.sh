#!/usr/bin/env bash
# Renders the icon's PNG sizes from the SVG. The PNGs are committed, so building and
# packaging need no SVG renderer: run this (rsvg-convert, from librsvg2-bin) after
# changing the SVG and commit the results.
set -euo pipefail
cd "$(dirname "$0")"

name=org.vardometer.Vardometer
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$size"
    rsvg-convert --width "$size" --height "$size" --format png \
        --output "$size/$name.png" "$name.svg"
done
