#include "layout/VerticalGraphLayouter.h"

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

bool isAbove(const Node& node) { return node.verticalAffinity == VerticalAffinity::above; }

} // namespace

VerticalGraphLayouter::VerticalGraphLayouter(Graph graph, double horizontalDistanceBetweenNodes,
                                             LayoutSubtype subtype, bool isManual,
                                             double verticalDistanceBetweenNodes)
    : graph(std::move(graph)), horizontalDistanceBetweenNodes(horizontalDistanceBetweenNodes), subtype(subtype),
      isManual(isManual), verticalDistanceBetweenNodes(verticalDistanceBetweenNodes)
{
}

std::vector<Node> VerticalGraphLayouter::layoutNodeTree(const Node& top) const
{
    if (isManual)
        return graph.subtree(top);
    const TreeLayout layout(TreeLayout::Orientation::vertical, horizontalDistanceBetweenNodes,
                            verticalDistanceBetweenNodes);
    switch (subtype) {
    case LayoutSubtype::balanced:
        return layout.balancedLayout(top, graph, isAbove);
    case LayoutSubtype::bottomUp:
        return layout.layOut(top, graph, -1.0);
    case LayoutSubtype::topDown:
        break;
    }
    return layout.layOut(top, graph, 1.0);
}

std::vector<Node> VerticalGraphLayouter::balance(const Node& node) const
{
    const TreeLayout layout(TreeLayout::Orientation::vertical, horizontalDistanceBetweenNodes,
                            verticalDistanceBetweenNodes);
    return layout.balance(node, graph, isAbove, [](Node& child, bool above) {
        child.verticalAffinity = above ? VerticalAffinity::above : VerticalAffinity::below;
    });
}

Point VerticalGraphLayouter::positionForNewNode(const Node& parent, const Node& child) const
{
    const double hd = horizontalDistanceBetweenNodes;
    const double vd = verticalDistanceBetweenNodes;
    const Rect parentFrame = frameOf(parent);
    const Node* grandparent = parent.parentUID ? graph.findNode(*parent.parentUID) : nullptr;
    const bool balanced = subtype == LayoutSubtype::balanced;

    bool above = false;
    if (grandparent) {
        above = parent.center.y < grandparent->center.y;
    } else if (balanced) {
        std::size_t aboveCount = 0;
        std::size_t belowCount = 0;
        for (std::int64_t uid : parent.childrenUIDs) {
            if (const Node* sibling = graph.findNode(uid))
                ++(isAbove(*sibling) ? aboveCount : belowCount);
        }
        above = aboveCount < belowCount;
    } else {
        above = parent.childrenUIDs.size() % 2 == 1;
    }
    const double y = above ? parentFrame.minY() - vd - child.size.height / 2
                           : parentFrame.maxY() + vd + child.size.height / 2;

    // The new child's siblings, those of its side only when balanced, left to right.
    std::vector<const Node*> siblings;
    if (const Node* holder = child.parentUID ? graph.findNode(*child.parentUID) : nullptr) {
        for (std::int64_t uid : holder->childrenUIDs) {
            const Node* sibling = graph.findNode(uid);
            if (!sibling || sibling->uid == child.uid)
                continue;
            if (balanced && isAbove(*sibling) != above)
                continue;
            siblings.push_back(sibling);
        }
    }
    std::stable_sort(siblings.begin(), siblings.end(),
                     [](const Node* a, const Node* b) { return a->center.x < b->center.x; });
    if (siblings.empty())
        return {parent.center.x, y};

    const bool beforeFirst = balanced ? siblings.size() % 2 == 0 : parent.childrenUIDs.size() % 3 == 0;
    if (beforeFirst)
        return {frameOf(*siblings.front()).minX() - 2 * hd - child.size.width / 2, y};
    return {frameOf(*siblings.back()).maxX() + 2 * hd + child.size.width / 2, y};
}

} // namespace velquine
