#!/usr/bin/env bash
# Times the start of the real program on a private X display, as a person sees it: from starting the
# executable to its first window painted, and until the window settles (its last change before it stays the
# same for half a second), with the CPU time of all its threads by then. Two cases: the empty window, and a
# generated map of 10,000 nodes named on the command line. Each program gets a settings folder of its own
# and one start that is not counted (a user's first start writes its settings); then the counted starts of
# every program and case take turns, so a busy machine slows them alike. Prints the median of the runs.
#
#   bench/startup.sh [--runs N] [--nodes N] [NAME=PATH/TO/velquine ...]
#
# With no program named it times build/app/velquine. Naming two (before=… after=…) compares them in one run.
# Needs build/bench/window_settle and build/bench/write_generated_map (built with the benchmarks), Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
nodes=10000
programs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --nodes) nodes="$2"; shift 2 ;;
    *=*) programs+=("$1"); shift ;;
    *) echo "usage: bench/startup.sh [--runs N] [--nodes N] [NAME=PATH/TO/velquine ...]" >&2; exit 2 ;;
  esac
done
[ ${#programs[@]} -gt 0 ] || programs=("velquine=build/app/velquine")
tools=build/bench
for tool in window_settle write_generated_map; do
  [ -x "$tools/$tool" ] || { echo "missing $tools/$tool: cmake --build build --target $tool" >&2; exit 2; }
done

work=$(mktemp -d)
xvfb=""
cleanup() { [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# A black root window: the program's window counts as painted once it is not all black.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1920x1200x24 -br -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
display=""
read -r -t 20 display <"$work/display" || true
[ -n "$display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb

map="$work/generated.radovudo"
mkdir -p "$work/runtime"; chmod 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen "$tools/write_generated_map" "$nodes" "$map"

# One start: prints "painted_ms cpu_painted_ms settled_ms cpu_settled_ms".
start() { # NAME PATH [FILE]
  local home="$work/home-$1"
  HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
    XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/runtime" \
    "$tools/window_settle" 500 30000 "$2" "${@:3}" 2>>"$work/errors" || echo "$1 ${3:+with the map }failed: $(tail -1 "$work/errors")" >&2
}

for entry in "${programs[@]}"; do
  name="${entry%%=*}"; path="${entry#*=}"
  [ -x "$path" ] || { echo "not a program: $path" >&2; exit 2; }
  mkdir -p "$work/home-$name/runtime"; chmod 700 "$work/home-$name/runtime"
  start "$name" "$path" >/dev/null
done

for ((run = 1; run <= runs; run++)); do
  for entry in "${programs[@]}"; do
    name="${entry%%=*}"; path="${entry#*=}"
    start "$name" "$path" >>"$work/$name-empty"
    start "$name" "$path" "$map" >>"$work/$name-map"
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf "median of %d starts, in ms     %-22s %-22s\n" "$runs" "painted (CPU by then)" "settled (CPU by then)"
for case in empty map; do
  label=$([ "$case" = empty ] && echo "empty window" || echo "$nodes-node map")
  for entry in "${programs[@]}"; do
    name="${entry%%=*}"
    file="$work/$name-$case"
    if [ "$(wc -l <"$file")" -lt "$runs" ]; then
      echo "$name, $label: only $(wc -l <"$file") of $runs starts were timed" >&2
    fi
    column() { awk -v c="$1" '{ print $c }' "$file" | median; }
    printf "%-18s %-12s %8.0f (%4.0f)          %8.0f (%4.0f)\n" "$label" "$name" \
      "$(column 1)" "$(column 2)" "$(column 3)" "$(column 4)"
  done
done
