#!/usr/bin/env bash
# Every #include "folder/..." in src/ points from a folder to one below it in the order of the layers, or
# to the folder itself. The kit ranks below the document, so that it cannot reach the map's documents; the
# build's include roots also refuse what the kit and the document may not see of each other. Prints each
# arrow that points upwards and fails when there is one.
set -eu
src="${1:-$(dirname "$0")/../../src}"
order="base sql picture platform model layout exchange files kit document canvas editor inspector exportui app"
cd "$src"
grep -rHoE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z]+/[^"]*"' . |
  awk -v order="$order" '
    BEGIN { n = split(order, names, " "); for (i = 1; i <= n; i++) rank[names[i]] = i }
    {
      file = $0; sub(/:.*/, "", file); sub(/^\.\//, "", file)
      from = file; sub(/\/.*/, "", from)
      to = $0; sub(/^[^"]*"/, "", to); sub(/\/.*/, "", to)
      if (!(from in rank)) { print "folder not in the order of the layers: src/" from; bad = 1; next }
      if ((to in rank) && rank[to] > rank[from]) {
        line = $0; sub(/^[^:]*:/, "", line); sub(/^[[:space:]]*/, "", line)
        print "src/" file ": " from " -> " to " (" line ")"; bad = 1
      }
    }
    END { exit bad }'
echo "no include points from a lower folder to a higher one"
