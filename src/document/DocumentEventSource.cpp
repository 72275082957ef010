// The document's listener registry, the deferred delivery of its events, and the canvas focus request.

#include "document/DocumentEventSource.h"

#include <algorithm>

#include "platform/Log.h"
#include "platform/RunLoop.h"

namespace velquine {

namespace {

constexpr const char* offMainThreadWarning = "warn: calling registerEventListener on other thread than main thread!";

} // namespace

void DocumentEventSource::registerEventListener(const std::shared_ptr<VQDocumentEventListener>& listener)
{
    if (!RunLoop::isMainThread()) {
        VQ_LOG("registerEventListener(_:)", offMainThreadWarning);
        return;
    }
    if (!listener)
        return;
    std::lock_guard<std::mutex> lock(listenersMutex_);
    std::erase_if(listeners_, [](const std::weak_ptr<VQDocumentEventListener>& w) { return w.expired(); });
    const bool present = std::any_of(listeners_.begin(), listeners_.end(),
                                     [&](const auto& w) { return w.lock() == listener; });
    if (!present)
        listeners_.push_back(listener);
}

void DocumentEventSource::unregisterEventListener(const std::shared_ptr<VQDocumentEventListener>& listener)
{
    if (!RunLoop::isMainThread()) {
        VQ_LOG("unregisterEventListener(_:)", offMainThreadWarning);
        return;
    }
    std::lock_guard<std::mutex> lock(listenersMutex_);
    std::erase_if(listeners_, [&](const std::weak_ptr<VQDocumentEventListener>& w) {
        const auto alive = w.lock();
        return !alive || alive == listener;
    });
}

std::vector<std::shared_ptr<VQDocumentEventListener>> DocumentEventSource::eventListeners() const
{
    std::vector<std::shared_ptr<VQDocumentEventListener>> snapshot;
    {
        std::lock_guard<std::mutex> lock(listenersMutex_);
        snapshot.reserve(listeners_.size());
        for (const auto& w : listeners_)
            if (auto l = w.lock())
                snapshot.push_back(std::move(l));
    }
    std::stable_sort(snapshot.begin(), snapshot.end(),
                     [](const auto& a, const auto& b) { return a->priority() < b->priority(); });
    return snapshot;
}

void DocumentEventSource::notifyEventListeners(std::function<void(VQDocumentEventListener&)> event)
{
    // The snapshot holds the listeners strongly until the delivery is over, so one released or removed in
    // between still hears of what happened before.
    RunLoop::post([listeners = eventListeners(), event = std::move(event)] {
        for (const auto& listener : listeners)
            event(*listener);
    });
}

// ---- Canvas focus ----

void DocumentEventSource::setFocusGraphViewHandler(std::function<void()> handler)
{
    focusHandler_ = handler ? std::make_shared<std::function<void()>>(std::move(handler)) : nullptr;
}

void DocumentEventSource::focusGraphView()
{
    // The handler is looked up when the call runs, so a document closed in between asks nobody.
    std::weak_ptr<std::function<void()>> handler = focusHandler_;
    RunLoop::post([handler] {
        if (auto h = handler.lock())
            (*h)();
    });
}

} // namespace velquine
