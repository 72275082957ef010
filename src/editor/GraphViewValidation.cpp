// Which commands are enabled for the current selections, and the titles and states menus show for them.

#include "document/DocumentClipboard.h"
#include "document/DocumentLayout.h"
#include "document/VQDocumentPasteboard.h"
#include "editor/GraphViewController.h"
#include "kit/CommandTable.h"
#include "platform/FontManager.h"

namespace velquine {

namespace {

std::string plainTitle(Command command)
{
    return commandPlainTitle(command).toStdString();
}

std::string layoutTitle(bool only, const std::string& title)
{
    return std::string(only ? "Layout only \"" : "Layout \"") + title + "\" and Children";
}

// On when every selected node has the variant, off when none has, mixed otherwise (and for no nodes).
ControlState variantState(const std::vector<const Node*>& nodes, Command command)
{
    int having = 0;
    int lacking = 0;
    for (const Node* node : nodes) {
        bool has = command == Command::toggleNodeUnderline ? node->style.isUnderlined
                   : command == Command::toggleNodeBold
                       ? (FontManager::traits(node->style.font) & FontTrait::bold) != 0
                       : (FontManager::traits(node->style.font) & FontTrait::italic) != 0;
        (has ? having : lacking)++;
        if (having > 0 && lacking > 0)
            break;
    }
    if (having > 0 && lacking == 0)
        return ControlState::on;
    if (having == 0 && lacking > 0)
        return ControlState::off;
    return ControlState::mixed;
}

} // namespace

bool GraphViewController::validateMenuItem(ActionItem& item)
{
    auto document = document_.lock();
    if (!document || document->isInEditingSession())
        return false;
    return validateBySelection(item, *document);
}

bool GraphViewController::validateBySelection(ActionItem& item, VQDocument& document)
{
    const std::optional<Command> command = commandForSelector(item.action);
    if (!command)
        return true;
    const Graph& graph = document.project().graph;
    const std::vector<std::int64_t>& selectedUIDs = document.project().selectedNodeUIDs;
    const std::vector<const Node*> selection = graph.findNodes(selectedUIDs, 2);
    const std::vector<const Node*> canvas =
        graphView_ ? graphView_->graph().findNodes(graphView_->selectedNodeUIDs(), 2) : std::vector<const Node*>();
    bool focusOn = graphView_ && graphView_->isFocusModeOn();
    switch (commandSpec(*command).selection) {
    case SelectionNeed::exactlyOne:
        return selection.size() == 1;
    case SelectionNeed::some:
        return !selection.empty();
    case SelectionNeed::none:
        break;
    }
    switch (*command) {
    case Command::newSiblingNode:
        item.title = plainTitle(selection.size() == 1 ? Command::newSiblingNode : Command::newRootNode);
        return true;
    case Command::autoLayoutSelectedNode:
    case Command::autolayoutPartialTree: {
        if (selection.empty()) {
            item.title = plainTitle(Command::autoLayoutGraph);
            return false;
        }
        const Node& first = *selection.front();
        Node root = graph.rootAncestor(first);
        if (command == Command::autoLayoutSelectedNode) {
            item.hidden = root.uid == first.uid;
            item.title = layoutTitle(false, root.title);
        } else if (root.uid == first.uid) {
            item.title = layoutTitle(false, first.title);
        } else {
            auto parent = graph.parent(first);
            item.title = layoutTitle(true, first.childrenUIDs.empty() && parent ? parent->title : first.title);
        }
        return true;
    }
    case Command::detachNodeFromParent:
        return canvas.size() == 1 && canvas.front()->parentUID.has_value();
    case Command::toggleNodeFocus:
        item.title = focusOn ? "Unfocus Node" : plainTitle(Command::toggleNodeFocus);
        return !canvas.empty() || focusOn;
    case Command::editSelectedNode:
        return canvas.size() == 1;
    case Command::toggleNodeBold:
    case Command::toggleNodeItalic:
    case Command::toggleNodeUnderline:
        item.state = variantState(graph.findNodes(selectedUIDs), *command);
        return !canvas.empty();
    case Command::paste:
        return DocumentClipboard(document).canPaste();
    case Command::pasteAsPlainText:
        return pasteboardHasKind(PasteKind::nodesPlist, Pasteboard::general());
    case Command::pasteNodeStyle:
        return !selection.empty() && pasteboardHasKind(PasteKind::nodeStyle, Pasteboard::general());
    default:
        return true;
    }
}

bool GraphViewController::validateToolbarItem(ActionItem& item)
{
    auto document = document_.lock();
    if (!document)
        return false;
    const std::optional<Command> command = commandForSelector(item.action);
    const Graph& graph = document->project().graph;
    const std::vector<std::int64_t>& selectedUIDs = document->project().selectedNodeUIDs;
    if (command == Command::toggleNodeFocus)
        return graphView_
               && (!graphView_->graph().findNodes(graphView_->selectedNodeUIDs(), 1).empty()
                   || graphView_->isFocusModeOn());
    if (command == Command::sortSelectedNodeChildren)
        return !graph.findNodes(selectedUIDs, 1).empty();
    if (command == Command::balanceSelectedNode) {
        for (std::int64_t uid : selectedUIDs) {
            const Node* node = graph.findNode(uid);
            if (!node)
                continue;
            LayoutOptions options = DocumentLayout(*document).layoutOptionsOfTree(*node);
            if (options.isManual || options.layoutDirection == LayoutOptions::LayoutDirection::balanced)
                return true;
        }
        return false;
    }
    return true;
}

ControlState GraphViewController::validateToolbarItemState(const ActionItem& item)
{
    bool focusOn = graphView_ && graphView_->isFocusModeOn();
    return commandForSelector(item.action) == Command::toggleNodeFocus && focusOn ? ControlState::on
                                                                                  : ControlState::off;
}

} // namespace velquine
