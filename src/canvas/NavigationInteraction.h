#pragma once

// Keyboard navigation on the canvas: the canvas keys go to the window's commands or move the selection to the
// neighbour in a direction, the root of the tree or its most recently modified node.

#include "canvas/GraphView.h"

namespace velquine {

class NavigationInteraction {
public:
    explicit NavigationInteraction(GraphView& view);
    ~NavigationInteraction();
    NavigationInteraction(const NavigationInteraction&) = delete;
    NavigationInteraction& operator=(const NavigationInteraction&) = delete;

    // Selects the neighbour in the direction (through the delegate), or beeps when there is none.
    void moveSelection(GraphView::NavigationDirection direction);
    // Structural navigation in automatically laid out trees, then the nearest node in the direction inside the
    // tree of the first selected node, then over the whole map. Whether a node was chosen.
    bool navigate(GraphView::NavigationDirection direction);
    bool selectRelatedNodeInTree(GraphView::NavigationDirection direction);
    bool selectNearestNode(std::vector<Node> candidates, GraphView::NavigationDirection direction);
    static double squaredDistanceToNearestCorner(const Rect& rect, Point point);
    // Home: the root of the first selected node's tree; End: the most recently modified node of that tree.
    bool selectRootOfSelection();
    // Home without a selection: the first root of the graph; false when the graph has none.
    bool selectFirstRoot();
    bool selectLastModifiedNodeInTree();
    // The window's command for a canvas key, sent along its action chain; beeps when nothing answers.
    void sendWindowAction(const char* selector);
    bool handleCanvasKey(QKeyEvent* event);
    void chooseNode(const Node& node);

private:
    GraphView& view_;
};

} // namespace velquine
