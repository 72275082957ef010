#!/usr/bin/env bash
# Times a start of the real program that finds many copies of unsaved maps left by killed sessions in its
# recovery folder: from starting the executable until it has shown the maps it reopens and has told how many
# more wait (its notice, a window titled "Velquine"), with the CPU time of all its threads and its peak
# resident memory by then. The target: 500 copies, under 3 s and under 500 MB. Each start finds the copies as
# the one before left them (a start takes up the most recent ten; the others wait). Prints the median of the
# runs.
#
#   bench/startup_recovery.sh [--runs N] [--copies N] [--nodes N] [PATH/TO/velquine]
#
# With no program named it times build/app/velquine. Needs build/bench/write_generated_map (built with the
# benchmarks), Xvfb and xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
copies=500
nodes=50
program=build/app/velquine
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --copies) copies="$2"; shift 2 ;;
    --nodes) nodes="$2"; shift 2 ;;
    -*) echo "usage: bench/startup_recovery.sh [--runs N] [--copies N] [--nodes N] [PATH/TO/velquine]" >&2; exit 2 ;;
    *) program="$1"; shift ;;
  esac
done
[ -x "$program" ] || { echo "not a program: $program" >&2; exit 2; }
writer=build/bench/write_generated_map
[ -x "$writer" ] || { echo "missing $writer: cmake --build build --target write_generated_map" >&2; exit 2; }

work=$(mktemp -d)
xvfb=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
display=""
read -r -t 20 display <"$work/display" || true
[ -n "$display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb

home="$work/home"
mkdir -p "$home/runtime"; chmod 700 "$home/runtime"
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
  XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/runtime"

# The copies, as killed sessions leave them: a folder of a program no longer running, each copy a map with
# the description of an untitled one.
uuid() { cat /proc/sys/kernel/random/uuid | tr 'a-f' 'A-F'; }
QT_QPA_PLATFORM=offscreen "$writer" "$nodes" "$work/copy.radovudo"
left="$home/data/io.kelvarn.velquine/Recovery/$(uuid)"
mkdir -p "$left"
for ((number = 1; number <= copies; number++)); do
  id=$(uuid)
  cp "$work/copy.radovudo" "$left/$id.radovudo"
  printf '{"type": "io.kelvarn.velquine.mindmap", "untitled": %d}\n' "$number" >"$left/$id.json"
done

# One start: prints "shown_ms cpu_ms peak_rss_mb", or nothing when the notice did not come within 60 s.
start() {
  local begin now
  begin=$(date +%s%N)
  "$program" >"$work/out.log" 2>&1 &
  pid=$!
  for _ in $(seq 1 6000); do
    if xdotool search --onlyvisible --pid "$pid" --name '^Velquine$' >/dev/null 2>&1; then
      now=$(date +%s%N)
      local cpu=0 ticks
      ticks=$(getconf CLK_TCK)
      cpu=$(awk -v t="$ticks" '{ print ($14 + $15) * 1000 / t }' "/proc/$pid/stat")
      local rss
      rss=$(awk '/^VmHWM:/ { print $2 / 1024 }' "/proc/$pid/status")
      echo "$(((now - begin) / 1000000)) $cpu $rss"
      kill -9 "$pid"; wait "$pid" 2>/dev/null || true; pid=""
      return
    fi
    sleep 0.01
  done
  echo "no notice within 60 s" >&2
  kill -9 "$pid"; wait "$pid" 2>/dev/null || true; pid=""
}

for ((run = 1; run <= runs; run++)); do
  start >>"$work/times"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { awk -v c="$1" '{ print $c }' "$work/times" | median; }
[ -s "$work/times" ] || { echo "no start was timed" >&2; exit 1; }
printf "%d copies of %d-node maps, median of %d starts: shown in %.0f ms (CPU %.0f ms), peak resident %.0f MB\n" \
  "$copies" "$nodes" "$(wc -l <"$work/times")" "$(column 1)" "$(column 2)" "$(column 3)"
