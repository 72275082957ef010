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

#include "layout/GraphLayouter.h"

namespace velquine {

class HorizontalGraphLayouter final : public GraphLayouter {
public:
    // The direction of growth: children right of their parent, left of it, or the top node's children split
    // over both sides.
    enum class LayoutSubtype : std::uint8_t { leftToRight, rightToLeft, balanced };

    HorizontalGraphLayouter(Graph graph, double horizontalDistanceBetweenNodes, LayoutSubtype subtype,
                            bool isManual, double verticalDistanceBetweenNodes);

    // Every node of the top node's subtree with its new centre, depth first; balanced: the top node
    // unchanged, then the children on the left with their subtrees, then those on the right. With isManual, the
    // subtree unchanged, depth first. A top node without a parent keeps its centre; one with a parent gets y 0
    // and keeps its x, and the caller moves the result back.
    std::vector<Node> layoutNodeTree(const Node& top) const override;
    // The node's children ordered left first, the first half (rounded up) put on the left and the rest on the
    // right, then the balanced layout: the node unchanged, then its descendants.
    std::vector<Node> balance(const Node& node) const override;
    // The centre for a new child N of P, beside P on the side where P lies against its own parent; a root
    // parent sends N left in rightToLeft trees, right in leftToRight trees, and to the side with fewer children
    // in balanced ones (a tie goes right). N goes below the lowest sibling (of its side, when balanced) when P's
    // children list, respectively the number of those siblings, is odd, else above the highest.
    Point positionForNewNode(const Node& parent, const Node& child) const override;

    Graph graph;
    double horizontalDistanceBetweenNodes;
    LayoutSubtype subtype;
    bool isManual;
    double verticalDistanceBetweenNodes;
};

} // namespace velquine
