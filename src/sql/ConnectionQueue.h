#pragma once

// The serial queue of one database connection. Work runs on the calling thread while the queue's
// own recursive lock is held, so the work of different threads never overlaps; work submitted while
// the calling thread already runs on this queue (a statement inside a transaction block, for
// instance) runs inline instead of waiting for itself. There is no hand-off to another thread.

#include <functional>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

namespace velquine::sql {

class ConnectionQueue {
public:
    explicit ConnectionQueue(std::string label = "SQLite.Database") : label_(std::move(label)) {}
    ConnectionQueue(const ConnectionQueue&) = delete;
    ConnectionQueue& operator=(const ConnectionQueue&) = delete;

    const std::string& label() const noexcept { return label_; }

    // True while the calling thread runs work of this queue.
    bool isCurrent() const noexcept;

    // Runs `work` on this queue and hands back its value or its exception.
    template <class F> std::invoke_result_t<F&> sync(F&& work)
    {
        if (isCurrent())
            return std::invoke(work);
        std::lock_guard lock(mutex_);
        Entered entered(this);
        return std::invoke(work);
    }

private:
    // Marks the calling thread as running on a queue for as long as it lives.
    class Entered {
    public:
        explicit Entered(const ConnectionQueue* queue);
        ~Entered();
        Entered(const Entered&) = delete;
        Entered& operator=(const Entered&) = delete;

    private:
        const ConnectionQueue* queue_;
        const Entered* outer_;
        friend class ConnectionQueue;
    };

    std::string label_;
    std::recursive_mutex mutex_;
};

} // namespace velquine::sql
