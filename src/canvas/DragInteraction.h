#pragma once

// Dragging nodes on the canvas, and attaching them to the node they are dropped on (the "Attach" badge).

#include "canvas/GraphView.h"
#include "platform/layer/TextLayer.h"

namespace velquine {

class DragInteraction {
public:
    explicit DragInteraction(GraphView& view);
    ~DragInteraction();
    DragInteraction(const DragInteraction&) = delete;
    DragInteraction& operator=(const DragInteraction&) = delete;

    // A node drag moves its layers as one piece: the first drag step makes the group (draggedLayers and
    // where each node was), and every step only adds to its offset. The host draws the group at that offset
    // (LayerHostWidget::setRigidOffset); the layers themselves stay where they are until something reads
    // them or the drag ends. Only the branches to nodes that stay behind change on every step.
    struct DragGroup {
        Qt::KeyboardModifiers modifiers;
        std::vector<Point> origins;              // each dragged node's centre when the group was made
        FlatHashSet<std::int64_t> uids;          // of the dragged nodes
        std::vector<BranchLayer*> outerBranches; // between a dragged node and one that is not
        std::vector<BranchLayer*> innerBranches; // between two dragged nodes
        Point offset{0, 0};                      // how far the drag has taken the group
        Point placedOffset{0, 0};                // how far its layers stand from where the group was made
    };

    // Drag feedback: dragged layers cast a shadow only while this few are dragged.
    static constexpr std::size_t maxShadowedDraggedLayers = 16;
    TextLayer& attachBadgeLayer() const { return *attachBadgeLayer_; }
    std::optional<GraphView::NodeDraggingContext> nodeDraggingContext;
    // The layers moved by the last drag step, each once, in the order they were moved.
    std::vector<NodeLayer*> draggedLayers;
    void setUpAttachBadgeLayer();
    void dragNodes(Qt::KeyboardModifiers modifiers);
    std::vector<NodeLayer*> dragSet(NodeLayer& selected, Qt::KeyboardModifiers modifiers) const;
    void makeDragGroup(Qt::KeyboardModifiers modifiers);
    // Docks a branch between a dragged node and one that is not to where the group is drawn.
    void dockToDragGroup(BranchLayer& branch);
    // Moves the dragged layer to where the drag has taken its node.
    void placeDraggedLayer(std::size_t index);
    // Places every layer of the group where the drag has taken it (for readers of the layers during a drag).
    void placeDragGroup() const;
    // Whether a drag group is under way whose layers do not all stand where it has taken them.
    bool dragGroupUnplaced() const { return dragGroup_ && !(dragGroup_->offset == dragGroup_->placedOffset); }
    // The dragged nodes where the drag has taken them; the layers that can be seen are placed there.
    std::vector<Node> dropDragGroup();
    // A drag whose release never arrived: its layers stay where it took them.
    void abandonDragGroup();
    void raiseDragged(NodeLayer& layer, bool raised);
    // raiseDragged(layer, false) for every dragged layer, through the branches the drag group lists.
    void lowerDragGroup();
    void showAttachFeedback(const std::vector<NodeLayer*>& targets);
    // The layers not dragged under the point; empty when a dragged node's parent is among them.
    std::vector<NodeLayer*> attachTargets(Point point) const;
    // Places the dragged or resized layers and docks the branches at their nodes.
    void placeMovedLayers(const std::vector<NodeLayer*>& layers);
    // Ends a node drag; false when no drag step ran since the press (a click).
    bool endNodeDrag(Point point);
    void sendMovedNodes(std::vector<Node> dragged);
private:
    // A reload under way ends the drag group, and the layer lookups place it first.
    friend class CanvasSync;

    GraphView& view_;
    std::unique_ptr<DragGroup> dragGroup_;
    std::shared_ptr<TextLayer> attachBadgeLayer_;
};

} // namespace velquine
