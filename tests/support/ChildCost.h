#pragma once

// Runs work in a forked child and reports what it came to: the child's exit code (the work's result), how
// much its peak memory grew while the work ran, and the processor time the work took. Memory and time that a
// refused input must not take are measured so.

#include <QThreadPool>

#include <cstdint>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velquine::testing {

struct ChildCost {
    int result = -1;             // the work's result, or 128 + the signal that ended the child
    std::int64_t grownKB = -1;   // peak resident memory gained while the work ran
    double cpuSeconds = -1;      // processor time the work took, in user and system mode
};

inline double cpuSecondsOf(const rusage& usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline ChildCost costInChild(const std::function<int()>& work)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return {};
    // A child has the forking thread alone: threads the pool kept from earlier work (image conversions use
    // it) would take the child's tasks and never run them, so they go first.
    QThreadPool::globalInstance()->waitForDone();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        ::alarm(60);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        const int result = work();
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const std::int64_t grown = after.ru_maxrss - before.ru_maxrss;
        const double cpu = cpuSecondsOf(after) - cpuSecondsOf(before);
        (void)!::write(ends[1], &grown, sizeof grown);
        (void)!::write(ends[1], &cpu, sizeof cpu);
        ::_exit(result);
    }
    ::close(ends[1]);
    ChildCost cost;
    if (::read(ends[0], &cost.grownKB, sizeof cost.grownKB) != sizeof cost.grownKB)
        cost.grownKB = -1;
    else if (::read(ends[0], &cost.cpuSeconds, sizeof cost.cpuSeconds) != sizeof cost.cpuSeconds)
        cost.cpuSeconds = -1;
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    cost.result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return cost;
}

} // namespace velquine::testing
