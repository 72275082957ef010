#pragma once

// Focus mode: everything outside the focussed node's subtree fades.

#include "canvas/GraphView.h"

namespace velquine {

class FocusInteraction {
public:
    explicit FocusInteraction(GraphView& view);
    ~FocusInteraction();
    FocusInteraction(const FocusInteraction&) = delete;
    FocusInteraction& operator=(const FocusInteraction&) = delete;

    const std::optional<GraphView::FocusContext>& focusContext() const { return focusContext_; }
    // On for the first selected node the graph holds, or off again.
    void applyFocus();
    // On for the node: everything outside its subtree fades.
    void focus(const Node& node);
private:
    GraphView& view_;
    std::optional<GraphView::FocusContext> focusContext_;
};

} // namespace velquine
