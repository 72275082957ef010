// Keeping the node and branch layers in line with the graph.
//
// Every step follows one order: the graph's nodes in the graph's order, node layers in the order they were
// made. A full reload visits every node; a reload after edits visits only the nodes whose storage changed since
// the last reload, with those whose governing layout options may have changed because of them, and touches
// only their layers and the branches at their ends. Both give the same layers.

#include <algorithm>
#include <unordered_set>

#include "canvas/CanvasSync.h"

#include "base/FlatHashMap.h"
#include "canvas/GraphView.h"
#include "canvas/CanvasGesture.h"
#include "canvas/CanvasIndex.h"
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

// Up to this many new nodes are added to what a reload showed one by one.
constexpr std::size_t maxPlacedNewNodes = 64;

bool sameSize(const Size& a, const Size& b) { return a.width == b.width && a.height == b.height; }

// The layer's place and size, as moving and updating an existing node layer share them.
void placeExistingNodeLayer(CanvasIndex& index, NodeLayer& layer, const Node& node)
{
    // A pure move animates where it can be seen; a resize jumps.
    const Rect to(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                  node.size.height);
    index.unsettledNodes.remove(layer);
    if (!sameSize(layer.node().size, node.size) || !index.animates(layer.frame(), to))
        Transaction::setDisableActions(true);
    if (layer.isLabelDeferred() && index.animates(to, to)) {
        index.deferredLabels.unfile(layer, layer.frame());
        layer.setLabelDeferred(false);
    } else if (layer.isLabelDeferred() && !(layer.frame() == to))
        index.deferredLabels.refile(std::static_pointer_cast<NodeLayer>(layer.shared_from_this()), layer.frame(), to);
    layer.setAnchorPoint({0.5, 0.5});
    Rect bounds = layer.bounds();
    bounds.size = node.size;
    layer.setBounds(bounds);
    layer.setPosition(node.center);
}

} // namespace

CanvasSync::CanvasSync(GraphView& view) : view_(view), index_(std::make_unique<CanvasIndex>()) {}

CanvasSync::~CanvasSync() = default;

// ---- Node layers ----

void CanvasSync::syncNodeLayers(const ReloadPlan& plan)
{
    CanvasIndex& index = *index_;
    std::vector<std::shared_ptr<NodeLayer>> stale;
    if (plan.full || !plan.removed.empty()) {
        const std::unordered_set<std::int64_t> removed(plan.removed.begin(), plan.removed.end());
        const auto kept = [&](const auto& layer) {
            return plan.full ? view_.graph().contains(layer->node().uid) : removed.count(layer->node().uid) == 0;
        };
        auto keep = std::stable_partition(nodeLayers_.begin(), nodeLayers_.end(), kept);
        stale.assign(std::make_move_iterator(keep), std::make_move_iterator(nodeLayers_.end()));
        nodeLayers_.erase(keep, nodeLayers_.end());
        std::vector<Layer*> leaving;
        leaving.reserve(stale.size());
        for (const auto& layer : stale) {
            leaving.push_back(layer.get());
            index.unsettledNodes.remove(*layer);
            if (layer->isLabelDeferred())
                index.deferredLabels.unfile(*layer, layer->frame());
        }
        detachLayers(*view_.layer(), leaving);
    }

    const double scale = view_.effectiveBackingScale();
    const std::size_t existing = nodeLayers_.size();
    index.visitedLayers.resize(plan.visit.size());
    index.leftBehind.resize(plan.visit.size());
    index.leftFor.resize(plan.visit.size());
    for (std::size_t i = 0; i < plan.visit.size(); ++i) {
        const Node* node = plan.visit[i];
        NodeLayer* cached = nodeLayerAsIs(plan.visitUIDs[i]);
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
            view_.layer()->addSublayer(made);
        }
    }

    if (plan.full) {
        index.nodeLayerUIDCache.clear(denseUIDRange(view_.graph()));
        for (const auto& layer : nodeLayers_)
            index.nodeLayerUIDCache[layer->node().uid] = layer.get();
        return;
    }
    for (const auto& layer : stale)
        if (nodeLayerAsIs(layer->node().uid) == layer.get())
            index.nodeLayerUIDCache.erase(layer->node().uid);
    for (std::size_t i = existing; i < nodeLayers_.size(); ++i)
        index.nodeLayerUIDCache[nodeLayers_[i]->node().uid] = nodeLayers_[i].get();
}


void CanvasSync::finishExistingNodeLayer(NodeLayer& layer, const Node& node, double scale)
{
    const Color& background = view_.projectStyle().current.backgroundColor;
    if (layer.hasHoverButtonLayer() && !(layer.hoverButtonLayer().documentColor() == background))
        layer.hoverButtonLayer().setDocumentColor(view_.projectStyle().current.backgroundColor);
    setSelected(layer, isSelectedUID(*index_, view_.selectedNodeUIDs(), node.uid));
    if (layer.contentsScale() != scale)
        layer.setContentsScale(scale);
    layer.setDragged(false);
    layer.setShadowOpacity(0);
    applyHover(layer);
}

void CanvasSync::moveExistingNodeLayer(NodeLayer& layer, const Node& node, double scale)
{
    Transaction transaction;
    placeExistingNodeLayer(*index_, layer, node);
    // Its type and governing options are those it had; only its place and its sides of its parent change.
    const Node* parent = node.parentUID ? view_.graph().findNode(*node.parentUID) : nullptr;
    const std::shared_ptr<const Node> shared = graphsOwnNode(view_.graph(), node);
    if (shared && NodeLayer::looksLike(*shared, layer.node()))
        layer.setNode(shared, parent); // the drawing stays
    else
        layer.setNodeCenter(node.center, parent);
    finishExistingNodeLayer(layer, node, scale);
}

void CanvasSync::updateExistingNodeLayer(NodeLayer& layer, const Node& node, double scale)
{
    Transaction transaction;
    placeExistingNodeLayer(*index_, layer, node);
    const LayoutOptions options = layoutOptionsGoverning(node);
    const bool optionsChanged = !(options == layer.layoutOptions());
    layer.setLayoutOptions(options);
    if (node.differs(layer.node())) {
        // A node that only moved keeps its drawing; its layer just follows it.
        const bool redraw = optionsChanged || !NodeLayer::looksLike(node, layer.node());
        storeNode(layer, view_.graph(), node);
        if (redraw)
            layer.updateContents();
    }
    finishExistingNodeLayer(layer, node, scale);
}

std::shared_ptr<NodeLayer> CanvasSync::makeNodeLayer(const Node& node)
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
    storeNode(*layer, view_.graph(), node);
    layer->updateContents();
    layer->setSelected(isSelectedUID(*index_, view_.selectedNodeUIDs(), node.uid));
    applyHover(*layer);
    layer->setLayoutOptions(layoutOptionsGoverning(node));
    if (layer->hasHoverButtonLayer())
        layer->hoverButtonLayer().setDocumentColor(view_.projectStyle().current.backgroundColor);
    layer->setContentsScale(view_.effectiveBackingScale());
    layer->updateShapePath(node.shape);
    return layer;
}

void CanvasSync::applyHover(NodeLayer& layer)
{
    const Rect frame = layer.frame();
    const Rect zone(frame.origin.x - 32, frame.origin.y, frame.size.width + 64, frame.size.height);
    const bool hovered = !view_.isPrintingMode() && zone.contains(view_.pointerLocation());
    layer.setHovered(hovered);
    if (layer.isBeingEdited() || !hovered)
        layer.setHoverButtonHidden(true);
}

void CanvasSync::setHoverButtonShown(NodeLayer& layer, bool shown)
{
    if (!shown || view_.isPrintingMode()) {
        layer.setHoverButtonHidden(true);
        return;
    }
    HoverButtonLayer& button = layer.hoverButtonLayer();
    if (!(button.documentColor() == view_.projectStyle().current.backgroundColor))
        button.setDocumentColor(view_.projectStyle().current.backgroundColor);
    layer.setHoverButtonHidden(false);
}

void CanvasSync::setSelected(NodeLayer& layer, bool selected)
{
    if (layer.isSelected() != selected || layer.showsSelectionLayers() != (selected && !layer.isBeingEdited()))
        layer.setSelected(selected);
}

void CanvasSync::updateNodeLayerPositions(bool resetDragState, const ReloadPlan* plan)
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
            if (NodeLayer* layer = known ? found[i] : nodeLayerAsIs(plan->visitUIDs[i]); layer && !layer->unsettledSlot)
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
    for (const auto& entry : view_.graph().nodeBin()) {
        if (NodeLayer* const* layer = byUID.find(entry.first))
            place(**layer);
    }
}

// ---- The reload ----

void CanvasSync::applySelectionFromUIDs()
{
    const std::unordered_set<std::int64_t> selected(view_.selectedNodeUIDs().begin(), view_.selectedNodeUIDs().end());
    for (const auto& layer : nodeLayers_)
        setSelected(*layer, selected.count(layer->node().uid) != 0);
}

void CanvasSync::rememberShown(ReloadPlan& plan)
{
    CanvasIndex& index = *index_;
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
                                [](const CanvasIndex::Shown& shown, std::int64_t id) { return shown.uid < id; });
    };
    // A few new nodes are put in their places; many are listed afresh with the rest.
    if (plan.full || plan.addedUIDs.size() > maxPlacedNewNodes || !plan.removed.empty()) {
        index.shown.clear();
        index.childrenByParent.clear();
        index.shown.reserve(view_.graph().count());
        for (auto entry = view_.graph().nodeBin().begin(); entry != view_.graph().nodeBin().end(); ++entry) {
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
            index.shown.insert(position(uid), {uid, view_.graph().sharedNode(uid)});
            note(uid, view_.graph().findNode(uid)->parentUID);
        }
    }
    index.shownBin = view_.graph().nodeBin();
    index.shownValid = true;
    index.touched.clear();
    index.baseLayoutOptions = view_.baseLayoutOptions();
    index.contentsScale = view_.effectiveBackingScale();
    index.backgroundColor = view_.projectStyle().current.backgroundColor;
    index.printingMode = view_.isPrintingMode();
    index.mouseMoveLocation = view_.pointerLocation();
    index.appliedSelection = view_.selectedNodeUIDs();
}

void CanvasSync::synchronize()
{
    // The reload may replace the layers a gesture under way holds: it goes on from where the reload leaves them.
    if (gesture_)
        gesture_->willReload();
    view_.invalidateBackdrop();
    ReloadScope scope(*index_, view_.selectedNodeUIDs(), view_.visibleRect());
    ReloadPlan plan = planReload();
    if (plan.full) {
        // Every layer is brought in line with its node and every branch docked.
        index_->unsettledNodes.clear();
        index_->unsettledBranches.clear();
    }
    // A full reload repaints everything once instead of area by area; a hidden canvas repaints nothing.
    const bool quiet = plan.full || !view_.isVisible();
    if (quiet)
        view_.layer()->setReportsDirtyAreas(false);
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
                if (NodeLayer* layer = nodeLayerAsIs(uid))
                    setSelected(*layer, isSelectedUID(*index_, view_.selectedNodeUIDs(), uid));
        }
        if (plan.hoverPass) {
            // Layers left behind near the pointer take their places first: hover follows the frame.
            const double reach = canvasAnimationMargin;
            const Point pointer = view_.pointerLocation();
            settleLayers(Rect(pointer.x - reach, pointer.y - reach, 2 * reach, 2 * reach));
            for (const auto& layer : nodeLayers_)
                applyHover(*layer);
        }
    }
    rememberShown(plan);
    index_->sparePlan = std::move(plan);
    if (quiet) {
        view_.layer()->setReportsDirtyAreas(true);
        view_.update();
    }
    if (gesture_)
        gesture_->didReload();
}

void CanvasSync::placeDeferredLabels(std::optional<Rect> area)
{
    if (index_->deferredLabels.empty() && index_->deferredPaths.empty() && !index_->hasUnsettled())
        return;
    if (area && index_->settledArea && *index_->settledArea == *area)
        return;
    const std::optional<Rect> reach =
        area ? std::optional(area->insetBy(-canvasAnimationMargin, -canvasAnimationMargin)) : std::nullopt;
    // Layers left behind take their places first; their titles and lines follow below.
    settleLayers(reach);
    index_->settledArea = area;
    // Only the layers filed near the area are looked at; an entry left in a cell its layer moved out of goes.
    const auto meets = [&reach](const Rect& r) { return !reach || CanvasIndex::reaches(*reach, r); };
    const auto within = [](const Rect* cell, const Rect& r) { return !cell || CanvasIndex::reaches(*cell, r); };
    // A layer placed here may be filed in cells beyond those looked at, too: it leaves them afterwards.
    std::vector<std::pair<std::shared_ptr<Layer>, Rect>> placed;
    index_->deferredLabels.visit(reach, [&](NodeLayer& layer, const Rect* cell) {
        if (!layer.isLabelDeferred())
            return true;
        const Rect frame = layer.frame();
        if (!meets(frame))
            return !within(cell, frame);
        layer.setLabelDeferred(false);
        if (reach)
            placed.emplace_back(layer.shared_from_this(), frame);
        return true;
    });
    for (const auto& [layer, area] : placed)
        index_->deferredLabels.unfile(static_cast<const NodeLayer&>(*layer), area);
    placed.clear();
    index_->deferredPaths.visit(reach, [&](BranchLayer& layer, const Rect* cell) {
        if (!layer.isPathDeferred())
            return true;
        // The old line may be in view even when the new one is not.
        const Rect waited = branchWaitArea(layer);
        if (!meets(layer.dockArea()) && !meets(layer.builtArea()))
            return !within(cell, waited);
        layer.setPathDeferred(false);
        if (reach)
            placed.emplace_back(layer.shared_from_this(), waited);
        return true;
    });
    for (const auto& [layer, area] : placed)
        index_->deferredPaths.unfile(static_cast<const BranchLayer&>(*layer), area);
}

void CanvasSync::invalidateLayerState()
{
    index_->shownValid = false;
}

void CanvasSync::placeMovedLayers(const std::vector<NodeLayer*>& layers)
{
    std::unordered_set<BranchLayer*> branches;
    for (NodeLayer* layer : layers) {
        Transaction transaction;
        layer->setPosition(layer->node().center);
        Rect bounds = layer->bounds();
        bounds.size = layer->node().size;
        layer->setBounds(bounds);
        markTouched(layer->node().uid);
        for (BranchLayer* branch : settledBranchLayersAt(layer->node().uid))
            branches.insert(branch);
    }
    // Docked in the branch list's order, as a reload docks them.
    for (const auto& branch : branchLayers_)
        if (branches.count(branch.get()))
            dockBranchLayer(*branch);
}

void CanvasSync::markTouched(std::int64_t uid)
{
    index_->touched.insert(uid);
}

void CanvasSync::refileWaitingLabel(NodeLayer& layer, const Rect& from)
{
    index_->deferredLabels.refile(std::static_pointer_cast<NodeLayer>(layer.shared_from_this()), from, layer.frame());
}

void CanvasSync::unfileWaitingPath(BranchLayer& branch)
{
    index_->deferredPaths.unfile(branch, branchWaitArea(branch));
}


std::size_t CanvasSync::waitingEntryCount()
{
    return index_->deferredLabels.entryCount() + index_->deferredPaths.entryCount();
}

std::pair<std::size_t, std::size_t> CanvasSync::lookAtWaitingEntries(std::int64_t uid)
{
    std::size_t titles = 0;
    std::size_t lines = 0;
    index_->deferredLabels.visit(std::nullopt, [&](NodeLayer& layer, const Rect* cell) {
        const bool left = cell && !CanvasIndex::reaches(*cell, layer.frame());
        titles += !left && layer.node().uid == uid;
        return left;
    });
    index_->deferredPaths.visit(std::nullopt, [&](BranchLayer& layer, const Rect* cell) {
        const bool left = cell && !CanvasIndex::reaches(*cell, layer.dockArea());
        lines += !left && layer.childNodeUID == uid;
        return left;
    });
    return {titles, lines};
}

void CanvasSync::setContentsScale(double scale)
{
    for (const auto& layer : nodeLayers_)
        layer->setContentsScale(scale);
    for (const auto& layer : branchLayers_)
        layer->setContentsScale(scale);
    // Every layer has the scale now: the next reload need not revisit them for it.
    index_->contentsScale = scale;
}

void CanvasSync::didChangeBounds(bool onlyAfterLock)
{
    // A controller that resizes the canvas under the lock scrolls back before it ends: only where the view
    // comes to rest matters.
    if (synclocked_) {
        boundsChangedWhileLocked_ = true;
        return;
    }
    if (onlyAfterLock && !boundsChangedWhileLocked_)
        return;
    boundsChangedWhileLocked_ = false;
    placeDeferredLabels(view_.visibleRect());
}

void CanvasSync::showSelection()
{
    Transaction transaction(true);
    const std::vector<std::int64_t>& uids = view_.selectedNodeUIDs();
    if (const std::optional<std::vector<std::int64_t>> before = std::move(index_->appliedSelection)) {
        // The layers show the last applied selection: only those leaving it and those in the new one change.
        const std::unordered_set<std::int64_t> selected(uids.begin(), uids.end());
        for (const std::vector<std::int64_t>* changed : {&*before, &uids})
            for (std::int64_t uid : *changed)
                if (NodeLayer* layer = settledNodeLayer(uid))
                    setSelected(*layer, selected.count(uid) != 0);
    } else {
        applySelectionFromUIDs();
    }
    index_->appliedSelection = uids;
}

void CanvasSync::noteShownSelection(std::optional<std::vector<std::int64_t>> uids)
{
    index_->appliedSelection = std::move(uids);
}


} // namespace velquine
