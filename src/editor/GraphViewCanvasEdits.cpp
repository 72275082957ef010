// What the canvas hands over from direct manipulation, each as one undoable edit.

#include <optional>

#include "base/FlatHashMap.h"
#include "document/DocumentLayout.h"
#include "editor/GraphViewController.h"
#include "layout/NodeSizing.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"

namespace velquine {

namespace {

bool keepsOwnPosition(const LayoutOptions& options)
{
    return options.isManual || options.layoutDirection == LayoutOptions::LayoutDirection::balanced;
}

} // namespace

// A moved node keeps its new place when its whole tree moved or its tree is arranged by hand or balanced;
// otherwise the layout that follows places it.
void GraphViewController::moveNodes(std::vector<Node> nodes)
{
    auto document = document_.lock();
    if (!document || nodes.empty())
        return;
    const Graph& graph = document->project().graph;
    const DocumentLayout layout(*document);
    FlatHashSet<std::int64_t> moved(nodes.size());
    for (const Node& node : nodes)
        moved.insert(node.uid);
    // Whether each tree climbed to keeps its nodes where they were put, by the identifier of the node
    // climbed from and of every node passed on the way: a moved subtree is climbed once.
    FlatHashMap<std::int64_t, bool> keeps(nodes.size());
    std::vector<std::int64_t> path;
    const auto keptInTree = [&](const Node& node) {
        path.clear();
        const Node* reached = &node;
        std::optional<bool> known;
        for (std::optional<std::int64_t> next = node.parentUID; next; next = reached->parentUID) {
            if (const bool* keep = keeps.find(reached->uid)) {
                known = *keep;
                break;
            }
            const Node* parent = graph.findNode(*next);
            if (!parent || path.size() > graph.count())
                break;
            path.push_back(reached->uid);
            reached = parent;
        }
        if (!known) {
            const bool* keep = keeps.find(reached->uid);
            known = keep ? *keep
                         : moved.contains(reached->uid) || keepsOwnPosition(layout.layoutOptionsOfTree(*reached));
            keeps.emplace(reached->uid, *known);
        }
        for (std::int64_t uid : path)
            keeps.emplace(uid, *known);
        return *known;
    };
    // The nodes that keep their places stay in the list, in its order, each once.
    std::size_t kept = 0;
    FlatHashSet<std::int64_t> seen(nodes.size());
    for (Node& node : nodes) {
        const Node* stored = graph.findNode(node.uid);
        if (!stored || !seen.insert(node.uid) || !keptInTree(*stored))
            continue;
        if (&nodes[kept] != &node)
            nodes[kept] = std::move(node);
        ++kept;
    }
    nodes.erase(nodes.begin() + static_cast<std::ptrdiff_t>(kept), nodes.end());
    openSession(*document, "Move Nodes");
    document->updateNodes(std::move(nodes), NodeUpdateOperation::position, false);
    DocumentLayout(*document).autoLayoutGraph(false);
    DocumentLayout(*document).resolveCollisions();
    commitSession(*document);
}

void GraphViewController::moveDraggedNodes(const Node& parent, const std::vector<Node>& draggedNodes,
                                           const std::vector<std::int64_t>& newChildrenOrder)
{
    auto document = document_.lock();
    if (!document)
        return;
    auto stored = document->project().graph.node(parent.uid);
    if (!stored)
        return;
    openSession(*document, "Move Nodes");
    stored->childrenUIDs = newChildrenOrder;
    std::vector<Node> changed{*stored};
    for (const Node& dragged : draggedNodes) {
        auto node = document->project().graph.node(dragged.uid);
        if (!node)
            continue;
        node->center = dragged.center;
        node->horizontalAffinity = dragged.horizontalAffinity;
        node->verticalAffinity = dragged.verticalAffinity;
        changed.push_back(std::move(*node));
    }
    document->updateNodes(std::move(changed), NodeUpdateOperation::position, false);
    DocumentLayout(*document).autolayoutWholeNodeTree(*document->project().graph.node(parent.uid), false);
    DocumentLayout(*document).resolveCollisions();
    commitSession(*document);
}

void GraphViewController::resizeNode(const Node& node)
{
    auto document = document_.lock();
    if (!document)
        return;
    openSession(*document, "Resize Node");
    Node resized = node;
    resized.autoSize = false;
    auto stored = document->updateNodes({resized}, NodeUpdateOperation::size, false);
    if (!stored.empty())
        DocumentLayout(*document).autolayoutWholeNodeTree(stored.front(), false);
    DocumentLayout(*document).resolveCollisions();
    commitSession(*document);
}

void GraphViewController::graphViewWantsToAttachNode(const Node& node, const Node& attachTo,
                                                     const std::vector<Node>& draggedNodes)
{
    auto document = document_.lock();
    if (!document)
        return;
    CommandSession session = openSession(*document, "Attach Node");
    document->updateNodes(draggedNodes, NodeUpdateOperation::position, false);
    if (document->attachNode(node, attachTo, false).empty()) {
        debugLog(__FILE__, "graphViewWantsToAttachNode(node:attachTo:draggedNodes:)", __LINE__, "attach failed");
        cancelSession(*document, session);
        return;
    }
    DocumentLayout(*document).autoLayoutGraph(false);
    DocumentLayout(*document).resolveCollisions();
    commitSession(*document);
}

// Joins the session the title editor (or the creation command before it) opened; the last call commits.
void GraphViewController::editNodeTitle(const Node& node, bool finishing)
{
    auto document = document_.lock();
    if (!document)
        return;
    openSession(*document, "Edit Node Title");
    auto stored = document->updateNodes({node}, NodeUpdateOperation::title, true);
    if (!finishing)
        return;
    if (!stored.empty())
        DocumentLayout(*document).autolayoutWholeNodeTree(stored.front(), false);
    DocumentLayout(*document).resolveCollisions();
    commitSession(*document);
}

void GraphViewController::didBeginEditingNodeTitle()
{
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    RunLoop::post([weakSelf] {
        if (auto self = weakSelf.lock())
            self->notifyDocumentListeners(
                [](VQDocumentEventListener& listener) { listener.documentDidBeginEditingNodeTitle(); });
    });
}

void GraphViewController::abandonTitleEdit()
{
    if (const auto document = lockDocument(); document && document->isInEditingSession())
        document->cancelEditingSession();
}

void GraphViewController::didEndEditingNodeTitle()
{
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    RunLoop::post([weakSelf] {
        if (auto self = weakSelf.lock())
            self->notifyDocumentListeners(
                [](VQDocumentEventListener& listener) { listener.documentDidEndEditingNodeTitle(); });
    });
}

void GraphViewController::setNodeImage(const Node& node)
{
    auto document = document_.lock();
    if (!document)
        return;
    openSession(*document, "Set Node Image");
    auto stored = document->updateNodes({autosizeNode(node, autosizeKeepCenter)}, NodeUpdateOperation::imageSet, false);
    if (!stored.empty()) {
        DocumentLayout(*document).autolayoutWholeNodeTree(stored.front(), false);
        DocumentLayout(*document).resolveCollisions();
        if (auto current = document->project().graph.node(stored.front().uid))
            selectNodes({*current}, false);
    }
    commitSession(*document);
}

// One new root titled "Image" per dropped image, each its own undo step.
void GraphViewController::newImageNodes(const std::vector<Image>& images, Point at)
{
    for (const Image& image : images) {
        auto document = document_.lock();
        if (!document)
            return;
        openSession(*document, "New Image Node");
        Node node = document->createRootNode("Image", at, true);
        node.setImage(image);
        auto stored =
            document->updateNodes({autosizeNode(node, autosizeKeepCenter)}, NodeUpdateOperation::imageSet, false);
        if (!stored.empty())
            selectNodes({stored.front()}, false);
        commitSession(*document);
    }
}

} // namespace velquine
