// Which commands are enabled for the current selections, and the titles and states menus show for them.

#include <set>

#include "document/DocumentClipboard.h"
#include "document/VQDocumentPasteboard.h"
#include "editor/GraphViewController.h"
#include "platform/FontManager.h"

namespace velquine {

namespace {

const std::set<std::string> needsOneSelected = {"newChildNode:", "newParentNode:", "copyNodeStyle:"};
const std::set<std::string> needsSelection = {
    "deselectAll:",       "selecNodeTree:",       "resetNodeStyle:",     "resetNodeSize:",
    "resetNodeColors:",   "resetNodeStyleAndSize:", "delete:",           "deleteSingle:",
    "duplicateNodeTree:", "duplicateSingleNode:", "balanceSelectedNode:", "copy:",
    "cut:"};

std::string layoutTitle(bool only, const std::string& title)
{
    return std::string(only ? "Layout only \"" : "Layout \"") + title + "\" and Children";
}

// On when every selected node has the variant, off when none has, mixed otherwise (and for no nodes).
ControlState variantState(const std::vector<Node>& nodes, const std::string& action)
{
    int having = 0;
    int lacking = 0;
    for (const Node& node : nodes) {
        bool has = action == "toggleNodeUnderline:" ? node.style.isUnderlined
                   : action == "toggleNodeBold:"    ? (FontManager::traits(node.style.font) & FontTrait::bold) != 0
                                                    : (FontManager::traits(node.style.font) & FontTrait::italic) != 0;
        (has ? having : lacking)++;
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
    const std::string& action = item.action;
    const Graph& graph = document.project().graph;
    auto selection = projectSelection();
    auto canvas = canvasSelection();
    bool focusOn = graphView_ && graphView_->focusContext().has_value();
    if (needsOneSelected.count(action))
        return selection.size() == 1;
    if (needsSelection.count(action))
        return !selection.empty();
    if (action == "newSiblingNode:") {
        item.title = selection.size() == 1 ? "New Sibling Node" : "New Root Node";
        return true;
    }
    if (action == "autoLayoutSelectedNode:" || action == "autolayoutPartialTree:") {
        if (selection.empty()) {
            item.title = "Auto Layout";
            return false;
        }
        const Node& first = selection.front();
        Node root = graph.rootAncestor(first);
        if (action == "autoLayoutSelectedNode:") {
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
    if (action == "detachNodeFromParent:")
        return canvas.size() == 1 && canvas.front().parentUID.has_value();
    if (action == "toggleNodeFocus:") {
        item.title = focusOn ? "Unfocus Node" : "Focus on Node";
        return !canvas.empty() || focusOn;
    }
    if (action == "editSelectedNode:")
        return canvas.size() == 1;
    if (action == "toggleNodeBold:" || action == "toggleNodeItalic:" || action == "toggleNodeUnderline:") {
        item.state = variantState(selection, action);
        return !canvas.empty();
    }
    if (action == "paste:")
        return DocumentClipboard(document).canPaste();
    if (action == "pasteAsPlainText:")
        return pasteboardHasKind(PasteKind::nodesPlist, Pasteboard::general());
    if (action == "pasteNodeStyle:")
        return !selection.empty() && pasteboardHasKind(PasteKind::nodeStyle, Pasteboard::general());
    return true;
}

bool GraphViewController::validateToolbarItem(ActionItem& item)
{
    auto document = document_.lock();
    if (!document)
        return false;
    const std::string& action = item.action;
    if (action == "toggleNodeFocus:")
        return !canvasSelection().empty() || (graphView_ && graphView_->focusContext().has_value());
    if (action == "sortSelectedNodeChildren:")
        return !projectSelection().empty();
    if (action == "balanceSelectedNode:") {
        for (const Node& node : projectSelection()) {
            LayoutOptions options = document->layoutOptionsOfTree(node);
            if (options.isManual || options.layoutDirection == LayoutOptions::LayoutDirection::balanced)
                return true;
        }
        return false;
    }
    return true;
}

ControlState GraphViewController::validateToolbarItemState(const ActionItem& item)
{
    bool focusOn = graphView_ && graphView_->focusContext().has_value();
    return item.action == "toggleNodeFocus:" && focusOn ? ControlState::on : ControlState::off;
}

} // namespace velquine
