#!/usr/bin/env bash
# Grabs the real window, menu bar included, headless under Xvfb, once per model:
# docs/window-<model>.png.
# Usage: scripts/screenshot.sh [build-dir] [scale]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SCALE=${2:-1}
mkdir -p docs
suffix=""
[ "$SCALE" = "1" ] || suffix="-x$SCALE"
for model in Petrel Condor Falcon Harrier; do
  QT_SCALE_FACTOR=$SCALE xvfb-run -a -s "-screen 0 2560x1600x24" \
    "$BUILD/korvane-shot" --model "$model" --out "docs/window-${model,,}$suffix.png"
done
