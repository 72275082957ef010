// Focus mode: everything outside the subtree of one node is drawn faded, grey and translucent.

#include <unordered_set>

#include "canvas/GraphView.h"
#include "canvas/GraphViewIndex.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"

namespace velquine {

void GraphView::applyFocus()
{
    if (!focusContext_) {
        const std::vector<Node> selected = graph_.nodes(selectedNodeUIDs_);
        if (!selected.empty())
            focus(selected.front());
        return;
    }
    focusContext_.reset();
    for (const auto& layer : nodeLayers_) {
        layer->setFaded(false);
        layer->updateFadedState();
    }
    for (const auto& branch : branchLayers_) {
        branch->isFaded = false;
        branch->setOpacity(1.0);
        branch->setGrayFilter(false);
    }
}

void GraphView::focus(const Node& node)
{
    focusContext_ = FocusContext{node};
    std::unordered_set<std::int64_t> inside;
    for (const Node& member : graph_.subtree(node))
        inside.insert(member.uid);
    for (const auto& [uid, outside] : graph_.nodeBin()) {
        if (inside.count(uid))
            continue;
        if (NodeLayer* layer = nodeLayer(uid)) {
            layer->setFaded(true);
            layer->updateFadedState();
        }
        if (const auto* branches = index_->branchesAt(uid))
            for (const GraphViewIndex::BranchEnd& end : *branches) {
                BranchLayer* branch = end.layer;
                branch->isFaded = true;
                branch->setGrayFilter(true);
                branch->setOpacity(0.25);
            }
    }
}

} // namespace velquine
