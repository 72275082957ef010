#include "layout/VerticalGraphLayouter.h"

#include <utility>

namespace velquine {

VerticalGraphLayouter::VerticalGraphLayouter(const Graph& graph, double horizontalDistanceBetweenNodes,
                                             LayoutSubtype subtype, bool isManual,
                                             double verticalDistanceBetweenNodes)
    : TreeGraphLayouter(graph, horizontalDistanceBetweenNodes, isManual, verticalDistanceBetweenNodes,
                        TreeLayout::Orientation::vertical),
      subtype(subtype)
{
}

double VerticalGraphLayouter::growth() const
{
    switch (subtype) {
    case LayoutSubtype::balanced:
        return 0.0;
    case LayoutSubtype::bottomUp:
        return -1.0;
    case LayoutSubtype::topDown:
        break;
    }
    return 1.0;
}

bool VerticalGraphLayouter::onNegativeSide(const Node& node) const
{
    return node.verticalAffinity == VerticalAffinity::above;
}

void VerticalGraphLayouter::setSide(Node& node, bool negativeSide) const
{
    node.verticalAffinity = negativeSide ? VerticalAffinity::above : VerticalAffinity::below;
}

Point VerticalGraphLayouter::positionForNewNode(const Node& parent, const Node& child) const
{
    const double hd = horizontalDistanceBetweenNodes;
    const double vd = verticalDistanceBetweenNodes;
    const Rect parentFrame = frameOf(parent);
    const Node* grandparent = parentOf(parent);
    const bool balanced = subtype == LayoutSubtype::balanced;

    bool above = false;
    if (grandparent)
        above = parent.center.y < grandparent->center.y;
    else if (balanced)
        above = fewerOnNegativeSide(parent);
    else
        above = parent.childrenUIDs.size() % 2 == 1;
    const double y = above ? parentFrame.minY() - vd - child.size.height / 2
                           : parentFrame.maxY() + vd + child.size.height / 2;

    // The new child's siblings, those of its side only when balanced, left to right.
    const Siblings siblings = siblingsOf(child, balanced, above);
    if (siblings.count == 0)
        return {parent.center.x, y};

    const bool beforeFirst = balanced ? siblings.count % 2 == 0 : parent.childrenUIDs.size() % 3 == 0;
    if (beforeFirst)
        return {frameOf(*siblings.front).minX() - 2 * hd - child.size.width / 2, y};
    return {frameOf(*siblings.back).maxX() + 2 * hd + child.size.width / 2, y};
}

} // namespace velquine
