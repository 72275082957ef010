#!/usr/bin/env bash
# Runs a command against a private Xvfb server on Qt's xcb platform: a real X display, so widgets get real
# windows, focus and input events. The server picks a free display number itself (-displayfd), so parallel
# test programs never race for one; it is stopped when the command ends. It never resets when its last client
# leaves (-noreset): a program that quits and starts again would otherwise meet a server in the middle of its
# reset and fail to connect.
set -u
fifo_dir=$(mktemp -d)
mkfifo "$fifo_dir/display"
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset +extension RANDR \
  3>"$fifo_dir/display" >"$fifo_dir/xvfb.log" 2>&1 &
xvfb=$!
display=""
read -r -t 20 display <"$fifo_dir/display" || true
if [ -z "$display" ]; then
  echo "Xvfb did not start:"; cat "$fifo_dir/xvfb.log"
  kill "$xvfb" 2>/dev/null; rm -rf "$fifo_dir"; exit 1
fi
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
"$@"
rc=$?
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
rm -rf "$fifo_dir"
exit $rc
