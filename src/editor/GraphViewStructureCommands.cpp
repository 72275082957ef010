// The commands that change the shape of the tree or the selection.

#include <unordered_set>

#include "document/DocumentClipboard.h"
#include "editor/GraphViewController.h"
#include "kit/Beep.h"
#include "kit/CommandTable.h"
#include "platform/RunLoop.h"
#include "canvas/PointerInteraction.h"

namespace velquine {

void GraphViewController::registerStructureActions()
{
    addAction(commandSelector(Command::newRootNode), [this](const ActionItem*) { newRootNode(); });
    addAction(commandSelector(Command::newSiblingNode), [this](const ActionItem*) { newSiblingNode(); });
    addAction(commandSelector(Command::newChildNode), [this](const ActionItem*) { newChildNode(); });
    addAction(commandSelector(Command::newParentNode), [this](const ActionItem*) { newParentNode(); });
    addAction(commandSelector(Command::detachNodeFromParent), [this](const ActionItem*) { detachNodeFromParent(); });
    addAction(commandSelector(Command::delete_), [this](const ActionItem*) { deleteNodes(); });
    addAction(commandSelector(Command::deleteSingle), [this](const ActionItem*) { deleteSingle(); });
    addAction(commandSelector(Command::duplicateNodeTree), [this](const ActionItem*) { duplicateNodeTree(); });
    addAction(commandSelector(Command::duplicateSingleNode), [](const ActionItem*) {});
    addAction(commandSelector(Command::editSelectedNode), [this](const ActionItem*) { editSelectedNode(); });
    addAction(commandSelector(Command::selectAll), [this](const ActionItem*) { selectAll(); });
    addAction(commandSelector(Command::selecNodeTree), [this](const ActionItem*) { selectNodeTree(); });
    addAction(commandSelector(Command::deselectAll), [this](const ActionItem*) { deselectAll(); });
}

void GraphViewController::selectNewNodeAndEditTitle(const Node& node)
{
    selectNodes({node}, false);
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    RunLoop::post([weakSelf] {
        if (auto self = weakSelf.lock())
            self->startNewNodeTitleEditing();
    });
}

// The new node and its first title share the creation's session; the editor's end commits it.
void GraphViewController::startNewNodeTitleEditing()
{
    if (canvasSelection().size() != 1 || !titleEditorStarter_)
        return;
    std::weak_ptr<VQDocument> weakDocument = document_;
    titleEditorStarter_(true, [weakDocument] {
        auto document = weakDocument.lock();
        if (document && document->isInEditingSession())
            document->commitEditingSession();
    });
}

void GraphViewController::newRootNode()
{
    auto document = document_.lock();
    if (!document || !graphView_)
        return;
    openSession(*document, "New Root Node");
    Node node = document->createRootNode("", graphView_->pointer().mouseUpLocation, true);
    document->resolveCollisions();
    selectNewNodeAndEditTitle(document->project().graph.node(node.uid).value_or(node));
}

void GraphViewController::newSiblingNode()
{
    auto document = document_.lock();
    if (!document || !graphView_)
        return;
    auto selection = canvasSelection();
    if (selection.empty()) {
        newRootNode();
        return;
    }
    const Node& first = selection.front();
    if (graphView_->graph().nodeType(first) == NodeType::root) {
        newChildNode();
        return;
    }
    CommandSession session = openSession(*document, "New Sibling Node");
    auto parent = document->project().graph.node(first.parentUID);
    std::optional<Node> created;
    if (parent)
        created = document->createChildNode(*parent, "", std::nullopt, true, true);
    if (!created) {
        cancelSession(*document, session);
        return;
    }
    selectNewNodeAndEditTitle(*created);
}

void GraphViewController::newChildNode()
{
    auto selection = canvasSelection();
    if (selection.empty()) {
        Beep::beep();
        return;
    }
    insertChildNode(selection.front(), std::nullopt);
}

void GraphViewController::insertChildNode(const Node& parent, std::optional<Point> position)
{
    auto document = document_.lock();
    if (!document)
        return;
    CommandSession session = openSession(*document, "New Child Node");
    auto created = document->createChildNode(parent, "", position, true, true);
    if (!created) {
        cancelSession(*document, session);
        return;
    }
    selectNewNodeAndEditTitle(*created);
}

void GraphViewController::newParentNode()
{
    auto document = document_.lock();
    auto selection = canvasSelection();
    if (!document || selection.empty())
        return;
    CommandSession session = openSession(*document, "Insert Parent Node");
    auto parent = document->createParentNode(selection.front(), "");
    if (!parent) {
        // Nothing was made: no undo step for it.
        if (session.opened)
            cancelSession(*document, session);
        return;
    }
    document->autolayoutWholeNodeTree(*parent, false);
    document->resolveCollisions();
    selectNewNodeAndEditTitle(document->project().graph.node(parent->uid).value_or(*parent));
}

void GraphViewController::detachNodeFromParent()
{
    auto document = document_.lock();
    auto selection = canvasSelection();
    if (!document || selection.empty())
        return;
    CommandSession session = openSession(*document, "Detach Node");
    if (!document->detachNodeFromParent(selection.front())) {
        cancelSession(*document, session);
        return;
    }
    document->autoLayoutGraph(false);
    document->resolveCollisions();
    commitSession(*document);
}

// The first selected node's first sibling outside the selection, else its parent when that is not selected.
std::optional<Node> GraphViewController::chooseNextSelection(const Graph& graph, const std::vector<Node>& selection) const
{
    std::unordered_set<std::int64_t> selected;
    for (const Node& node : selection)
        selected.insert(node.uid);
    for (const Node& node : selection) {
        auto parent = graph.node(node.parentUID);
        if (!parent)
            continue;
        for (std::int64_t child : parent->childrenUIDs)
            if (child != node.uid && !selected.count(child))
                return graph.node(child);
        if (!selected.count(parent->uid))
            return parent;
    }
    return std::nullopt;
}

void GraphViewController::deleteNodes()
{
    auto document = document_.lock();
    auto selection = projectSelection();
    if (!document || selection.empty())
        return;
    auto next = chooseNextSelection(document->project().graph, selection);
    openSession(*document, "Delete");
    document->deleteNodes(selection, false, true);
    // The chosen node may have gone with another selected node's subtree.
    if (next && document->project().graph.contains(next->uid))
        selectNodes({*document->project().graph.node(next->uid)}, false);
    document->autoLayoutGraph(false);
    document->resolveCollisions();
    commitSession(*document);
}

void GraphViewController::deleteSingle()
{
    auto document = document_.lock();
    if (!document || projectSelection().empty())
        return;
    openSession(*document, "Delete Single Node");
    document->deleteNodes(projectSelection(), true, true);
    document->autoLayoutGraph(false);
    document->resolveCollisions();
    commitSession(*document);
}

void GraphViewController::duplicateNodeTree()
{
    auto document = document_.lock();
    if (!document || projectSelection().empty())
        return;
    CommandSession session = openSession(*document, "Duplicate Nodes");
    if (DocumentClipboard(*document).duplicateSelectedNodes())
        commitSession(*document);
    else
        cancelSession(*document, session);
}

void GraphViewController::editSelectedNode()
{
    if (canvasSelection().size() == 1 && titleEditorStarter_)
        titleEditorStarter_(false, nullptr);
}

void GraphViewController::selectAll()
{
    if (auto document = document_.lock())
        selectNodes(document->project().graph.allNodes(), false);
}

void GraphViewController::selectNodeTree()
{
    auto document = document_.lock();
    if (!document)
        return;
    auto selection = projectSelection();
    if (selection.empty()) {
        Beep::beep();
        return;
    }
    std::vector<Node> trees;
    for (const Node& node : selection) {
        auto subtree = document->project().graph.subtree(node);
        trees.insert(trees.end(), subtree.begin(), subtree.end());
    }
    selectNodes(uniquedByUID(trees), false);
}

void GraphViewController::deselectAll()
{
    if (document_.lock())
        selectNodes({}, false);
}

} // namespace velquine
