#pragma once

// The layouter protocol and the choice of layouter for a tree's layout options.

#include <memory>
#include <vector>

#include "model/graph/Graph.h"
#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "platform/Geometry.h"

namespace velquine {

class SiblingIndex;

// A balancing as the document stores it: the top node's children with their new sides and centres, and the
// centres of every node of the balanced tree in the order balance() hands them back, the top node first.
struct BalancePlacement {
    std::vector<Node> children;
    std::vector<NodePlacement> placements;
};

// Lays out trees of a graph it holds a copy of; the copy shares the graph's nodes, so making a layouter costs the
// same for any size of map. A layouter is made for one call and dropped; none of its operations changes it or
// throws.
class GraphLayouter {
public:
    virtual ~GraphLayouter() = default;

    // The nodes of the tree under the top node with their new centres.
    virtual std::vector<Node> layoutNodeTree(const Node& top) const = 0;
    // The same layout as new centres only, in the same order.
    virtual std::vector<NodePlacement> placeNodeTree(const Node& top) const;
    // The node unchanged, followed by its descendants with new centres, its children spread over both sides
    // (and carrying their new side).
    virtual std::vector<Node> balance(const Node& node) const = 0;
    // The same balancing with only the children copied.
    virtual BalancePlacement placeBalance(const Node& node) const;
    // The centre for a new child of the parent.
    virtual Point positionForNewNode(const Node& parent, const Node& child) const = 0;
};

// A layouter over the graph for the options: vertical trees get a VerticalGraphLayouter with 10.0 points across
// and 100.0 between generations, horizontal ones a HorizontalGraphLayouter with 60.0 between generations and
// 10.0 across. The direction ascending grows down or right, descending up or left, balanced both ways. The
// tree stays where it is only when the options say it is arranged by hand and forceLayout is false. A sibling
// index, when given, stands in for the children lists of the parents it follows when placing new children.
std::unique_ptr<GraphLayouter> makeLayouter(const Graph& graph, const LayoutOptions& options, bool forceLayout,
                                            const SiblingIndex* siblingIndex = nullptr);

// The part of the graph that placing a new child reads: the parent's parent, the child's stored parent, and the
// children of both. A layouter over it gives positionForNewNode the same answer as one over the whole graph,
// without copying a large map once for every node added to it.
Graph placementNeighbourhood(const Graph& graph, const Node& parent, const Node& child);

} // namespace velquine
