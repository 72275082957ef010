#!/usr/bin/env python3
"""Long work in the real program: how long the window stops answering while a big file is opened, saved or
exported, and while a big map is saved automatically during typing.

Every case times the window from outside, through the lines Qt logs for each backing store it flushes to the
screen (qt.widgets.painting, stamped with the monotonic clock): a window that answers flushes whenever it has
something new to show. While the work runs, the script gives it something new every 40 ms: it types a key
into a title editor (autosave) or, where the keyboard has no business (open, save, export), it resizes the
window by a pixel, which the window must lay out and repaint. Cases:

  open-text     a one-line text file of 100,000 characters opened with Ctrl+O from an empty window
  open-map      a saved map of --nodes nodes opened the same way
  open-opml     an OPML outline of --nodes nodes opened the same way (imported)
  open-outline  an indented text outline of --nodes nodes opened the same way (imported)
  save          the map of --nodes nodes, one node renamed, then Ctrl+S
  autosave      the map of --nodes nodes, one node renamed (a change to save), then Tab and 14 s of typing
                into the new child's title: the automatic save comes at most 10 s after the first change
  export-pdf    the map of --nodes nodes exported as PDF through the export window (Ctrl+E)
  export-png    the same as a PNG picture (only when the picture fits the pixel limit)
  paste         the map of --nodes nodes, its root copied (Home, Ctrl+C) and pasted (Ctrl+V): the copy lands on
                the map (at the pointer or the view's centre), and thousands of overlapping nodes are parted
  balance       the map of --nodes nodes, every node selected (Ctrl+A) and its children balanced (Ctrl+Shift+B)

For each it reports

  - first: from the key that starts the work to the first flush of the window afterwards (open: of the empty
    window the Open dialog lay over),
  - stall: the longest time between two flushes of the window while the work ran (autosave: while the
    automatic save ran, found from the file's modification time, and over the whole typing),
  - done: from the key to the end of the work (the new window shown, the file written; the paste and the
    balance: the last moment the program used half a core more than before it).

Several programs (say, builds before and after a change) run in turn, --runs times each, interleaved:

  bench/long_work.py /tmp/before/velquine build/app/velquine --nodes 50000 --runs 2 --cases open-map save autosave

Without a display it runs itself on a private X server (tests/support/xvfb_run.sh). Needs xdotool.
"""

import argparse
import itertools
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "support"))
from realwindow import XVFB_RUN, cpu_seconds, write_outline, xdotool  # noqa: E402

PAINT_LOG = {"QT_LOGGING_RULES": "qt.widgets.painting.info=true", "QT_MESSAGE_PATTERN": "%{time boot} %{message}"}
# Qt's line for a backing store flushed to the screen: the monotonic clock's seconds and milliseconds, the widget.
FLUSHED = re.compile(r"^\s*(\d+)\.(\d{3}) Flushing QRegion.* of [\w:]+\((0x[0-9a-f]+)")
CASES = ["open-text", "open-map", "open-opml", "open-outline", "save", "autosave", "export-pdf", "export-png",
         "paste", "balance"]
# The keys of the cases timed from a key press on an open map: what comes first, then the key timed.
COMMAND_KEYS = {"paste": (("Home", "ctrl+c"), "ctrl+v"), "balance": (("ctrl+a",), "ctrl+shift+b")}


def now_ms():
    return int(time.monotonic() * 1000)


def flushes(log_path):
    """(milliseconds of the monotonic clock, widget address) of every flush the log shows."""
    found = []
    with open(log_path, errors="replace") as f:
        for line in f:
            match = FLUSHED.match(line)
            if match:
                found.append((int(match.group(1)) * 1000 + int(match.group(2)), match.group(3)))
    return found


def longest_gap(times, start, end):
    """The longest time between two of the times (and start and end) inside [start, end]."""
    inside = [start] + sorted(t for t in times if start <= t <= end) + [end]
    return max(b - a for a, b in zip(inside, inside[1:]))


class Program:
    """The program with its settings, caches and data in a home folder of its own, logging its flushes."""

    def __init__(self, binary, home, arguments=(), settings=None):
        self.home = home
        self.log_path = os.path.join(home, "out.log")
        config = os.path.join(home, ".config")
        if settings:
            os.makedirs(os.path.join(config, "Velquine"), exist_ok=True)
            with open(os.path.join(config, "Velquine", "Velquine.ini"), "w") as f:
                f.write("[General]\n" + "".join("%s=%s\n" % item for item in settings.items()))
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=config, XDG_CACHE_HOME=os.path.join(home, ".cache"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"), XDG_RUNTIME_DIR=home, **PAINT_LOG)
        self.log = open(self.log_path, "w")
        self.process = subprocess.Popen([binary, *arguments], stdout=self.log, stderr=subprocess.STDOUT, env=env)
        self.pid = self.process.pid
        self.window = None

    def find(self, name, timeout=120):
        start = time.monotonic()
        while time.monotonic() - start < timeout:
            found = xdotool("search", "--onlyvisible", "--pid", str(self.pid), "--name", name)
            if found:
                return found.split()[0]
            time.sleep(0.02)
        raise RuntimeError("no window named %s" % name)

    def show(self, name):
        self.window = self.find(name)
        xdotool("windowsize", self.window, "1600", "1000")
        xdotool("windowactivate", "--sync", self.window)
        xdotool("windowfocus", "--sync", self.window)
        self.settle()
        return self.window

    def settle(self, quiet_for=0.5, timeout=120):
        """Waits until the process has used almost no CPU for quiet_for seconds."""
        start = time.monotonic()
        last = cpu_seconds(self.pid)
        quiet_since = time.monotonic()
        while time.monotonic() - start < timeout:
            time.sleep(0.02)
            cpu = cpu_seconds(self.pid)
            if cpu - last > 0.002:
                quiet_since = time.monotonic()
            last = cpu
            if time.monotonic() - quiet_since > quiet_for:
                return

    def keys(self, *keys, window=None):
        xdotool("key", "--window", window or self.window, *keys)

    def type(self, text, window=None, delay=5):
        xdotool("type", "--window", window or self.window, "--delay", str(delay), text)

    def widget_of(self, window, after_ms):
        """The address of the top-level widget that flushed into the X window last: the one a resize repaints."""
        return None

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()


class Resizer(threading.Thread):
    """Resizes the window by a pixel every period seconds until stopped: each resize asks for a repaint."""

    def __init__(self, window, period=0.04):
        super().__init__(daemon=True)
        self.window, self.period, self.stopped = window, period, threading.Event()

    def run(self):
        wide = False
        while not self.stopped.wait(self.period):
            wide = not wide
            xdotool("windowsize", self.window, "1601" if wide else "1600", "1000")

    def stop(self):
        self.stopped.set()
        self.join()


class FileWatch(threading.Thread):
    """Notes when the file's modification time changes (the first change after start) and when it is final."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path, self.stopped, self.changes = path, threading.Event(), []

    def stamp(self):
        try:
            return os.stat(self.path).st_mtime_ns
        except OSError:
            return None

    def run(self):
        last = self.stamp()
        while not self.stopped.wait(0.002):
            stamp = self.stamp()
            if stamp != last:
                self.changes.append(now_ms())
                last = stamp

    def stop(self):
        self.stopped.set()
        self.join()


def widgets_flushed_after(program, after_ms):
    return [w for t, w in flushes(program.log_path) if t >= after_ms]


def wait_for_file(path, since_stamp, timeout=120):
    start = time.monotonic()
    while time.monotonic() - start < timeout:
        try:
            if os.stat(path).st_mtime_ns != since_stamp and os.path.getsize(path) > 0:
                return now_ms()
        except OSError:
            pass
        time.sleep(0.002)
    raise RuntimeError("%s was not written" % path)


def run_open(binary, files, case):
    """Ctrl+O in an empty window, the file's path typed into the dialog, Return."""
    home = tempfile.mkdtemp(prefix="long-work-")
    program = Program(binary, home)
    try:
        empty = program.show("Untitled")
        time.sleep(0.3)
        marker = now_ms()
        program.keys("ctrl+o")
        dialog = program.find("^Open$")
        time.sleep(0.5)
        program.type(files[case], window=dialog)
        time.sleep(0.3)
        before = {w for t, w in flushes(program.log_path) if t >= marker}
        resizer = Resizer(empty)
        start = now_ms()
        program.keys("Return", window=dialog)
        resizer.start()
        name = os.path.basename(files[case]) if case == "open-map" else "Untitled 2"
        program.find("^%s$" % re.escape(name), timeout=300)
        shown = None
        while shown is None and now_ms() - start < 300000:
            new = [t for t, w in flushes(program.log_path) if t >= start and w not in before]
            shown = min(new) if new else None
            time.sleep(0.01)
        resizer.stop()
        times = [t for t, w in flushes(program.log_path) if t >= start and w in before]
        first = min(times) if times else float("nan")
        return {"first": first - start, "stall": longest_gap(times, start, shown), "done": shown - start}
    finally:
        program.stop()
        shutil.rmtree(home, ignore_errors=True)


def open_map(binary, map_path, settings=None):
    home = tempfile.mkdtemp(prefix="long-work-")
    copy = os.path.join(home, os.path.basename(map_path))
    shutil.copy(map_path, copy)
    program = Program(binary, home, [copy], settings)
    program.show("^%s$" % re.escape(os.path.basename(copy)))
    return home, copy, program


def rename_root(program):
    """Renames the root: a committed change, so that the document has something to save (its window's title
    then ends with "*")."""
    for _ in range(5):
        program.keys("Home")
        program.settle(0.3)
        program.type("Renamed")
        program.settle(0.3)
        program.keys("Return")
        program.settle(0.3)
        if xdotool("getwindowname", program.window).endswith("*"):
            return
    raise RuntimeError("the root could not be renamed")


def time_write(program, key, window, path, stamp):
    """The key pressed in the window starts a write of the file at path (its modification time stamp before):
    the window's flushes from then until the file is written, the window resized meanwhile."""
    marker = now_ms()
    resizer = Resizer(program.window)
    start = now_ms()
    program.keys(key, window=window)
    resizer.start()
    written = wait_for_file(path, stamp, timeout=300)
    time.sleep(0.2)
    resizer.stop()
    times = [t for t, w in flushes(program.log_path) if t >= marker]
    first = min(t for t in times if t >= start)
    return {"first": first - start, "stall": longest_gap(times, start, written), "done": written - start}


def run_save(binary, map_path):
    home, copy, program = open_map(binary, map_path)
    try:
        rename_root(program)
        return time_write(program, "ctrl+s", program.window, copy, os.stat(copy).st_mtime_ns)
    finally:
        program.stop()
        shutil.rmtree(home, ignore_errors=True)


def busy_until(pid, start, baseline, quiet_for=1.0, timeout=600):
    """The last moment (ms) after start that the process used half a core more than baseline (cores) over
    100 ms, once it has not for quiet_for seconds: the work is done, and what went on before it goes on."""
    samples = [(time.monotonic(), cpu_seconds(pid))]
    busy = start
    while time.monotonic() - samples[0][0] < timeout:
        time.sleep(0.02)
        samples.append((time.monotonic(), cpu_seconds(pid)))
        older = [sample for sample in samples if sample[0] <= samples[-1][0] - 0.1]
        if older and (samples[-1][1] - older[-1][1]) / (samples[-1][0] - older[-1][0]) > baseline + 0.5:
            busy = now_ms()
        elif now_ms() - busy > quiet_for * 1000:
            return busy
    return now_ms()


def run_command(binary, map_path, case):
    home, copy, program = open_map(binary, map_path)
    first_keys, timed_key = COMMAND_KEYS[case]
    try:
        for key in first_keys:
            program.keys(key)
        program.settle(0.3)
        marker = now_ms()
        # The window is resized from a second before the key: what its repaints cost is the baseline.
        resizer = Resizer(program.window)
        resizer.start()
        before = (time.monotonic(), cpu_seconds(program.pid))
        time.sleep(1.0)
        baseline = (cpu_seconds(program.pid) - before[1]) / (time.monotonic() - before[0])
        start = now_ms()
        program.keys(timed_key)
        done = busy_until(program.pid, start, baseline)
        time.sleep(0.2)
        resizer.stop()
        times = [t for t, w in flushes(program.log_path) if t >= marker]
        # A window that froze through the work flushes first after it.
        first = min((t for t in times if t >= start), default=now_ms())
        return {"first": first - start, "stall": longest_gap(times, start, done), "done": done - start}
    finally:
        program.stop()
        shutil.rmtree(home, ignore_errors=True)


def run_autosave(binary, map_path):
    home, copy, program = open_map(binary, map_path)
    try:
        rename_root(program)
        watch = FileWatch(copy)
        watch.start()
        program.keys("Tab")
        start = now_ms()
        # 16 s of typing, a key every 40 ms (xdotool waits half the delay after a key's press and half after its
        # release), while the automatic save comes due.
        text = ("steady typing " * 40)[:400]
        program.type(text, delay=80)
        end = now_ms()
        program.settle(0.5)
        watch.stop()
        times = [t for t, w in flushes(program.log_path) if t >= start]
        if not watch.changes:
            raise RuntimeError("no automatic save during the typing")
        # The save ran from a little before the file changed (the archive is renamed into place last).
        saved = watch.changes[0]
        around = [t for t in times if saved - 3000 <= t <= saved + 500]
        return {"first": float("nan"), "stall": longest_gap(around, saved - 3000, saved + 500),
                "done": longest_gap(times, start, end)}
    finally:
        program.stop()
        shutil.rmtree(home, ignore_errors=True)


def run_export(binary, map_path, case):
    module = 5 if case == "export-pdf" else 6
    home, copy, program = open_map(binary, map_path, {"ExportWindowLastShownModuleIndex": module})
    try:
        # The Save dialog opens beside the map with the map's name: the export goes there, nothing typed.
        target = os.path.splitext(copy)[0] + (".pdf" if module == 5 else ".png")
        program.keys("ctrl+e")
        # On a busy display the shortcut's letter can stay down and repeat into the dialog: let it go.
        xdotool("keyup", "e", "ctrl")
        sheet = program.find("Export")
        time.sleep(0.5)
        program.keys("Return", window=sheet)
        dialog = program.find("^Save")
        time.sleep(0.5)
        xdotool("windowactivate", "--sync", dialog)
        time.sleep(0.3)
        return time_write(program, "Return", dialog, target, None)
    finally:
        program.stop()
        shutil.rmtree(home, ignore_errors=True)


def make_files(work, nodes, writer):
    files = {}
    files["open-text"] = os.path.join(work, "long-line.txt")
    with open(files["open-text"], "w") as f:
        f.write(("word " * 20000)[:100000] + "\n")
    files["open-opml"] = os.path.join(work, "outline-%d.opml" % nodes)
    write_outline(files["open-opml"], nodes, "Long work")
    files["open-outline"] = os.path.join(work, "outline-%d.txt" % nodes)
    with open(files["open-outline"], "w") as f:
        depth = {1: 0}
        for uid in range(1, nodes + 1):
            if uid > 1:
                depth[uid] = depth[(uid - 2) // 8 + 1] + 1
        # Depth-first, as an indented outline reads.
        children = {}
        for uid in range(2, nodes + 1):
            children.setdefault((uid - 2) // 8 + 1, []).append(uid)
        stack = [1]
        while stack:
            uid = stack.pop()
            f.write("\t" * depth[uid] + "item %d\n" % uid)
            stack.extend(reversed(children.get(uid, [])))
    files["map"] = os.path.join(work, "map-%d.radovudo" % nodes)
    subprocess.run([writer, str(nodes), files["map"]], check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    files["open-map"] = files["map"]
    return files


def run_case(binary, files, case):
    if case.startswith("open-"):
        return run_open(binary, files, case)
    if case == "save":
        return run_save(binary, files["map"])
    if case == "autosave":
        return run_autosave(binary, files["map"])
    if case in COMMAND_KEYS:
        return run_command(binary, files["map"], case)
    return run_export(binary, files["map"], case)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("binaries", nargs="+")
    parser.add_argument("--nodes", type=int, default=50000)
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--cases", nargs="+", choices=CASES, default=CASES)
    parser.add_argument("--writer", default=os.path.join(HERE, "..", "build", "bench", "write_generated_map"))
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        os.execv(XVFB_RUN, [XVFB_RUN, sys.executable, os.path.abspath(__file__), *sys.argv[1:]])
    work = tempfile.mkdtemp(prefix="long-work-files-")
    try:
        files = make_files(work, args.nodes, args.writer)
        table = {}
        for run, case, binary in itertools.product(range(args.runs), args.cases, args.binaries):
            try:
                result = run_case(binary, files, case)
            except RuntimeError as error:
                print("%s %s, run %d: %s" % (binary, case, run + 1, error), flush=True)
                continue
            table.setdefault((binary, case), []).append(result)
            print("%s %s, run %d: %s" % (binary, case, run + 1,
                  ", ".join("%s %.0f ms" % item for item in result.items())), flush=True)
        print("\n%-40s %-13s %10s %10s %10s" % ("program", "case", "first ms", "stall ms", "done ms"))
        for (binary, case), results in table.items():
            print("%-40s %-13s %10.0f %10.0f %10.0f" % (binary[-40:], case,
                  *(statistics.median(r[key] for r in results) for key in ("first", "stall", "done"))))
        print("(autosave: stall = the longest wait around the automatic save, done = the longest over the typing)")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
