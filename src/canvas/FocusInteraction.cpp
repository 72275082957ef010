// Focus mode: everything outside the subtree of one node is drawn faded, grey and translucent.

#include <unordered_set>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/FocusInteraction.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"

namespace velquine {

FocusInteraction::FocusInteraction(GraphView& view, CanvasSync& sync) : view_(view), sync_(sync) {}

FocusInteraction::~FocusInteraction() = default;

void FocusInteraction::applyFocus()
{
    if (!focusContext_) {
        const std::vector<Node> selected = view_.selectedNodes();
        if (!selected.empty())
            focus(selected.front());
        return;
    }
    focusContext_.reset();
    for (const auto& layer : sync_.nodeLayersAsIs()) {
        layer->setFaded(false);
        layer->updateFadedState();
    }
    for (const auto& branch : sync_.branchLayersAsIs()) {
        branch->isFaded = false;
        branch->setOpacity(1.0);
        branch->setGrayFilter(false);
    }
}

void FocusInteraction::focus(const Node& node)
{
    focusContext_ = FocusContext{node};
    std::unordered_set<std::int64_t> inside;
    for (const Node& member : view_.graph().subtree(node))
        inside.insert(member.uid);
    for (const auto& [uid, outside] : view_.graph().nodeBin()) {
        if (inside.count(uid))
            continue;
        if (NodeLayer* layer = sync_.settledNodeLayer(uid)) {
            layer->setFaded(true);
            layer->updateFadedState();
        }
        if (const auto* branches = sync_.linksAsIs(uid))
            for (const CanvasSync::Link& end : *branches) {
                BranchLayer* branch = end.layer;
                branch->isFaded = true;
                branch->setGrayFilter(true);
                branch->setOpacity(0.25);
            }
    }
}

} // namespace velquine
