#include "layout/HorizontalGraphLayouter.h"

#include <algorithm>
#include <utility>

#include "layout/TreeLayout.h"

namespace velquine {

namespace {

Rect frameOf(const Node& node)
{
    return Rect(node.center.x - node.size.width * 0.5, node.center.y - node.size.height * 0.5, node.size.width,
                node.size.height);
}

bool isLeft(const Node& node) { return node.horizontalAffinity == HorizontalAffinity::left; }

} // namespace

HorizontalGraphLayouter::HorizontalGraphLayouter(Graph graph, double horizontalDistanceBetweenNodes,
                                                 LayoutSubtype subtype, bool isManual,
                                                 double verticalDistanceBetweenNodes)
    : graph(std::move(graph)), horizontalDistanceBetweenNodes(horizontalDistanceBetweenNodes), subtype(subtype),
      isManual(isManual), verticalDistanceBetweenNodes(verticalDistanceBetweenNodes)
{
}

std::vector<Node> HorizontalGraphLayouter::layoutNodeTree(const Node& top) const
{
    if (isManual)
        return graph.subtree(top);
    const TreeLayout layout(TreeLayout::Orientation::horizontal, horizontalDistanceBetweenNodes,
                            verticalDistanceBetweenNodes);
    switch (subtype) {
    case LayoutSubtype::balanced:
        return layout.balancedLayout(top, graph, isLeft);
    case LayoutSubtype::rightToLeft:
        return layout.layOut(top, graph, -1.0);
    case LayoutSubtype::leftToRight:
        break;
    }
    return layout.layOut(top, graph, 1.0);
}

std::vector<Node> HorizontalGraphLayouter::balance(const Node& node) const
{
    const TreeLayout layout(TreeLayout::Orientation::horizontal, horizontalDistanceBetweenNodes,
                            verticalDistanceBetweenNodes);
    return layout.balance(node, graph, isLeft, [](Node& child, bool left) {
        child.horizontalAffinity = left ? HorizontalAffinity::left : HorizontalAffinity::right;
    });
}

Point HorizontalGraphLayouter::positionForNewNode(const Node& parent, const Node& child) const
{
    const double hd = horizontalDistanceBetweenNodes;
    const double vd = verticalDistanceBetweenNodes;
    const Rect parentFrame = frameOf(parent);
    const Node* grandparent = parent.parentUID ? graph.findNode(*parent.parentUID) : nullptr;
    const bool balanced = subtype == LayoutSubtype::balanced;

    bool left = false;
    if (grandparent) {
        left = parent.center.x < grandparent->center.x;
    } else if (balanced) {
        std::size_t leftCount = 0;
        std::size_t rightCount = 0;
        for (std::int64_t uid : parent.childrenUIDs) {
            if (const Node* sibling = graph.findNode(uid))
                ++(isLeft(*sibling) ? leftCount : rightCount);
        }
        left = leftCount < rightCount;
    } else {
        left = subtype == LayoutSubtype::rightToLeft;
    }
    const double x = left ? parentFrame.minX() - hd - child.size.width / 2
                          : parentFrame.maxX() + hd + child.size.width / 2;

    // The new child's siblings, those of its side only when balanced, top to bottom.
    std::vector<const Node*> siblings;
    if (const Node* holder = child.parentUID ? graph.findNode(*child.parentUID) : nullptr) {
        for (std::int64_t uid : holder->childrenUIDs) {
            const Node* sibling = graph.findNode(uid);
            if (!sibling || sibling->uid == child.uid)
                continue;
            if (balanced && isLeft(*sibling) != left)
                continue;
            siblings.push_back(sibling);
        }
    }
    std::stable_sort(siblings.begin(), siblings.end(),
                     [](const Node* a, const Node* b) { return a->center.y < b->center.y; });
    if (siblings.empty())
        return {x, parent.center.y};

    const bool belowLast = balanced ? siblings.size() % 2 == 1 : parent.childrenUIDs.size() % 2 == 1;
    if (belowLast)
        return {x, frameOf(*siblings.back()).maxY() + 2 * vd + child.size.height / 2};
    return {x, frameOf(*siblings.front()).minY() - 2 * vd - child.size.height / 2};
}

} // namespace velquine
