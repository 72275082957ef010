// Keeping the node and branch layers in line with the graph.
//
// Every step follows one order: the graph's nodes in the graph's order, node layers in the order they were
// made. A full reload visits every node; a reload after edits visits only the nodes whose storage changed since
// the last reload, with those whose governing layout options may have changed because of them, and touches
// only their layers and the branches at their ends. Both give the same layers.

#include <algorithm>
#include <unordered_set>

#include "base/FlatHashMap.h"
#include "canvas/GraphView.h"
#include "canvas/GraphViewIndex.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "canvas/layers/StrokeMetrics.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

// The graph's own storage of the node, when the node is that, to share with a layer instead of copying it.
std::shared_ptr<const Node> graphsOwnNode(const Graph& graph, const Node& node)
{
    std::shared_ptr<const Node> shared = graph.sharedNode(node.uid);
    return shared.get() == &node ? shared : nullptr;
}

// Stores the node in the layer with its type and, when its parent is stored, its sides of the parent.
void storeNode(NodeLayer& layer, const Graph& graph, const Node& node)
{
    layer.setNodeType(graph.nodeType(node));
    const Node* parent = node.parentUID ? graph.findNode(*node.parentUID) : nullptr;
    if (const std::shared_ptr<const Node> shared = graphsOwnNode(graph, node))
        layer.setNode(shared, parent);
    else
        layer.setNode(node, parent);
}

bool sameSize(const Size& a, const Size& b) { return a.width == b.width && a.height == b.height; }

} // namespace

// ---- Branch layers ----

void GraphView::detachLayers(const std::vector<Layer*>& layers)
{
    if (layers.size() <= 8) {
        for (Layer* layer : layers)
            layer->removeFromSuperlayer();
        return;
    }
    // One pass over the view's sublayers instead of one per layer.
    const std::unordered_set<const Layer*> leaving(layers.begin(), layers.end());
    this->layer()->removeSublayers([&leaving](const Layer& layer) { return leaving.count(&layer) != 0; });
}

void GraphView::removeBranchLayers(const std::vector<BranchLayer*>& layers)
{
    std::vector<Layer*> leaving;
    leaving.reserve(layers.size());
    for (BranchLayer* layer : layers) {
        index_->removeBranch(layer, layer->parentNodeUID, layer->childNodeUID);
        index_->unsettledBranches.remove(*layer);
        leaving.push_back(layer);
    }
    detachLayers(leaving);
}

void GraphView::syncBranchLayers(const ReloadPlan& plan)
{
    GraphViewIndex& index = *index_;
    std::vector<BranchLayer*> stale;
    if (plan.full) {
        // Keep the links whose two nodes are stored and whose child names that parent.
        for (const auto& layer : branchLayers_) {
            const Node* child = graph_.findNode(layer->childNodeUID);
            const bool linked = child && graph_.contains(layer->parentNodeUID) && child->parentUID
                && *child->parentUID == layer->parentNodeUID;
            if (!linked)
                stale.push_back(layer.get());
        }
    } else {
        std::unordered_set<const BranchLayer*> seen;
        const auto leave = [&](BranchLayer* layer) {
            if (seen.insert(layer).second)
                stale.push_back(layer);
        };
        for (std::int64_t uid : plan.removed)
            if (const auto* at = index.branchesAt(uid))
                for (const GraphViewIndex::BranchEnd& end : *at)
                    leave(end.layer);
        for (std::size_t i = 0; i < plan.visit.size(); ++i) {
            // A node that only moved keeps its parent and its branch.
            if (plan.isMovedOnly(i))
                continue;
            const Node* node = plan.visit[i];
            if (const auto* at = index.branchesAt(node->uid))
                for (const GraphViewIndex::BranchEnd& end : *at)
                    if (end.childUID == node->uid
                        && (!node->parentUID || *node->parentUID != end.parentUID || !graph_.contains(end.parentUID)))
                        leave(end.layer);
        }
    }
    if (!stale.empty()) {
        removeBranchLayers(stale);
        std::erase_if(branchLayers_, [](const auto& layer) { return layer->superlayer() == nullptr; });
    }

    for (std::size_t i = 0; i < plan.visit.size(); ++i) {
        // The branch of a node that only moved has its colour, width and style already; docking moves it.
        if (plan.isMovedOnly(i))
            continue;
        const Node* node = plan.visit[i];
        if (!node->parentUID)
            continue;
        const Node* parent = graph_.findNode(*node->parentUID);
        if (!parent)
            continue;
        if (BranchLayer* layer = index.branch(parent->uid, node->uid)) {
            layer->setStrokeColor(node->style.branchColor.toQColor());
            layer->setLineWidth(strokeWidth(node->style.branchWidth));
            layer->parentNodeUID = parent->uid;
            layer->childNodeUID = node->uid;
            layer->branchStyle = node->style.branchStyle;
            layer->updatePath();
            layer->setZPosition(branchZPosition);
        } else {
            // A new layer appears where it belongs; nothing animates into place.
            Transaction transaction(true);
            std::shared_ptr<BranchLayer> made = makeBranchLayer(*parent, *node);
            index.createdBranches.insert(made.get());
            branchLayers_.push_back(made);
            index.addBranch(made.get(), parent->uid, node->uid);
            this->layer()->addSublayer(made);
        }
    }
}

std::shared_ptr<BranchLayer> GraphView::makeBranchLayer(const Node& parent, const Node& child)
{
    auto layer = std::make_shared<BranchLayer>();
    const Rect canvas = boundsRect();
    layer->setBounds(canvas);
    layer->setFrame(canvas);
    layer->setStrokeColor(child.style.branchColor.toQColor());
    const double width = strokeWidth(child.style.branchWidth);
    layer->setLineWidth(width);
    layer->parentNodeUID = parent.uid;
    layer->childNodeUID = child.uid;
    layer->branchStyle = child.style.branchStyle;
    if (index_->reloading) {
        // Docking, later in the reload, builds the line if it is in view.
        layer->setPathDeferred(true);
        index_->deferredPaths.file(layer, layer->dockArea());
    }
    layer->updatePath();
    layer->setLineWidth(width);
    layer->setZPosition(branchZPosition);
    layer->setContentsScale(effectiveBackingScale());
    return layer;
}

// Where a branch whose line waits may come into view: its dock area, and the line it still shows.
static Rect branchWaitArea(const BranchLayer& branch)
{
    const Rect built = branch.builtArea();
    return built.isNull() ? branch.dockArea() : branch.dockArea().unionWith(built);
}

void GraphView::dockBranchLayer(BranchLayer& branch)
{
    NodeLayer* child = layerOf(branch.childNodeUID);
    NodeLayer* parent = layerOf(branch.parentNodeUID);
    if (index_->hasUnsettled()) {
        // Docked now: its ends must be where their nodes are.
        index_->unsettledBranches.remove(branch);
        if (child && child->unsettledSlot)
            settleNode(*child);
        if (parent && parent->unsettledSlot)
            settleNode(*parent);
    }
    Transaction transaction;
    const bool created = index_->createdBranches.contains(&branch);
    if (created)
        Transaction::setDisableActions(true);
    const Rect before = branch.dockArea();
    if (child && parent) {
        const LayoutOptions options = layoutOptionsGoverning(parent->node());
        branch.branchType = options.branchType;
        if (options.layoutType == LayoutOptions::LayoutType::horizontal) {
            branch.layoutType = LayoutOptions::LayoutType::horizontal;
            branch.horizontalDockPoints(*parent, *child, options.branchType);
        } else {
            branch.layoutType = LayoutOptions::LayoutType::vertical;
            branch.verticalDockPoints(*parent, *child, options.branchType);
        }
    }
    if (index_->reloading && !created && !index_->animates(before, branch.dockArea()))
        Transaction::setDisableActions(true);
    if (index_->reloading) {
        // A line that neither is nor will be in view is built when it comes into view.
        const bool seen = index_->inView(branch.dockArea()) || index_->inView(branch.builtArea());
        // Filed again as it moves: it is looked for where it goes.
        if (!seen && !(branch.isPathDeferred() && branch.dockArea() == before))
            index_->deferredPaths.file(std::static_pointer_cast<BranchLayer>(branch.shared_from_this()),
                                       branchWaitArea(branch));
        branch.setPathDeferred(!seen);
    }
    branch.updatePath();
}

void GraphView::updateBranchLayers(const ReloadPlan& plan)
{
    if (plan.full) {
        for (const auto& branch : branchLayers_)
            dockBranchLayer(*branch);
        return;
    }
    // Each branch once: at its child when the child is visited, else at its parent. The identifiers are looked
    // up side by side rather than through the nodes.
    UidMap<bool>& marks = index_->marks;
    marks.assign(plan.visitUIDs, true);
    const auto visited = [&marks](std::int64_t uid) { return marks.contains(uid); };
    // The node synchronisation of this plan, just before, found each visited node's layer; siblings, visited
    // one after another, share the layer of their parent.
    const std::vector<NodeLayer*>& found = index_->visitedLayers;
    const bool known = found.size() == plan.visit.size() && index_->leftBehind.size() == found.size();
    std::int64_t lastUID = 0;
    NodeLayer* lastLayer = nullptr;
    const auto layerAt = [&](std::int64_t uid) {
        if (!lastLayer || lastUID != uid) {
            lastUID = uid;
            lastLayer = layerOf(uid);
        }
        return lastLayer;
    };
    const std::size_t count = plan.visit.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t uid = plan.visitUIDs[i];
        const auto* at = index_->branchesAt(uid);
        if (!at)
            continue;
        NodeLayer* own = known ? found[i] : layerOf(uid);
        for (const GraphViewIndex::BranchEnd& end : *at) {
            const bool atChild = end.childUID == uid;
            if (!atChild && visited(end.childUID))
                continue;
            NodeLayer* parent = atChild ? layerAt(end.parentUID) : own;
            NodeLayer* child = atChild ? own : layerOf(end.childUID);
            // Where a child left behind goes, as its node synchronisation noted it.
            const bool childLeft = atChild && known && index_->leftBehind[i];
            if (!leavesBranchBehind(*end.layer, parent, child, childLeft ? &index_->leftFor[i] : nullptr))
                dockBranchLayer(*end.layer);
        }
    }
}

// ---- Node layers ----

void GraphView::syncNodeLayers(const ReloadPlan& plan)
{
    GraphViewIndex& index = *index_;
    std::vector<std::shared_ptr<NodeLayer>> stale;
    if (plan.full || !plan.removed.empty()) {
        const std::unordered_set<std::int64_t> removed(plan.removed.begin(), plan.removed.end());
        const auto kept = [&](const auto& layer) {
            return plan.full ? graph_.contains(layer->node().uid) : removed.count(layer->node().uid) == 0;
        };
        auto keep = std::stable_partition(nodeLayers_.begin(), nodeLayers_.end(), kept);
        stale.assign(std::make_move_iterator(keep), std::make_move_iterator(nodeLayers_.end()));
        nodeLayers_.erase(keep, nodeLayers_.end());
        std::vector<Layer*> leaving;
        leaving.reserve(stale.size());
        for (const auto& layer : stale) {
            leaving.push_back(layer.get());
            index.unsettledNodes.remove(*layer);
        }
        detachLayers(leaving);
    }

    const double scale = effectiveBackingScale();
    const std::size_t existing = nodeLayers_.size();
    index.visitedLayers.resize(plan.visit.size());
    index.leftBehind.resize(plan.visit.size());
    index.leftFor.resize(plan.visit.size());
    for (std::size_t i = 0; i < plan.visit.size(); ++i) {
        const Node* node = plan.visit[i];
        NodeLayer* cached = layerOf(plan.visitUIDs[i]);
        index.leftBehind[i] = 0;
        if (cached && cached->superlayer() != nullptr) {
            index.visitedLayers[i] = cached;
            if (plan.isMovedOnly(i)) {
                if (leavesNodeBehind(*cached, *node, index.leftFor[i]))
                    index.leftBehind[i] = 1;
                else
                    moveExistingNodeLayer(*cached, *node, scale);
            } else
                updateExistingNodeLayer(*cached, *node, scale);
        } else {
            Transaction transaction(true);
            std::shared_ptr<NodeLayer> made = makeNodeLayer(*node);
            index.visitedLayers[i] = made.get();
            nodeLayers_.push_back(made);
            this->layer()->addSublayer(made);
        }
    }

    if (plan.full) {
        index.nodeLayerUIDCache.clear(denseUIDRange(graph_));
        for (const auto& layer : nodeLayers_)
            index.nodeLayerUIDCache[layer->node().uid] = layer.get();
        return;
    }
    for (const auto& layer : stale)
        if (layerOf(layer->node().uid) == layer.get())
            index.nodeLayerUIDCache.erase(layer->node().uid);
    for (std::size_t i = existing; i < nodeLayers_.size(); ++i)
        index.nodeLayerUIDCache[nodeLayers_[i]->node().uid] = nodeLayers_[i].get();
}

void GraphView::placeExistingNodeLayer(NodeLayer& layer, const Node& node)
{
    // A pure move animates where it can be seen; a resize jumps.
    const Rect to(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                  node.size.height);
    index_->unsettledNodes.remove(layer);
    if (!sameSize(layer.node().size, node.size) || !index_->animates(layer.frame(), to))
        Transaction::setDisableActions(true);
    if (layer.isLabelDeferred() && index_->animates(to, to))
        layer.setLabelDeferred(false);
    else if (layer.isLabelDeferred() && !(layer.frame() == to))
        index_->deferredLabels.file(std::static_pointer_cast<NodeLayer>(layer.shared_from_this()), to);
    layer.setAnchorPoint({0.5, 0.5});
    Rect bounds = layer.bounds();
    bounds.size = node.size;
    layer.setBounds(bounds);
    layer.setPosition(node.center);
}

void GraphView::finishExistingNodeLayer(NodeLayer& layer, const Node& node, double scale)
{
    if (layer.hasHoverButtonLayer() && !(layer.hoverButtonLayer().documentColor() == projectStyle_.current.backgroundColor))
        layer.hoverButtonLayer().setDocumentColor(projectStyle_.current.backgroundColor);
    setSelected(layer, isSelectedUID(node.uid));
    if (layer.contentsScale() != scale)
        layer.setContentsScale(scale);
    layer.setDragged(false);
    layer.setShadowOpacity(0);
    applyHover(layer);
}

void GraphView::moveExistingNodeLayer(NodeLayer& layer, const Node& node, double scale)
{
    Transaction transaction;
    placeExistingNodeLayer(layer, node);
    // Its type and governing options are those it had; only its place and its sides of its parent change.
    const Node* parent = node.parentUID ? graph_.findNode(*node.parentUID) : nullptr;
    const std::shared_ptr<const Node> shared = graphsOwnNode(graph_, node);
    if (shared && NodeLayer::looksLike(*shared, layer.node()))
        layer.setNode(shared, parent); // the drawing stays
    else
        layer.setNodeCenter(node.center, parent);
    finishExistingNodeLayer(layer, node, scale);
}

void GraphView::updateExistingNodeLayer(NodeLayer& layer, const Node& node, double scale)
{
    Transaction transaction;
    placeExistingNodeLayer(layer, node);
    const LayoutOptions options = layoutOptionsGoverning(node);
    const bool optionsChanged = !(options == layer.layoutOptions());
    layer.setLayoutOptions(options);
    if (node.differs(layer.node())) {
        // A node that only moved keeps its drawing; its layer just follows it.
        const bool redraw = optionsChanged || !NodeLayer::looksLike(node, layer.node());
        storeNode(layer, graph_, node);
        if (redraw)
            layer.updateContents();
    }
    finishExistingNodeLayer(layer, node, scale);
}

std::shared_ptr<NodeLayer> GraphView::makeNodeLayer(const Node& node)
{
    auto layer = std::make_shared<NodeLayer>();
    const Rect frame(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                     node.size.height);
    if (index_->reloading && !index_->animates(frame, frame)) {
        layer->setLabelDeferred(true);
        index_->deferredLabels.file(layer, frame);
    }
    layer->setAnchorPoint({0.5, 0.5});
    layer->setPosition(node.center);
    layer->setBounds(Rect(0, 0, node.size.width, node.size.height));
    storeNode(*layer, graph_, node);
    layer->updateContents();
    layer->setSelected(isSelectedUID(node.uid));
    applyHover(*layer);
    layer->setLayoutOptions(layoutOptionsGoverning(node));
    if (layer->hasHoverButtonLayer())
        layer->hoverButtonLayer().setDocumentColor(projectStyle_.current.backgroundColor);
    layer->setContentsScale(effectiveBackingScale());
    layer->updateShapePath(node.shape);
    return layer;
}

void GraphView::applyHover(NodeLayer& layer)
{
    const Rect frame = layer.frame();
    const Rect zone(frame.origin.x - 32, frame.origin.y, frame.size.width + 64, frame.size.height);
    const bool hovered = !printingMode && zone.contains(mouseMoveLocation);
    layer.setHovered(hovered);
    if (layer.isBeingEdited() || !hovered)
        layer.setHoverButtonHidden(true);
}

void GraphView::setHoverButtonShown(NodeLayer& layer, bool shown)
{
    if (!shown || printingMode) {
        layer.setHoverButtonHidden(true);
        return;
    }
    HoverButtonLayer& button = layer.hoverButtonLayer();
    if (!(button.documentColor() == projectStyle_.current.backgroundColor))
        button.setDocumentColor(projectStyle_.current.backgroundColor);
    layer.setHoverButtonHidden(false);
}

void GraphView::setSelected(NodeLayer& layer, bool selected)
{
    if (layer.isSelected() != selected || layer.areHandlesShown() != (selected && !layer.isBeingEdited()))
        layer.setSelected(selected);
}

void GraphView::updateNodeLayerPositions(bool resetDragState, const ReloadPlan* plan)
{
    const auto place = [resetDragState](NodeLayer& layer) {
        Transaction transaction;
        if (resetDragState) {
            layer.setDragged(false);
            layer.setShadowOpacity(0);
            makeBoundsIntegral(layer);
        } else {
            layer.setPosition(layer.node().center);
            Rect bounds = layer.bounds();
            bounds.size = layer.node().size;
            layer.setBounds(bounds);
        }
    };
    if (plan && !plan->full) {
        // A layer left behind is placed when it is settled. The node synchronisation of this plan, just before,
        // found each visited node's layer and left some behind.
        const std::vector<NodeLayer*>& found = index_->visitedLayers;
        const bool known = found.size() == plan->visit.size() && index_->leftBehind.size() == found.size();
        for (std::size_t i = 0; i < plan->visit.size(); ++i) {
            if (known && index_->leftBehind[i])
                continue;
            if (NodeLayer* layer = known ? found[i] : layerOf(plan->visitUIDs[i]); layer && !layer->unsettledSlot)
                place(*layer);
        }
        return;
    }
    // A fresh lookup over the layers as they are now (a later layer with the same identifier wins), in one
    // block rather than a node per layer.
    FlatHashMap<std::int64_t, NodeLayer*> byUID(nodeLayers_.size());
    for (const auto& layer : nodeLayers_) {
        const auto [slot, added] = byUID.emplace(layer->node().uid, layer.get());
        if (!added)
            *slot = layer.get();
    }
    for (const auto& entry : graph_.nodeBin()) {
        if (NodeLayer* const* layer = byUID.find(entry.first))
            place(**layer);
    }
}

// ---- The reload ----

void GraphView::applySelectionFromUIDs()
{
    const std::unordered_set<std::int64_t> selected(selectedNodeUIDs_.begin(), selectedNodeUIDs_.end());
    for (const auto& layer : nodeLayers_)
        setSelected(*layer, selected.count(layer->node().uid) != 0);
}

void GraphView::rememberShown(ReloadPlan& plan)
{
    GraphViewIndex& index = *index_;
    const auto forget = [&index](std::int64_t uid, std::optional<std::int64_t> parentUID) {
        if (!parentUID)
            return;
        const auto it = index.childrenByParent.find(*parentUID);
        if (it == index.childrenByParent.end())
            return;
        std::erase(it->second, uid);
        if (it->second.empty())
            index.childrenByParent.erase(it);
    };
    const auto note = [&index](std::int64_t uid, std::optional<std::int64_t> parentUID) {
        if (parentUID)
            index.childrenByParent[*parentUID].push_back(uid);
    };
    const auto position = [&index](std::int64_t uid) {
        return std::lower_bound(index.shown.begin(), index.shown.end(), uid,
                                [](const GraphViewIndex::Shown& shown, std::int64_t id) { return shown.uid < id; });
    };
    // A few new nodes are put in their places; many are listed afresh with the rest.
    if (plan.full || plan.addedUIDs.size() > maxPlacedNewNodes || !plan.removed.empty()) {
        index.shown.clear();
        index.childrenByParent.clear();
        index.shown.reserve(graph_.count());
        for (auto entry = graph_.nodeBin().begin(); entry != graph_.nodeBin().end(); ++entry) {
            index.shown.push_back({entry->first, entry.sharedNode()});
            note(entry->first, entry->second.parentUID);
        }
    } else {
        // The planning gave the shown list the storage of changed nodes; the new ones are put in their places.
        for (const ReloadPlan::Reparenting& moved : plan.reparented) {
            forget(moved.uid, moved.before);
            note(moved.uid, moved.now);
        }
        for (std::int64_t uid : plan.addedUIDs) {
            index.shown.insert(position(uid), {uid, graph_.sharedNode(uid)});
            note(uid, graph_.findNode(uid)->parentUID);
        }
    }
    index.shownBin = graph_.nodeBin();
    index.shownValid = true;
    index.touched.clear();
    index.baseLayoutOptions = baseLayoutOptions;
    index.contentsScale = effectiveBackingScale();
    index.backgroundColor = projectStyle_.current.backgroundColor;
    index.printingMode = printingMode;
    index.mouseMoveLocation = mouseMoveLocation;
    index.appliedSelection = selectedNodeUIDs_;
}

void GraphView::synchronize()
{
    // A drag under way goes on from where the reload leaves its layers, which it may have replaced.
    std::optional<Qt::KeyboardModifiers> dragging;
    if (dragGroup_) {
        placeDragGroup();
        dragging = dragGroup_->modifiers;
        dragGroup_.reset();
    }
    invalidateBackdrop();
    ReloadScope scope(*index_, selectedNodeUIDs_, visibleRect());
    ReloadPlan plan = planReload();
    if (plan.full) {
        // Every layer is brought in line with its node and every branch docked.
        index_->unsettledNodes.clear();
        index_->unsettledBranches.clear();
    }
    // A full reload repaints everything once instead of area by area; a hidden canvas repaints nothing.
    const bool quiet = plan.full || !isVisible();
    if (quiet)
        this->layer()->setReportsDirtyAreas(false);
    syncBranchLayers(plan);
    // Layers settled while branches are docked are no longer left behind.
    index_->markedUIDs = &plan.visitUIDs;
    syncNodeLayers(plan);
    updateNodeLayerPositions(true, &plan);
    updateBranchLayers(plan);
    index_->markedUIDs = nullptr;
    if (!plan.full) {
        if (plan.selectionPass) {
            applySelectionFromUIDs();
        } else {
            for (std::int64_t uid : plan.selectionChanges)
                if (NodeLayer* layer = layerOf(uid))
                    setSelected(*layer, isSelectedUID(uid));
        }
        if (plan.hoverPass) {
            // Layers left behind near the pointer take their places first: hover follows the frame.
            const double reach = ReloadScope::animationMargin;
            settleLayers(Rect(mouseMoveLocation.x - reach, mouseMoveLocation.y - reach, 2 * reach, 2 * reach));
            for (const auto& layer : nodeLayers_)
                applyHover(*layer);
        }
    }
    rememberShown(plan);
    index_->sparePlan = std::move(plan);
    if (quiet) {
        this->layer()->setReportsDirtyAreas(true);
        update();
    }
    if (dragging)
        makeDragGroup(*dragging);
}

void GraphView::placeDeferredLabels(std::optional<Rect> area)
{
    if (index_->deferredLabels.empty() && index_->deferredPaths.empty() && !index_->hasUnsettled())
        return;
    if (area && index_->settledArea && *index_->settledArea == *area)
        return;
    const std::optional<Rect> reach =
        area ? std::optional(area->insetBy(-ReloadScope::animationMargin, -ReloadScope::animationMargin)) : std::nullopt;
    // Layers left behind take their places first; their titles and lines follow below.
    settleLayers(reach);
    index_->settledArea = area;
    // Only the layers filed near the area are looked at; an entry left in a cell its layer moved out of goes.
    const auto meets = [&reach](const Rect& r) { return !reach || GraphViewIndex::reaches(*reach, r); };
    const auto within = [](const Rect* cell, const Rect& r) { return !cell || GraphViewIndex::reaches(*cell, r); };
    index_->deferredLabels.visit(reach, [&](NodeLayer& layer, const Rect* cell) {
        if (!layer.isLabelDeferred())
            return true;
        const Rect frame = layer.frame();
        if (!meets(frame))
            return !within(cell, frame);
        layer.setLabelDeferred(false);
        return true;
    });
    index_->deferredPaths.visit(reach, [&](BranchLayer& layer, const Rect* cell) {
        if (!layer.isPathDeferred())
            return true;
        // The old line may be in view even when the new one is not.
        if (!meets(layer.dockArea()) && !meets(layer.builtArea()))
            return !within(cell, branchWaitArea(layer));
        layer.setPathDeferred(false);
        return true;
    });
}

void GraphView::invalidateLayerState()
{
    index_->shownValid = false;
}

void GraphView::syncNodeLayers()
{
    settleLayers();
    invalidateLayerState();
    ReloadScope scope(*index_, selectedNodeUIDs_, visibleRect());
    syncNodeLayers(planReload());
}

void GraphView::syncBranchLayers()
{
    settleLayers();
    invalidateLayerState();
    ReloadScope scope(*index_, selectedNodeUIDs_, visibleRect());
    syncBranchLayers(planReload());
}

void GraphView::updateNodeLayerPositions(bool resetDragState)
{
    // Outside a reload this moves layers away from what the last reload left.
    settleLayers();
    invalidateLayerState();
    updateNodeLayerPositions(resetDragState, nullptr);
}

void GraphView::updateBranchLayers()
{
    settleLayers();
    invalidateLayerState();
    ReloadScope scope(*index_, selectedNodeUIDs_, visibleRect());
    updateBranchLayers(planReload());
}

} // namespace velquine
