// Font variants, resets, layout, sorting, focus, centring and the clipboard.

#include <QString>

#include "document/DocumentClipboard.h"
#include "editor/GraphViewController.h"
#include "kit/Beep.h"
#include "kit/CommandTable.h"
#include "layout/NodeSizing.h"
#include "platform/FontManager.h"
#include "platform/Log.h"
#include "canvas/FocusInteraction.h"

namespace velquine {

namespace {

enum Reset { resetStyle = 0, resetColors = 1, resetSize = 2 };

void failed(const char* function, long line, const char* message)
{
    debugLog(__FILE__, function, line, message);
    Beep::beep();
}

} // namespace

void GraphViewController::registerStyleActions()
{
    addAction(commandSelector(Command::toggleNodeBold),
              [this](const ActionItem*) { toggleFontTrait(FontTrait::bold, FontTrait::unbold, "Toggle Bold"); });
    addAction(commandSelector(Command::toggleNodeItalic), [this](const ActionItem*) {
        toggleFontTrait(FontTrait::italic, FontTrait::unitalic, "Toggle Italic");
    });
    addAction(commandSelector(Command::toggleNodeUnderline), [this](const ActionItem*) { toggleNodeUnderline(); });
    addAction(commandSelector(Command::resetNodeStyleAndSize), [this](const ActionItem*) { resetNodeStyleAndSize(); });
    addAction(commandSelector(Command::resetNodeStyle), [this](const ActionItem*) { resetNodes(resetStyle); });
    addAction(commandSelector(Command::resetNodeColors), [this](const ActionItem*) { resetNodes(resetColors); });
    addAction(commandSelector(Command::resetNodeSize), [this](const ActionItem*) { resetNodes(resetSize); });
    addAction(commandSelector(Command::resolveCollisions), [this](const ActionItem*) { resolveCollisions(); });
    addAction(commandSelector(Command::balanceSelectedNode), [this](const ActionItem*) { balanceSelectedNode(); });
    addAction(commandSelector(Command::autoLayoutGraph), [this](const ActionItem*) { autoLayoutGraph(); });
    addAction(commandSelector(Command::autoLayoutSelectedNode),
              [this](const ActionItem*) { autoLayoutSelectedNode(); });
    addAction(commandSelector(Command::autolayoutPartialTree), [this](const ActionItem*) { autolayoutPartialTree(); });
    addAction(commandSelector(Command::sortSelectedNodeChildren),
              [this](const ActionItem* sender) { sortSelectedNodeChildren(sender); });
    addAction(commandSelector(Command::toggleNodeFocus), [this](const ActionItem*) { toggleNodeFocus(); });
    addAction(commandSelector(Command::centerSelectedNode), [this](const ActionItem*) { centerSelectedNode(); });
    addAction(commandSelector(Command::centerSelectedNodeNoAnim), [this](const ActionItem*) { centerSelectedNode(); });
    addAction(commandSelector(Command::copy), [this](const ActionItem*) { copy(); });
    addAction(commandSelector(Command::cut), [this](const ActionItem*) { cut(); });
    addAction(commandSelector(Command::paste), [this](const ActionItem*) { paste(true); });
    addAction(commandSelector(Command::pasteAsPlainText), [this](const ActionItem*) { paste(false); });
    addAction(commandSelector(Command::copyNodeStyle), [this](const ActionItem*) { copyNodeStyle(); });
    addAction(commandSelector(Command::pasteNodeStyle), [this](const ActionItem*) { pasteNodeStyle(); });
}

// The first selected node decides whether every selected node gains or loses the trait.
void GraphViewController::toggleFontTrait(std::uint32_t trait, std::uint32_t reverse, const char* label)
{
    auto document = document_.lock();
    auto nodes = projectSelection();
    if (!document || nodes.empty())
        return;
    std::uint32_t mask = (FontManager::traits(nodes.front().style.font) & trait) ? reverse : trait;
    openSession(*document, label);
    // Nodes sized to their titles take the room of the new face, and their trees are laid out around it.
    for (Node& node : nodes) {
        node.style.font = FontManager::convert(node.style.font, mask);
        node = autosizeNodeAfterFontChange(node);
    }
    document->updateNodes(std::move(nodes), NodeUpdateOperation::fontStyle, false);
    document->autolayoutSelectedNodes(false);
    commitSession(*document);
}

void GraphViewController::toggleNodeUnderline()
{
    auto document = document_.lock();
    auto nodes = projectSelection();
    if (!document || nodes.empty())
        return;
    bool underline = !nodes.front().style.isUnderlined;
    openSession(*document, "Toggle Underlined");
    for (Node& node : nodes)
        node.style.isUnderlined = underline;
    document->updateNodes(std::move(nodes), NodeUpdateOperation::fontStyle, false);
    commitSession(*document);
}

void GraphViewController::resetNodeStyleAndSize()
{
    auto document = document_.lock();
    if (!document)
        return;
    openSession(*document, "Reset Node Style and Size");
    document->resetNodeStyle(projectSelection());
    document->resetNodeSize(projectSelection());
    document->autolayoutSelectedNodes(false);
    document->resolveCollisions();
    commitSession(*document);
}

void GraphViewController::resetNodes(int which)
{
    auto document = document_.lock();
    if (!document)
        return;
    static const char* const labels[] = {"Reset Node Style", "Reset Node Colors", "Reset Node Size"};
    openSession(*document, labels[which]);
    if (which == resetStyle)
        document->resetNodeStyle(projectSelection());
    else if (which == resetColors)
        document->resetNodeColors(projectSelection());
    else
        document->resetNodeSize(projectSelection());
    if (which != resetColors) {
        document->autolayoutSelectedNodes(false);
        document->resolveCollisions();
    }
    commitSession(*document);
}

// The layout step, a collision pass and the commit, as one undo step.
void GraphViewController::runLayoutCommand(const char* label, const std::function<void(VQDocument&)>& layout)
{
    auto document = document_.lock();
    if (!document)
        return;
    openSession(*document, label);
    layout(*document);
    document->resolveCollisions();
    commitSession(*document);
}

void GraphViewController::balanceSelectedNode()
{
    runLayoutCommand("Balance Children", [](VQDocument& document) { document.balanceSelectedNode(); });
}

void GraphViewController::autoLayoutGraph()
{
    runLayoutCommand("Auto Layout", [](VQDocument& document) { document.autoLayoutGraph(true); });
}

void GraphViewController::autoLayoutSelectedNode()
{
    runLayoutCommand("Auto Layout Node", [](VQDocument& document) { document.autolayoutSelectedNodes(true); });
}

// From the first selected node when it has children, else from its parent, else from the node itself.
void GraphViewController::autolayoutPartialTree()
{
    auto document = document_.lock();
    auto selection = projectSelection();
    if (!document || selection.empty())
        return;
    Node start = selection.front();
    if (start.childrenUIDs.empty())
        start = document->project().graph.parent(start).value_or(start);
    openSession(*document, "Auto Layout Partial Tree");
    document->autolayoutPartialNodeTreeStartingAt(start, true);
    document->resolveCollisions();
    commitSession(*document);
}

void GraphViewController::sortSelectedNodeChildren(const ActionItem* sender)
{
    auto document = document_.lock();
    auto selection = projectSelection();
    if (!document || selection.empty())
        return;
    bool byCreation = sender && sender->kind == ActionItemKind::menuItem &&
                      QString::fromStdString(sender->title).toLower().contains(QStringLiteral("creation"));
    openSession(*document, "Sort Children");
    document->sortChildren(selection, byCreation ? ChildSortOrder::creationTime : ChildSortOrder::title);
    document->autolayoutSelectedNodes(true);
    commitSession(*document);
}

void GraphViewController::toggleNodeFocus()
{
    if (graphView_)
        graphView_->focusMode().applyFocus();
}

void GraphViewController::centerSelectedNode()
{
    if (auto centre = selectedOrFirstRootCentre())
        scrollView_->centerOn(*centre, 0.5);
}

// An opened map whose selected node stands at its edge would, centred on that node, show half of it cut off
// beside an empty half of the view: along each axis where the map fits in the view, the map is centred
// instead, and the node, inside the map, is in view all the same.
void GraphViewController::centerSelectedNodeShowingMap()
{
    auto document = document_.lock();
    auto centre = selectedOrFirstRootCentre();
    if (!document || !centre)
        return;
    const Rect map = document->project().graph.boundingRect();
    const Rect visible = scrollView_->documentVisibleRect();
    const auto within = [](double c, double low, double high, double view) {
        return high - low <= view ? (low + high) / 2 : c;
    };
    centre->x = within(centre->x, map.minX(), map.maxX(), visible.width());
    centre->y = within(centre->y, map.minY(), map.maxY(), visible.height());
    scrollView_->centerOn(*centre, 0.5);
}

// The centre of the first selected node; with none selected, the first root in identifier order is selected
// and its centre given; with no node at all, the origin is scrolled into view and nothing given.
std::optional<Point> GraphViewController::selectedOrFirstRootCentre()
{
    auto document = document_.lock();
    if (!document || !scrollView_)
        return std::nullopt;
    auto selection = projectSelection();
    if (!selection.empty())
        return selection.front().center;
    // Found without copying the map's nodes.
    for (const auto& [uid, node] : document->project().graph.nodeBin()) {
        if (document->project().graph.nodeType(node) != NodeType::root)
            continue;
        selectNodes({node}, false);
        return node.center;
    }
    scrollOriginIntoView();
    return std::nullopt;
}

// ---- Clipboard ----

void GraphViewController::copy()
{
    auto document = document_.lock();
    if (!document)
        return;
    auto selection = projectSelection();
    if (selection.empty() || !DocumentClipboard(*document).copyNodesToPasteBoard(selection))
        failed("copy(_:)", __LINE__, "copy failed");
}

void GraphViewController::cut()
{
    auto document = document_.lock();
    if (!document)
        return;
    CommandSession session = openSession(*document, "Cut Nodes");
    auto selection = projectSelection();
    if (!selection.empty() && DocumentClipboard(*document).cutNodesToPasteBoard(selection)) {
        commitSession(*document);
        return;
    }
    failed("cut(_:)", __LINE__, "cut failed");
    cancelSession(*document, session);
}

void GraphViewController::paste(bool keepOriginalStyle)
{
    auto document = document_.lock();
    if (!document)
        return;
    const char* function = keepOriginalStyle ? "paste(_:)" : "pasteAsPlainText(_:)";
    if (!DocumentClipboard(*document).canPaste()) {
        failed(function, __LINE__,
               keepOriginalStyle ? "can't paste from pboard" : "can't paste and match style from pboard");
        return;
    }
    Point location = pasteLocation();
    CommandSession session = openSession(*document, keepOriginalStyle ? "Paste" : "Paste and Match Style");
    if (!DocumentClipboard(*document).pasteFromPasteBoard(location, keepOriginalStyle)) {
        failed(function, __LINE__, "paste failed");
        cancelSession(*document, session);
        return;
    }
    document->autoLayoutGraph(false);
    document->resolveCollisions();
    commitSession(*document);
}

void GraphViewController::copyNodeStyle()
{
    auto document = document_.lock();
    auto selection = projectSelection();
    if (!document || selection.empty())
        return;
    if (!DocumentClipboard(*document).copyNodeStyleToPasteBoard(selection.front().style, selection.front().shape))
        failed("copyNodeStyle(_:)", __LINE__, "copy node style failed");
}

// Every selected node takes the pasted style and shape but keeps its own font.
void GraphViewController::pasteNodeStyle()
{
    auto document = document_.lock();
    if (!document)
        return;
    auto style = DocumentClipboard(*document).getNodeStyleFromPasteBoard();
    auto shape = DocumentClipboard(*document).getNodeShapeFromPasteBoard();
    if (!style || !shape) {
        Beep::beep();
        return;
    }
    openSession(*document, "Paste Node Style");
    auto nodes = projectSelection();
    for (Node& node : nodes) {
        Font font = node.style.font;
        node.style = *style;
        node.style.font = font;
        node.shape = *shape;
    }
    document->updateNodes(std::move(nodes), NodeUpdateOperation::style, false);
    document->autolayoutSelectedNodes(false);
    document->resolveCollisions();
    commitSession(*document);
}

} // namespace velquine
