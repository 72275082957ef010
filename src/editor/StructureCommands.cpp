#include "editor/StructureCommands.h"

#include <unordered_set>

#include "document/DocumentClipboard.h"
#include "document/DocumentLayout.h"
#include "editor/GraphViewController.h"
#include "kit/Beep.h"
#include "kit/CommandTable.h"
#include "platform/RunLoop.h"

namespace velquine {

void StructureCommands::registerActions(const AddAction& addAction)
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

void StructureCommands::selectNewNodeAndEditTitle(const Node& node)
{
    controller_.selectNodes({node}, false);
    std::weak_ptr<GraphViewController> weakController = controller_.weak_from_this();
    RunLoop::post([weakController] {
        if (auto controller = weakController.lock())
            controller->structure().startNewNodeTitleEditing();
    });
}

// The new node and its first title share the creation's session; the editor's end commits it.
void StructureCommands::startNewNodeTitleEditing()
{
    if (controller_.canvasSelection().size() != 1)
        return;
    std::weak_ptr<VQDocument> weakDocument = controller_.lockDocument();
    controller_.startTitleEditor(true, [weakDocument] {
        auto document = weakDocument.lock();
        if (document && document->isInEditingSession())
            document->commitEditingSession();
    });
}

void StructureCommands::newRootNode()
{
    auto document = controller_.lockDocument();
    if (!document || !controller_.graphView())
        return;
    controller_.openSession(*document, "New Root Node");
    Node node = document->createRootNode("", controller_.graphView()->lastClickLocation(), true);
    DocumentLayout(*document).resolveCollisions();
    selectNewNodeAndEditTitle(document->project().graph.node(node.uid).value_or(node));
}

void StructureCommands::newSiblingNode()
{
    auto document = controller_.lockDocument();
    if (!document || !controller_.graphView())
        return;
    auto selection = controller_.canvasSelection();
    if (selection.empty()) {
        newRootNode();
        return;
    }
    const Node& first = selection.front();
    if (controller_.graphView()->graph().nodeType(first) == NodeType::root) {
        newChildNode();
        return;
    }
    addChildAndEditTitle(*document, "New Sibling Node", document->project().graph.node(first.parentUID), std::nullopt);
}

void StructureCommands::newChildNode()
{
    auto selection = controller_.canvasSelection();
    if (selection.empty()) {
        Beep::beep();
        return;
    }
    insertChildNode(selection.front(), std::nullopt);
}

void StructureCommands::insertChildNode(const Node& parent, std::optional<Point> position)
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    addChildAndEditTitle(*document, "New Child Node", parent, position);
}

void StructureCommands::addChildAndEditTitle(VQDocument& document, const char* label, const std::optional<Node>& parent,
                                             std::optional<Point> position)
{
    GraphViewController::CommandSession session = controller_.openSession(document, label);
    std::optional<Node> created;
    if (parent)
        created = document.createChildNode(*parent, "", position, true, true);
    if (!created) {
        controller_.cancelSession(document, session);
        return;
    }
    selectNewNodeAndEditTitle(*created);
}

void StructureCommands::newParentNode()
{
    auto document = controller_.lockDocument();
    auto selection = controller_.canvasSelection();
    if (!document || selection.empty())
        return;
    GraphViewController::CommandSession session = controller_.openSession(*document, "Insert Parent Node");
    auto parent = document->createParentNode(selection.front(), "");
    if (!parent) {
        // Nothing was made: no undo step for it.
        if (session.opened)
            controller_.cancelSession(*document, session);
        return;
    }
    DocumentLayout(*document).autolayoutWholeNodeTree(*parent, false);
    DocumentLayout(*document).resolveCollisions();
    selectNewNodeAndEditTitle(document->project().graph.node(parent->uid).value_or(*parent));
}

void StructureCommands::detachNodeFromParent()
{
    auto document = controller_.lockDocument();
    auto selection = controller_.canvasSelection();
    if (!document || selection.empty())
        return;
    GraphViewController::CommandSession session = controller_.openSession(*document, "Detach Node");
    if (!document->detachNodeFromParent(selection.front())) {
        controller_.cancelSession(*document, session);
        return;
    }
    DocumentLayout(*document).autoLayoutGraph(false);
    DocumentLayout(*document).resolveCollisions();
    controller_.commitSession(*document);
}

namespace {

// The first selected node's first sibling outside the selection, else its parent when that is not selected.
std::optional<Node> chooseNextSelection(const Graph& graph, const std::vector<Node>& selection)
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

} // namespace

void StructureCommands::deleteNodes()
{
    auto document = controller_.lockDocument();
    auto selection = controller_.projectSelection();
    if (!document || selection.empty())
        return;
    auto next = chooseNextSelection(document->project().graph, selection);
    controller_.openSession(*document, "Delete");
    document->deleteNodes(selection, false, true);
    // The chosen node may have gone with another selected node's subtree; with none, the selection keeps only
    // nodes that are left (a root deleted with its tree leaves nothing selected).
    if (next && document->project().graph.contains(next->uid))
        controller_.selectNodes({*document->project().graph.node(next->uid)}, false);
    else
        controller_.selectNodes(controller_.projectSelection(), false);
    DocumentLayout(*document).autoLayoutGraph(false);
    DocumentLayout(*document).resolveCollisions();
    controller_.commitSession(*document);
}

void StructureCommands::deleteSingle()
{
    auto document = controller_.lockDocument();
    if (!document || controller_.projectSelection().empty())
        return;
    controller_.openSession(*document, "Delete Single Node");
    document->deleteNodes(controller_.projectSelection(), true, true);
    controller_.selectNodes(controller_.projectSelection(), false);
    DocumentLayout(*document).autoLayoutGraph(false);
    DocumentLayout(*document).resolveCollisions();
    controller_.commitSession(*document);
}

void StructureCommands::duplicateNodeTree()
{
    auto document = controller_.lockDocument();
    if (!document || controller_.projectSelection().empty())
        return;
    GraphViewController::CommandSession session = controller_.openSession(*document, "Duplicate Nodes");
    if (DocumentClipboard(*document).duplicateSelectedNodes())
        controller_.commitSession(*document);
    else
        controller_.cancelSession(*document, session);
}

void StructureCommands::editSelectedNode()
{
    if (controller_.canvasSelection().size() == 1)
        controller_.startTitleEditor(false, nullptr);
}

void StructureCommands::selectAll()
{
    if (auto document = controller_.lockDocument())
        controller_.selectNodes(document->project().graph.allNodes(), false);
}

void StructureCommands::selectNodeTree()
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    auto selection = controller_.projectSelection();
    if (selection.empty()) {
        Beep::beep();
        return;
    }
    std::vector<Node> trees;
    for (const Node& node : selection) {
        auto subtree = document->project().graph.subtree(node);
        trees.insert(trees.end(), subtree.begin(), subtree.end());
    }
    controller_.selectNodes(uniquedByUID(trees), false);
}

void StructureCommands::deselectAll()
{
    if (controller_.lockDocument())
        controller_.selectNodes({}, false);
}

} // namespace velquine
