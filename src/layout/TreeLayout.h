#pragma once

// The work the vertical and horizontal tree layouters share, written once over two axes: the generation axis,
// along which each generation stands one gap beyond its parent's edge (y for vertical trees, x for horizontal
// ones), and the sibling axis, along which siblings and their subtrees stand side by side (x, respectively y).
//
// Every walk visits each identifier once, so damaged or circular links in a stored tree cannot make it loop;
// the nodes are kept in arrays indexed in discovery order, so a layout takes time in proportion to the tree.

#include <cstdint>
#include <functional>
#include <vector>

#include "model/graph/Graph.h"
#include "model/graph/Node.h"

namespace velquine {

class UidIndex;

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

    // The node's children reordered negative side first, the first half (rounded up) put on the negative side
    // and the rest on the positive side, then the balanced layout over the changed children.
    std::vector<Node> balance(const Node& node, const Graph& graph, const SidePredicate& onNegativeSide,
                              const SideSetter& setSide) const;

    // The smallest whole number d >= 0 such that moving a down by d leaves it clear of b (open rule: touching
    // edges do not count). 0 when no such distance up to 2^53 exists, as for coordinates so large that one
    // point makes no difference.
    static double separation(const Rect& a, const Rect& b);

private:
    // Where the nodes are read from (see the source file).
    class Source;
    // A node of a layout and its new centre; stamped when a negative creation time becomes the current one
    // once the node is copied out.
    struct Placed {
        const Node* node;
        Point center;
        bool stamped;
    };
    static std::vector<Node> copiedOut(const std::vector<Placed>& placed);
    static std::vector<NodePlacement> centresOf(const std::vector<Placed>& placed);

    // Appends to out the nodes of the tree under top, laid out, depth first (the top node itself only withTop);
    // topValue stands in for the stored top node. The walk enters no identifier of skip (when given) and adds
    // every identifier it takes to record (when given). Room for as many entries as the source's graph holds
    // (up to a few thousand) is made before the walk; out grows once, by the number of nodes found.
    void layOutTree(const Node& topValue, const Source& source, double sign, const UidIndex* skip, UidIndex* record,
                    std::vector<Placed>& out, bool withTop) const;
    std::vector<Placed> layOutPlaced(const Node& top, const Graph& graph, double sign) const;
    std::vector<Placed> balancedLayout(const Node& top, const Source& source,
                                       const SidePredicate& onNegativeSide) const;

    Orientation orientation_;
    double hd_;
    double vd_;
};

} // namespace velquine
