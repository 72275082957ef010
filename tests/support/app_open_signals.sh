#!/usr/bin/env bash
# Runs the real program on the private X server (started by xvfb_run.sh) with a map big enough that its open
# shows the progress window: a termination signal (twice) or Ctrl+Q during the open ends the program once the
# open has ended, saving first; Ctrl+W cancels the open, which leaves no window and nothing behind, and ends a
# program that had nothing else to show. A start removes the unpacked copies and working copies that programs
# killed midway left behind, but not one that a running program holds.
set -u
app="$1"
generate="$2"
runtime=$(mktemp -d); chmod 700 "$runtime"
home=$(mktemp -d)
holder=""
trap '[ -n "$holder" ] && kill "$holder" 2>/dev/null; rm -rf "$runtime" "$home"' EXIT
export XDG_RUNTIME_DIR="$runtime" HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
  XDG_DATA_HOME="$home/.local/share"
fail() { echo "FAIL: $*"; [ -f "$home/out.log" ] && tail -20 "$home/out.log"; exit 1; }

wait_for_window() { # title, tenths of a second
  for _ in $(seq 1 "${2:-300}"); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
run() { "$app" "$@" >"$home/out.log" 2>&1 & pid=$!; }
# Waits (bounded) for the program to end by itself; its status in rc.
ended() {
  for _ in $(seq 1 600); do kill -0 "$pid" 2>/dev/null || { wait "$pid"; rc=$?; return 0; }; sleep 0.1; done
  kill -9 "$pid"; wait "$pid" 2>/dev/null; return 1
}
progress() { wait_for_window Velquine 150 || fail "no progress window during the open"; }

"$generate" 150000 "$home/Big.radovudo" || fail "no map generated"
cache="$home/.cache"; working="$home/.local/share/io.kelvarn.velquine/Working"
mkdir -p "$cache/0A1B2C3D-0000-4000-8000-000000000001" "$cache/0A1B2C3D-0000-4000-8000-000000000002" \
  "$working/0A1B2C3D00004000800000000000000A"
echo copy >"$cache/0A1B2C3D-0000-4000-8000-000000000001/database.sqlite"
echo copy >"$cache/0A1B2C3D-0000-4000-8000-000000000002/database.sqlite"
echo copy >"$working/0A1B2C3D00004000800000000000000A/database.sqlite"
flock -o "$cache/0A1B2C3D-0000-4000-8000-000000000002" tail --pid=$$ -f /dev/null >/dev/null 2>&1 & holder=$!

# Two signals during the open: the program ends once the map has opened, with status 0.
run "$home/Big.radovudo"
progress
kill -TERM "$pid"; sleep 0.5; kill -TERM "$pid"
ended || fail "still running after a signal during the open"
[ "$rc" = 0 ] || fail "ended with status $rc after two signals during the open"
grep -q "ending on signal" "$home/out.log" || fail "the signal was not taken up"
[ -e "$cache/0A1B2C3D-0000-4000-8000-000000000001" ] && fail "the unpacked copy of a killed open was left"
[ -e "$working/0A1B2C3D00004000800000000000000A" ] && fail "the working copy of a killed save was left"
[ -e "$cache/0A1B2C3D-0000-4000-8000-000000000002" ] || fail "a copy a running program holds was removed"

# Ctrl+Q in the progress window: the program quits once the map has opened.
run "$home/Big.radovudo"
progress
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Velquine$' | head -1)"; xdotool key ctrl+q
ended || fail "still running after Ctrl+Q during the open"
[ "$rc" = 0 ] || fail "ended with status $rc after Ctrl+Q during the open"

# Ctrl+W cancels the open: no window, no unpacked copy, and the program ends.
run "$home/Big.radovudo"
progress
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Velquine$' | head -1)"; xdotool key ctrl+w
ended || fail "still running after the open was cancelled"
[ "$rc" = 0 ] || fail "ended with status $rc after the open was cancelled"
grep -q "was cancelled" "$home/out.log" || fail "the open was not cancelled"
left=$(find "$cache" -mindepth 1 -maxdepth 1 -name '????????-*' ! -name '0A1B2C3D-0000-4000-8000-000000000002')
[ -z "$left" ] || fail "left in the cache: $left"
echo "velquine kept the quits and signals that came during an open"
