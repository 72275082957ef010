#include "sql/ConnectionQueue.h"

namespace velquine::sql {

namespace {
// The innermost queue the calling thread runs on; each entry links to the one it was entered from.
thread_local const void* innermost = nullptr;
} // namespace

ConnectionQueue::Entered::Entered(const ConnectionQueue* queue)
    : queue_(queue)
    , outer_(static_cast<const Entered*>(innermost))
{
    innermost = this;
}

ConnectionQueue::Entered::~Entered()
{
    innermost = outer_;
}

bool ConnectionQueue::isCurrent() const noexcept
{
    for (auto* entry = static_cast<const Entered*>(innermost); entry; entry = entry->outer_) {
        if (entry->queue_ == this)
            return true;
    }
    return false;
}

} // namespace velquine::sql
