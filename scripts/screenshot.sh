#!/usr/bin/env bash
# Grabs the real window, menu bar included, headless under Xvfb, once per model, and the Station
# dialog mid-session:
# docs/window-<model>.png, docs/station.png.
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
# The Station dialog mid-session: six simulated trackers, one refusing a command, two slow. Its
# record goes to a scratch folder, not the user's.
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
XDG_STATE_HOME=$state QT_SCALE_FACTOR=$SCALE xvfb-run -a -s "-screen 0 2560x1600x24" \
  "$BUILD/korvane-shot" --station 6 --out "docs/station$suffix.png"
