#pragma once

// What a document tells the views around it: the events posted to its listeners, and the request to give the
// keyboard back to the map canvas. The document object is one (VQDocument derives from it).
//
// Observers register as VQDocumentEventListener and are held weakly. Each event is handed to the listeners
// registered when it was posted, in ascending priority, on a later turn of the main run loop (RunLoop::post),
// never during the call that posts it. Registering runs on the main thread; posting is safe from any thread.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "document/VQDocumentEventListener.h"

namespace velquine {

class DocumentEventSource {
public:
    DocumentEventSource() = default;
    DocumentEventSource(const DocumentEventSource&) = delete;
    DocumentEventSource& operator=(const DocumentEventSource&) = delete;

    // ---- Event listeners ----

    // Adds the listener unless it is there already. Off the main thread: a log line, no change.
    void registerEventListener(const std::shared_ptr<VQDocumentEventListener>& listener);
    // Removes the listener when it is there. Off the main thread: a log line, no change.
    void unregisterEventListener(const std::shared_ptr<VQDocumentEventListener>& listener);
    // The living listeners, by ascending priority (registration order among equals).
    std::vector<std::shared_ptr<VQDocumentEventListener>> eventListeners() const;
    // Takes the listeners now and calls event on each of them, in priority order, on a later turn of the
    // main run loop. Safe from any thread; returns at once.
    void notifyEventListeners(std::function<void(VQDocumentEventListener&)> event);

    // ---- Canvas focus ----

    // Asks, on the next turn of the main run loop, the handler the editor installed to give the keyboard
    // back to the map canvas. Nothing happens when no handler is installed by then.
    void focusGraphView();
    void setFocusGraphViewHandler(std::function<void()> handler);

protected:
    ~DocumentEventSource() = default;

private:
    mutable std::mutex listenersMutex_;
    std::vector<std::weak_ptr<VQDocumentEventListener>> listeners_;
    std::shared_ptr<std::function<void()>> focusHandler_;
};

} // namespace velquine
