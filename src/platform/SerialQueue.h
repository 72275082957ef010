#pragma once

// A serial queue without a thread of its own.
//
// sync(f) runs f on the calling thread while holding the queue's own recursive lock, so tasks of one queue
// never overlap, whichever threads submit them, and each caller waits until its task has run. A task that
// is already running on the queue (a statement inside a transaction, say) submits further work inline: the
// lock is already held by its thread, so the inner task runs at once instead of waiting for itself.
//
// There is no hand-off to a worker thread: the value or exception of f comes straight back to the caller.

#include <mutex>
#include <string>
#include <utility>

namespace velquine {

class SerialQueue {
public:
    explicit SerialQueue(std::string label = {});
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return label_; }

    // Runs f on the queue and returns what it returns; an exception thrown by f leaves the queue and reaches
    // the caller unchanged.
    template <class F>
    decltype(auto) sync(F&& f)
    {
        Scope scope(*this);
        return std::forward<F>(f)();
    }

    // True while the calling thread is running a task of this queue (also from within a nested task of
    // another queue that this queue's task submitted).
    bool isCurrent() const;

private:
    // Holds the lock and marks the calling thread as running on this queue for its lifetime.
    class Scope {
    public:
        explicit Scope(SerialQueue& queue);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        SerialQueue& queue_;
    };

    std::string label_;
    std::recursive_mutex mutex_;
};

} // namespace velquine
