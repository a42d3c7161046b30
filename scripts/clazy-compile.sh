#!/bin/sh
# The compiler launcher of a build configured with KORVANE_CLAZY: the project's own units are
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
case $unit in
  "" | "$build"/*) exec "$@" ;;
esac
CLAZY_HEADER_FILTER="^$src/" CLAZY_IGNORE_DIRS="^$build/" exec "$@" \
  -Xclang -load -Xclang "$plugin" -Xclang -add-plugin -Xclang clazy -Xclang -plugin-arg-clazy -Xclang level0,level1
