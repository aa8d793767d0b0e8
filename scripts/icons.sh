#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Remakes the icon's PNGs from data/icons/moblings.svg, one for each size in the hicolor
# theme that desktops look in first. The PNGs are committed so that building needs no SVG
# renderer; the package test checks that they still match the SVG.
#   scripts/icons.sh [FOLDER]   (default: data/icons)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-data/icons}
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" data/icons/moblings.svg -o "$out/moblings_$size.png"
done
