#!/usr/bin/env bash
# Saves pictures of the panel's compact, data and full views on a virtual X
# display:
#   scripts/screenshots.sh [OUTDIR [SCALE]]
# OUTDIR defaults to build/screenshots; SCALE (1, 1.5, 2 ...) is the display
# scale to draw at. With --docs as the only argument, the full view at
# scale 1 is copied to docs/panel.png, the picture shown in README.md.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

docs=0
if [ "${1:-}" = --docs ]; then
  docs=1
  shift
fi
out=${1:-"$top/build/screenshots"}
scale=${2:-1}

"$top/scripts/build.sh" default orva-screenshots
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" \
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$top/build/tools/orva-screenshots" "$out"

if [ "$docs" = 1 ]; then
  mkdir -p "$top/docs"
  cp "$out/full.png" "$top/docs/panel.png"
  echo "$top/docs/panel.png"
fi
