#pragma once

// The work the vertical and horizontal tree layouters share, written once over two axes: the generation axis,
// along which each generation stands one gap beyond its parent's edge (y for vertical trees, x for horizontal
// ones), and the sibling axis, along which siblings and their subtrees stand side by side (x, respectively y).
//
// Every walk visits each identifier once, so damaged or circular links in a stored tree cannot make it loop;
// the nodes are kept in arrays indexed in discovery order, so a layout takes time in proportion to the tree.

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "base/UidMap.h"
#include "layout/GraphLayouter.h"
#include "model/graph/Graph.h"
#include "model/graph/Node.h"

namespace velquine {

// A node's place in the entries of a layout walk; none by default. Kept one up, so that none is zero and a
// fresh table of them is cleared memory.
class EntryIndex {
public:
    EntryIndex() = default;
    EntryIndex(std::size_t index) : oneUp_(static_cast<std::uint32_t>(index + 1)) { }
    std::size_t at() const { return oneUp_ - 1; }
    friend bool operator==(EntryIndex, EntryIndex) = default;

private:
    std::uint32_t oneUp_ = 0;
};
// The entries of a walk by node identifier (below 2^32 - 1 of them).
using UidIndex = UidMap<EntryIndex>;

class TreeLayout {
public:
    enum class Orientation { vertical, horizontal };
    // Whether a child of a balanced top node belongs to the group that grows in the negative direction (above,
    // respectively left).
    using SidePredicate = std::function<bool(const Node&)>;
    // Puts a child on the negative side (true) or the positive side (false).
    using SideSetter = std::function<void(Node&, bool negativeSide)>;

    TreeLayout(Orientation orientation, double horizontalDistanceBetweenNodes, double verticalDistanceBetweenNodes);

    // The tree under the node stored under top's uid, each generation one gap further in the direction of sign
    // (+1: larger coordinates, -1: smaller). Returns every node of that tree with its new centre, depth first
    // from the top node; empty when top is not stored.
    std::vector<Node> layOut(const Node& top, const Graph& graph, double sign) const;

    // The top node's children split by side, each side laid out by itself and centred on the top node: the top
    // node unchanged, then the nodes of the negative side, then those of the positive side (the top node left
    // out of both).
    std::vector<Node> balancedLayout(const Node& top, const Graph& graph, const SidePredicate& onNegativeSide) const;

    // The same two layouts as new centres only, in the same order, without copying a node.
    std::vector<NodePlacement> placements(const Node& top, const Graph& graph, double sign) const;
    std::vector<NodePlacement> balancedPlacements(const Node& top, const Graph& graph,
                                                  const SidePredicate& onNegativeSide) const;
    // The centres of Graph::subtree(top) as they stand, in its order, without copying a node.
    static std::vector<NodePlacement> standingPlacements(const Node& top, const Graph& graph);

    // The node's children reordered negative side first, the first half (rounded up) put on the negative side
    // and the rest on the positive side, then the balanced layout over the changed children.
    std::vector<Node> balance(const Node& node, const Graph& graph, const SidePredicate& onNegativeSide,
                              const SideSetter& setSide) const;
    // The same balancing as the changed children (with their new centres) and the centres of every node.
    BalancePlacement balancePlacements(const Node& node, const Graph& graph, const SidePredicate& onNegativeSide,
                                       const SideSetter& setSide) const;

    // The smallest whole number d >= 0 such that moving a down by d leaves it clear of b (open rule: touching
    // edges do not count). 0 when no such distance up to 2^53 exists, as for coordinates so large that one
    // point makes no difference.
    static double separation(const Rect& a, const Rect& b);

private:
    // Where the nodes are read from (see the source file).
    class Source;
    // The nodes of a layout with their new centres, in order; the nodes themselves only when they are to be
    // copied out, the top node of a balanced layout first, given back as it was passed in (topUnstamped).
    struct Placed {
        std::vector<NodePlacement> centres;
        std::vector<const Node*> nodes;
        bool keepNodes = false;
        bool topUnstamped = false;
    };
    static std::vector<Node> copiedOut(const Placed& placed);

    // Appends to out the nodes of the tree under top, laid out, depth first (the top node itself only withTop);
    // topValue stands in for the stored top node. The walk enters no identifier of skip (when given) and adds
    // every identifier it takes to record (when given).
    void layOutTree(const Node& topValue, const Source& source, double sign, const UidIndex* skip, UidIndex* record,
                    Placed& out, bool withTop) const;
    Placed layOutPlaced(const Node& top, const Graph& graph, double sign, bool keepNodes) const;
    Placed balancedLayout(const Node& top, const Source& source, const SidePredicate& onNegativeSide,
                          bool keepNodes) const;
    // Nodes standing in for the stored ones under their identifiers.
    using StandIns = std::unordered_map<std::int64_t, Node>;
    // The balanced layout over the node's children with their new sides, which it puts into changed (the
    // layout's nodes may point there).
    Placed balanced(const Node& node, const Graph& graph, const SidePredicate& onNegativeSide,
                    const SideSetter& setSide, bool keepNodes, StandIns& changed) const;

    Orientation orientation_;
    double hd_;
    double vd_;
};

} // namespace velquine
