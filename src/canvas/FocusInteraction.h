#pragma once

// Focus mode: everything outside the focussed node's subtree fades.

#include "canvas/GraphView.h"

namespace velquine {

class FocusInteraction {
public:
    FocusInteraction(GraphView& view, CanvasSync& sync);
    ~FocusInteraction();
    FocusInteraction(const FocusInteraction&) = delete;
    FocusInteraction& operator=(const FocusInteraction&) = delete;

    // Set while focus mode is on: a copy of the focussed node as it was when focus mode began.
    struct FocusContext {
        Node focussedRootNode;
    };
    const std::optional<FocusContext>& focusContext() const { return focusContext_; }
    // On for the first selected node the graph holds, or off again.
    void applyFocus();
    // On for the node: everything outside its subtree fades.
    void focus(const Node& node);
private:
    GraphView& view_;
    CanvasSync& sync_;
    std::optional<FocusContext> focusContext_;
};

} // namespace velquine
