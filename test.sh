#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test headless:
#   1. the program as shipped (g++), the whole suite with CTest; then clazy over every source;
#   2. the same suite under AddressSanitizer and UndefinedBehaviorSanitizer (clang), with the
#      libFuzzer targets each run for a bounded time.
# ./test.sh --quick runs the first pass only.
set -euo pipefail
cd "$(dirname "$0")"
scripts/packages.sh

export QT_QPA_PLATFORM=offscreen
JOBS=$(nproc)

rm -rf build-test
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-test -j"$JOBS"
ctest --test-dir build-test --output-on-failure

[ "${1:-}" = "--quick" ] && exit 0

# Qt's static analyser at levels 0 and 1: any warning fails the run.
rm -rf build-clazy
scripts/clazy.sh build-clazy

rm -rf build-san
CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_SANITIZE=ON -DKORVANE_FUZZ=ON -DKORVANE_FUZZ_SECONDS="${KORVANE_FUZZ_SECONDS:-30}"
cmake --build build-san -j"$JOBS"
# The instrumented build is several times slower: fewer fault scenarios and a shorter flood there.
KORVANE_FAULT_SCENARIOS=${KORVANE_FAULT_SCENARIOS:-80} KORVANE_FLOOD_SECONDS=${KORVANE_FLOOD_SECONDS:-10} \
  ctest --test-dir build-san --output-on-failure
