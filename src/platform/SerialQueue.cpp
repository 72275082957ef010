#include "platform/SerialQueue.h"

#include <algorithm>
#include <vector>

namespace velquine {

namespace {
// The queues whose tasks the current thread is running, innermost last.
thread_local std::vector<const SerialQueue*> activeQueues;
} // namespace

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {}

bool SerialQueue::isCurrent() const
{
    return std::find(activeQueues.begin(), activeQueues.end(), this) != activeQueues.end();
}

SerialQueue::Scope::Scope(SerialQueue& queue) : queue_(queue)
{
    queue_.mutex_.lock();
    try {
        activeQueues.push_back(&queue_);
    } catch (...) {
        queue_.mutex_.unlock();
        throw;
    }
}

SerialQueue::Scope::~Scope()
{
    activeQueues.pop_back();
    queue_.mutex_.unlock();
}

} // namespace velquine
