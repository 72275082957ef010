#!/usr/bin/env python3
"""Tab in the real program: the time from the key press that adds a child to the window going quiet.

Opens a generated outline of each --nodes size in the real program (window 1600 x 1000), selects a node
(--target: "far", the root's first child, whose new child lands far below it, out of view, so the canvas
scrolls to it; "leaf", a leaf down the first branch, whose new child lands beside it, in view), and then,
--presses times, presses Tab (a child is added and its title editor opens), waits until the
process has used no CPU for a while, and cancels the edit with Escape. For each press it measures

  - settle: from the key press until the last moment the process was busy (its threads' CPU counters moving),
  - cpu: the CPU time all threads of the process used in between,
  - editor: from the key press until the new child's title editor is first drawn into the window (for a child
    out of view, when the scroll that reveals it brings it into view),

and reports the median of the presses per program and size. The editor is timed in a second start of the
program that has Qt log every widget it draws (qt.widgets.painting, stamped with the monotonic clock), so that
the logging adds nothing to the first start's settle and cpu. Several programs (say, builds before and after a
change) run in turn, --runs times each, interleaved, so a machine loaded by other work loads them alike:

  bench/tab_in_window.py /tmp/before/velquine build/app/velquine --nodes 10000 50000 --runs 2

The process counts as busy while its threads use more than half a millisecond of CPU per 5 ms read; the
frames of an animation (the scroll that reveals a new child out of view lasts 0.5 s) keep it busy, so settle
includes them, and cpu shows what they cost.

Without a display it runs itself on a private X server (tests/support/xvfb_run.sh). Needs xdotool.
For a closer look: TAB_TRACE=1 prints when the process was busy after each press, TAB_PERF=file records the
presses with perf, TAB_LOG=file keeps the program's output.
"""

import argparse
import itertools
import math
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "support"))
from realwindow import XVFB_RUN, Program, cpu_seconds, write_outline, xdotool  # noqa: E402,F401

# Counters are read this often while waiting for the process to go quiet.
POLL = 0.005


def settle(pid, start, quiet_for=0.3, timeout=20.0):
    """Waits until the process has used no CPU for quiet_for seconds; the seconds from start to the last
    moment it was busy, and the CPU seconds it used since start."""
    cpu_start = cpu_seconds(pid)
    last_cpu, last_busy = cpu_start, start
    while time.monotonic() - start < timeout:
        time.sleep(POLL)
        cpu, now = cpu_seconds(pid), time.monotonic()
        # Under half a millisecond of CPU between two reads counts as idle (the event loop's own wake-ups).
        if cpu - last_cpu > 0.0005:
            last_busy = now
            if os.environ.get("TAB_TRACE"):
                print("  busy at %4.0f ms: %.1f ms CPU" % ((now - start) * 1000, (cpu - last_cpu) * 1000))
        last_cpu = cpu
        if now - last_busy > quiet_for:
            return last_busy - start, cpu - cpu_start
    return float("nan"), cpu_seconds(pid) - cpu_start


# Qt's line for a widget drawn into the window's backing store, with the monotonic clock's milliseconds first
# (QDeadlineTimer, CLOCK_MONOTONIC, as time.monotonic()).
DRAWN = re.compile(r"^\s*(\d+)\.(\d{3}) Drawing .* of velquine::NodeTitleEditor\(")
DRAW_LOG = {"QT_LOGGING_RULES": "qt.widgets.painting.info=true", "QT_MESSAGE_PATTERN": "%{time boot} %{message}"}


def editor_drawn_after(log_path, start):
    """Seconds from start (time.monotonic()) to the first drawing of a title editor the log shows after it."""
    with open(log_path, errors="replace") as f:
        for line in f:
            found = DRAWN.match(line)
            if found:
                # The log keeps the milliseconds in 32 bits.
                drawn = int(found.group(1)) * 1000 + int(found.group(2))
                now = int(start * 1000) % 2**32
                if drawn >= now:
                    return (drawn - now) / 1000
    return float("nan")


# Keys that select the node a target presses Tab on: Right selects the first child, and does nothing on a leaf.
TARGET_KEYS = {"far": ("Home", "Right"), "leaf": ("Home",) + ("Right",) * 8}


def run_once(binary, outline, presses, target, watch_editor=False):
    """The (settle, cpu) of each press; with watch_editor, the seconds until the title editor was drawn instead."""
    home = tempfile.mkdtemp(prefix="tab-bench-")
    program = Program(binary, outline, home, None if watch_editor else os.environ.get("TAB_LOG"),
                      env=DRAW_LOG if watch_editor else None)
    try:
        if not program.wait_for_window(size=(1600, 1000)):
            raise RuntimeError("%s showed no window" % binary)
        settle(program.pid, time.monotonic(), quiet_for=1.0, timeout=120)
        for key in TARGET_KEYS[target]:
            program.keys(key)
            settle(program.pid, time.monotonic(), quiet_for=0.5)
        results = []
        perf = None
        if os.environ.get("TAB_PERF") and not watch_editor:
            perf = subprocess.Popen(["perf", "record", "-F", "2000", "-o", os.environ["TAB_PERF"], "-p", str(program.pid)],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(0.5)
        for _ in range(presses):
            start = time.monotonic()
            program.keys("Tab")
            results.append(settle(program.pid, start))
            if watch_editor:
                results[-1] = editor_drawn_after(program.log_path, start)
            program.keys("Escape")
            settle(program.pid, time.monotonic(), quiet_for=0.5)
            # Back to the parent for the next child.
            program.keys("Left")
            settle(program.pid, time.monotonic(), quiet_for=0.5)
        if perf:
            perf.send_signal(2)
            perf.wait()
        return results
    finally:
        program.stop()
        shutil.rmtree(home, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("binaries", nargs="+")
    parser.add_argument("--nodes", type=int, nargs="+", default=[10000, 50000])
    parser.add_argument("--presses", type=int, default=5)
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--target", choices=sorted(TARGET_KEYS), nargs="+", default=["far", "leaf"])
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        os.execv(XVFB_RUN, [XVFB_RUN, sys.executable, os.path.abspath(__file__), *sys.argv[1:]])
    work = tempfile.mkdtemp(prefix="tab-outlines-")
    try:
        table = {}
        for count in args.nodes:
            outline = os.path.join(work, "map-%d.opml" % count)
            write_outline(outline, count, "Tab")
            for run, target, binary in itertools.product(range(args.runs), args.target, args.binaries):
                results = run_once(binary, outline, args.presses, target)
                shown = run_once(binary, outline, args.presses, target, watch_editor=True)
                entry = table.setdefault((binary, count, target), ([], []))
                entry[0].extend(results)
                entry[1].extend(shown)
                print("%s %d nodes, %s, run %d: %s; editor drawn after %s" % (
                      binary, count, target, run + 1,
                      ", ".join("%.0f ms (%.0f ms CPU)" % (s * 1000, c * 1000) for s, c in results),
                      ", ".join("%.0f ms" % (e * 1000) for e in shown)), flush=True)
        print("\n%-40s %8s %6s %12s %12s %12s" % ("program", "nodes", "target", "settle ms", "CPU ms", "editor ms"))
        for (binary, count, target), (results, shown) in table.items():
            drawn = [e for e in shown if not math.isnan(e)]
            print("%-40s %8d %6s %12.0f %12.0f %12.0f" % (
                  binary[-40:], count, target, statistics.median(s for s, _ in results) * 1000,
                  statistics.median(c for _, c in results) * 1000,
                  statistics.median(drawn) * 1000 if drawn else float("nan")))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
