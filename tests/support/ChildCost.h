#pragma once

// Runs work in a forked child and reports what it came to: the child's exit code (the work's result) and how
// much its peak memory grew while the work ran. Memory that a refused input must not take is measured so.

#include <cstdint>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velquine::testing {

struct ChildCost {
    int result = -1;             // the work's result, or 128 + the signal that ended the child
    std::int64_t grownKB = -1;   // peak resident memory gained while the work ran
};

inline ChildCost costInChild(const std::function<int()>& work)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return {};
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
        (void)!::write(ends[1], &grown, sizeof grown);
        ::_exit(result);
    }
    ::close(ends[1]);
    ChildCost cost;
    if (::read(ends[0], &cost.grownKB, sizeof cost.grownKB) != sizeof cost.grownKB)
        cost.grownKB = -1;
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    cost.result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return cost;
}

} // namespace velquine::testing
