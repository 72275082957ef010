// Creating single nodes: a new root, a new child, a new parent above a node.

#include <algorithm>

#include "document/DocumentInsertion.h"
#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "layout/VQProjectEdits.h"

namespace velquine {

namespace {

// Both affinities of the node from its centre against the parent's: right and below on equal coordinates.
void setAffinities(Node& node, const Node& parent)
{
    node.horizontalAffinity =
        node.center.x >= parent.center.x ? HorizontalAffinity::right : HorizontalAffinity::left;
    node.verticalAffinity = node.center.y >= parent.center.y ? VerticalAffinity::below : VerticalAffinity::above;
}

// The options of the tree that holds the stored node, its root looked up in the insertion when it knows it.
LayoutOptions layoutOptionsOfTreeHolding(const VQProject& project, const NodeTreeInsertion& insertion,
                                         const Node& node)
{
    if (const std::int64_t* root = insertion.rootOf.find(node.uid)) {
        if (const Node* stored = project.graph.findNode(*root))
            return stored->layoutOptions.value_or(project.baseLayoutOptions);
    }
    return project.graph.rootAncestor(node).layoutOptions.value_or(project.baseLayoutOptions);
}

} // namespace

void VQDocument::postAddedNode(const Node& node)
{
    notifyEventListeners([added = std::vector<Node>{node}](VQDocumentEventListener& l) { l.documentDidAddNodes(added); });
}

Node VQDocument::createRootNode(const std::string& title, Point center, bool notify,
                                NodeTreeInsertion* insertion)
{
    noteChange("createRootNode(title:center:notify:)");
    const Node node = insertion ? insertRootNode(project_, title, center, insertion->freeCenters,
                                                 insertion->titlesAhead.get())
                                : insertRootNode(project_, title, center);
    if (insertion) {
        *insertion->rootOf.emplace(node.uid).first = node.uid;
        insertion->siblings.follow(node.uid);
    }
    if (notify)
        postAddedNode(node);
    return node;
}

std::optional<Node> VQDocument::createChildNode(const Node& parent, const std::string& title,
                                                std::optional<Point> center, bool autolayoutTree, bool notify)
{
    noteChange("createChildNode(parent:title:center:autolayoutTree:notify:)");
    // The parent is taken as stored: a value the caller kept from before a deletion or a later change must
    // neither come back nor overwrite what the graph holds now.
    const std::optional<Node> storedParent = project_.graph.node(parent.uid);
    if (!storedParent)
        return std::nullopt;

    Node node = insertChildNode(project_, *storedParent, title, center.value_or(Point{0.0, 0.0}));
    // The new node's tree is its parent's: its options are looked up once.
    const LayoutOptions options = DocumentLayout(*this).layoutOptionsOfTree(*storedParent);

    if (center) {
        const Node placedParent = project_.graph.node(parent.uid).value_or(*storedParent);
        node = project_.graph.node(node.uid).value_or(node);
        setAffinities(node, placedParent);
    } else {
        // The layouter's copy of the graph shares its nodes, so this costs nothing however many children the
        // parent already has.
        const auto layouter = ::velquine::makeLayouter(project_.graph, options, false);
        node.center = layouter->positionForNewNode(parent, node);
        setAffinities(node, parent);
    }
    project_.graph.storeNodes({node});
    node = project_.graph.node(node.uid).value_or(node);

    if (options.isManual || center)
        orderChildrenByPosition(parent.uid, options);

    if (autolayoutTree) {
        DocumentLayout(*this).autolayoutWholeNodeTree(node, false);
        node = project_.graph.node(node.uid).value_or(node);
    }
    if (notify)
        postAddedNode(node);
    return node;
}

std::optional<Node> VQDocument::createChildNode(std::int64_t parentUID, const std::string& title,
                                                NodeTreeInsertion* insertion)
{
    if (!insertion) {
        const std::optional<Node> parent = project_.graph.node(parentUID);
        return parent ? createChildNode(*parent, title, std::nullopt, false, false) : std::nullopt;
    }
    noteChange("createChildNode(parent:title:center:autolayoutTree:notify:)");
    const Node* parent = project_.graph.findNode(parentUID);
    if (!parent)
        return std::nullopt;

    // Made and placed before it joins the parent, which is read where it is stored and never copied: the
    // sibling index stands in for a children list that may be long.
    const Node made = project_.newChildNode(*parent, title, Point{0.0, 0.0});
    // Its palette position once listed: the number of its siblings with a smaller identifier.
    std::optional<std::size_t> rank = insertion->siblings.rankOfNewChild(parentUID, made.uid);
    if (!rank)
        rank = std::size_t(std::count_if(parent->childrenUIDs.begin(), parent->childrenUIDs.end(),
                                         [&made](std::int64_t uid) { return uid < made.uid; }));
    Node node = styledChildNode(project_, *parent, made, rank, insertion->titlesAhead.get());
    const LayoutOptions options = layoutOptionsOfTreeHolding(project_, *insertion, *parent);
    if (const std::int64_t* parentRoot = insertion->rootOf.find(parentUID))
        *insertion->rootOf.emplace(node.uid).first = *parentRoot;
    node.center = ::velquine::makeLayouter(project_.graph, options, false, &insertion->siblings)
                      ->positionForNewNode(*parent, node);
    setAffinities(node, *parent);
    const bool stored = project_.graph.storeAppendedChild(node);
    insertion->siblings.follow(node.uid);
    insertion->siblings.add(node);
    insertion->freeCenters.take(node.center);
    if (options.isManual)
        orderChildrenByPosition(parentUID, options);
    // As stored: ordering the children changes only the parent.
    if (!stored)
        return std::nullopt;
    return node;
}

void VQDocument::orderChildrenByPosition(std::int64_t parentUID, const LayoutOptions& options)
{
    std::optional<Node> ordered = project_.graph.node(parentUID);
    if (!ordered)
        return;
    std::vector<Node> siblings = project_.graph.nodes(ordered->childrenUIDs);
    const bool byX = options.layoutType == LayoutOptions::LayoutType::vertical;
    const bool descending = options.layoutDirection == LayoutOptions::LayoutDirection::descending;
    std::stable_sort(siblings.begin(), siblings.end(), [&](const Node& a, const Node& b) {
        const double ka = byX ? a.center.x : a.center.y;
        const double kb = byX ? b.center.x : b.center.y;
        return descending ? ka > kb : ka < kb;
    });
    ordered->childrenUIDs.clear();
    for (const Node& sibling : siblings)
        ordered->childrenUIDs.push_back(sibling.uid);
    project_.graph.storeNodes({*ordered});
}

std::optional<Node> VQDocument::createParentNode(const Node& node, const std::string& title)
{
    noteChange("createParentNode(for:title:)");
    const std::optional<Node> storedNode = project_.graph.node(node.uid);
    if (!storedNode)
        return std::nullopt;

    std::optional<Node> inserted;
    if (!storedNode->parentUID) {
        inserted = insertParentNode(project_, *storedNode, title, node.center, node.size);
    } else if (const auto parent = project_.graph.node(*storedNode->parentUID)) {
        const auto& siblings = parent->childrenUIDs;
        const auto at = std::find(siblings.begin(), siblings.end(), node.uid);
        const Node made = insertIntermediateParentNode(project_, *parent, *storedNode, title, node.center, node.size);
        // The new node takes the place the node had among its siblings.
        if (at != siblings.end()) {
            const auto index = static_cast<std::ptrdiff_t>(at - siblings.begin());
            if (auto updated = project_.graph.node(parent->uid)) {
                auto& children = updated->childrenUIDs;
                std::erase(children, made.uid);
                children.insert(children.begin() + std::min<std::ptrdiff_t>(index, std::ssize(children)), made.uid);
                project_.graph.storeNodes({*updated});
            }
        }
        inserted = project_.graph.node(made.uid);
    }
    if (!inserted)
        return std::nullopt;

    // Move the node with its subtree to where the base layout would put a child of the new node.
    const auto layouter = ::velquine::makeLayouter(project_.graph, project_.baseLayoutOptions, false);
    const Point target = layouter->positionForNewNode(*inserted, node);
    const double dx = target.x - node.center.x;
    const double dy = target.y - node.center.y;
    std::vector<Node> subtree = project_.graph.subtree(node);
    for (Node& n : subtree) {
        n.center.x += dx;
        n.center.y += dy;
    }
    updateNodes(subtree, NodeUpdateOperation::position, false);

    Node result = project_.graph.node(inserted->uid).value_or(*inserted);
    DocumentLayout(*this).autolayoutWholeNodeTree(result, false);
    result = project_.graph.node(result.uid).value_or(result);
    postAddedNode(result);
    return result;
}

} // namespace velquine
