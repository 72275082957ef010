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
    warnOutsideSession("updateNodes(nodes:operation:notify:)");

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

std::vector<Node> VQDocument::currentVersions(const std::vector<Node>& nodes) const
{
    std::vector<Node> result;
    result.reserve(nodes.size());
    for (const Node& node : nodes) {
        if (auto stored = project_.graph.node(node.uid))
            result.push_back(std::move(*stored));
    }
    return result;
}

// ---- Depth-ordered resets ----

void VQDocument::resetNodeStyle(const std::vector<Node>& nodes)
{
    warnOutsideSession("resetNodeStyle(nodes:)");
    resetByDepth(nodes, ResetKind::style);
}

void VQDocument::resetNodeColors(const std::vector<Node>& nodes)
{
    warnOutsideSession("resetNodeColors(nodes:)");
    resetByDepth(nodes, ResetKind::colors);
}

void VQDocument::resetNodeSize(const std::vector<Node>& nodes)
{
    warnOutsideSession("resetNodeSize(nodes:)");
    resetByDepth(nodes, ResetKind::size);
}

void VQDocument::resetByDepth(const std::vector<Node>& nodes, ResetKind kind)
{
    // std::map keeps the depths ascending; each group is read afresh after the shallower ones were
    // written, so children see their parents' new values.
    const auto groups = project_.graph.nodesGroupedByDepth(nodes);
    for (const auto& [depth, group] : groups) {
        std::vector<Node> current;
        current.reserve(group.size());
        for (const Node& given : group)
            if (auto stored = project_.graph.node(given.uid))
                current.push_back(std::move(*stored));

        std::vector<Node> changed;
        NodeUpdateOperation operation = NodeUpdateOperation::style;
        switch (kind) {
        case ResetKind::style:
            changed = project_.resetStyle(current);
            break;
        case ResetKind::size:
            changed = autosizeNodes(current, autosizeKeepCenter);
            operation = NodeUpdateOperation::size;
            break;
        case ResetKind::colors:
            changed.reserve(current.size());
            for (const Node& node : current)
                changed.push_back(resetColors(node));
            break;
        }
        updateNodes(changed, operation, false);
    }
}

Node VQDocument::resetColors(const Node& node) const
{
    const ProjectStyle::Values& values = project_.projectStyle.current;
    Node result = node;
    NodeStyle& style = result.style;
    switch (project_.graph.nodeType(node)) {
    case NodeType::root:
        style.borderColor = values.rootNodeStyle.borderColor;
        style.fillColor = values.rootNodeStyle.fillColor;
        style.branchColor = values.rootNodeStyle.branchColor;
        style.textColor = values.rootNodeStyle.textColor;
        break;
    case NodeType::main: {
        // An empty palette gives no entry: the palette colours stay as they are.
        const std::optional<PaletteEntry> entry = values.paletteEntry(project_.palettePosition(node));
        if (entry) {
            style.borderColor = entry->strokeColor;
            style.branchColor = entry->strokeColor;
        }
        if (!values.dynamicMainNodeColors)
            style.fillColor = values.mainNodeStyle.fillColor;
        else if (entry)
            style.fillColor = entry->fillColor;
        break;
    }
    case NodeType::sub:
        if (const auto parent = project_.graph.parent(node)) {
            style.borderColor = parent->style.borderColor;
            style.branchColor = parent->style.borderColor;
            style.fillColor = parent->style.fillColor;
        } else if (const auto entry = values.paletteEntry(0)) {
            style.borderColor = entry->strokeColor;
            style.branchColor = entry->strokeColor;
        }
        break;
    }
    return result;
}

// ---- Deleting ----

void VQDocument::deleteNodes(const std::vector<Node>& nodes, bool keepChildren, bool notify)
{
    warnOutsideSession("deleteNodes(nodes:keepChildren:notify:)");
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
    warnOutsideSession("detachNodeFromParent(node:)");
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
    warnOutsideSession("attachNode(node:to:notify:)");
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
