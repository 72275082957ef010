// Dragging nodes on the canvas: the dragged layers follow the pointer (with their subtrees unless Alt is down),
// the node under the pointer is offered as the new parent ("Attach"), and the release moves, re-orders or
// attaches the nodes through the delegate. Until then only layers change; the document sees one edit.

#include <QColor>

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/DragInteraction.h"
#include "canvas/TitleEditingInteraction.h"
#include "platform/Font.h"
#include "canvas/layers/BranchGeometry.h"
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

// The platform's light grey with its brightness times 1.1, at alpha 0.9.
QColor badgeBackgroundColor()
{
    Color color = Color::lightGray().adjustingBrightness(1.1);
    QColor qcolor = color.toQColor();
    qcolor.setAlphaF(0.9f);
    return qcolor;
}

Font badgeFont()
{
    const std::string bold = std::string(Font::systemFontName) + " Bold";
    return Font::isInstalled(bold) ? Font::named(bold, 18) : Font::systemFont(18);
}


} // namespace

DragInteraction::DragInteraction(GraphView& view, CanvasSync& sync, TitleEditingInteraction& titleEditing)
    : view_(view), sync_(sync), titleEditing_(titleEditing), attachBadgeLayer_(std::make_shared<TextLayer>())
{
}

DragInteraction::~DragInteraction() = default;

// ---- Drag steps ----

std::vector<NodeLayer*> DragInteraction::dragSet(NodeLayer& selected, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::AltModifier)
        return {&selected};
    std::vector<NodeLayer*> layers;
    for (const Node& node : view_.graph().subtree(selected.node()))
        if (NodeLayer* layer = sync_.settledNodeLayer(node.uid))
            layers.push_back(layer);
    return layers;
}

// A dragged layer and its parent come forward with the branch between them just behind; on release they go
// back to the depths of their kind.
void DragInteraction::raiseDragged(NodeLayer& layer, bool raised)
{
    const double nodeZ = raised ? CanvasZPosition::draggedNode : CanvasZPosition::node;
    layer.setZPosition(nodeZ);
    const std::int64_t uid = layer.node().uid;
    const auto* ends = sync_.linksAsIs(uid);
    if (!ends)
        return;
    for (const CanvasSync::Link& end : *ends) {
        if (end.childUID != uid)
            continue;
        end.layer->setZPosition(raised ? CanvasZPosition::draggedBranch : CanvasZPosition::branch);
        for (std::int64_t at : {end.childUID, end.parentUID})
            if (NodeLayer* endLayer = sync_.nodeLayerAsIs(at))
                endLayer->setZPosition(nodeZ);
        break;
    }
}

void DragInteraction::lowerDragGroup()
{
    if (!dragGroup_) {
        for (NodeLayer* layer : draggedLayers_)
            raiseDragged(*layer, false);
        return;
    }
    // The group lists the branches raiseDragged raised: those to a dragged child, inside the group or from a
    // parent that stays, which came forward with it.
    const DragGroup& group = *dragGroup_;
    for (NodeLayer* layer : draggedLayers_)
        layer->setZPosition(CanvasZPosition::node);
    for (BranchLayer* branch : group.innerBranches)
        branch->setZPosition(CanvasZPosition::branch);
    for (BranchLayer* branch : group.outerBranches) {
        if (!group.uids.contains(branch->childNodeUID))
            continue;
        branch->setZPosition(CanvasZPosition::branch);
        if (NodeLayer* parent = sync_.nodeLayerAsIs(branch->parentNodeUID))
            parent->setZPosition(CanvasZPosition::node);
    }
}

std::vector<NodeLayer*> DragInteraction::attachTargets(Point point)
{
    const auto dragged = [this](const NodeLayer* layer) {
        return dragGroup_ ? dragGroup_->uids.contains(layer->node().uid)
                          : std::find(draggedLayers_.begin(), draggedLayers_.end(), layer) != draggedLayers_.end();
    };
    std::vector<NodeLayer*> candidates;
    for (NodeLayer* layer : sync_.settledNodeLayersAt(point))
        if (!dragged(layer))
            candidates.push_back(layer);
    // Dropping a node onto its own parent attaches nothing.
    for (const NodeLayer* candidate : candidates)
        if (const auto* ends = sync_.linksAsIs(candidate->node().uid))
            for (const CanvasSync::Link& end : *ends)
                if (end.parentUID == candidate->node().uid)
                    if (const NodeLayer* child = sync_.nodeLayerAsIs(end.childUID); child && dragged(child)
                        && child->node().parentUID == candidate->node().uid)
                        return {};
    return candidates;
}

void DragInteraction::showAttachFeedback(const std::vector<NodeLayer*>& targets, Point point)
{
    Transaction transaction(true);
    NodeLayer& first = *draggedLayers_.front();
    if (!targets.empty()) {
        {
            Transaction nested(true);
            TextLayer& badge = *attachBadgeLayer_;
            badge.setPosition({badgeCoordinate(point.x + attachBadgeOffset), badgeCoordinate(point.y + attachBadgeOffset)});
            badge.setZPosition(first.zPosition() + 1);
            badge.setHidden(false);
        }
        if (first.opacity() != draggedOverTargetOpacity)
            view_.invalidateRigidImage();
        first.setOpacity(draggedOverTargetOpacity);
    } else {
        if (first.opacity() != 1.0)
            view_.invalidateRigidImage();
        first.setOpacity(1.0);
        Transaction nested(true);
        attachBadgeLayer_->setHidden(true);
    }
    // Only the nodes under the pointer stay highlighted: a node the pointer left is no longer a target.
    const std::unordered_set<const NodeLayer*> current(targets.begin(), targets.end());
    for (const auto& layer : sync_.nodeLayersAsIs())
        if (layer->isHighlighted() && !current.count(layer.get())) {
            layer->setHighlighted(false);
            layer->setShadowOpacity(0);
            view_.invalidateBackdrop();
        }
    for (NodeLayer* layer : targets) {
        if (!layer->isHighlighted())
            view_.invalidateBackdrop();
        layer->setHighlighted(true);
        layer->setShadowOpacity(attachTargetShadowOpacity);
    }
}

void DragInteraction::dragNodes(Point point, Qt::KeyboardModifiers modifiers)
{
    view_.setCursor(Qt::ClosedHandCursor);
    // Alt taken or let go changes what is dragged: the group is made again from where the drag has taken it.
    if (!dragGroup_ || (dragGroup_->modifiers & Qt::AltModifier) != (modifiers & Qt::AltModifier))
        makeDragGroup(modifiers);
    if (draggedLayers_.empty())
        return;
    DragGroup& group = *dragGroup_;
    if (nodeDraggingContext_) {
        Point center = point - nodeDraggingContext_->dragOffsetFromCenter;
        const Rect visible = view_.visibleRect();
        center.x = std::clamp(center.x, visible.minX(), std::max(visible.minX(), visible.maxX()));
        center.y = std::clamp(center.y, visible.minY(), std::max(visible.minY(), visible.maxY()));
        const Point delta = center - nodeDraggingContext_->mainDraggedNode.center;
        nodeDraggingContext_->mainDraggedNode.center = center;
        if (!(delta == Point{0, 0})) {
            group.offset = group.offset + delta;
            Transaction transaction(true);
            for (BranchLayer* branch : group.outerBranches)
                dockToDragGroup(*branch);
            view_.setRigidOffset(group.offset - group.placedOffset);
        }
    }
    showAttachFeedback(attachTargets(point), point);
}

void DragInteraction::makeDragGroup(Qt::KeyboardModifiers modifiers)
{
    // The nodes dragged so far stay where the drag took them.
    placeDragGroup();
    dragGroup_ = std::make_unique<DragGroup>();
    DragGroup& group = *dragGroup_;
    group.modifiers = modifiers;
    draggedLayers_.clear();
    for (const auto& selected : sync_.nodeLayersAsIs()) {
        if (!selected->isSelected())
            continue;
        for (NodeLayer* layer : dragSet(*selected, modifiers))
            if (group.uids.insert(layer->node().uid)) {
                draggedLayers_.push_back(layer);
                group.origins.push_back(layer->node().center);
            }
    }
    if (draggedLayers_.empty())
        return;
    // Everything but the dragged nodes, the branches at them and the badge stays as it is until the release:
    // it is painted once and reused while the drag runs. The dragged nodes and the branches between two of
    // them only move, all by the same distance: they are painted once as well, and drawn at the offset.
    std::vector<const Layer*> live{attachBadgeLayer_.get()};
    std::vector<const Layer*> rigid;
    for (NodeLayer* layer : draggedLayers_) {
        const std::int64_t uid = layer->node().uid;
        live.push_back(layer);
        rigid.push_back(layer);
        if (const auto* ends = sync_.linksAsIs(uid))
            for (const CanvasSync::Link& end : *ends) {
                if (end.childUID != uid)
                    continue;
                live.push_back(end.layer);
                if (group.uids.contains(end.parentUID)) {
                    group.innerBranches.push_back(end.layer);
                    rigid.push_back(end.layer);
                } else {
                    group.outerBranches.push_back(end.layer);
                }
            }
    }
    // A branch from a node that is not dragged: it ends at the parent's side, so list it once.
    for (NodeLayer* layer : draggedLayers_)
        if (const auto* ends = sync_.linksAsIs(layer->node().uid))
            for (const CanvasSync::Link& end : *ends)
                if (end.parentUID == layer->node().uid && !group.uids.contains(end.childUID)) {
                    group.outerBranches.push_back(end.layer);
                    live.push_back(end.layer);
                }
    // Branches lie below the nodes that do not move, the dragged nodes above them.
    view_.setLiveSublayers(live, rigid, (CanvasZPosition::branch + CanvasZPosition::node) / 2);
    view_.setRigidOffset({0, 0});
    Transaction transaction(true);
    const bool shadowed = draggedLayers_.size() <= maxShadowedDraggedLayers;
    for (NodeLayer* layer : draggedLayers_) {
        raiseDragged(*layer, true);
        layer->setDragged(true);
        layer->setSelectionLayersHidden(true);
        layer->setHovered(false);
        layer->setHoverButtonHidden(true);
        if (shadowed)
            layer->setShadowOpacity(draggedShadowOpacity);
    }
    view_.invalidateBackdrop();
    view_.invalidateRigidImage();
}

// The line of a branch between a dragged node and one that is not, to where the dragged end is drawn.
void DragInteraction::dockToDragGroup(BranchLayer& branch)
{
    NodeLayer* child = sync_.nodeLayerAsIs(branch.childNodeUID);
    NodeLayer* parent = sync_.nodeLayerAsIs(branch.parentNodeUID);
    if (!child || !parent)
        return;
    sync_.settleEndsOf(branch);
    const Point by = dragGroup_->offset - dragGroup_->placedOffset;
    const auto end = [this, by](const NodeLayer& layer) {
        BranchEnd drawn = branchEnd(layer);
        if (dragGroup_->uids.contains(layer.node().uid)) {
            drawn.frame = drawn.frame.offsetBy(by.x, by.y);
            drawn.nodeCenter = drawn.nodeCenter + by;
        }
        return drawn;
    };
    Transaction transaction;
    if (branch.isPathDeferred())
        sync_.unfileWaitingPath(branch);
    const LayoutOptions options = sync_.layoutOptionsGoverning(parent->node());
    branch.branchType = options.branchType;
    branch.layoutType = options.layoutType;
    branch.setDockPoints(options.layoutType == LayoutOptions::LayoutType::horizontal
                             ? horizontalDockPoints(end(*parent), end(*child), options.branchType)
                             : verticalDockPoints(end(*parent), end(*child), options.branchType));
    // Few such lines, and always near the pointer: built now.
    branch.setPathDeferred(false);
    branch.updatePath();
}

void DragInteraction::placeDraggedLayer(std::size_t index)
{
    NodeLayer& layer = *draggedLayers_[index];
    const Point center = dragGroup_->origins[index] + dragGroup_->offset;
    if (layer.node().center == center)
        return;
    // Only the place changes: the layer's picture stays as it is.
    Transaction transaction;
    const bool waits = layer.isLabelDeferred();
    const Rect from = waits ? layer.frame() : Rect();
    layer.setNodeCenter(center, nullptr);
    layer.setPosition(center);
    sync_.markTouched(layer.node().uid);
    if (waits)
        sync_.refileWaitingLabel(layer, from);
}

void DragInteraction::placeDragGroup()
{
    if (!dragGroupUnplaced())
        return;
    DragGroup& group = *dragGroup_;
    Transaction transaction(true);
    for (std::size_t i = 0; i < draggedLayers_.size(); ++i)
        placeDraggedLayer(i);
    for (BranchLayer* branch : group.innerBranches)
        sync_.dockBranchLayer(*branch);
    for (BranchLayer* branch : group.outerBranches)
        sync_.dockBranchLayer(*branch);
    group.placedOffset = group.offset;
    view_.setRigidOffset({0, 0});
    view_.invalidateRigidImage();
}

std::vector<Node> DragInteraction::dropDragGroup()
{
    std::vector<Node> dragged;
    if (!dragGroup_)
        return dragged;
    DragGroup& group = *dragGroup_;
    dragged.reserve(draggedLayers_.size());
    for (std::size_t i = 0; i < draggedLayers_.size(); ++i) {
        dragged.push_back(draggedLayers_[i]->node());
        dragged.back().center = group.origins[i] + group.offset;
    }
    if (!(group.placedOffset == Point{0, 0})) {
        // Placed once while the drag ran: the rest follows.
        placeDragGroup();
        return dragged;
    }
    // The layers and lines that can be seen, where they stand or where they go, are placed now; the others
    // still show their nodes as the canvas has them, and the reload that stores the move places them.
    const Rect reach = view_.visibleRect().insetBy(-canvasAnimationMargin, -canvasAnimationMargin);
    const Point by = group.offset;
    const auto seen = [&reach, by](const Rect& r) {
        return reach.intersects(r) || reach.intersects(r.offsetBy(by.x, by.y));
    };
    FlatHashSet<std::int64_t> placed;
    for (NodeLayer* layer : draggedLayers_)
        if (seen(layer->frame()))
            placed.insert(layer->node().uid);
    std::vector<BranchLayer*> docked = group.outerBranches;
    for (BranchLayer* branch : group.innerBranches)
        if (seen(branch->dockArea()) || placed.contains(branch->childNodeUID) || placed.contains(branch->parentNodeUID))
            docked.push_back(branch);
    for (BranchLayer* branch : docked) {
        placed.insert(branch->childNodeUID);
        placed.insert(branch->parentNodeUID);
    }
    Transaction transaction(true);
    for (std::size_t i = 0; i < draggedLayers_.size(); ++i)
        if (placed.contains(draggedLayers_[i]->node().uid))
            placeDraggedLayer(i);
    for (BranchLayer* branch : docked)
        sync_.dockBranchLayer(*branch);
    return dragged;
}

void DragInteraction::abandonDragGroup()
{
    placeDragGroup();
    dragGroup_.reset();
    view_.setLiveSublayers({});
}

// ---- The gesture ----

void DragInteraction::press(const GestureInput& input)
{
    draggedLayers_.clear();
    clickCount_ = input.clickCount;
    const std::vector<NodeLayer*> hits = sync_.settledNodeLayersAt(input.point);
    if (hits.empty())
        return;
    const Node& grabbed = hits.front()->node();
    nodeDraggingContext_ = NodeDraggingContext{grabbed, input.point - grabbed.center};
}

void DragInteraction::move(const GestureInput& input)
{
    // A drag moves layers by what they show: every one must show where its node is.
    sync_.settleLayers();
    dragNodes(input.point, input.modifiers);
}

void DragInteraction::release(const GestureInput& input)
{
    view_.setActiveGesture(nullptr);
    if (!endNodeDrag(input.point))
        click(input.point);
}

void DragInteraction::click(Point point)
{
    // A double click edits the title of the selected node under the pointer.
    if (clickCount_ == 2) {
        std::vector<std::int64_t> uids;
        for (NodeLayer* layer : sync_.settledNodeLayersAt(point))
            if (layer->isSelected())
                uids.push_back(layer->node().uid);
        for (std::int64_t uid : uids)
            if (NodeLayer* layer = sync_.settledNodeLayer(uid))
                titleEditing_.beginEditingTitle(*layer, false, layer->node().title, true, nullptr);
        return;
    }
    // A click without movement narrows the selection to the nodes under the pointer.
    std::vector<Node> nodes;
    for (NodeLayer* layer : sync_.settledNodeLayersAt(point))
        nodes.push_back(layer->node());
    if (const auto target = view_.delegate())
        target->selectNodes(nodes, true);
}

void DragInteraction::cancel()
{
    abandonDragGroup();
    draggedLayers_.clear();
    nodeDraggingContext_.reset();
}

void DragInteraction::willReload()
{
    if (!dragGroup_)
        return;
    placeDragGroup();
    reloadedGroup_ = dragGroup_->modifiers;
    dragGroup_.reset();
}

void DragInteraction::didReload()
{
    if (reloadedGroup_)
        makeDragGroup(*reloadedGroup_);
    reloadedGroup_.reset();
}

void DragInteraction::placeLayers(std::span<const std::int64_t> uids)
{
    if (!dragGroupUnplaced())
        return;
    if (uids.empty() || std::any_of(uids.begin(), uids.end(), [this](std::int64_t uid) { return dragGroup_->uids.contains(uid); }))
        placeDragGroup();
}

// ---- Release ----

bool DragInteraction::endNodeDrag(Point point)
{
    view_.setCursor(Qt::ArrowCursor);
    const std::vector<NodeLayer*> targets = draggedLayers_.empty() ? std::vector<NodeLayer*>{} : attachTargets(point);
    std::vector<Node> dragged = dropDragGroup();
    {
        Transaction transaction(true);
        attachBadgeLayer_->setHidden(true);
        lowerDragGroup();
        for (NodeLayer* layer : draggedLayers_) {
            layer->setOpacity(1.0);
            layer->setDragged(false);
            layer->setShadowOpacity(0);
        }
        for (const auto& layer : sync_.nodeLayersAsIs())
            if (layer->isHighlighted()) {
                layer->setHighlighted(false);
                layer->setShadowOpacity(0);
            }
    }
    draggedLayers_.clear();
    dragGroup_.reset();
    nodeDraggingContext_.reset();
    view_.setLiveSublayers({});
    if (dragged.empty())
        return false;
    sendDraggedNodes(std::move(dragged), targets, point);
    return true;
}

void DragInteraction::sendDraggedNodes(std::vector<Node> dragged, const std::vector<NodeLayer*>& targets, Point point)
{
    const auto main = std::find_if(dragged.begin(), dragged.end(),
                                   [&](const Node& node) { return nodeFrame(node).contains(point); });
    if (main != dragged.end() && !targets.empty()) {
        if (const auto target = view_.delegate())
            target->graphViewWantsToAttachNode(*main, targets.front()->node(), dragged);
        return;
    }
    if (main != dragged.end() && sendReorder(*main, dragged))
        return;
    sendMovedNodes(std::move(dragged));
}

bool DragInteraction::sendReorder(const Node& main, std::vector<Node>& dragged)
{
    const std::optional<Node> parent = view_.graph().parent(main);
    if (!parent)
        return false;
    std::vector<Node> siblings;
    for (std::int64_t uid : parent->childrenUIDs) {
        const auto copy = std::find_if(dragged.begin(), dragged.end(), [uid](const Node& node) { return node.uid == uid; });
        if (copy != dragged.end())
            siblings.push_back(*copy);
        else if (const Node* stored = view_.graph().findNode(uid))
            siblings.push_back(*stored);
    }
    const bool horizontal = sync_.layoutOptionsGoverning(main).layoutType == LayoutOptions::LayoutType::horizontal;
    std::stable_sort(siblings.begin(), siblings.end(), [horizontal](const Node& a, const Node& b) {
        return horizontal ? a.center.y < b.center.y : a.center.x < b.center.x;
    });
    std::vector<std::int64_t> order;
    for (const Node& sibling : siblings)
        order.push_back(sibling.uid);
    if (order == parent->childrenUIDs)
        return false;
    for (Node& node : dragged)
        node.updateAffinity(*parent);
    if (const auto target = view_.delegate())
        target->moveDraggedNodes(*parent, dragged, order);
    return true;
}

// Every dragged node takes its sides of its parent: of the dragged parent's new place when the parent moved
// along, else of the parent as stored.
void DragInteraction::sendMovedNodes(std::vector<Node> nodes)
{
    // The first dragged copy of each node, by identifier. Taking sides changes no centre, so the copies are
    // changed in place.
    FlatHashMap<std::int64_t, std::size_t> movedAt(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i)
        movedAt.emplace(nodes[i].uid, i);
    for (Node& node : nodes) {
        if (!node.parentUID)
            continue;
        if (const std::size_t* movedParent = movedAt.find(*node.parentUID))
            node.updateAffinity(nodes[*movedParent]);
        else if (const Node* parent = view_.graph().findNode(*node.parentUID))
            node.updateAffinity(*parent);
    }
    if (const auto target = view_.delegate())
        target->moveNodes(std::move(nodes));
}

void DragInteraction::setUpAttachBadgeLayer()
{
    TextLayer& layer = *attachBadgeLayer_;
    layer.setName("attachBadge");
    layer.setBackgroundColor(badgeBackgroundColor());
    layer.setAnchorPoint({0, 0});
    layer.setFrame(integralRect(Rect(0, 0, 78, 24)));
    layer.setForegroundColor(Color::white());
    layer.setBorderWidth(0);
    layer.setBorderColor(Color::darkGray().toQColor());
    layer.setZPosition(CanvasZPosition::overlay);
    layer.setCornerRadius(4.0);
    layer.setFont(badgeFont());
    layer.setString(std::string("Attach"));
    layer.setAlignmentMode(TextAlignment::center);
    layer.setContentsGravity(ContentsGravity::center);
    layer.setContentsScale(view_.effectiveBackingScale());
    layer.setHidden(true);
    view_.layer()->addSublayer(attachBadgeLayer_);
}

} // namespace velquine
