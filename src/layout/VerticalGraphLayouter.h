#pragma once

// The layouter for vertical trees: the top node at one end, each generation a row further down (or up), siblings
// side by side along x in the order of their parent's children list.
//
// Each generation stands verticalDistanceBetweenNodes beyond its parent's edge; neighbouring subtrees keep
// 2 * horizontalDistanceBetweenNodes between their frames; a parent is centred on the span of its children's
// subtrees. The layouter computes centres only and never changes its graph; sizes, links, titles and styles come
// back as they are (a negative creation time comes back as the current time, as from any graph update).

#include <cstdint>

#include "layout/TreeGraphLayouter.h"

namespace velquine {

class VerticalGraphLayouter final : public TreeGraphLayouter {
public:
    // The direction of growth: children below their parent, above it, or the top node's children split over
    // both sides.
    enum class LayoutSubtype : std::uint8_t { topDown, bottomUp, balanced };

    VerticalGraphLayouter(const Graph& graph, double horizontalDistanceBetweenNodes, LayoutSubtype subtype, bool isManual,
                          double verticalDistanceBetweenNodes);

    // layoutNodeTree: balanced, the children above come before those below. A top node without a parent keeps
    // its centre; one with a parent gets x 0 and keeps its y, and the caller moves the result back.
    // balance: the children above first, the first half (rounded up) put above.

    // The centre for a new child N of P. Balanced: a root parent sends N to the side with fewer children (a tie
    // goes below), and N goes after the last sibling of that side when their number is odd, before the first
    // when it is even. Otherwise: a root parent sends N above when its children list has an odd length, and N
    // goes left of the leftmost sibling when that length is a multiple of 3, else right of the rightmost. A
    // parent with a parent of its own sends N to the side on which it lies against its own parent.
    Point positionForNewNode(const Node& parent, const Node& child) const override;

    LayoutSubtype subtype;

private:
    double growth() const override;
    bool onNegativeSide(const Node& node) const override;
    void setSide(Node& node, bool negativeSide) const override;
};

} // namespace velquine
