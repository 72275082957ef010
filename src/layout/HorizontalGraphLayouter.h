#pragma once

// The layouter for horizontal trees: each generation a column to the right (or left) of its parent, siblings
// stacked along y in the order of their parent's children list.
//
// Each generation stands horizontalDistanceBetweenNodes beyond its parent's edge; neighbouring subtrees keep
// 2 * verticalDistanceBetweenNodes between their frames; a parent is centred on the span of its children's
// subtrees. Two steps follow that placement: underlined nodes with a visible border (other than the top node of
// a whole tree) are lifted by half their height, so that their line runs where their centre was; then, from the
// bottom up, each later sibling's subtree moves down by whole points until its nodes clear those of the previous
// sibling's subtree lowered by verticalDistanceBetweenNodes. The layouter computes centres only and never
// changes its graph.

#include <cstdint>

#include "layout/TreeGraphLayouter.h"

namespace velquine {

class HorizontalGraphLayouter final : public TreeGraphLayouter {
public:
    // The direction of growth: children right of their parent, left of it, or the top node's children split
    // over both sides.
    enum class LayoutSubtype : std::uint8_t { leftToRight, rightToLeft, balanced };

    HorizontalGraphLayouter(const Graph& graph, double horizontalDistanceBetweenNodes, LayoutSubtype subtype,
                            bool isManual, double verticalDistanceBetweenNodes);

    // layoutNodeTree: balanced, the children on the left come before those on the right. A top node without a
    // parent keeps its centre; one with a parent gets y 0 and keeps its x, and the caller moves the result back.
    // balance: the children on the left first, the first half (rounded up) put on the left.

    // The centre for a new child N of P, beside P on the side where P lies against its own parent; a root
    // parent sends N left in rightToLeft trees, right in leftToRight trees, and to the side with fewer children
    // in balanced ones (a tie goes right). N goes below the lowest sibling (of its side, when balanced) when P's
    // children list, respectively the number of those siblings, is odd, else above the highest.
    Point positionForNewNode(const Node& parent, const Node& child) const override;

    LayoutSubtype subtype;

private:
    double growth() const override;
    bool onNegativeSide(const Node& node) const override;
    void setSide(Node& node, bool negativeSide) const override;
};

} // namespace velquine
