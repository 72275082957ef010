#include "model/graph/NodeUID.h"

#include <atomic>
#include <limits>

namespace velquine {

namespace {

constexpr std::int64_t largestUID = std::numeric_limits<std::int64_t>::max();

// Every creator of nodes runs on the main thread; the atomic only keeps a stray caller from tearing it.
std::atomic<std::int64_t> counter{0};

} // namespace

NodeUIDExhaustedError::NodeUIDExhaustedError()
    : std::runtime_error("No node identifier left: the identifier counter has reached its largest value.")
{
}

std::int64_t nodeUIDCounter() { return counter.load(); }

std::int64_t nextNodeUID()
{
    std::int64_t current = counter.load();
    do {
        if (current == largestUID)
            throw NodeUIDExhaustedError();
    } while (!counter.compare_exchange_weak(current, current + 1));
    return current + 1;
}

void raiseNodeUIDCounter(std::int64_t uid)
{
    const std::int64_t raised = uid == largestUID ? largestUID : uid + 1;
    std::int64_t current = counter.load();
    while (current <= uid && current < raised) {
        if (counter.compare_exchange_weak(current, raised))
            return;
    }
}

void resetNodeUIDCounterForTesting(std::int64_t value) { counter.store(value); }

} // namespace velquine
