#include "editor/ClipboardCommands.h"

#include "document/DocumentClipboard.h"
#include "document/DocumentLayout.h"
#include "editor/GraphViewController.h"
#include "kit/Beep.h"
#include "kit/CommandTable.h"
#include "platform/Log.h"

namespace velquine {

namespace {

void failed(const char* function, long line, const char* message)
{
    debugLog(__FILE__, function, line, message);
    Beep::beep();
}

} // namespace

void ClipboardCommands::registerActions(const AddAction& addAction)
{
    addAction(commandSelector(Command::copy), [this](const ActionItem*) { copy(); });
    addAction(commandSelector(Command::cut), [this](const ActionItem*) { cut(); });
    addAction(commandSelector(Command::paste), [this](const ActionItem*) { paste(true); });
    addAction(commandSelector(Command::pasteAsPlainText), [this](const ActionItem*) { paste(false); });
    addAction(commandSelector(Command::copyNodeStyle), [this](const ActionItem*) { copyNodeStyle(); });
    addAction(commandSelector(Command::pasteNodeStyle), [this](const ActionItem*) { pasteNodeStyle(); });
}

void ClipboardCommands::copy()
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    auto selection = controller_.projectSelection();
    if (selection.empty() || !DocumentClipboard(*document).copyNodesToPasteBoard(selection))
        failed("copy(_:)", __LINE__, "copy failed");
}

void ClipboardCommands::cut()
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    GraphViewController::CommandSession session = controller_.openSession(*document, "Cut Nodes");
    auto selection = controller_.projectSelection();
    if (!selection.empty() && DocumentClipboard(*document).cutNodesToPasteBoard(selection)) {
        controller_.commitSession(*document);
        return;
    }
    failed("cut(_:)", __LINE__, "cut failed");
    controller_.cancelSession(*document, session);
}

void ClipboardCommands::paste(bool keepOriginalStyle)
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    const char* function = keepOriginalStyle ? "paste(_:)" : "pasteAsPlainText(_:)";
    if (!DocumentClipboard(*document).canPaste()) {
        failed(function, __LINE__,
               keepOriginalStyle ? "can't paste from pboard" : "can't paste and match style from pboard");
        return;
    }
    Point location = pasteLocation();
    GraphViewController::CommandSession session =
        controller_.openSession(*document, keepOriginalStyle ? "Paste" : "Paste and Match Style");
    if (!DocumentClipboard(*document).pasteFromPasteBoard(location, keepOriginalStyle)) {
        failed(function, __LINE__, "paste failed");
        controller_.cancelSession(*document, session);
        return;
    }
    DocumentLayout(*document).autoLayoutGraph(false);
    DocumentLayout(*document).resolveCollisions();
    controller_.commitSession(*document);
}

void ClipboardCommands::copyNodeStyle()
{
    auto document = controller_.lockDocument();
    auto selection = controller_.projectSelection();
    if (!document || selection.empty())
        return;
    if (!DocumentClipboard(*document).copyNodeStyleToPasteBoard(selection.front().style, selection.front().shape))
        failed("copyNodeStyle(_:)", __LINE__, "copy node style failed");
}

// Every selected node takes the pasted style and shape but keeps its own font.
void ClipboardCommands::pasteNodeStyle()
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    auto style = DocumentClipboard(*document).getNodeStyleFromPasteBoard();
    auto shape = DocumentClipboard(*document).getNodeShapeFromPasteBoard();
    if (!style || !shape) {
        Beep::beep();
        return;
    }
    controller_.openSession(*document, "Paste Node Style");
    auto nodes = controller_.projectSelection();
    for (Node& node : nodes) {
        Font font = node.style.font;
        node.style = *style;
        node.style.font = font;
        node.shape = *shape;
    }
    document->updateNodes(std::move(nodes), NodeUpdateOperation::style, false);
    DocumentLayout(*document).autolayoutSelectedNodes(false);
    DocumentLayout(*document).resolveCollisions();
    controller_.commitSession(*document);
}

Point ClipboardCommands::pasteLocation() const
{
    if (!controller_.graphView())
        return {};
    Rect visible = controller_.graphView()->visibleRect();
    if (visible.contains(controller_.graphView()->pointerLocation()))
        return controller_.graphView()->pointerLocation();
    return visible.center();
}

} // namespace velquine
