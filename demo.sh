#!/usr/bin/env bash
# Installs what is missing, builds, starts the tracker simulator on COM4 and opens the window.
set -euo pipefail
cd "$(dirname "$0")"
scripts/packages.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<'TXT'
There is no display to show the window on. Either log in to a desktop session, connect with
"ssh -X", or run the window on a virtual display:
    xvfb-run -a ./demo.sh
TXT
  exit 1
fi

./build/korvane-sim --port COM4 &
SIM=$!
trap 'kill $SIM 2>/dev/null; wait $SIM 2>/dev/null' EXIT
sleep 0.5
./build/korvane
