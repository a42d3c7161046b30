#!/usr/bin/env bash
# The folders are the build's layers; a layer may include only itself and the layers below it:
#   core < bulk < link < ports, sim < pages < app
# Prints every include that runs the other way and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A may=(
  [core]="core"
  [bulk]="core bulk"
  [link]="core bulk link"
  [ports]="core bulk link ports"
  [sim]="core bulk link sim"
  [pages]="core bulk link ports pages"
  [app]="core bulk link ports sim pages app"
)
bad=0
for layer in "${!may[@]}"; do
  [ -d "$layer" ] || continue
  while IFS=: read -r file line text; do
    used=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$text")
    [ -n "${may[$used]+x}" ] || continue          # not a layer (a Qt or a tests header)
    if ! grep -qw "$used" <<<"${may[$layer]}"; then
      echo "$file:$line: $layer/ includes $used/, a layer above it: $text"
      bad=1
    fi
  done < <(grep -n -E '^\s*#\s*include "[a-z_]+/' "$layer"/*.cpp "$layer"/*.h 2>/dev/null || true)
done
[ "$bad" -eq 0 ] && echo "layers: every include runs downwards"
exit "$bad"
