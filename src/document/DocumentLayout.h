#pragma once

// The layout commands of one document: re-laying out trees, balancing, sorting children and parting
// overlapping nodes. Every command writes positions with the position code and no event, and belongs inside
// the caller's editing session, whose commit tells the listeners.

#include <cstdint>
#include <memory>
#include <vector>

#include "layout/GraphLayouter.h"
#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"

namespace velquine {

class VQDocument;

// The order sortChildren(of:sortOrder:) puts children in.
enum class ChildSortOrder : std::uint8_t { title = 0, creationTime = 1 };

class DocumentLayout {
public:
    // Works on the document at each call; the document must outlive this object.
    explicit DocumentLayout(VQDocument& document) : document_(document) {}

    // The layouter for the options over a copy of the current graph; arranged by hand only when the
    // options say so and forceLayout is false.
    std::unique_ptr<GraphLayouter> makeLayouter(const LayoutOptions& options, bool forceLayout) const;
    // The root ancestor's own layout options, else the project's base options.
    LayoutOptions layoutOptionsOfTree(const Node& node) const;
    void autolayoutWholeNodeTree(const Node& node, bool forceLayout);
    void autoLayoutWholeNodeTrees(const std::vector<Node>& nodes, bool forceLayout);
    void autolayoutSelectedNodes(bool forceLayout);
    void autoLayoutGraph(bool forceLayout);
    void autolayoutPartialNodeTreeStartingAt(const Node& node, bool forceLayout);
    void balanceAllNodes();
    void balanceSelectedNode();
    void sortChildren(const std::vector<Node>& nodes, ChildSortOrder sortOrder);
    // Moves overlapping nodes apart when the user default "isCollisionDetectionEnabled" is on (read each
    // call).
    void resolveCollisions();

private:
    // Stores the balancing of the root's tree by the options: the root as passed in, its children with their
    // new sides, and the new centres of the rest.
    void balanceTree(const Node& root, const LayoutOptions& options);

    VQDocument& document_;
};

} // namespace velquine
