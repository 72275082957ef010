#include "layout/TreeGraphLayouter.h"

#include <algorithm>
#include <utility>

namespace velquine {

TreeGraphLayouter::TreeGraphLayouter(const Graph& graph, double horizontalDistanceBetweenNodes, bool isManual,
                                     double verticalDistanceBetweenNodes, TreeLayout::Orientation orientation)
    : graph(graph), horizontalDistanceBetweenNodes(horizontalDistanceBetweenNodes), isManual(isManual),
      verticalDistanceBetweenNodes(verticalDistanceBetweenNodes), orientation_(orientation)
{
}

TreeLayout TreeGraphLayouter::layout() const
{
    return TreeLayout(orientation_, horizontalDistanceBetweenNodes, verticalDistanceBetweenNodes);
}

std::vector<Node> TreeGraphLayouter::layoutNodeTree(const Node& top) const
{
    if (isManual)
        return graph.subtree(top);
    const double sign = growth();
    if (sign == 0.0)
        return layout().balancedLayout(top, graph, [this](const Node& node) { return onNegativeSide(node); });
    return layout().layOut(top, graph, sign);
}

std::vector<NodePlacement> TreeGraphLayouter::placeNodeTree(const Node& top) const
{
    if (isManual)
        return TreeLayout::standingPlacements(top, graph);
    const double sign = growth();
    if (sign == 0.0)
        return layout().balancedPlacements(top, graph, [this](const Node& node) { return onNegativeSide(node); });
    return layout().placements(top, graph, sign);
}

std::vector<Node> TreeGraphLayouter::balance(const Node& node) const
{
    return layout().balance(
        node, graph, [this](const Node& child) { return onNegativeSide(child); },
        [this](Node& child, bool negativeSide) { setSide(child, negativeSide); });
}

BalancePlacement TreeGraphLayouter::placeBalance(const Node& node) const
{
    return layout().balancePlacements(
        node, graph, [this](const Node& child) { return onNegativeSide(child); },
        [this](Node& child, bool negativeSide) { setSide(child, negativeSide); });
}

Rect TreeGraphLayouter::frameOf(const Node& node)
{
    return Rect(node.center.x - node.size.width * 0.5, node.center.y - node.size.height * 0.5, node.size.width,
                node.size.height);
}

const Node* TreeGraphLayouter::parentOf(const Node& node) const
{
    return node.parentUID ? graph.findNode(*node.parentUID) : nullptr;
}

const SiblingIndex::Ends* TreeGraphLayouter::indexedEnds(std::int64_t parentUID, bool sameSideOnly,
                                                         bool negativeSide) const
{
    if (!siblingIndex)
        return nullptr;
    using Group = SiblingIndex::Group;
    Group group = Group::allAlongY;
    if (orientation_ == TreeLayout::Orientation::vertical)
        group = !sameSideOnly ? Group::allAlongX : negativeSide ? Group::above : Group::below;
    else if (sameSideOnly)
        group = negativeSide ? Group::left : Group::right;
    return siblingIndex->ends(parentUID, group);
}

bool TreeGraphLayouter::fewerOnNegativeSide(const Node& parent) const
{
    const SiblingIndex::Ends* negative = indexedEnds(parent.uid, true, true);
    const SiblingIndex::Ends* positive = indexedEnds(parent.uid, true, false);
    if (negative && positive)
        return negative->count < positive->count;
    std::size_t negativeCount = 0;
    std::size_t positiveCount = 0;
    for (std::int64_t uid : parent.childrenUIDs) {
        if (const Node* sibling = graph.findNode(uid))
            ++(onNegativeSide(*sibling) ? negativeCount : positiveCount);
    }
    return negativeCount < positiveCount;
}

TreeGraphLayouter::Siblings TreeGraphLayouter::siblingsOf(const Node& child, bool sameSideOnly, bool negativeSide) const
{
    Siblings siblings;
    const Node* holder = parentOf(child);
    if (!holder)
        return siblings;
    if (const SiblingIndex::Ends* ends = indexedEnds(holder->uid, sameSideOnly, negativeSide)) {
        if (ends->count == 0)
            return siblings;
        siblings = {ends->count, graph.findNode(ends->front), graph.findNode(ends->back)};
        if (siblings.front && siblings.back)
            return siblings;
    }
    // The first least and the last greatest key are where a stable sort would put them.
    const bool alongX = orientation_ == TreeLayout::Orientation::vertical;
    const auto key = [alongX](const Node* node) { return alongX ? node->center.x : node->center.y; };
    siblings = {};
    for (std::int64_t uid : holder->childrenUIDs) {
        const Node* sibling = graph.findNode(uid);
        if (!sibling || sibling->uid == child.uid)
            continue;
        if (sameSideOnly && onNegativeSide(*sibling) != negativeSide)
            continue;
        if (!siblings.front || key(sibling) < key(siblings.front))
            siblings.front = sibling;
        if (!siblings.back || !(key(sibling) < key(siblings.back)))
            siblings.back = sibling;
        ++siblings.count;
    }
    return siblings;
}

} // namespace velquine
