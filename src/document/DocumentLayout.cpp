// The document's layout commands: re-laying out trees, balancing, sorting children and parting overlapping
// nodes.

#include <QString>
#include <algorithm>
#include <unordered_set>

#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "layout/GraphCollisionResolver.h"
#include "platform/LongWork.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

// A title as compared when sorting: lower case, canonically composed, as UTF-8 (whose byte order is the
// order of the code points).
std::string sortKey(const std::string& title)
{
    return QString::fromStdString(title).toLower().normalized(QString::NormalizationForm_C).toStdString();
}

// The roots of the graph's trees, in the graph's order.
std::vector<Node> rootsOf(const Graph& graph)
{
    std::vector<Node> roots;
    for (const Node& node : graph.storedNodes())
        if (graph.nodeType(node) == NodeType::root)
            roots.push_back(node);
    return roots;
}

} // namespace

std::unique_ptr<GraphLayouter> DocumentLayout::makeLayouter(const LayoutOptions& options, bool forceLayout) const
{
    return ::velquine::makeLayouter(document_.project().graph, options, forceLayout);
}

LayoutOptions DocumentLayout::layoutOptionsOfTree(const Node& node) const
{
    const VQProject& project = document_.project();
    const Node root = project.graph.rootAncestor(node);
    return root.layoutOptions.value_or(project.baseLayoutOptions);
}

void DocumentLayout::autolayoutWholeNodeTree(const Node& node, bool forceLayout)
{
    document_.noteChange("autolayoutWholeNodeTree(_:forceLayout:)");
    const VQProject& project = document_.project();
    // A node gone from the graph has no tree to lay out; writing the layout back would bring it back.
    if (!project.graph.contains(node.uid))
        return;
    const Node root = project.graph.rootAncestor(node);
    const auto layouter = makeLayouter(root.layoutOptions.value_or(project.baseLayoutOptions), forceLayout);
    // Only centres change: no node is copied but those that move.
    document_.placeNodes(layouter->placeNodeTree(root));
}

void DocumentLayout::autoLayoutWholeNodeTrees(const std::vector<Node>& nodes, bool forceLayout)
{
    document_.noteChange("autoLayoutWholeNodeTrees(_:forceLayout:)");
    const VQProject& project = document_.project();
    std::vector<Node> roots;
    roots.reserve(nodes.size());
    for (const Node& node : nodes)
        roots.push_back(project.graph.rootAncestor(node));
    for (const Node& root : uniquedByUID(roots))
        autolayoutWholeNodeTree(root, forceLayout);
}

void DocumentLayout::autolayoutSelectedNodes(bool forceLayout)
{
    document_.noteChange("autolayoutSelectedNodes(forceLayout:)");
    const VQProject& project = document_.project();
    autoLayoutWholeNodeTrees(project.graph.nodes(project.selectedNodeUIDs), forceLayout);
}

void DocumentLayout::autoLayoutGraph(bool forceLayout)
{
    document_.noteChange("autoLayoutGraph(forceLayout:)");
    autoLayoutWholeNodeTrees(rootsOf(document_.project().graph), forceLayout);
}

void DocumentLayout::autolayoutPartialNodeTreeStartingAt(const Node& node, bool forceLayout)
{
    document_.noteChange("autolayoutPartialNodeTreeStartingAt(_:forceLayout:)");
    const VQProject& project = document_.project();
    if (!project.graph.contains(node.uid))
        return;
    if (!node.parentUID) {
        autolayoutWholeNodeTree(node, forceLayout);
        return;
    }
    LayoutOptions options = layoutOptionsOfTree(node);
    if (const auto parent = project.graph.parent(node)) {
        const bool vertical = options.layoutType == LayoutOptions::LayoutType::vertical;
        const double own = vertical ? node.center.y : node.center.x;
        const double theirs = vertical ? parent->center.y : parent->center.x;
        options.layoutDirection =
            own < theirs ? LayoutOptions::LayoutDirection::descending : LayoutOptions::LayoutDirection::ascending;
    }
    const auto layouter = makeLayouter(options, forceLayout);
    // The tree is laid out where the layouter puts it, then moved back so that the node stays where it was.
    std::vector<NodePlacement> placements = layouter->placeNodeTree(node);
    const auto moved = std::find_if(placements.begin(), placements.end(),
                                    [&](const NodePlacement& p) { return p.uid == node.uid; });
    if (moved != placements.end()) {
        const double dx = moved->center.x - node.center.x;
        const double dy = moved->center.y - node.center.y;
        if (dx != 0.0 || dy != 0.0) {
            for (NodePlacement& p : placements) {
                p.center.x -= dx;
                p.center.y -= dy;
            }
        }
    }
    document_.placeNodes(placements);
}

void DocumentLayout::balanceTree(const Node& root, const LayoutOptions& options)
{
    // Only the children change more than their centres: every other node is moved, not copied.
    BalancePlacement balanced = makeLayouter(options, false)->placeBalance(root);
    balanced.children.insert(balanced.children.begin(), root);
    document_.updateNodes(std::move(balanced.children), NodeUpdateOperation::position, false);
    document_.placeNodes(balanced.placements);
}

void DocumentLayout::balanceAllNodes()
{
    document_.noteChange("balanceAllNodes()");
    const VQProject& project = document_.project();
    const std::vector<Node> roots = rootsOf(project.graph);
    for (const Node& root : roots) {
        if (root.layoutOptions)
            continue;
        balanceTree(root, project.baseLayoutOptions);
    }
}

void DocumentLayout::balanceSelectedNode()
{
    document_.noteChange("balanceSelectedNode()");
    const VQProject& project = document_.project();
    // A tree balanced once stays as it is when balanced again: its children keep the sides the first split
    // gave them and the layout follows from the sides. Each tree is balanced once, however many of its nodes
    // are selected; balancing it once per selected node made Select All and Balance take minutes on a big map.
    std::unordered_set<std::int64_t> balanced;
    for (const Node& selected : project.graph.nodes(project.selectedNodeUIDs)) {
        const Node root = project.graph.rootAncestor(selected);
        const LayoutOptions options = root.layoutOptions.value_or(project.baseLayoutOptions);
        if (!options.isManual && options.layoutDirection != LayoutOptions::LayoutDirection::balanced)
            continue;
        if (balanced.insert(root.uid).second)
            balanceTree(root, options);
    }
}

void DocumentLayout::sortChildren(const std::vector<Node>& nodes, ChildSortOrder sortOrder)
{
    document_.noteChange("sortChildren(of:sortOrder:)");
    const VQProject& project = document_.project();
    for (const Node& given : nodes) {
        std::vector<Node> children = project.graph.nodes(given.childrenUIDs);
        if (sortOrder == ChildSortOrder::creationTime) {
            std::stable_sort(children.begin(), children.end(), [](const Node& a, const Node& b) {
                return a.createdTimestamp < b.createdTimestamp;
            });
        } else {
            std::vector<std::pair<std::string, Node>> keyed;
            keyed.reserve(children.size());
            for (Node& child : children)
                keyed.emplace_back(sortKey(child.title), std::move(child));
            std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
                if (a.first != b.first)
                    return a.first < b.first;
                return a.second.createdTimestamp < b.second.createdTimestamp;
            });
            children.clear();
            for (auto& [key, child] : keyed)
                children.push_back(std::move(child));
        }
        // A node no longer in the graph has nothing to sort.
        std::optional<Node> current = project.graph.node(given.uid);
        if (!current)
            continue;
        current->childrenUIDs.clear();
        for (const Node& child : children)
            current->childrenUIDs.push_back(child.uid);
        document_.updateNodes({*current}, NodeUpdateOperation::position, false);
    }
}

void DocumentLayout::resolveCollisions()
{
    document_.noteChange("resolveCollisions()");
    if (!UserDefaults::standard().boolForKey("isCollisionDetectionEnabled"))
        return;
    // Every node is stored back as the resolver hands it out; only those that change in storing are written
    // here: the ones the resolver moved, and any never given a creation time, which storing stamps. Without
    // an overlap the resolver moves none, and the nodes are read where they are stored.
    const Graph& graph = document_.project().graph;
    std::vector<Node> changed;
    if (!GraphCollisionResolver::hasOverlap(graph)) {
        for (const Node& node : graph.storedNodes())
            if (node.createdTimestamp < 0)
                changed.push_back(node);
    } else {
        // Thousands of overlapping nodes (a big tree pasted onto the map) take seconds to part: that runs on a
        // worker while the window repaints and shows that it works, the user's input held back meanwhile.
        const auto onWorker = [](const std::function<void()>& simulate) {
            LongWork::wait("Moving overlapping nodes apart\u2026", simulate);
        };
        for (Node& node : GraphCollisionResolver().resolve(graph.allNodes(), onWorker)) {
            const Node* stored = graph.findNode(node.uid);
            if (!stored || node.createdTimestamp < 0 || !(node.center == stored->center))
                changed.push_back(std::move(node));
        }
    }
    document_.updateNodes(std::move(changed), NodeUpdateOperation::position, false);
}

} // namespace velquine
