#!/bin/sh
# The compiler launcher of a build configured with KORVANE_CLAZY: the program's own units are
# compiled with clazy's plugin, levels 0 and 1, its warnings limited to the project's files; what
# the build generates itself (moc's output, the precompiled headers) is compiled plainly.
# Usage (by CMake): clazy-compile.sh SOURCE_DIR BUILD_DIR PLUGIN COMPILER ARGS...
src=$1
build=$2
plugin=$3
shift 3
unit=
previous=
for argument in "$@"; do
  [ "$previous" = -c ] && unit=$argument
  previous=$argument
done
# The tests' own units are left to the compiler alone: the program's code is what clazy is for,
# and the sanitizer build, which sets how long ./test.sh takes, is spared their analysis.
case $unit in
  "" | "$build"/* | "$src"/tests/*) exec "$@" ;;
esac
CLAZY_HEADER_FILTER="^$src/" CLAZY_IGNORE_DIRS="^$build/" exec "$@" \
  -Xclang -load -Xclang "$plugin" -Xclang -add-plugin -Xclang clazy -Xclang -plugin-arg-clazy -Xclang level0,level1
