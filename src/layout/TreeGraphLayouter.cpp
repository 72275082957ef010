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

std::vector<Node> TreeGraphLayouter::balance(const Node& node) const
{
    return layout().balance(
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

bool TreeGraphLayouter::fewerOnNegativeSide(const Node& parent) const
{
    std::size_t negativeCount = 0;
    std::size_t positiveCount = 0;
    for (std::int64_t uid : parent.childrenUIDs) {
        if (const Node* sibling = graph.findNode(uid))
            ++(onNegativeSide(*sibling) ? negativeCount : positiveCount);
    }
    return negativeCount < positiveCount;
}

std::vector<const Node*> TreeGraphLayouter::siblingsOf(const Node& child, bool sameSideOnly, bool negativeSide) const
{
    std::vector<const Node*> siblings;
    if (const Node* holder = parentOf(child)) {
        for (std::int64_t uid : holder->childrenUIDs) {
            const Node* sibling = graph.findNode(uid);
            if (!sibling || sibling->uid == child.uid)
                continue;
            if (sameSideOnly && onNegativeSide(*sibling) != negativeSide)
                continue;
            siblings.push_back(sibling);
        }
    }
    if (orientation_ == TreeLayout::Orientation::vertical)
        std::stable_sort(siblings.begin(), siblings.end(),
                         [](const Node* a, const Node* b) { return a->center.x < b->center.x; });
    else
        std::stable_sort(siblings.begin(), siblings.end(),
                         [](const Node* a, const Node* b) { return a->center.y < b->center.y; });
    return siblings;
}

} // namespace velquine
