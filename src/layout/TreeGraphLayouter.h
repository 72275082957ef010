#pragma once

// What the vertical and horizontal layouters share: the graph and distances they hold, the layout of a tree
// and its balancing (both handed to TreeLayout along their own axes), and the pieces every placement of a new
// node is built from. A subclass says which way its trees grow and how it marks a child's side.

#include <vector>

#include "layout/GraphLayouter.h"
#include "layout/SiblingIndex.h"
#include "layout/TreeLayout.h"

namespace velquine {

class TreeGraphLayouter : public GraphLayouter {
public:
    // With isManual, the subtree unchanged, depth first. Otherwise every node of the top node's subtree with
    // its new centre, depth first; balanced: the top node unchanged, then the children of the negative side
    // (above, respectively left) with their subtrees, then those of the other side.
    std::vector<Node> layoutNodeTree(const Node& top) const override;
    std::vector<NodePlacement> placeNodeTree(const Node& top) const override;
    // The node's children ordered negative side first, the first half (rounded up) put on that side and the
    // rest on the other, then the balanced layout: the node unchanged, then its descendants.
    std::vector<Node> balance(const Node& node) const override;
    BalancePlacement placeBalance(const Node& node) const override;

    Graph graph;
    double horizontalDistanceBetweenNodes;
    bool isManual;
    double verticalDistanceBetweenNodes;
    // When set, the children of the parents it follows are read from it instead of walking their lists.
    const SiblingIndex* siblingIndex = nullptr;

protected:
    TreeGraphLayouter(const Graph& graph, double horizontalDistanceBetweenNodes, bool isManual,
                      double verticalDistanceBetweenNodes, TreeLayout::Orientation orientation);

    // +1.0 when trees grow towards larger coordinates, -1.0 towards smaller ones, 0.0 when balanced.
    virtual double growth() const = 0;
    // Whether a child of a balanced top node stands on the negative side.
    virtual bool onNegativeSide(const Node& node) const = 0;
    // Puts a child on the negative side (true) or the other one (false).
    virtual void setSide(Node& node, bool negativeSide) const = 0;

    // The node's frame: its size centred on its centre.
    static Rect frameOf(const Node& node);
    // The stored parent of the node, or null.
    const Node* parentOf(const Node& node) const;
    // Whether fewer of the parent's stored children stand on the negative side than on the other one.
    bool fewerOnNegativeSide(const Node& parent) const;
    // The stored siblings of a new child (the child itself left out): how many there are, and the first and
    // the last of them along the sibling axis (x for vertical trees, y for horizontal ones), as a stable sort
    // of the children list would order them; with sameSideOnly, those on the given side only.
    struct Siblings {
        std::size_t count = 0;
        const Node* front = nullptr;
        const Node* back = nullptr;
    };
    Siblings siblingsOf(const Node& child, bool sameSideOnly, bool negativeSide) const;

private:
    TreeLayout layout() const;
    // The index's ends of the parent's children, of one side when sameSideOnly; null when it does not follow
    // the parent.
    const SiblingIndex::Ends* indexedEnds(std::int64_t parentUID, bool sameSideOnly, bool negativeSide) const;

    TreeLayout::Orientation orientation_;
};

} // namespace velquine
