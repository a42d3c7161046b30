#!/usr/bin/env bash
# clazy, Qt's own static analyser, at levels 0 and 1 over the project's sources (not what moc
# generates). Prints each warning once and exits 1 when there is any, 2 when a file does not parse.
# Usage: scripts/clazy.sh [BUILD_DIR]
# BUILD_DIR (default build-clazy) needs only moc's output, which this script makes. A new one is
# configured with clang and the fuzz targets, so that every source of the project is read.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/packages.sh clazy

src=$PWD
build=$(realpath -m "${1:-build-clazy}")
settings=(-DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_GLOBAL_AUTOGEN_TARGET=ON)
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" "${settings[@]}" >/dev/null
else
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_FUZZ=ON \
    "${settings[@]}" >/dev/null
fi
cmake --build "$build" --target autogen >/dev/null
# The units read Qt's headers from the build's precompiled ones, which clazy reads too (clang's own
# format, the same clang): made first, they spare it most of its work.
mapfile -t pch < <(grep -o -- '-include-pch -Xclang [^ ]*\.pch' "$build/compile_commands.json" \
                   | sed "s|.* $build/||" | sort -u)
[ ${#pch[@]} -eq 0 ] || cmake --build "$build" --target "${pch[@]}" >/dev/null

# The translation units the build compiles, less those it generates itself.
mapfile -t units < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$build/compile_commands.json" \
                     | grep "^$src/" | grep -v "^$build/" | sort -u)
[ ${#units[@]} -gt 0 ] || { echo "clazy.sh: no sources in $build/compile_commands.json"; exit 2; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# One process per file, as many at once as there are cores. The compiler's own warnings are the
# build's business (-Wno-everything leaves only clazy's).
# shellcheck disable=SC2016  # the single-quoted script expands its own arguments
printf '%s\n' "${units[@]}" | nl -w1 -s' ' | xargs -P "$(nproc)" -L1 sh -c '
  clazy-standalone -p "$1" --checks=level0,level1 --extra-arg=-Wno-everything \
    --header-filter="^$2/" --ignore-dirs="^$1/" "$5" >"$3/$4.log" 2>&1 || echo "$5" >"$3/$4.failed"
' sh "$build" "$src" "$out"

if compgen -G "$out/*.failed" >/dev/null; then
  for f in "$out"/*.failed; do
    echo "clazy.sh: clazy could not read $(cat "$f"):"
    cat "${f%.failed}.log"
  done
  exit 2
fi

# A header's warning comes once for every file that includes it.
warnings=$(cat "$out"/*.log | grep -E '^[^ ]+:[0-9]+:[0-9]+: warning: .*\[-Wclazy-[a-z0-9-]+\]$' \
           | sort -u | sort -t: -k1,1 -k2,2n -k3,3n || true)
count=$(printf '%s' "$warnings" | grep -c . || true)
echo "clazy levels 0 and 1: ${#units[@]} files read, $count warning(s)"
if [ "$count" -ne 0 ]; then
  echo "${warnings//$src\//}"
  exit 1
fi
