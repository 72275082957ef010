#!/usr/bin/env python3
"""Tab in the real program: the time from the key press that adds a child to the window going quiet, and what
each frame of the animations that follow costs.

Opens a generated outline of each size in the real program (window 1600 x 1000), selects a node (--target:
"far", the root's first child of an outline of --nodes nodes, whose new child lands far below it, out of view,
so the canvas scrolls to it; "leaf", a leaf down the first branch, whose new child lands beside it, in view;
"wide", the one child of the root of an outline where it has --children children, a pasted list, whose new
child lands at the far end of the list: every branch line in view starts at that node, and its children glide
to their new places while the canvas scrolls to the new one) and centres it, and then, --presses times,
presses Tab (a child is added and its title editor opens), waits until the process has used no CPU for a
while, cancels the edit with Escape (which takes the child away again) and selects and centres the target
again. For each press it measures

  - settle: from the key press until the last moment the process was busy (its threads' CPU counters moving),
  - cpu: the CPU time all threads of the process used in between,
  - editor: from the key press until the new child's title editor is first drawn into the window (for a child
    out of view, when the scroll that reveals it brings it into view),
  - frames: each frame that paints the canvas, from the key press through the last frame of the animations
    (the glide, the scroll that reveals the new child): how long it kept the window busy (from the moment the
    main thread started working on it, after the frame before was shown, until it was shown) and the CPU
    time all threads used for it,

and reports the median of the presses per program and size, and of the frames the slowest, the median and
every frame of the median press. The editor and the frames are timed in a second start of the program that
has Qt log every widget it draws and every flush of the window (qt.widgets.painting, stamped with the monotonic
clock) while the main thread's CPU counter is read every millisecond, so that neither adds to the first start's
settle and cpu. The frames end at the first pause of more than 100 ms between two (the title editor's caret
blinks every half second). Several programs (say, builds before and after a change) run in turn, --runs times
each, interleaved, so a machine loaded by other work loads them alike:

  bench/tab_in_window.py /tmp/before/velquine build/app/velquine --nodes 10000 50000 --runs 2
  bench/tab_in_window.py /tmp/before/velquine build/app/velquine --target wide --children 2000 20000

The process counts as busy while its threads use more than half a millisecond of CPU per 5 ms read; the
frames of an animation (the scroll that reveals a new child out of view lasts 0.5 s) keep it busy, so settle
includes them, and cpu shows what they cost.

Without a display it runs itself on a private X server (tests/support/xvfb_run.sh). Needs xdotool.
For a closer look: TAB_TRACE=1 prints when the process was busy after each press, TAB_PERF=file records the
presses with perf, TAB_LOG=file keeps the program's output.
"""

import argparse
import glob
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
from realwindow import XVFB_RUN, Program, cpu_seconds, write_outline, write_wide_outline, xdotool  # noqa: E402,F401

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


def running(pid):
    """Whether a thread of the process is on a CPU or waiting for one now."""
    for stat in glob.glob("/proc/%d/task/*/stat" % pid):
        try:
            with open(stat) as f:
                # The state follows the command name, which is in parentheses.
                if f.read().rsplit(")", 1)[1].split()[0] == "R":
                    return True
        except (OSError, IndexError):
            pass
    return False


def watch(pid, start, quiet_for=0.3, timeout=20.0):
    """Reads every millisecond whether a thread of the process runs, and all threads' CPU counter, until the
    process has used no CPU for quiet_for seconds: (time.monotonic(), running, seconds) for each read. (The
    kernel moves the counter of a running thread on at its clock ticks only, every few milliseconds.)"""
    samples = [(start, running(pid), cpu_seconds(pid))]
    last_busy = start
    while time.monotonic() - start < timeout:
        time.sleep(0.001)
        sample = (time.monotonic(), running(pid), cpu_seconds(pid))
        if sample[1] or sample[2] - samples[-1][2] > 0.0005:
            last_busy = sample[0]
        samples.append(sample)
        if sample[0] - last_busy > quiet_for:
            break
    return samples


# Qt's lines for a canvas drawn into the window and the window's flush to the screen.
LOGGED = re.compile(r"^\s*(\d+)\.(\d{3}) (Drawing .* of velquine::GraphView\(|Flushing top level)")
# Frames further apart than this end the animations.
FRAME_PAUSE = 0.1


def frames_after(log_path, start, samples):
    """The frames that drew the canvas after start, through the last one before the process stayed idle for
    FRAME_PAUSE: for each, the seconds from the flush of the frame before (or start) to its own during which
    a thread of the process was running, and the CPU seconds all threads used in between."""
    base = int(start * 1000)
    events = []
    with open(log_path, errors="replace") as f:
        for line in f:
            found = LOGGED.match(line)
            if not found:
                continue
            # The log keeps the milliseconds in 32 bits.
            ahead = (int(found.group(1)) * 1000 + int(found.group(2)) - base) % 2**32
            if ahead < 600000:
                events.append(((base + ahead) / 1000, found.group(3)[0]))
    # Each flush ends a frame; it drew the canvas when a drawing of it came since the last flush.
    frames, canvas = [], False
    for when, kind in events:
        if kind == "D":
            canvas = True
        elif kind == "F":
            frames.append((when, canvas))
            canvas = False

    def at(when):
        """All threads' CPU seconds at a moment, read from the samples around it."""
        for i in range(1, len(samples)):
            if samples[i][0] >= when:
                a, b = samples[i - 1], samples[i]
                share = (when - a[0]) / (b[0] - a[0]) if b[0] > a[0] else 1
                return a[2] + share * (b[2] - a[2])
        return samples[-1][2]

    def busy_between(after, flushed):
        """The seconds between two moments during which the reads found a thread of the process running (its
        main thread, or the threads that paint for it)."""
        return sum(b[0] - a[0] for a, b in zip(samples, samples[1:]) if b[1] and a[0] >= after and b[0] <= flushed)

    shown, previous = [], start
    for flushed, drew_canvas in frames:
        busy = busy_between(previous, flushed)
        if shown and flushed - previous - busy > FRAME_PAUSE:
            break
        if drew_canvas:
            shown.append((busy, at(flushed) - at(previous)))
        previous = flushed
    return shown


# Keys that select the node a target presses Tab on: Right selects the first child, and does nothing on a leaf.
TARGET_KEYS = {"far": ("Home", "Right"), "leaf": ("Home",) + ("Right",) * 8, "wide": ("Home", "Right")}
# Center Selected Node: every press starts with the target in the middle of the view.
CENTRE = ("ctrl+j",)


def run_once(binary, outline, presses, target, watch_editor=False):
    """The (settle, cpu) of each press; with watch_editor, the seconds until the title editor was drawn and the
    frames (frames_after) instead."""
    home = tempfile.mkdtemp(prefix="tab-bench-")
    program = Program(binary, outline, home, None if watch_editor else os.environ.get("TAB_LOG"),
                      env=DRAW_LOG if watch_editor else None)
    try:
        if not program.wait_for_window(size=(1600, 1000)):
            raise RuntimeError("%s showed no window" % binary)
        settle(program.pid, time.monotonic(), quiet_for=1.0, timeout=120)
        for key in TARGET_KEYS[target] + CENTRE:
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
            if watch_editor:
                samples = watch(program.pid, start)
                results.append((editor_drawn_after(program.log_path, start),
                                frames_after(program.log_path, start, samples)))
            else:
                results.append(settle(program.pid, start))
            # Cancelling the edit takes the new child away again and selects the target. To its parent and back,
            # and the target centred: every press starts from the same view, also in builds whose view stays where
            # the new child was.
            program.keys("Escape")
            settle(program.pid, time.monotonic(), quiet_for=0.5)
            for key in ("Left", "Right") + CENTRE:
                program.keys(key)
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
    parser.add_argument("--children", type=int, nargs="+", default=[2000, 20000],
                        help="children of the node the wide target presses Tab on")
    parser.add_argument("--presses", type=int, default=5)
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--target", choices=sorted(TARGET_KEYS), nargs="+", default=["far", "leaf"])
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        os.execv(XVFB_RUN, [XVFB_RUN, sys.executable, os.path.abspath(__file__), *sys.argv[1:]])
    work = tempfile.mkdtemp(prefix="tab-outlines-")
    try:
        table = {}
        sizes = [(target, count) for target in args.target
                 for count in (args.children if target == "wide" else args.nodes)]
        for target, count in sizes:
            outline = os.path.join(work, "map-%s-%d.opml" % (target, count))
            if target == "wide":
                write_wide_outline(outline, count, "Tab")
            else:
                write_outline(outline, count, "Tab")
            for run, binary in itertools.product(range(args.runs), args.binaries):
                results = run_once(binary, outline, args.presses, target)
                shown = run_once(binary, outline, args.presses, target, watch_editor=True)
                entry = table.setdefault((binary, count, target), ([], []))
                entry[0].extend(results)
                entry[1].extend(shown)
                print("%s %d %s, %s, run %d: %s; editor drawn after %s" % (
                      binary, count, "children" if target == "wide" else "nodes", target, run + 1,
                      ", ".join("%.0f ms (%.0f ms CPU)" % (s * 1000, c * 1000) for s, c in results),
                      ", ".join("%.0f ms" % (e * 1000) for e, _ in shown)), flush=True)
                for press, (_, frames) in enumerate(shown):
                    print("  frames of press %d, ms busy (ms CPU): %s" % (press + 1, ", ".join(
                          "%.1f (%.1f)" % (w * 1000, c * 1000) for w, c in frames)), flush=True)
        print("\n%-40s %8s %6s %10s %8s %9s %7s %10s %10s" % (
              "program", "size", "target", "settle ms", "CPU ms", "editor ms", "frames", "slowest ms", "median ms"))
        for (binary, count, target), (results, shown) in table.items():
            drawn = [e for e, _ in shown if not math.isnan(e)]
            # The press whose slowest frame is the median of the presses'.
            pressed = sorted((max((w for w, _ in frames), default=float("nan")), frames) for _, frames in shown)
            slowest, frames = pressed[len(pressed) // 2]
            print("%-40s %8d %6s %10.0f %8.0f %9.0f %7d %10.1f %10.1f" % (
                  binary[-40:], count, target, statistics.median(s for s, _ in results) * 1000,
                  statistics.median(c for _, c in results) * 1000,
                  statistics.median(drawn) * 1000 if drawn else float("nan"), len(frames), slowest * 1000,
                  statistics.median(w for w, _ in frames) * 1000 if frames else float("nan")))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
