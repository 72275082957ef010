#pragma once

// Dragging nodes on the canvas, and attaching them to the node they are dropped on (the "Attach" badge).

#include "base/FlatHashMap.h"
#include "canvas/CanvasGesture.h"
#include "canvas/GraphView.h"
#include "platform/layer/TextLayer.h"

namespace velquine {

class TitleEditingInteraction;

class DragInteraction : public CanvasGesture {
public:
    DragInteraction(GraphView& view, CanvasSync& sync, TitleEditingInteraction& titleEditing);
    ~DragInteraction() override;
    DragInteraction(const DragInteraction&) = delete;
    DragInteraction& operator=(const DragInteraction&) = delete;

    // A press on a node: the drag grabs the first node under it. A release without a drag step is a click:
    // it narrows the selection to the nodes under it, or on a double click edits the selected one's title.
    void press(const GestureInput& input) override;
    void move(const GestureInput& input) override;
    void release(const GestureInput& input) override;
    // A drag whose release never arrived: its layers stay where it took them.
    void cancel() override;
    // A reload may replace the dragged layers: the group is placed and made again from where it leaves them.
    void willReload() override;
    void didReload() override;
    void placeLayers(std::span<const std::int64_t> uids) override;

    // Drag feedback: dragged layers cast a shadow only while this few are dragged.
    static constexpr std::size_t maxShadowedDraggedLayers = 16;
    TextLayer& attachBadgeLayer() { return *attachBadgeLayer_; }
    void setUpAttachBadgeLayer();
    // The layers moved by the last drag step, each once, in the order they were moved.
    const std::vector<NodeLayer*>& draggedLayers() { return draggedLayers_; }

private:
    // A node drag under way: a copy of the grabbed node, whose centre follows the pointer, and where the
    // pointer grabbed it (mouse-down point − its centre).
    struct NodeDraggingContext {
        Node mainDraggedNode;
        Point dragOffsetFromCenter;
    };
    // A node drag moves its layers as one piece: the first drag step makes the group (draggedLayers_ and
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

    void dragNodes(Point point, Qt::KeyboardModifiers modifiers);
    std::vector<NodeLayer*> dragSet(NodeLayer& selected, Qt::KeyboardModifiers modifiers);
    void makeDragGroup(Qt::KeyboardModifiers modifiers);
    // Docks a branch between a dragged node and one that is not to where the group is drawn.
    void dockToDragGroup(BranchLayer& branch);
    // Moves the dragged layer to where the drag has taken its node.
    void placeDraggedLayer(std::size_t index);
    // Places every layer of the group where the drag has taken it (for readers of the layers during a drag).
    void placeDragGroup();
    // Whether a drag group is under way whose layers do not all stand where it has taken them.
    bool dragGroupUnplaced() const { return dragGroup_ && !(dragGroup_->offset == dragGroup_->placedOffset); }
    // The dragged nodes where the drag has taken them; the layers that can be seen are placed there.
    std::vector<Node> dropDragGroup();
    void abandonDragGroup();
    void raiseDragged(NodeLayer& layer, bool raised);
    // raiseDragged(layer, false) for every dragged layer, through the branches the drag group lists.
    void lowerDragGroup();
    void showAttachFeedback(const std::vector<NodeLayer*>& targets, Point point);
    // The layers not dragged under the point; empty when a dragged node's parent is among them.
    std::vector<NodeLayer*> attachTargets(Point point);
    // Ends a node drag; false when no drag step ran since the press (a click).
    bool endNodeDrag(Point point);
    // The dragged nodes go to the delegate: attached, re-ordered among their siblings or moved.
    void sendDraggedNodes(std::vector<Node> dragged, const std::vector<NodeLayer*>& targets, Point point);
    // A re-order among the siblings of the main dragged node, when the drag changes their order.
    bool sendReorder(const Node& main, std::vector<Node>& dragged);
    void sendMovedNodes(std::vector<Node> dragged);
    // A release without a drag step.
    void click(Point point);

    GraphView& view_;
    CanvasSync& sync_;
    TitleEditingInteraction& titleEditing_;
    std::optional<NodeDraggingContext> nodeDraggingContext_;
    std::vector<NodeLayer*> draggedLayers_;
    std::unique_ptr<DragGroup> dragGroup_;
    // The modifiers of a group a reload under way took down, to make it again with.
    std::optional<Qt::KeyboardModifiers> reloadedGroup_;
    int clickCount_ = 1;
    std::shared_ptr<TextLayer> attachBadgeLayer_;
};

} // namespace velquine
