#!/usr/bin/env bash
# Renders the program's icon, app/icons/kestrel.svg, into app/icons/hicolor/SIZE/kestrel.png for
# every size of the hicolor icon theme. The PNGs are kept in the repository, so that building and
# packaging need no image tool; run this after changing the drawing and commit what it made.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" librsvg2-bin

icons=$root/app/icons
rm -rf "$icons/hicolor"
for size in 16 22 24 32 36 48 64 72 96 128 192 256 512; do
  mkdir -p "$icons/hicolor/${size}x${size}"
  rsvg-convert -w "$size" -h "$size" "$icons/kestrel.svg" -o "$icons/hicolor/${size}x${size}/kestrel.png"
done
