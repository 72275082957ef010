#!/usr/bin/env bash
# Runs the real program on the private X server (started by xvfb_run.sh): without arguments it opens one
# untitled window, a file named on the command line opens in a window of its own, and a file that is not
# there is reported. The banner reaches the system log (standard error). A map's window opens in the next run
# with the frame it had when the program quit.
set -u
app="$1"
runtime=$(mktemp -d); chmod 700 "$runtime"
home=$(mktemp -d)
trap 'rm -rf "$runtime" "$home"' EXIT
export XDG_RUNTIME_DIR="$runtime" HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache"
fail() { echo "FAIL: $*"; [ -f "$home/out.log" ] && cat "$home/out.log"; exit 1; }

# Waits (bounded: 30 s, for a loaded machine) for a window with exactly this title.
wait_for_window() {
  for _ in $(seq 1 300); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

run() {
  "$app" "$@" >"$home/out.log" 2>&1 &
  pid=$!
}
stop() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }

run
wait_for_window "Untitled" || { stop; fail "no Untitled window"; }
stop
grep -q "velquine\[[0-9]*:[0-9]*\] Welcome to Velquine v" "$home/out.log" || fail "no banner"
[ "$(grep -c -- '] -\{88\}$' "$home/out.log")" = 2 ] || fail "banner rules"

# An outline opens as a new untitled map; a file that is not there is reported, not opened.
printf '<?xml version="1.0"?>\n<opml version="2.0"><head><title>Trip</title></head><body><outline text="Pack"/></body></opml>\n' >"$home/Trip.opml"
run "$home/Trip.opml" "$home/missing.radovudo"
wait_for_window "Untitled" || { stop; fail "no window for Trip.opml"; }
wait_for_window "Velquine" || { stop; fail "no report for missing.radovudo"; }
[ "$(xdotool search --onlyvisible --name '^Untitled$' 2>/dev/null | wc -l)" = 1 ] || { stop; fail "windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null)"; }
stop
grep -q "cannot open .*missing.radovudo" "$home/out.log" || fail "the missing file is not in the log"
# A map's window opens in the next run where and as large as it was when the program quit.
run "$home/Trip.opml"
wait_for_window "Untitled" || { stop; fail "no window for Trip.opml"; }
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Untitled$' | head -1)"
xdotool key ctrl+s
wait_for_window "Save As" || { stop; fail "no save panel"; }
panel=$(xdotool search --onlyvisible --name '^Save As$' | head -1)
for _ in $(seq 1 300); do [ "$(xdotool getwindowfocus 2>/dev/null)" = "$panel" ] && break; sleep 0.1; done
xdotool type "$home/Trip.radovudo"; xdotool key Return
wait_for_window "Trip.radovudo" || { stop; fail "the map was not saved"; }
window=$(xdotool search --onlyvisible --name '^Trip.radovudo$' | head -1)
xdotool windowsize --sync "$window" 700 500; xdotool windowmove --sync "$window" 140 120
xdotool windowfocus --sync "$window"; xdotool key ctrl+q
wait "$pid" 2>/dev/null
run "$home/Trip.radovudo"
wait_for_window "Trip.radovudo" || { stop; fail "the map did not open again"; }
frame=$(xdotool getwindowgeometry "$(xdotool search --onlyvisible --name '^Trip.radovudo$' | head -1)")
stop
echo "$frame" | grep -q "Position: 140,120" && echo "$frame" | grep -q "Geometry: 700x500" || fail "window frame: $frame"
echo "velquine opened its windows"
