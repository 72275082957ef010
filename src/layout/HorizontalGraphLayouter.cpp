#include "layout/HorizontalGraphLayouter.h"

#include <utility>

namespace velquine {

HorizontalGraphLayouter::HorizontalGraphLayouter(const Graph& graph, double horizontalDistanceBetweenNodes,
                                                 LayoutSubtype subtype, bool isManual,
                                                 double verticalDistanceBetweenNodes)
    : TreeGraphLayouter(graph, horizontalDistanceBetweenNodes, isManual, verticalDistanceBetweenNodes,
                        TreeLayout::Orientation::horizontal),
      subtype(subtype)
{
}

double HorizontalGraphLayouter::growth() const
{
    switch (subtype) {
    case LayoutSubtype::balanced:
        return 0.0;
    case LayoutSubtype::rightToLeft:
        return -1.0;
    case LayoutSubtype::leftToRight:
        break;
    }
    return 1.0;
}

bool HorizontalGraphLayouter::onNegativeSide(const Node& node) const
{
    return node.horizontalAffinity == HorizontalAffinity::left;
}

void HorizontalGraphLayouter::setSide(Node& node, bool negativeSide) const
{
    node.horizontalAffinity = negativeSide ? HorizontalAffinity::left : HorizontalAffinity::right;
}

Point HorizontalGraphLayouter::positionForNewNode(const Node& parent, const Node& child) const
{
    const double hd = horizontalDistanceBetweenNodes;
    const double vd = verticalDistanceBetweenNodes;
    const Rect parentFrame = frameOf(parent);
    const Node* grandparent = parentOf(parent);
    const bool balanced = subtype == LayoutSubtype::balanced;

    bool left = false;
    if (grandparent)
        left = parent.center.x < grandparent->center.x;
    else if (balanced)
        left = fewerOnNegativeSide(parent);
    else
        left = subtype == LayoutSubtype::rightToLeft;
    const double x = left ? parentFrame.minX() - hd - child.size.width / 2
                          : parentFrame.maxX() + hd + child.size.width / 2;

    // The new child's siblings, those of its side only when balanced, top to bottom.
    const Siblings siblings = siblingsOf(child, balanced, left);
    if (siblings.count == 0)
        return {x, parent.center.y};

    const bool belowLast = balanced ? siblings.count % 2 == 1 : parent.childrenUIDs.size() % 2 == 1;
    if (belowLast)
        return {x, frameOf(*siblings.back).maxY() + 2 * vd + child.size.height / 2};
    return {x, frameOf(*siblings.front).minY() - 2 * vd - child.size.height / 2};
}

} // namespace velquine
