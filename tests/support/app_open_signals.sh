#!/usr/bin/env bash
# Runs the real program on the private X server (started by xvfb_run.sh) with a map big enough that its open
# shows the progress window: a termination signal (twice) or Ctrl+Q during the open ends the program once the
# open has ended, saving first; Ctrl+W cancels the open, which leaves no window and nothing behind, and ends a
# program that had nothing else to show. A start removes the unpacked copies and working copies that programs
# killed midway left behind, but not one that a running program holds. A second signal (SIGTERM or SIGHUP) while
# the program saves an edited map on its way out changes nothing: the edit is in the file.
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
# An edit (a new child of the root, titled), then SIGTERM, and 0.3 s later a second signal while the map is saved.
"$generate" 50000 "$home/Edited.radovudo" || fail "no map generated"
titled_in_file() { # map, title: whether a node of the map has the title
  python3 - "$1" "$2" <<'PY'
import os, sqlite3, sys, tempfile, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive, tempfile.TemporaryDirectory() as folder:
    database = sqlite3.connect(archive.extract(archive.namelist()[0], folder))
    found = database.execute("SELECT count(*) FROM node_titles WHERE title = ?", (sys.argv[2],)).fetchone()[0]
    database.close()
sys.exit(0 if found else 1)
PY
}
for second in TERM HUP; do
  run "$home/Edited.radovudo"
  wait_for_window Edited.radovudo 600 || fail "the edited map did not open"
  window=$(xdotool search --onlyvisible --name '^Edited.radovudo$' | head -1)
  xdotool windowfocus --sync "$window"; xdotool key Home Tab; sleep 1
  xdotool type --delay 20 "Edit before SIG$second"; xdotool key Return
  wait_for_window 'Edited.radovudo\*' 100 || fail "the edit did not show in the window's title"
  kill -TERM "$pid"; sleep 0.3
  kill -"$second" "$pid" 2>/dev/null || fail "ended within 0.3 s of SIGTERM: the second signal came too late to test"
  ended || fail "still running after SIGTERM and SIG$second"
  [ "$rc" = 0 ] || fail "ended with status $rc after SIGTERM and SIG$second during the save"
  titled_in_file "$home/Edited.radovudo" "Edit before SIG$second" || fail "the edit is not in the file after SIG$second"
done

echo "velquine kept the quits and signals that came during an open"
