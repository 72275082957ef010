/* Starts a program on the current X display and times its first window from outside, as a person sees it:
 * when the window first shows painted content and when it settles (its last change before it stays the same
 * for the quiet time), with the CPU time all the program's threads had used by then. The window is sampled
 * every few milliseconds as a set of pixel rows; on a server whose root window is black (Xvfb -br), an
 * unpainted window is black, and so is a window whose contents the program has not yet drawn.
 *
 *   window_settle QUIET_MS TIMEOUT_MS program [arguments...]
 *
 * Prints one line "painted_ms cpu_painted_ms settled_ms cpu_settled_ms" (times from the start, CPU time of the
 * program by then) and ends the program; exits 1 when no window was painted before the timeout or the
 * program ended first. */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <dirent.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double nowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

/* The CPU time of every thread of the process, in milliseconds, from the scheduler's nanosecond counts. */
static double cpuMs(pid_t pid)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/task", (int)pid);
    DIR* tasks = opendir(path);
    if (!tasks)
        return -1;
    double total = 0;
    struct dirent* entry;
    while ((entry = readdir(tasks))) {
        if (entry->d_name[0] == '.')
            continue;
        char file[300];
        snprintf(file, sizeof file, "/proc/%d/task/%s/schedstat", (int)pid, entry->d_name);
        FILE* stat = fopen(file, "r");
        unsigned long long ns = 0;
        if (stat) {
            if (fscanf(stat, "%llu", &ns) == 1)
                total += ns / 1e6;
            fclose(stat);
        }
    }
    closedir(tasks);
    return total;
}

static int ownedBy(Display* display, Window window, pid_t pid)
{
    static Atom pidAtom = None;
    if (pidAtom == None)
        pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    int owned = 0;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data)
            == Success
        && data && count == 1 && format == 32)
        owned = (pid_t)*(unsigned long*)data == pid;
    if (data)
        XFree(data);
    return owned;
}

/* The largest viewable top-level window of the process, or None. */
static Window findWindow(Display* display, pid_t pid, int* width, int* height)
{
    Window root, parent, *children = NULL, best = None;
    unsigned int count = 0;
    long bestArea = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return None;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable)
            continue;
        const long area = (long)attributes.width * attributes.height;
        if (area > bestArea && ownedBy(display, children[i], pid)) {
            best = children[i];
            bestArea = area;
            *width = attributes.width;
            *height = attributes.height;
        }
    }
    if (children)
        XFree(children);
    return best;
}

static int ignoreErrors(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;
    return 0;
}

/* A hash of rows across the window, every 16th row, and whether any sampled pixel is not black. */
static uint64_t sample(Display* display, Window window, int width, int height, int* painted)
{
    uint64_t hash = 1469598103934665603ull;
    *painted = 0;
    for (int y = 8; y < height; y += 16) {
        XImage* row = XGetImage(display, window, 0, y, (unsigned)width, 1, AllPlanes, ZPixmap);
        if (!row)
            continue;
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(row, x, 0) & 0xffffff;
            if (pixel)
                *painted = 1;
            hash = (hash ^ pixel) * 1099511628211ull;
        }
        XDestroyImage(row);
    }
    return hash;
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: %s QUIET_MS TIMEOUT_MS program [arguments...]\n", argv[0]);
        return 2;
    }
    const double quiet = atof(argv[1]), timeout = atof(argv[2]);
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);

    const double start = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[3], argv + 3);
        _exit(127);
    }
    double painted = -1, cpuPainted = -1, changed = -1, cpuChanged = -1;
    uint64_t last = 0;
    int status = 0;
    while (nowMs() - start < timeout) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            fprintf(stderr, "the program ended early\n");
            return 1;
        }
        int width = 0, height = 0;
        const Window window = findWindow(display, pid, &width, &height);
        if (window != None) {
            int nonBlack = 0;
            const uint64_t hash = sample(display, window, width, height, &nonBlack);
            const double at = nowMs();
            if (nonBlack && (painted < 0 || hash != last)) {
                changed = at - start;
                cpuChanged = cpuMs(pid);
                if (painted < 0) {
                    painted = changed;
                    cpuPainted = cpuChanged;
                }
                last = hash;
            } else if (painted >= 0 && at - start - changed >= quiet) {
                printf("%.1f %.1f %.1f %.1f\n", painted, cpuPainted, changed, cpuChanged);
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return 0;
            }
        }
        usleep(3000);
    }
    fprintf(stderr, "no painted window within %.0f ms\n", timeout);
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return 1;
}
