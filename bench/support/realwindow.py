"""What the scripts that drive the real program share: a generated outline to open, the CPU counters of a
running process, xdotool, and the program started in a home folder of its own."""

import glob
import os
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
XVFB_RUN = os.path.join(HERE, "..", "..", "tests", "support", "xvfb_run.sh")
WORDS = ("plan budget travel garden kitchen review draft market design letter meeting summer river station "
         "report window colour engine harbour paper season answer bridge forest lesson signal").split()


def write_outline(path, count, heading):
    """An OPML outline of count nodes: node 1 is the root, node k's parent is (k - 2) // 8 + 1."""
    children = [[] for _ in range(count + 1)]
    for uid in range(2, count + 1):
        children[(uid - 2) // 8 + 1].append(uid)

    def title(uid):
        return "%s %s %d" % (WORDS[uid % len(WORDS)], WORDS[(uid * 7) % len(WORDS)], uid)

    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<opml version="2.0"><head><title>%s</title></head><body>' % heading]
    stack = [(1, False)]
    while stack:
        uid, closing = stack.pop()
        if closing:
            lines.append("</outline>")
            continue
        if not children[uid]:
            lines.append('<outline text="%s"/>' % title(uid))
            continue
        lines.append('<outline text="%s">' % title(uid))
        stack.append((uid, True))
        for child in reversed(children[uid]):
            stack.append((child, False))
    lines.append("</body></opml>")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def write_wide_outline(path, children, heading):
    """An OPML outline of a root whose one child has the given number of leaf children (a pasted list)."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<opml version="2.0"><head><title>%s</title></head><body>' % heading,
             '<outline text="list root"><outline text="pasted list">']
    lines.extend('<outline text="%s item %d"/>' % (WORDS[i % len(WORDS)], i) for i in range(children))
    lines.append("</outline></outline></body></opml>")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


# Per process: the last CPU time read of each of its threads, and the sum of those of its threads that ended.
_threads_seen = {}


def cpu_seconds(pid):
    """CPU time of every thread of the process so far, in seconds (nanosecond counters), threads that have ended
    since an earlier call included (with what they had used when last seen)."""
    seen, ended = _threads_seen.get(pid, ({}, 0))
    now = {}
    for stat in glob.glob("/proc/%d/task/*/schedstat" % pid):
        try:
            with open(stat) as f:
                now[stat] = int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    ended += sum(used for task, used in seen.items() if task not in now)
    _threads_seen[pid] = (now, ended)
    return (sum(now.values()) + ended) / 1e9


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.strip()


class Program:
    """The program opening one file, with its settings and caches in the home folder given, its output in the
    log file given (out.log in that folder by default), and the environment variables given added."""

    def __init__(self, binary, outline, home, log_path=None, env=None):
        self.log_path = log_path or os.path.join(home, "out.log")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_RUNTIME_DIR=home, **(env or {}))
        self.log = open(self.log_path, "w")
        self.process = subprocess.Popen([binary, outline], stdout=self.log, stderr=subprocess.STDOUT, env=env)
        self.pid = self.process.pid
        self.window = None

    def wait_for_window(self, timeout=120, size=None):
        """Waits for the map's window; with a size (width, height) the window is given it and activated."""
        start = time.monotonic()
        while time.monotonic() - start < timeout:
            found = xdotool("search", "--onlyvisible", "--pid", str(self.pid), "--name", "Untitled")
            if found:
                self.window = found.split()[0]
                if size:
                    xdotool("windowsize", self.window, str(size[0]), str(size[1]))
                    xdotool("windowactivate", "--sync", self.window)
                return True
            time.sleep(0.1)
        return False

    def keys(self, *keys):
        xdotool("key", "--window", self.window, *keys)

    def type(self, text):
        xdotool("type", "--window", self.window, "--delay", "5", text)

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()
