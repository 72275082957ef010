// Keeping the branch layers in line with the graph: one layer per parent-child link, docked to the layers of
// its two ends.

#include <algorithm>
#include <unordered_set>

#include "canvas/CanvasSync.h"

#include "canvas/CanvasIndex.h"
#include "canvas/GraphView.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "canvas/layers/StrokeMetrics.h"
#include "platform/layer/Transaction.h"

namespace velquine {

// ---- Branch layers ----

void detachLayers(Layer& viewLayer, const std::vector<Layer*>& layers)
{
    if (layers.size() <= 8) {
        for (Layer* layer : layers)
            layer->removeFromSuperlayer();
        return;
    }
    // One pass over the view's sublayers instead of one per layer.
    const std::unordered_set<const Layer*> leaving(layers.begin(), layers.end());
    viewLayer.removeSublayers([&leaving](const Layer& layer) { return leaving.count(&layer) != 0; });
}

void CanvasSync::removeBranchLayers(const std::vector<BranchLayer*>& layers)
{
    std::vector<Layer*> leaving;
    leaving.reserve(layers.size());
    for (BranchLayer* layer : layers) {
        index_->removeBranch(layer, layer->parentNodeUID, layer->childNodeUID);
        index_->unsettledBranches.remove(*layer);
        if (layer->isPathDeferred())
            index_->deferredPaths.unfile(*layer, branchWaitArea(*layer));
        leaving.push_back(layer);
    }
    detachLayers(*view_.layer(), leaving);
}

void CanvasSync::syncBranchLayers(const ReloadPlan& plan)
{
    CanvasIndex& index = *index_;
    std::vector<BranchLayer*> stale;
    if (plan.full) {
        // Keep the links whose two nodes are stored and whose child names that parent.
        for (const auto& layer : branchLayers_) {
            const Node* child = view_.graph().findNode(layer->childNodeUID);
            const bool linked = child && view_.graph().contains(layer->parentNodeUID) && child->parentUID
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
                for (const CanvasIndex::BranchEnd& end : *at)
                    leave(end.layer);
        for (std::size_t i = 0; i < plan.visit.size(); ++i) {
            // A node that only moved keeps its parent and its branch.
            if (plan.isMovedOnly(i))
                continue;
            const Node* node = plan.visit[i];
            if (const auto* at = index.branchesAt(node->uid))
                for (const CanvasIndex::BranchEnd& end : *at)
                    if (end.childUID == node->uid
                        && (!node->parentUID || *node->parentUID != end.parentUID
                            || !view_.graph().contains(end.parentUID)))
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
        const Node* parent = view_.graph().findNode(*node->parentUID);
        if (!parent)
            continue;
        if (BranchLayer* layer = index.branch(parent->uid, node->uid)) {
            layer->setStrokeColor(node->style.branchColor.toQColor());
            layer->setLineWidth(strokeWidth(node->style.branchWidth));
            layer->parentNodeUID = parent->uid;
            layer->childNodeUID = node->uid;
            layer->branchStyle = node->style.branchStyle;
            layer->updatePath();
            layer->setZPosition(CanvasZPosition::branch);
        } else {
            // A new layer appears where it belongs; nothing animates into place.
            Transaction transaction(true);
            std::shared_ptr<BranchLayer> made = makeBranchLayer(*parent, *node);
            index.createdBranches.insert(made.get());
            branchLayers_.push_back(made);
            index.addBranch(made.get(), parent->uid, node->uid);
            view_.layer()->addSublayer(made);
        }
    }
}

std::shared_ptr<BranchLayer> CanvasSync::makeBranchLayer(const Node& parent, const Node& child)
{
    auto layer = std::make_shared<BranchLayer>();
    const Rect canvas = view_.boundsRect();
    layer->setBounds(canvas);
    layer->setFrame(canvas);
    layer->setStrokeColor(child.style.branchColor.toQColor());
    const double width = strokeWidth(child.style.branchWidth);
    layer->setLineWidth(width);
    layer->parentNodeUID = parent.uid;
    layer->childNodeUID = child.uid;
    layer->branchStyle = child.style.branchStyle;
    if (index_->reloading) {
        // Docking, later in the same reload, builds the line if it is in view, else files it where it lies.
        layer->setPathDeferred(true);
    }
    layer->updatePath();
    layer->setLineWidth(width);
    layer->setZPosition(CanvasZPosition::branch);
    layer->setContentsScale(view_.effectiveBackingScale());
    return layer;
}

Rect branchWaitArea(const BranchLayer& branch)
{
    const Rect built = branch.builtArea();
    return built.isNull() ? branch.dockArea() : branch.dockArea().unionWith(built);
}

void CanvasSync::dockBranchLayer(BranchLayer& branch)
{
    NodeLayer* child = nodeLayerAsIs(branch.childNodeUID);
    NodeLayer* parent = nodeLayerAsIs(branch.parentNodeUID);
    // Docked now, to where its ends are once settled: an end left behind stays behind.
    if (index_->hasUnsettled())
        index_->unsettledBranches.remove(branch);
    Transaction transaction;
    const bool created = index_->createdBranches.contains(&branch);
    if (created)
        Transaction::setDisableActions(true);
    const Rect before = branch.dockArea();
    const Rect waitedBefore = branchWaitArea(branch);
    if (child && parent) {
        const LayoutOptions options = layoutOptionsGoverning(parent->node());
        branch.branchType = options.branchType;
        branch.layoutType = options.layoutType;
        const BranchEnd from = settledEnd(*parent), to = settledEnd(*child);
        branch.setDockPoints(options.layoutType == LayoutOptions::LayoutType::horizontal
                                 ? horizontalDockPoints(from, to, options.branchType)
                                 : verticalDockPoints(from, to, options.branchType));
    }
    if (index_->reloading && !created && !index_->animates(before, branch.dockArea()))
        Transaction::setDisableActions(true);
    if (index_->reloading) {
        // A line that neither is nor will be in view is built when it comes into view.
        const bool seen = index_->inView(branch.dockArea()) || index_->inView(branch.builtArea());
        const auto shared = [&branch] { return std::static_pointer_cast<BranchLayer>(branch.shared_from_this()); };
        // Filed as it starts to wait (a branch made by this reload is not filed yet), filed again as it moves,
        // and taken out as it is built.
        if (!seen && (created || !branch.isPathDeferred()))
            index_->deferredPaths.file(shared(), branchWaitArea(branch));
        else if (!seen && branch.dockArea() != before)
            index_->deferredPaths.refile(shared(), waitedBefore, branchWaitArea(branch));
        else if (seen && branch.isPathDeferred() && !created)
            index_->deferredPaths.unfile(branch, waitedBefore);
        branch.setPathDeferred(!seen);
    }
    branch.updatePath();
}

void CanvasSync::updateBranchLayers(const ReloadPlan& plan)
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
            lastLayer = nodeLayerAsIs(uid);
        }
        return lastLayer;
    };
    const std::size_t count = plan.visit.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t uid = plan.visitUIDs[i];
        const auto* at = index_->branchesAt(uid);
        if (!at)
            continue;
        NodeLayer* own = known ? found[i] : nodeLayerAsIs(uid);
        for (const CanvasIndex::BranchEnd& end : *at) {
            const bool atChild = end.childUID == uid;
            if (!atChild && visited(end.childUID))
                continue;
            NodeLayer* parent = atChild ? layerAt(end.parentUID) : own;
            NodeLayer* child = atChild ? own : nodeLayerAsIs(end.childUID);
            // Where a child left behind goes, as its node synchronisation noted it.
            const bool childLeft = atChild && known && index_->leftBehind[i];
            if (!leavesBranchBehind(*end.layer, parent, child, childLeft ? &index_->leftFor[i] : nullptr))
                dockBranchLayer(*end.layer);
        }
    }
}

} // namespace velquine
