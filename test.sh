#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"
scripts/packages.sh

export QT_QPA_PLATFORM=offscreen
JOBS=$(nproc)

rm -rf build-test
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-test -j"$JOBS"
ctest --test-dir build-test --output-on-failure
