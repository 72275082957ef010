#pragma once

// The hover-button drag: a press on a node's "+" button, a drag and a release insert a child (where the
// release was, when the pointer moved). While it runs, the ghost of that child, a node layer and its branch
// that follow the pointer and are never part of the document, previews it.

#include <memory>
#include <optional>
#include <vector>

#include "canvas/CanvasGesture.h"
#include "model/graph/Node.h"

namespace velquine {

class BranchLayer;
class CanvasSync;
class GraphView;
class NodeLayer;

class GhostInteraction : public CanvasGesture {
public:
    // The preview of the child the drag will insert.
    struct DragGhost {
        std::shared_ptr<NodeLayer> parentNodeLayer;
        std::shared_ptr<NodeLayer> ghostNodeLayer;
        std::shared_ptr<BranchLayer> ghostBranchLayer;
    };

    GhostInteraction(GraphView& view, CanvasSync& sync);
    ~GhostInteraction() override;
    GhostInteraction(const GhostInteraction&) = delete;
    GhostInteraction& operator=(const GhostInteraction&) = delete;

    // Whether a shown "+" button lies under the point.
    bool pressesButtonAt(Point point);

    void press(const GestureInput& input) override;
    void move(const GestureInput& input) override;
    void release(const GestureInput& input) override;
    void cancel() override;

    const std::optional<DragGhost>& ghost() { return ghost_; }
    // Makes the ghost child of the layer's node; a second call while a ghost exists only logs.
    void createGhostForNodeLayer(const std::shared_ptr<NodeLayer>& parentNodeLayer);
    void removeGhost();
    // The child's layer as the new-child command would style it, at the parent's centre.
    std::shared_ptr<NodeLayer> makeGhostNodeLayer(const Node& parentNode);

private:
    // The hovered layers whose "+" button lies under the point.
    std::vector<NodeLayer*> buttonsAt(Point point);
    // Moves the ghost to the point; nothing without a ghost.
    void updateGhostPosition(Point point);
    std::shared_ptr<BranchLayer> makeGhostBranchLayer(const Node& parentNode, const Node& ghostNode);
    void updateGhostBranch(BranchLayer& branch, const NodeLayer& parentNodeLayer, const NodeLayer& ghostNodeLayer);

    GraphView& view_;
    CanvasSync& sync_;
    // The hovered layers whose "+" button was under the press, and where the press was.
    std::vector<NodeLayer*> pressedButtons_;
    Point pressLocation_;
    std::optional<DragGhost> ghost_;
};

} // namespace velquine
