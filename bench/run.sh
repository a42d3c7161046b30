#!/usr/bin/env bash
# Builds the benchmark in Release (build-bench, under the shared build lock) and runs it headless.
# The tests are configured there because the benchmark uses their fixtures; none is built.
# Prints the table of figures and writes it to build-bench/benchmarks.md. Extra arguments go to
# korvane-bench (for example --only 1,6).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/packages.sh

LOCK=${KORVANE_BUILD_LOCK:-/tmp/korvane-build.lock}
flock "$LOCK" sh -c '
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null &&
  cmake --build build-bench --target bench -j"$(nproc)"'

export QT_QPA_PLATFORM=offscreen
exec build-bench/bench/korvane-bench --out build-bench/benchmarks.md "$@"
