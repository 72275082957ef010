// Dragging nodes on the canvas: the dragged layers follow the pointer (with their subtrees unless Alt is down),
// the node under the pointer is offered as the new parent ("Attach"), and the release moves, re-orders or
// attaches the nodes through the delegate. Until then only layers change; the document sees one edit.

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "canvas/GraphView.h"
#include "canvas/GraphViewIndex.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "platform/layer/TextLayer.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

// The rectangle of the node's size centred on its centre.
Rect nodeFrame(const Node& node)
{
    return Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                node.size.height);
}

// A whole coordinate as the badge takes it: (value + 0.5) cut toward zero.
double badgeCoordinate(double value)
{
    return std::trunc(value + 0.5);
}

constexpr double attachTargetShadowOpacity = 0.5;
constexpr double draggedShadowOpacity = 0.3;
constexpr double draggedOverTargetOpacity = 0.8;
constexpr double attachBadgeOffset = 8;

} // namespace

// ---- Drag steps ----

std::vector<NodeLayer*> GraphView::dragSet(NodeLayer& selected, Qt::KeyboardModifiers modifiers) const
{
    if (modifiers & Qt::AltModifier)
        return {&selected};
    std::vector<NodeLayer*> layers;
    for (const Node& node : graph_.subtree(selected.node()))
        if (NodeLayer* layer = nodeLayer(node.uid))
            layers.push_back(layer);
    return layers;
}

// A dragged layer and its parent come forward with the branch between them just behind; on release they go
// back to the depths of their kind.
void GraphView::raiseDragged(NodeLayer& layer, bool raised)
{
    const double nodeZ = raised ? draggedNodeZPosition : nodeZPosition;
    layer.setZPosition(nodeZ);
    const std::int64_t uid = layer.node().uid;
    for (BranchLayer* branch : branchLayersAt(uid)) {
        if (branch->childNodeUID != uid)
            continue;
        branch->setZPosition(raised ? draggedBranchZPosition : branchZPosition);
        for (std::int64_t end : {branch->childNodeUID, branch->parentNodeUID})
            if (NodeLayer* endLayer = nodeLayer(end))
                endLayer->setZPosition(nodeZ);
        break;
    }
}

std::vector<NodeLayer*> GraphView::attachTargets(Point point) const
{
    const std::unordered_set<const NodeLayer*> dragged(draggedLayers.begin(), draggedLayers.end());
    std::vector<NodeLayer*> candidates;
    std::unordered_set<std::int64_t> candidateUIDs;
    for (NodeLayer* layer : nodeLayersAt(point))
        if (!dragged.count(layer)) {
            candidates.push_back(layer);
            candidateUIDs.insert(layer->node().uid);
        }
    // Dropping a node onto its own parent attaches nothing.
    for (const NodeLayer* layer : draggedLayers)
        if (layer->node().parentUID && candidateUIDs.count(*layer->node().parentUID))
            return {};
    return candidates;
}

void GraphView::showAttachFeedback(const std::vector<NodeLayer*>& targets)
{
    Transaction transaction(true);
    NodeLayer& first = *draggedLayers.front();
    if (!targets.empty()) {
        {
            Transaction nested(true);
            TextLayer& badge = *attachBadgeLayer_;
            badge.setPosition({badgeCoordinate(mouseMoveLocation.x + attachBadgeOffset),
                               badgeCoordinate(mouseMoveLocation.y + attachBadgeOffset)});
            badge.setZPosition(first.zPosition() + 1);
            badge.setHidden(false);
        }
        if (first.opacity() != draggedOverTargetOpacity)
            invalidateRigidImage();
        first.setOpacity(draggedOverTargetOpacity);
    } else {
        if (first.opacity() != 1.0)
            invalidateRigidImage();
        first.setOpacity(1.0);
        Transaction nested(true);
        attachBadgeLayer_->setHidden(true);
    }
    // Only the nodes under the pointer stay highlighted: a node the pointer left is no longer a target.
    const std::unordered_set<const NodeLayer*> current(targets.begin(), targets.end());
    for (const auto& layer : nodeLayers_)
        if (layer->isHighlighted() && !current.count(layer.get())) {
            layer->setHighlighted(false);
            layer->setShadowOpacity(0);
            invalidateBackdrop();
        }
    for (NodeLayer* layer : targets) {
        if (!layer->isHighlighted())
            invalidateBackdrop();
        layer->setHighlighted(true);
        layer->setShadowOpacity(attachTargetShadowOpacity);
    }
}

void GraphView::placeMovedLayers(const std::vector<NodeLayer*>& layers)
{
    std::unordered_set<BranchLayer*> branches;
    for (NodeLayer* layer : layers) {
        Transaction transaction;
        layer->setPosition(layer->node().center);
        Rect bounds = layer->bounds();
        bounds.size = layer->node().size;
        layer->setBounds(bounds);
        index_->touched.insert(layer->node().uid);
        for (BranchLayer* branch : branchLayersAt(layer->node().uid))
            branches.insert(branch);
    }
    // Docked in the branch list's order, as a reload docks them.
    for (const auto& branch : branchLayers_)
        if (branches.count(branch.get()))
            dockBranchLayer(*branch);
}

void GraphView::dragNodes(Qt::KeyboardModifiers modifiers)
{
    setCursor(Qt::ClosedHandCursor);
    draggedLayers.clear();
    Point delta{0, 0};
    std::unordered_set<std::int64_t> moved;
    const Rect visible = visibleRect();
    for (const auto& selected : nodeLayers_) {
        if (!selected->isSelected())
            continue;
        const std::vector<NodeLayer*> layers = dragSet(*selected, modifiers);
        if (nodeDraggingContext) {
            Point center = mouseMoveLocation - nodeDraggingContext->dragOffsetFromCenter;
            center.x = std::clamp(center.x, visible.minX(), std::max(visible.minX(), visible.maxX()));
            center.y = std::clamp(center.y, visible.minY(), std::max(visible.minY(), visible.maxY()));
            if (delta == Point{0, 0})
                delta = center - nodeDraggingContext->mainDraggedNode.center;
            nodeDraggingContext->mainDraggedNode.center = center;
        }
        for (NodeLayer* layer : layers) {
            if (!moved.insert(layer->node().uid).second)
                continue;
            // Only the place changes: the layer's picture stays as it is.
            Node node = layer->node();
            node.center = node.center + delta;
            layer->setNode(node);
            raiseDragged(*layer, true);
            draggedLayers.push_back(layer);
        }
    }
    if (draggedLayers.empty())
        return;
    showAttachFeedback(attachTargets(mouseMoveLocation));
    Transaction transaction(true);
    const bool shadowed = draggedLayers.size() <= maxShadowedDraggedLayers;
    for (NodeLayer* layer : draggedLayers) {
        layer->setDragged(true);
        layer->setSelectionLayersHidden(true);
        layer->setHovered(false);
        layer->setHoverButtonHidden(true);
        if (shadowed)
            layer->setShadowOpacity(draggedShadowOpacity);
    }
    placeMovedLayers(draggedLayers);
    showLiveDraggedLayers();
}

// Everything but the dragged nodes, the branches at them and the badge stays as it is until the release: it is
// painted once and reused while the drag runs. The dragged nodes and the branches between two of them only
// move, all by the same distance: they are painted once as well.
void GraphView::showLiveDraggedLayers()
{
    std::unordered_set<std::int64_t> dragged;
    for (NodeLayer* layer : draggedLayers)
        dragged.insert(layer->node().uid);
    std::vector<const Layer*> live{attachBadgeLayer_.get()};
    std::vector<const Layer*> rigid;
    for (NodeLayer* layer : draggedLayers) {
        live.push_back(layer);
        rigid.push_back(layer);
        for (BranchLayer* branch : branchLayersAt(layer->node().uid)) {
            if (branch->childNodeUID != layer->node().uid)
                continue;
            live.push_back(branch);
            if (dragged.count(branch->parentNodeUID))
                rigid.push_back(branch);
        }
    }
    // A branch from a node that is not dragged: it ends at the parent's side, so list it once.
    for (NodeLayer* layer : draggedLayers)
        for (BranchLayer* branch : branchLayersAt(layer->node().uid))
            if (branch->parentNodeUID == layer->node().uid && !dragged.count(branch->childNodeUID))
                live.push_back(branch);
    // Branches lie below the nodes that do not move, the dragged nodes above them.
    setLiveSublayers(live, rigid, (branchZPosition + nodeZPosition) / 2);
}

// ---- Release ----

bool GraphView::endNodeDrag(Point point)
{
    setCursor(Qt::ArrowCursor);
    const std::vector<NodeLayer*> targets = draggedLayers.empty() ? std::vector<NodeLayer*>{} : attachTargets(point);
    std::vector<Node> dragged;
    {
        Transaction transaction(true);
        attachBadgeLayer_->setHidden(true);
        for (NodeLayer* layer : draggedLayers) {
            layer->setOpacity(1.0);
            raiseDragged(*layer, false);
            layer->setDragged(false);
            layer->setShadowOpacity(0);
            dragged.push_back(layer->node());
        }
        for (const auto& layer : nodeLayers_)
            if (layer->isHighlighted()) {
                layer->setHighlighted(false);
                layer->setShadowOpacity(0);
            }
    }
    draggedLayers.clear();
    nodeDraggingContext.reset();
    setLiveSublayers({});
    if (dragged.empty())
        return false;

    const auto main = std::find_if(dragged.begin(), dragged.end(),
                                   [&](const Node& node) { return nodeFrame(node).contains(point); });
    const auto target = delegate.lock();
    if (main != dragged.end() && !targets.empty()) {
        if (target)
            target->graphViewWantsToAttachNode(*main, targets.front()->node(), dragged);
        return true;
    }
    if (main != dragged.end()) {
        if (const std::optional<Node> parent = graph_.parent(*main)) {
            std::vector<Node> siblings;
            for (std::int64_t uid : parent->childrenUIDs) {
                const auto copy = std::find_if(dragged.begin(), dragged.end(),
                                               [uid](const Node& node) { return node.uid == uid; });
                if (copy != dragged.end())
                    siblings.push_back(*copy);
                else if (const Node* stored = graph_.findNode(uid))
                    siblings.push_back(*stored);
            }
            const bool horizontal =
                layoutOptionsGoverning(*main).layoutType == LayoutOptions::LayoutType::horizontal;
            std::stable_sort(siblings.begin(), siblings.end(), [horizontal](const Node& a, const Node& b) {
                return horizontal ? a.center.y < b.center.y : a.center.x < b.center.x;
            });
            std::vector<std::int64_t> order;
            for (const Node& sibling : siblings)
                order.push_back(sibling.uid);
            if (order != parent->childrenUIDs) {
                for (Node& node : dragged)
                    node.updateAffinity(*parent);
                if (target)
                    target->moveDraggedNodes(*parent, dragged, order);
                return true;
            }
        }
    }
    sendMovedNodes(dragged);
    return true;
}

// Every dragged node takes its sides of its parent: of the dragged parent's new place when the parent moved
// along, else of the parent as stored.
void GraphView::sendMovedNodes(const std::vector<Node>& dragged)
{
    std::vector<Node> nodes = dragged;
    for (Node& node : nodes) {
        if (!node.parentUID)
            continue;
        const auto movedParent = std::find_if(dragged.begin(), dragged.end(),
                                              [&](const Node& other) { return other.uid == *node.parentUID; });
        if (movedParent != dragged.end())
            node.updateAffinity(*movedParent);
        else if (const Node* parent = graph_.findNode(*node.parentUID))
            node.updateAffinity(*parent);
    }
    if (const auto target = delegate.lock())
        target->moveNodes(nodes);
}

} // namespace velquine
