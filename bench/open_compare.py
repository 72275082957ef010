#!/usr/bin/env python3
"""Opening a big map in the real program, builds side by side: how long until it is shown and until it is quiet,
what the open costs in CPU and memory, and whether the window stays idle afterwards.

Each named build opens a generated map of each size (--nodes, 10,000 and 50,000 nodes by default) on a private
X server, with settings and caches in a home folder of its own, and is timed from its start:

  - shown: its first top-level window is visible;
  - title: a visible window of it has the map's name in its title (the map is open);
  - quiet: the last moment its threads were busy (more than --busy of a core over the last 0.1 s) before they
    stayed under that for --quiet seconds (0.6);
  - CPU: the CPU time all its threads used until quiet, the open's cost, with that of the processes it
    started (its picture readers): those alive, and those it has waited for;
  - peak: its peak resident memory (VmHWM) once quiet and after the idle time;
  - allocated: the most memory that it and the processes it started held at once (their anonymous and shared
    memory: RssAnon + RssShmem, summed), sampled as it opens;
  - idle: the share of a core it used over --idle seconds (10) after going quiet.

--pictures adds a map of 21 nodes with the pictures people use (a photo, PNGs with alpha, TIFF, BMP, WebP,
animated GIF, SVG illustrations), and --picture FILE a map of 20 nodes each holding that file as its picture,
both written by a writer that knows pictures (`write_generated_map pictures PATH [FILE]`).

The empty program (no map) is timed the same way. Every build gets one start that is not counted (a first
start writes its settings); then the counted starts of every build and case take turns (--runs of each, default
3), so a machine loaded by other work loads them alike. One table of medians, the builds side by side:

  bench/open_compare.py base=/work/wt/base/build/app/velquine now=build/app/velquine --runs 3

The map is written by build/bench/write_generated_map (--writer for another one: the oldest build's writes a
file every build reads). Needs Xvfb and xdotool.
"""

import argparse
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "support"))
from realwindow import cpu_seconds  # noqa: E402

POLL = 0.01
BUSY_WINDOW = 0.1


def start_xvfb(work):
    """A private X server with a black root window; its display name."""
    log = open(os.path.join(work, "xvfb.log"), "w")
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1920x1200x24", "-br",
                               "-nolisten", "tcp", "-noreset"], stdout=log, stderr=log, pass_fds=(write_end,))
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip():
        server.kill()
        sys.exit("Xvfb did not start")
    return server, ":" + number.decode().strip()


def status_kib(pid, field):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def children_of(pid):
    """The processes any thread of the process started (each thread lists its own)."""
    children = []
    for listing in glob.glob("/proc/%d/task/*/children" % pid):
        try:
            with open(listing) as f:
                children.extend(int(child) for child in f.read().split())
        except OSError:
            pass
    return children


def waited_children_seconds(pid):
    """The CPU time of the children the process has waited for (cutime + cstime)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[13]) + int(fields[14])) / os.sysconf("SC_CLK_TCK")
    except (OSError, ValueError, IndexError):
        return 0.0


def tree_cpu_seconds(pid):
    return cpu_seconds(pid) + waited_children_seconds(pid) + sum(tree_cpu_seconds(c) for c in children_of(pid))


def tree_allocated_kib(pid):
    return status_kib(pid, "RssAnon") + status_kib(pid, "RssShmem") + sum(
        tree_allocated_kib(c) for c in children_of(pid))


def visible_windows(pid):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], capture_output=True, text=True)
    return found.stdout.split()


def window_name(window):
    return subprocess.run(["xdotool", "getwindowname", window], capture_output=True, text=True).stdout.strip()


def home_env(home):
    for sub in ("config", "data", "cache", "state", "runtime"):
        os.makedirs(os.path.join(home, sub), exist_ok=True)
    os.chmod(os.path.join(home, "runtime"), 0o700)
    return dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                XDG_DATA_HOME=os.path.join(home, "data"), XDG_CACHE_HOME=os.path.join(home, "cache"),
                XDG_STATE_HOME=os.path.join(home, "state"), XDG_RUNTIME_DIR=os.path.join(home, "runtime"),
                QT_QPA_PLATFORM="xcb")


def one_open(binary, home, path, args):
    """Starts the program (on a map when path is given) and measures it; a dict of the figures."""
    stem = os.path.splitext(os.path.basename(path))[0] if path else None
    log = open(os.path.join(home, "out.log"), "a")
    start = time.monotonic()
    process = subprocess.Popen([binary] + ([path] if path else []), env=home_env(home), stdout=log,
                               stderr=subprocess.STDOUT)
    pid = process.pid
    shown = title = None
    windows = []
    history = []  # (time, cpu) of the reads in the last BUSY_WINDOW seconds
    last_busy = None
    cpu_at_busy = 0.0
    allocated = 0
    try:
        while time.monotonic() - start < args.timeout:
            if process.poll() is not None:
                raise RuntimeError("%s ended early (status %s)" % (binary, process.returncode))
            now, cpu = time.monotonic(), tree_cpu_seconds(pid)
            allocated = max(allocated, tree_allocated_kib(pid))
            if shown is None or (stem and title is None):
                windows = visible_windows(pid)
                if windows and shown is None:
                    shown = now - start
                if windows and stem and title is None and any(stem in window_name(w) for w in windows):
                    title = now - start
            history.append((now, cpu))
            while len(history) > 1 and now - history[0][0] > BUSY_WINDOW:
                history.pop(0)
            span = now - history[0][0]
            if span > 0 and (cpu - history[0][1]) / span > args.busy:
                last_busy, cpu_at_busy = now, cpu
            ready = shown is not None and (title is not None or not stem)
            if ready and last_busy is not None and now - last_busy >= args.quiet:
                break
            time.sleep(POLL)
        else:
            raise RuntimeError("%s did not go quiet within %d s" % (binary, args.timeout))
        figures = {"shown": shown, "title": title if stem else shown, "quiet": last_busy - start,
                   "cpu": cpu_at_busy, "peak": status_kib(pid, "VmHWM") / 1024, "allocated": allocated / 1024}
        if args.idle > 0:
            cpu, at = tree_cpu_seconds(pid), time.monotonic()
            time.sleep(args.idle)
            figures["idle"] = 100 * (tree_cpu_seconds(pid) - cpu) / (time.monotonic() - at)
            figures["peak after idle"] = status_kib(pid, "VmHWM") / 1024
            figures["resident after idle"] = status_kib(pid, "VmRSS") / 1024
        return figures
    finally:
        process.kill()
        process.wait()
        log.close()


COLUMNS = (("shown", "s", "%.2f"), ("title", "s", "%.2f"), ("quiet", "s", "%.2f"), ("cpu", "s", "%.2f"),
           ("peak", "MiB", "%.0f"), ("allocated", "MiB", "%.0f"), ("peak after idle", "MiB", "%.0f"),
           ("resident after idle", "MiB", "%.0f"),
           ("idle", "%", "%.2f"))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("builds", nargs="+", metavar="NAME=PATH")
    parser.add_argument("--nodes", type=int, nargs="*", default=[10000, 50000])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--quiet", type=float, default=0.6, help="seconds under --busy that count as quiet")
    parser.add_argument("--busy", type=float, default=0.1, help="share of a core over 0.1 s that counts as busy")
    parser.add_argument("--idle", type=float, default=10, help="seconds of idle CPU measured after quiet")
    parser.add_argument("--timeout", type=float, default=120)
    parser.add_argument("--writer", default=os.path.join(HERE, "..", "build", "bench", "write_generated_map"))
    parser.add_argument("--pictures", action="store_true", help="add the map of 21 ordinary pictures")
    parser.add_argument("--picture", action="append", default=[], metavar="FILE",
                        help="add a map of 20 nodes each holding the picture in FILE (may be repeated)")
    parser.add_argument("--no-empty", action="store_true", help="leave out the empty program")
    args = parser.parse_args()
    builds = []
    for entry in args.builds:
        name, _, path = entry.partition("=")
        if not path or not os.access(path, os.X_OK):
            sys.exit("not NAME=PROGRAM: %s" % entry)
        builds.append((name, os.path.abspath(path)))
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            sys.exit("needs %s" % tool)

    work = tempfile.mkdtemp(prefix="velquine-open-")
    server = None
    try:
        server, display = start_xvfb(work)
        os.environ["DISPLAY"] = display
        cases = [] if args.no_empty else [("empty", None)]
        for nodes in args.nodes:
            path = os.path.join(work, "Generated%d.radovudo" % nodes)
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=work)
            subprocess.run([args.writer, str(nodes), path], check=True, env=env)
            cases.append(("%d nodes" % nodes, path))
        if args.pictures:
            path = os.path.join(work, "Pictures.radovudo")
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=work)
            subprocess.run([args.writer, "pictures", path], check=True, env=env)
            cases.append(("21 pictures", path))
        for picture in args.picture:
            path = os.path.join(work, "Picture %d.radovudo" % len(cases))
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=work)
            subprocess.run([args.writer, "pictures", path, picture], check=True, env=env)
            cases.append((os.path.basename(picture)[:12], path))
        homes = {name: tempfile.mkdtemp(prefix="home-%s-" % name, dir=work) for name, _ in builds}
        for name, binary in builds:
            one_open(binary, homes[name], None, argparse.Namespace(**{**vars(args), "idle": 0}))
        results = {}
        for run in range(args.runs):
            for case, path in cases:
                for name, binary in builds:
                    figures = one_open(binary, homes[name], path, args)
                    results.setdefault((case, name), []).append(figures)
                    print("run %d %-12s %-10s %s" % (run + 1, case, name, " ".join(
                        "%s=%.3g" % (k, v) for k, v in figures.items())), flush=True)
        print("\nmedians of %d runs, load %s" % (args.runs, " ".join(open("/proc/loadavg").read().split()[:3])))
        header = "%-12s %-10s" % ("case", "build") + "".join(" %10s" % ("%s %s" % (c, u))[:10] for c, u, _ in COLUMNS)
        print(header)
        for case, _ in cases:
            for name, _ in builds:
                runs = results[(case, name)]
                cells = []
                for column, _, form in COLUMNS:
                    values = [r[column] for r in runs if r.get(column) is not None]
                    cells.append(" %10s" % (form % statistics.median(values) if values else "-"))
                print("%-12s %-10s" % (case, name) + "".join(cells))
        print("(columns: shown, title shown, quiet, CPU until quiet, peak memory at quiet, most allocated by its"
              " processes, peak after the idle time,"
              " resident after it, idle CPU %% of a core over %g s)" % args.idle)
    finally:
        if server:
            server.kill()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
