#pragma once

// The ghost of the child a hover-button drag will insert: a node layer and its branch that follow the pointer
// and are never part of the document.

#include "canvas/GraphView.h"

namespace velquine {

class GhostInteraction {
public:
    explicit GhostInteraction(GraphView& view);
    ~GhostInteraction();
    GhostInteraction(const GhostInteraction&) = delete;
    GhostInteraction& operator=(const GhostInteraction&) = delete;

    const std::optional<GraphView::DragGhost>& ghost() const { return ghost_; }
    // Makes the ghost child of the layer's node; a second call while a ghost exists only logs.
    void createGhostForNodeLayer(const std::shared_ptr<NodeLayer>& parentNodeLayer);
    // Moves the ghost to mouseMoveLocation; nothing without a ghost.
    void updateGhostPosition();
    void removeGhost();
    std::shared_ptr<NodeLayer> makeGhostNodeLayer(const Node& parentNode);
    std::shared_ptr<BranchLayer> makeGhostBranchLayer(const Node& parentNode, const Node& ghostNode);
    void updateGhostBranch(BranchLayer& branch, const NodeLayer& parentNodeLayer, const NodeLayer& ghostNodeLayer);
private:
    GraphView& view_;
    std::optional<GraphView::DragGhost> ghost_;
};

} // namespace velquine
