#pragma once

// Deferred calls on the main thread.
//
// Every "do this on the next turn of the main loop" in the program goes through RunLoop::post, so that all
// such calls run in the order they were posted, whatever thread posted them. Delivery uses a queued
// invocation on an object of the main thread, which Qt also dispatches while a menu is open or a modal
// dialog runs its own loop. Do not defer work with started QTimer objects as well: a zero-interval timer
// fires after the queued calls already posted, so mixing the two reorders the program's events.

#include <cstddef>
#include <functional>

namespace velquine {

class RunLoop {
public:
    // Appends fn to the queue of deferred calls. Safe from any thread; returns at once. fn runs on the main
    // thread, after every call posted before it. Calls posted before the application object exists wait
    // for the first post after it (or for drain()).
    static void post(std::function<void()> fn);

    // Runs every queued call on the calling (main) thread, including the ones posted while it runs, until
    // the queue is empty. For tests, which have no event loop of their own.
    static void drain();

    // Runs the calls queued now, in order, on the calling (main) thread; the calls they post stay queued for
    // the next turn. For input that must find the work posted before it done (InputInOrder).
    static void runQueued();

    // Calls posted and not yet run.
    static std::size_t pendingCount();

    // True on the thread that runs the application object (or, before one exists, on the thread that
    // started the program).
    static bool isMainThread();
};

} // namespace velquine
