#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test headless:
#   1. the program as shipped (g++), the whole suite with CTest;
#   2. the same suite under AddressSanitizer and UndefinedBehaviorSanitizer (clang), with the
#      libFuzzer targets each run for a bounded time; clazy reads every unit as it is compiled.
# ./test.sh --quick runs the first pass only.
#
# Most tests wait on serial timing and leave the processor idle: while the first pass runs, the
# second build uses it; while the second pass runs, the fuzz targets do, at the lowest priority.
# Defaults are sized for CI with fixed seeds; KORVANE_FAULT_SCENARIOS and KORVANE_FLOOD_SECONDS
# make the fault and flood runs longer, KORVANE_FUZZ_SECONDS the fuzzing.
set -euo pipefail
cd "$(dirname "$0")"
scripts/packages.sh
scripts/layers.sh
quick=false
[ "${1:-}" = "--quick" ] && quick=true
$quick || scripts/packages.sh clazy

export QT_QPA_PLATFORM=offscreen
JOBS=$(nproc)
started=$SECONDS
jobs_in_background=()
# A failing pass stops what runs beside it, whole (each runs in its own process group).
trap 'for j in "${jobs_in_background[@]}"; do kill -- -"$j" 2>/dev/null || true; done' EXIT
# beside LOG [lowest] COMMAND...: runs the command in the background, in a session of its own.
# The kernel's autogroup shares the processor evenly between sessions, whatever their nice values:
# the second build takes half while the first pass runs (its tests mostly wait). With "lowest" the
# session itself is made the lowest priority: the fuzz targets take only what the tests leave.
beside() {
  local log=$1 priority=0
  shift
  [ "$1" = lowest ] && { priority=19; shift; }
  setsid sh -c 'echo "$0" >/proc/self/autogroup 2>/dev/null; exec nice -n "$0" "$@"' "$priority" "$@" \
    >"$log" 2>&1 &
  jobs_in_background+=($!)
}
finish() {   # finish LOG WHAT: waits for the newest background job; its log on failure
  local status=0
  wait "${jobs_in_background[-1]}" || status=$?
  unset 'jobs_in_background[-1]'
  if [ "$status" -ne 0 ]; then
    cat "$1"
    echo "$2 failed"
    exit 1
  fi
}

rm -rf build-test
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-test -j"$JOBS"

if ! $quick; then
  rm -rf build-san
  CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVANE_SANITIZE=ON -DKORVANE_FUZZ=ON -DKORVANE_FUZZ_SECONDS="${KORVANE_FUZZ_SECONDS:-10}" \
    -DKORVANE_CLAZY=ON >/dev/null
  beside build-san/build.log cmake --build build-san -j"$JOBS"
fi

# Four suites at a time: they spend most of their time waiting on the watcher's ticks.
ctest --test-dir build-test -j4 --output-on-failure
echo "first pass: $((SECONDS - started)) s"
$quick && exit 0

finish build-san/build.log "the sanitizer build"
echo "second build: $((SECONDS - started)) s"
# clazy read every unit of the second build (fuzz targets included): any warning fails the run.
# A header's warning comes with every unit that includes it: each is shown once.
clazy=$(grep -E '^[^ ]+:[0-9]+:[0-9]+: warning: .*\[-Wclazy-[a-z0-9-]+\]$' build-san/build.log | sort -u || true)
if [ -n "$clazy" ]; then
  echo "${clazy//$PWD\//}"
  echo "clazy: $(printf '%s\n' "$clazy" | wc -l) warning(s)"
  exit 1
fi
echo "clazy levels 0 and 1: no warning"
# The fuzz targets, one at a time.
# (From their own folder, so that the two CTest runs keep their records apart.)
beside build-san/fuzz.log lowest ctest --test-dir build-san/tests/fuzz --output-on-failure
# The instrumented build is several times slower: fewer fault scenarios there. Six suites at a
# time: the processor is theirs, the fuzz targets beside them at the lowest priority.
KORVANE_FAULT_SCENARIOS=${KORVANE_FAULT_SCENARIOS:-27} \
  ctest --test-dir build-san -LE fuzz -j6 --output-on-failure
finish build-san/fuzz.log "fuzzing"
grep -E "tests passed|Total Test time" build-san/fuzz.log
echo "both passes: $((SECONDS - started)) s"
