#!/usr/bin/env bash
# Starts the editor, gives it time to open its window, and checks it is still running.
set -u
app="$1"
runtime=$(mktemp -d); chmod 700 "$runtime"
home=$(mktemp -d)
XDG_RUNTIME_DIR="$runtime" HOME="$home" XDG_CONFIG_HOME="$home/.config" "$app" >"$home/out.log" 2>&1 &
pid=$!
sleep 3
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"; wait "$pid" 2>/dev/null
  rm -rf "$runtime" "$home"
  echo "velquine started and kept running"
  exit 0
fi
wait "$pid"; rc=$?
echo "velquine exited early with status $rc:"; cat "$home/out.log"
rm -rf "$runtime" "$home"
exit 1
