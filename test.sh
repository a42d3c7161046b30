#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test headless:
#   1. the program as shipped (g++), the whole suite with CTest; then clazy over every source;
#   2. the same suite under AddressSanitizer and UndefinedBehaviorSanitizer (clang), with the
#      libFuzzer targets each run for a bounded time.
# ./test.sh --quick runs the first pass only.
#
# The first pass's tests mostly wait on serial timing, so while they run, clazy and the second
# build use the idle cores, at the lowest priority so that the tests' timing is not disturbed.
# Defaults are sized for CI with fixed seeds; KORVANE_FAULT_SCENARIOS and KORVANE_FLOOD_SECONDS
# make the fault and flood runs longer, KORVANE_FUZZ_SECONDS the fuzzing.
set -euo pipefail
cd "$(dirname "$0")"
scripts/packages.sh
quick=false
[ "${1:-}" = "--quick" ] && quick=true
$quick || scripts/packages.sh clazy

export QT_QPA_PLATFORM=offscreen
JOBS=$(nproc)
started=$SECONDS

rm -rf build-test
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-test -j"$JOBS"

background=""
if ! $quick; then
  rm -rf build-clazy build-san
  CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_SANITIZE=ON -DKORVANE_FUZZ=ON -DKORVANE_FUZZ_SECONDS="${KORVANE_FUZZ_SECONDS:-30}" >/dev/null
  # Qt's static analyser at levels 0 and 1 reads the second build's sources (clang, fuzz targets
  # included); any warning fails the run. Then the second build itself.
  # Its own process group, so that a failing first pass stops it whole.
  setsid bash -c 'nice -n 19 scripts/clazy.sh build-san &&
                  { nice -n 19 cmake --build build-san -j"$1" >build-san/build.log 2>&1 ||
                    { cat build-san/build.log; exit 1; }; }' _ "$JOBS" &
  background=$!
  trap 'kill -- -"$background" 2>/dev/null || true' EXIT
fi

ctest --test-dir build-test --output-on-failure
echo "first pass: $((SECONDS - started)) s"
$quick && exit 0

wait "$background"
trap - EXIT
echo "clazy and the second build: $((SECONDS - started)) s"
# The instrumented build is several times slower: fewer fault scenarios there.
KORVANE_FAULT_SCENARIOS=${KORVANE_FAULT_SCENARIOS:-45} KORVANE_FLOOD_SECONDS=${KORVANE_FLOOD_SECONDS:-10} \
  ctest --test-dir build-san --output-on-failure
echo "both passes: $((SECONDS - started)) s"
