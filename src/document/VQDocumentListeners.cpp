// The document's listener registry and the deferred delivery of its events.

#include <algorithm>

#include "document/VQDocument.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"

namespace velquine {

namespace {

constexpr const char* offMainThreadWarning = "warn: calling registerEventListener on other thread than main thread!";

} // namespace

void VQDocument::registerEventListener(const std::shared_ptr<VQDocumentEventListener>& listener)
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

void VQDocument::unregisterEventListener(const std::shared_ptr<VQDocumentEventListener>& listener)
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

std::vector<std::shared_ptr<VQDocumentEventListener>> VQDocument::eventListeners() const
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

void VQDocument::notifyEventListeners(std::function<void(VQDocumentEventListener&)> event)
{
    // The snapshot holds the listeners strongly until the delivery is over, so one released or removed in
    // between still hears of what happened before.
    RunLoop::post([listeners = eventListeners(), event = std::move(event)] {
        for (const auto& listener : listeners)
            event(*listener);
    });
}

} // namespace velquine
