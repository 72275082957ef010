#!/usr/bin/env python3
"""A long editing session in the real program on a big generated map, driven with real key events.

Opens a generated outline of --nodes nodes (a tree eight children wide, filled level by level) and makes
--edits edits: odd ones add a child (Tab, a title, Return), even ones rename the selected node (a title,
Return), and every tenth starts with Home (the root of the selection is selected). Each edit is waited for
until the process has been idle for a moment. Reported, as JSON lines and a closing table:

  - after opening and every --every edits: resident size and live heap (bytes the allocator has handed out
    and not got back, read from the running process with gdb and malloc_stats);
  - at the end, after the window has had 7 s to settle (the automatic save of the last edits runs 5 s after
    them): the CPU the process used over the next 3 s, as a share of one core (a window that keeps
    repainting shows here); then resident size and live heap again, and the resident size over the live heap;
  - beside the heap, the bytes of the nodes' cells in use (they live in slabs of the program's own, outside
    the heap), and the resident size over the two together (RSS-live).

Several programs (say, a build before and after a change) run in turn, --runs times each, interleaved, so a
machine loaded by other work loads them alike:

  bench/long_session.py build/app/velquine /tmp/before/velquine --runs 2

Without a display it runs itself on a private X server (tests/support/xvfb_run.sh). Needs xdotool and gdb.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "support"))
import realwindow  # noqa: E402
from realwindow import XVFB_RUN, cpu_seconds, xdotool  # noqa: E402,F401


def resident_bytes(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    return 0


def anonymous_bytes(pid):
    """Resident memory not backed by files (the heap, thread stacks, mapped blocks), from smaps_rollup."""
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                if line.startswith("Anonymous:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return -1


def wait_quiet(pid, quiet_for=0.25, share=0.05, timeout=10.0):
    """Waits until the process used under share of a core over quiet_for seconds; False on timeout."""
    start = time.monotonic()
    last_cpu, last_time = cpu_seconds(pid), time.monotonic()
    while time.monotonic() - start < timeout:
        time.sleep(quiet_for)
        cpu, now = cpu_seconds(pid), time.monotonic()
        if (cpu - last_cpu) / (now - last_time) < share:
            return True
        last_cpu, last_time = cpu, now
    return False


class Program(realwindow.Program):
    def live_heap(self):
        """Bytes in use by the allocator, all arenas and mapped chunks, as malloc_stats() reports them."""
        size = os.path.getsize(self.log_path)
        probe = subprocess.run(["gdb", "-p", str(self.pid), "-batch", "-nx", "-ex", "call (void)malloc_stats()",
                                "-ex", "printf \"pictures %lu\\n\", *(unsigned long*)&'velquine::pictures::(anonymous namespace)::cachedBytes'",
                                "-ex", "printf \"cells %lu\\n\", ((unsigned long (*)(void))'velquine::SlotPool::bytesInUse')()"],
                               capture_output=True, text=True, timeout=120)
        pictures = re.search(r"^pictures (\d+)", probe.stdout, re.M)
        self.picture_bytes = int(pictures.group(1)) if pictures else -1
        # The nodes' cells live in slabs of the program's own beside the heap: live memory all the same.
        cells = re.search(r"^cells (\d+)", probe.stdout, re.M)
        self.cell_bytes = int(cells.group(1)) if cells else 0
        for _ in range(50):
            with open(self.log_path) as f:
                f.seek(size)
                text = f.read()
            found = re.search(r"Total \(incl\. mmap\):\s*system bytes\s*=\s*(\d+)\s*in use bytes\s*=\s*(\d+)", text)
            if found:
                return int(found.group(2))
            time.sleep(0.1)
        return -1

def session(binary, outline, edits, every, screenshot=None):
    home = tempfile.mkdtemp(prefix="velquine-session-")
    os.chmod(home, 0o700)
    program = Program(binary, outline, home)
    result = {"binary": binary, "samples": []}
    try:
        opened = time.monotonic()
        if not program.wait_for_window():
            raise RuntimeError("no window")
        wait_quiet(program.pid, quiet_for=0.5, timeout=60)
        result["open_seconds"] = round(time.monotonic() - opened, 2)
        xdotool("windowactivate", "--sync", program.window)
        xdotool("windowfocus", "--sync", program.window)

        def sample(done, idle=False):
            point = {"edits": done, "rss": resident_bytes(program.pid), "anonymous": anonymous_bytes(program.pid),
                     "heap": program.live_heap(), "pictures": program.picture_bytes, "cells": program.cell_bytes}
            if idle:
                point["after_idle"] = True
            result["samples"].append(point)
            print(json.dumps({"binary": binary, **point}), flush=True)

        program.keys("Home")
        wait_quiet(program.pid)
        sample(0)
        stuck = 0
        edit_start = time.monotonic()
        for edit in range(1, edits + 1):
            if edit % 10 == 0:
                program.keys("Home")
                wait_quiet(program.pid)
            if edit % 2:
                program.keys("Tab")
                wait_quiet(program.pid)
                program.type("t%d" % edit)
            else:
                program.type("r%d" % edit)
            program.keys("Return")
            if not wait_quiet(program.pid, timeout=3):
                stuck += 1
            if edit % every == 0 and edit < edits:
                sample(edit)
        result["edit_seconds"] = round(time.monotonic() - edit_start, 1)
        if screenshot:
            subprocess.run(["import", "-window", "root", screenshot], capture_output=True)
        result["edits_not_settled"] = stuck
        # The automatic save of the last edits comes 5 s after them (its work is no repaint): measured after it.
        time.sleep(7)
        cpu, start = cpu_seconds(program.pid), time.monotonic()
        time.sleep(3)
        result["idle_core_share"] = round((cpu_seconds(program.pid) - cpu) / (time.monotonic() - start), 4)
        # The end state: the window has been idle for 10 s.
        sample(edits, idle=True)
        last = result["samples"][-1]
        first = result["samples"][0]
        result["rss_over_heap_mb"] = round((last["rss"] - last["heap"]) / 2**20, 1)
        # Of that, what is not the program's and libraries' files: freed memory the allocator keeps, thread
        # stacks and blocks mapped outside the heap.
        result["anonymous_over_heap_mb"] = round((last["anonymous"] - last["heap"]) / 2**20, 1)
        result["heap_growth_per_edit_kb"] = round((last["heap"] - first["heap"]) / edits / 1024, 1)
        # Live memory: the live heap and the nodes' cells in use; what the resident size exceeds it by.
        result["rss_over_live_mb"] = round((last["rss"] - last["heap"] - last["cells"]) / 2**20, 1)
        result["live_growth_per_edit_kb"] = round(
            (last["heap"] + last["cells"] - first["heap"] - first["cells"]) / edits / 1024, 1)
        result["rss_growth_mb"] = round((last["rss"] - first["rss"]) / 2**20, 1)
    finally:
        program.stop()
        shutil.rmtree(home, ignore_errors=True)
    print(json.dumps(result), flush=True)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("binaries", nargs="+")
    parser.add_argument("--nodes", type=int, default=50000)
    parser.add_argument("--edits", type=int, default=500)
    parser.add_argument("--every", type=int, default=50, help="edits between memory samples")
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--screenshots", help="a folder for a picture of the screen after each session's edits")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        os.execv(XVFB_RUN, [XVFB_RUN, sys.executable, os.path.abspath(__file__), *sys.argv[1:]])
    for tool in ("xdotool", "gdb"):
        if not shutil.which(tool):
            sys.exit("needs %s" % tool)
    work = tempfile.mkdtemp(prefix="velquine-outline-")
    outline = os.path.join(work, "Session.opml")
    realwindow.write_outline(outline, args.nodes, "Session")
    results = []
    try:
        for run in range(args.runs):
            for index, binary in enumerate(args.binaries):
                shot = None
                if args.screenshots:
                    os.makedirs(args.screenshots, exist_ok=True)
                    shot = os.path.join(args.screenshots, "session-%d-%d.png" % (run, index))
                results.append(session(os.path.abspath(binary), outline, args.edits, args.every, shot))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("\n%-32s %7s %8s %9s %7s %8s %8s %8s %11s %10s %11s %9s %9s" % (
        "program", "open s", "edits s", "unsettled", "idle %", "RSS MB", "heap MB", "cells MB", "RSS-heap MB",
        "anon-heap", "RSS-live MB", "heap/edit", "live/edit"))
    for r in results:
        last = r["samples"][-1]
        print("%-32s %7.2f %8.1f %9d %7.2f %8.1f %8.1f %8.1f %11.1f %10.1f %11.1f %6.1f kB %6.1f kB" % (
            r["binary"][-32:], r["open_seconds"], r["edit_seconds"], r["edits_not_settled"],
            100 * r["idle_core_share"], last["rss"] / 2**20, last["heap"] / 2**20, last["cells"] / 2**20,
            r["rss_over_heap_mb"], r["anonymous_over_heap_mb"], r["rss_over_live_mb"], r["heap_growth_per_edit_kb"],
            r["live_growth_per_edit_kb"]))


if __name__ == "__main__":
    main()
