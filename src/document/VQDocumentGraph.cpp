// Node updates and tree edits of the document.

#include <algorithm>
#include <unordered_set>

#include "document/VQDocument.h"
#include "layout/NodeSizing.h"
#include "platform/Clock.h"
#include "platform/Log.h"

namespace velquine {

std::vector<Node> VQDocument::updateNodes(std::vector<Node> nodes, NodeUpdateOperation operation, bool notify)
{
    if (nodes.empty())
        return {};
    // Inside a session, nodes stored again as they are (a title editor that opens) change nothing yet.
    const auto changes = [this](const Node& node) {
        const Node* stored = project_.graph.findNode(node.uid);
        return !stored || node.differs(*stored);
    };
    if (!isInEditingSession_ || std::any_of(nodes.begin(), nodes.end(), changes))
        noteChange("updateNodes(nodes:operation:notify:)");

    const double now = Clock::now();
    const bool stamps = operation == NodeUpdateOperation::title || operation == NodeUpdateOperation::imageSet ||
                        operation == NodeUpdateOperation::imageCleared;
    for (Node& node : nodes) {
        if (stamps)
            node.modifiedTimestamp = now;
        if (node.createdTimestamp < 0)
            node.createdTimestamp = now;
    }
    std::vector<Node> stored = project_.graph.storeNodes(std::move(nodes));
    if (notify) {
        notifyEventListeners([stored, operation](VQDocumentEventListener& l) {
            l.documentDidUpdateNodes(stored, operation);
        });
    }
    return stored;
}

// ---- Deleting ----

void VQDocument::deleteNodes(const std::vector<Node>& nodes, bool keepChildren, bool notify)
{
    noteChange("deleteNodes(nodes:keepChildren:notify:)");
    if (keepChildren)
        project_.graph.removeNodesKeepingChildren(nodes); // each node read afresh before it goes
    else
        project_.graph.removeNodes(nodes);

    for (const Node& node : nodes) {
        if (!node.parentUID)
            continue;
        if (auto parent = project_.graph.node(*node.parentUID)) {
            project_.setSelectedNodes({*parent});
            notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeSelection(); });
            break;
        }
    }
    if (notify)
        notifyEventListeners([nodes](VQDocumentEventListener& l) { l.documentDidDeleteNodes(nodes); });
}

// ---- Detaching and attaching ----

std::optional<Node> VQDocument::detachNodeFromParent(const Node& node)
{
    noteChange("detachNodeFromParent(node:)");
    std::vector<Node> toStore;
    if (auto parent = project_.graph.parent(node)) {
        std::erase(parent->childrenUIDs, node.uid);
        toStore.push_back(std::move(*parent));
    }
    const ProjectStyle::Values& values = project_.projectStyle.current;
    Node detached = node;
    detached.parentUID.reset();
    detached.style = values.rootNodeStyle;
    detached.shape = values.rootNodeShape;
    toStore.push_back(autosizeNode(detached, autosizeKeepCenter));

    const std::vector<Node> stored = updateNodes(toStore, NodeUpdateOperation::detach, false);
    if (stored.empty())
        return std::nullopt;
    return stored.front();
}

std::vector<Node> VQDocument::attachNode(const Node& node, const Node& newParent, bool notify)
{
    noteChange("attachNode(node:to:notify:)");
    static constexpr std::string_view name = "attachNode(node:to:notify:)";

    // A node cannot hang under itself.
    if (newParent.uid == node.uid) {
        VQ_LOG(name, "this would be circular");
        return {};
    }
    for (const Node& descendant : project_.graph.descendants(node)) {
        if (descendant.uid == newParent.uid) {
            VQ_LOG(name, "graph.allChildrenOfNode(node).map({$0.uid}).contains(newParent.uid)");
            return {};
        }
    }
    if (std::find(newParent.childrenUIDs.begin(), newParent.childrenUIDs.end(), node.uid) !=
        newParent.childrenUIDs.end()) {
        VQ_LOG(name, "Node is already a child of newParent!");
        return {};
    }
    // Climb from the new parent; meeting the node, or a chain that comes round to itself, means the
    // attachment would close a loop.
    std::unordered_set<std::int64_t> visited;
    std::int64_t current = newParent.uid;
    while (true) {
        if (!visited.insert(current).second) {
            VQ_LOG(name, "this would be circular");
            return {};
        }
        const Node* stored = project_.graph.findNode(current);
        if (!stored || !stored->parentUID)
            break;
        if (*stored->parentUID == node.uid) {
            VQ_LOG(name, "this would be circular");
            return {};
        }
        current = *stored->parentUID;
    }

    std::vector<Node> toStore;
    if (auto oldParent = project_.graph.node(node.parentUID)) {
        std::erase(oldParent->childrenUIDs, node.uid);
        toStore.push_back(std::move(*oldParent));
    }
    Node parent = newParent;
    parent.childrenUIDs.push_back(node.uid);
    toStore.push_back(std::move(parent));
    Node moved = node;
    moved.parentUID = newParent.uid;
    toStore.push_back(std::move(moved));
    return updateNodes(toStore, NodeUpdateOperation::attach, notify);
}

} // namespace velquine
