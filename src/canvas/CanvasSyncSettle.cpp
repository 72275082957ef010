// Layers a reload leaves behind off screen, and settling them when they are needed.
//
// When a layout moves thousands of nodes, most of them leave one place out of view for another one out of
// view. Moving their layers and re-docking the branches between them costs the reload most of its time and
// shows nothing, so the reload notes them instead (CanvasIndex::unsettledNodes, unsettledBranches) and
// leaves the layers as they were. They are settled, exactly as the reload would have left them, by whatever
// reads them next: painting or scrolling near them, hit tests at points near them, the canvas's layer
// accessors, rendering the whole canvas and every edit that reads layers wholesale.
// What it buys (bench_GraphViewReload, 10,000 nodes all moved): a reload takes 3.2 ms, against 17.4 ms settling
// every layer at once (BM_ReloadEveryNodeMovedSettlingAll).

#include <algorithm>

#include "canvas/CanvasSync.h"
#include "canvas/GraphView.h"
#include "canvas/CanvasGesture.h"
#include "canvas/CanvasIndex.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "platform/layer/Transaction.h"

namespace velquine {

NodeLayer* CanvasSync::nodeLayerAsIs(std::int64_t uid)
{
    NodeLayer* const* layer = index_->nodeLayerUIDCache.find(uid);
    return layer ? *layer : nullptr;
}

bool CanvasSync::leavesNodeBehind(NodeLayer& layer, const Node& node, Rect& to)
{
    to = Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
              node.size.height);
    const Rect from = layer.frame();
    // A layer being edited or dragged follows at once. (The node only moved: its layer shows its size.)
    if (index_->inView(to) || index_->inView(from) || layer.isBeingEdited() || layer.isDragged())
        return false;
    index_->unsettledNodes.set(layer, {from, to});
    return true;
}

bool CanvasSync::leavesBranchBehind(BranchLayer& branch, const NodeLayer* parent, const NodeLayer* child,
                                   const Rect* childTo)
{
    CanvasIndex& index = *index_;
    if (index.createdBranches.contains(&branch))
        return false;
    if (!parent || !child)
        return false;
    // Where each end is going: a layer left behind to its node's new frame, any other nowhere.
    const auto destination = [&index](const NodeLayer& layer) {
        const CanvasIndex::Unsettled* places = index.unsettledNodes.find(layer);
        return places ? places->to : layer.frame();
    };
    const Rect p = destination(*parent);
    const Rect c = childTo ? *childTo : destination(*child);
    // The dock points lie on or inside the two frames, and the line between them inside their union.
    const double minX = std::min(p.minX(), c.minX()), minY = std::min(p.minY(), c.minY());
    const Rect line(minX, minY, std::max(p.maxX(), c.maxX()) - minX, std::max(p.maxY(), c.maxY()) - minY);
    const Rect dockArea = branch.dockArea();
    if (index.inView(line) || index.inView(dockArea))
        return false;
    const Rect builtArea = branch.builtArea();
    if (!builtArea.isNull() && index.inView(builtArea))
        return false;
    index.unsettledBranches.set(branch, {builtArea.isNull() ? dockArea : dockArea.unionWith(builtArea), line});
    return true;
}

void CanvasSync::settleNode(NodeLayer& layer)
{
    if (!index_->unsettledNodes.remove(layer))
        return;
    if (const std::vector<std::int64_t>* marked = index_->markedUIDs) {
        // The reload under way noted where this layer was going: it is there now.
        const auto at = std::lower_bound(marked->begin(), marked->end(), layer.node().uid);
        const std::size_t position = static_cast<std::size_t>(at - marked->begin());
        if (at != marked->end() && *at == layer.node().uid && position < index_->leftBehind.size())
            index_->leftBehind[position] = 0;
    }
    const Node* node = view_.graph().findNode(layer.node().uid);
    if (!node || layer.superlayer() == nullptr)
        return;
    // What the reload would have done when it left the layer: nobody saw the move, so nothing animates.
    Transaction transaction(true);
    moveExistingNodeLayer(layer, *node, view_.effectiveBackingScale());
    makeBoundsIntegral(layer);
}

BranchEnd CanvasSync::settledEnd(const NodeLayer& layer) const
{
    BranchEnd end = branchEnd(layer);
    if (!layer.unsettledSlot || layer.superlayer() == nullptr)
        return end;
    const Node* node = view_.graph().findNode(layer.node().uid);
    if (!node)
        return end;
    // Where settleNode() puts it: centred on its node, its bounds the node's size made whole.
    const Size size = integralRect(Rect(layer.bounds().origin, node->size)).size;
    end.frame = Rect(node->center.x - size.width / 2, node->center.y - size.height / 2, size.width, size.height);
    end.nodeCenter = node->center;
    return end;
}

void CanvasSync::settleBranch(BranchLayer& branch)
{
    Transaction transaction(true);
    dockBranchLayer(branch);
}

void makeBoundsIntegral(NodeLayer& layer)
{
    const Rect bounds = layer.bounds();
    const Rect integral = integralRect(bounds);
    if (!(integral == bounds))
        layer.setBounds(integral);
}

void CanvasSync::settleLayers(std::optional<Rect> area)
{
    CanvasIndex& index = *index_;
    if (!index.hasUnsettled())
        return;
    std::vector<std::shared_ptr<NodeLayer>> nodes;
    std::vector<std::shared_ptr<BranchLayer>> branches;
    if (area) {
        index.unsettledNodes.visit(*area, [&nodes](const auto& layer) { nodes.push_back(layer); });
        index.unsettledBranches.visit(*area, [&branches](const auto& layer) { branches.push_back(layer); });
    } else {
        for (const auto& entry : index.unsettledNodes.entries)
            nodes.push_back(entry.layer);
        for (const auto& entry : index.unsettledBranches.entries)
            branches.push_back(entry.layer);
        index.unsettledNodes.forgetFiling();
        index.unsettledBranches.forgetFiling();
    }
    if (nodes.empty() && branches.empty())
        return;
    // Outside a reload, settling is the rest of the reload that left the layers: it runs in one like it.
    std::optional<ReloadScope> scope;
    if (!index.reloading)
        scope.emplace(index, view_.selectedNodeUIDs(), view_.visibleRect());
    Transaction transaction(true);
    // Nodes in identifier order, as a reload visits them; then the branches.
    std::sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) { return a->node().uid < b->node().uid; });
    for (const auto& layer : nodes)
        settleNode(*layer);
    for (const auto& branch : branches)
        settleBranch(*branch);
}

// ---- Readers that settle what they read ----

NodeLayer* CanvasSync::settledNodeLayer(std::int64_t uid)
{
    if (gesture_)
        gesture_->placeLayers(std::span<const std::int64_t>(&uid, 1));
    NodeLayer* layer = nodeLayerAsIs(uid);
    if (layer && layer->unsettledSlot)
        settleNode(*layer);
    return layer;
}

BranchLayer* CanvasSync::settledBranchLayer(std::int64_t parentUID, std::int64_t childUID)
{
    if (gesture_) {
        const std::int64_t ends[] = {parentUID, childUID};
        gesture_->placeLayers(ends);
    }
    BranchLayer* branch = index_->branch(parentUID, childUID);
    if (branch && branch->unsettledSlot)
        settleBranch(*branch);
    return branch;
}

std::vector<BranchLayer*> CanvasSync::settledBranchLayersAt(std::int64_t uid)
{
    if (gesture_)
        gesture_->placeLayers({});
    const auto* at = index_->branchesAt(uid);
    if (!at)
        return {};
    if (index_->hasUnsettled()) {
        if (NodeLayer* layer = nodeLayerAsIs(uid); layer && layer->unsettledSlot)
            settleNode(*layer);
        for (const Link& end : std::vector<Link>(*at))
            if (end.layer->unsettledSlot)
                settleBranch(*end.layer);
    }
    std::vector<BranchLayer*> layers;
    layers.reserve(at->size());
    for (const Link& end : *at)
        layers.push_back(end.layer);
    return layers;
}

const std::vector<CanvasSync::Link>* CanvasSync::linksAsIs(std::int64_t uid)
{
    return index_->branchesAt(uid);
}

std::vector<NodeLayer*> CanvasSync::settledNodeLayersAt(Point point)
{
    settleLayers(Rect(point.x, point.y, 0, 0));
    std::vector<NodeLayer*> hits;
    for (const auto& layer : nodeLayers_)
        if (layer->frame().contains(point))
            hits.push_back(layer.get());
    return hits;
}

const std::vector<std::shared_ptr<NodeLayer>>& CanvasSync::settledNodeLayers()
{
    if (gesture_)
        gesture_->placeLayers({});
    settleLayers();
    return nodeLayers_;
}

const std::vector<std::shared_ptr<BranchLayer>>& CanvasSync::settledBranchLayers()
{
    if (gesture_)
        gesture_->placeLayers({});
    settleLayers();
    return branchLayers_;
}

void CanvasSync::settleEndsOf(BranchLayer& branch)
{
    if (!index_->hasUnsettled())
        return;
    index_->unsettledBranches.remove(branch);
    for (std::int64_t uid : {branch.childNodeUID, branch.parentNodeUID})
        if (NodeLayer* end = nodeLayerAsIs(uid); end && end->unsettledSlot)
            settleNode(*end);
}

} // namespace velquine
