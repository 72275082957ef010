#include "kit/CommandTable.h"

#include <QCoreApplication>

#include <iterator>

#include "kit/KeyPolicy.h"

namespace velquine {

namespace {

constexpr CommandSpec table[] = {
    {.command = Command::newDocument, .selector = "newDocument:", .title = "&New", .standardKey = QKeySequence::New},
    {.command = Command::openDocument, .selector = "openDocument:", .title = "&Open…",
     .standardKey = QKeySequence::Open},
    {.command = Command::openRecentDocument, .selector = "openRecentDocument:"},
    {.command = Command::clearRecentDocuments, .selector = "clearRecentDocuments:", .title = "Clear Menu"},
    {.command = Command::performClose, .selector = "performClose:", .title = "&Close",
     .standardKey = QKeySequence::Close},
    {.command = Command::saveDocument, .selector = "saveDocument:", .title = "&Save",
     .standardKey = QKeySequence::Save},
    {.command = Command::saveDocumentAs, .selector = "saveDocumentAs:", .title = "Save &As…",
     .standardKey = QKeySequence::SaveAs},
    {.command = Command::revertDocumentToSaved, .selector = "revertDocumentToSaved:", .title = "&Revert to Saved"},
    {.command = Command::showExportWindow, .selector = "showExportWindow:", .title = "&Export…",
     .key = Qt::CTRL | Qt::Key_E, .toolbar = {"KelvExportItem", "square.and.arrow.up", "Export…", 0, false}},
    {.command = Command::runPageLayout, .selector = "runPageLayout:", .title = "Page Set&up…",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_P},
    {.command = Command::printDocument, .selector = "printDocument:", .title = "&Print…",
     .standardKey = QKeySequence::Print},
    {.command = Command::terminate, .selector = "terminate:", .title = "&Quit", .standardKey = QKeySequence::Quit},
    {.command = Command::undo, .selector = "undo:", .title = "&Undo", .standardKey = QKeySequence::Undo},
    {.command = Command::redo, .selector = "redo:", .title = "&Redo", .standardKey = QKeySequence::Redo},
    {.command = Command::cut, .selector = "cut:", .title = "Cu&t", .standardKey = QKeySequence::Cut,
     .selection = SelectionNeed::some},
    {.command = Command::copy, .selector = "copy:", .title = "&Copy", .standardKey = QKeySequence::Copy,
     .selection = SelectionNeed::some},
    {.command = Command::paste, .selector = "paste:", .title = "&Paste", .standardKey = QKeySequence::Paste},
    {.command = Command::pasteAsPlainText, .selector = "pasteAsPlainText:", .title = "Paste and &Match Style",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_V},
    {.command = Command::delete_, .selector = "delete:", .title = "&Delete", .keyHint = "Del",
     .selection = SelectionNeed::some},
    {.command = Command::deleteSingle, .selector = "deleteSingle:", .title = "Delete Single &Node",
     .keyHint = "Shift+Del", .selection = SelectionNeed::some},
    {.command = Command::duplicateNodeTree, .selector = "duplicateNodeTree:", .title = "D&uplicate",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_D, .selection = SelectionNeed::some},
    {.command = Command::duplicateSingleNode, .selector = "duplicateSingleNode:", .title = "Duplicate Single Node",
     .selection = SelectionNeed::some},
    {.command = Command::selectAll, .selector = "selectAll:", .title = "Select &All",
     .standardKey = QKeySequence::SelectAll},
    {.command = Command::selecNodeTree, .selector = "selecNodeTree:", .title = "Select Node &Tree",
     .key = Qt::CTRL | Qt::ALT | Qt::Key_A, .selection = SelectionNeed::some},
    {.command = Command::deselectAll, .selector = "deselectAll:", .title = "D&eselect All",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_A, .selection = SelectionNeed::some},
    {.command = Command::pickEmoji, .selector = "pickEmoji:", .title = "Emoji && &Symbols…",
     .key = Qt::CTRL | Qt::Key_Period, .toolbar = {"KelvEmojisItem", "face.smiling", "Add Emoji", 0, false}},
    {.command = Command::showPreferencesPanel, .selector = "showPreferencesPanel:", .title = "Pr&eferences…",
     .standardKey = QKeySequence::Preferences},
    {.command = Command::newChildNode, .selector = "newChildNode:", .title = "New &Child Node", .keyHint = "Tab",
     .selection = SelectionNeed::exactlyOne},
    {.command = Command::newSiblingNode, .selector = "newSiblingNode:", .title = "New &Sibling Node",
     .keyHint = "Return"},
    {.command = Command::newParentNode, .selector = "newParentNode:", .title = "New &Parent Node",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_Return, .selection = SelectionNeed::exactlyOne},
    {.command = Command::newRootNode, .selector = "newRootNode:", .title = "New &Root Node",
     .key = Qt::CTRL | Qt::Key_Return},
    {.command = Command::editSelectedNode, .selector = "editSelectedNode:", .title = "&Edit Title",
     .key = Qt::Key_F2},
    {.command = Command::pickPhoto, .selector = "pickPhoto:", .title = "&Image…",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_I, .toolbar = {"KelvPhotosItem", "photo", "Add Photo", 0, false}},
    {.command = Command::toggleNodeBold, .selector = "toggleNodeBold:", .title = "&Bold",
     .standardKey = QKeySequence::Bold},
    {.command = Command::toggleNodeItalic, .selector = "toggleNodeItalic:", .title = "&Italic",
     .standardKey = QKeySequence::Italic},
    {.command = Command::toggleNodeUnderline, .selector = "toggleNodeUnderline:", .title = "&Underline",
     .standardKey = QKeySequence::Underline},
    {.command = Command::copyNodeStyle, .selector = "copyNodeStyle:", .title = "Copy St&yle",
     .key = Qt::CTRL | Qt::ALT | Qt::Key_C, .selection = SelectionNeed::exactlyOne},
    {.command = Command::pasteNodeStyle, .selector = "pasteNodeStyle:", .title = "Paste Styl&e",
     .key = Qt::CTRL | Qt::ALT | Qt::Key_V},
    {.command = Command::resetNodeStyleAndSize, .selector = "resetNodeStyleAndSize:",
     .title = "Reset Node Style and Size", .selection = SelectionNeed::some},
    {.command = Command::resetNodeStyle, .selector = "resetNodeStyle:", .title = "Reset Node Style",
     .selection = SelectionNeed::some},
    {.command = Command::resetNodeColors, .selector = "resetNodeColors:", .title = "Reset Node Colors",
     .selection = SelectionNeed::some},
    {.command = Command::resetNodeSize, .selector = "resetNodeSize:", .title = "Reset Node Size",
     .selection = SelectionNeed::some},
    {.command = Command::detachNodeFromParent, .selector = "detachNodeFromParent:", .title = "&Detach from Parent"},
    {.command = Command::balanceSelectedNode, .selector = "balanceSelectedNode:", .title = "&Balance Children",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_B, .selection = SelectionNeed::some,
     .toolbar = {"BalanceItem", "arrow.left.and.line.vertical.and.arrow.right", "Balance Children", 0, true}},
    {.command = Command::autoLayoutGraph, .selector = "autoLayoutGraph:", .title = "&Auto Layout",
     .key = Qt::CTRL | Qt::Key_L},
    {.command = Command::autoLayoutSelectedNode, .selector = "autoLayoutSelectedNode:", .title = "Auto Layout &Node",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_L},
    {.command = Command::autolayoutPartialTree, .selector = "autolayoutPartialTree:",
     .title = "Auto Layout &Partial Tree", .key = Qt::CTRL | Qt::ALT | Qt::Key_L},
    {.command = Command::resolveCollisions, .selector = "resolveCollisions:", .title = "&Resolve Collisions",
     .key = Qt::CTRL | Qt::ALT | Qt::Key_R},
    {.command = Command::sortSelectedNodeChildren, .selector = "sortSelectedNodeChildren:", .title = "By &Title",
     .toolbar = {"SortItem", "textformat.abc", "Sort Children", 0, true}},
    {.command = Command::sortSelectedNodeChildrenByCreationDate, .selector = "sortSelectedNodeChildren:",
     .title = "By &Creation Date"},
    {.command = Command::toggleNodeFocus, .selector = "toggleNodeFocus:", .title = "&Focus on Node",
     .key = Qt::CTRL | Qt::SHIFT | Qt::Key_F,
     .toolbar = {"ToggleNodeFocusItem", "eye", "Focus Selected Nodes", 0, true}},
    {.command = Command::centerSelectedNode, .selector = "centerSelectedNode:", .title = "&Center Selected Node",
     .key = Qt::CTRL | Qt::Key_J, .toolbar = {"centerNodeItem", "viewfinder", "Center Selected Node", 0, true}},
    {.command = Command::centerSelectedNodeNoAnim, .selector = "centerSelectedNodeNoAnim:"},
    // Ctrl+= as well, the key that holds "+" on most keyboards, as in other desktop applications.
    {.command = Command::zoomIn, .selector = "zoomIn:", .title = "Zoom &In", .standardKey = QKeySequence::ZoomIn,
     .key = Qt::CTRL | Qt::Key_Equal},
    {.command = Command::zoomOut, .selector = "zoomOut:", .title = "Zoom &Out", .standardKey = QKeySequence::ZoomOut},
    {.command = Command::zoomDefault, .selector = "zoomDefault:", .title = "&Actual Size",
     .key = Qt::CTRL | Qt::Key_0},
    {.command = Command::changeZoomLevel, .selector = "changeZoomLevel:"},
    {.command = Command::toggleSidebar, .selector = "toggleSidebar:", .title = "Show &Navigator",
     .key = Qt::CTRL | Qt::ALT | Qt::Key_1,
     .toolbar = {"MyToggleSidebarItem", "sidebar.leading", "Toggle Sidebar", 123, false}},
    {.command = Command::toggleNoteView, .selector = "toggleNoteView:", .title = "Show &Notes",
     .key = Qt::CTRL | Qt::ALT | Qt::Key_2, .toolbar = {"ToggleNotesItem", "note.text", "Show Notes View", 0, false}},
    {.command = Command::showNoteView, .selector = "showNoteView:"},
    {.command = Command::myToggleInspector, .selector = "myToggleInspector:", .title = "Show &Inspector",
     .key = Qt::CTRL | Qt::ALT | Qt::Key_3,
     .toolbar = {"ToggleInspectorItem", "sidebar.trailing", "Toggle Inspector", 0, false}},
    {.command = Command::switchSidebarInspector, .selector = "switchSidebarInspector:", .title = "&Style Inspector",
     .key = Qt::CTRL | Qt::ALT | Qt::Key_4},
    {.command = Command::switchSidebarInspectorToContent, .selector = "switchSidebarInspector:",
     .title = "Con&tent Inspector", .key = Qt::CTRL | Qt::ALT | Qt::Key_5, .tag = 1},
    {.command = Command::dumpGraph, .selector = "dumpGraph:", .title = "Dump Graph"},
    {.command = Command::toggleDebugDrawing, .selector = "toggleDebugDrawing:", .title = "Toggle Debug Drawing"},
    {.command = Command::forceReloadModel, .selector = "forceReloadModel:", .title = "Reload Map"},
    {.command = Command::blong, .selector = "blong:", .title = "Blong"},
    {.command = Command::performMiniaturize, .selector = "performMiniaturize:", .title = "&Minimize",
     .key = Qt::CTRL | Qt::Key_M},
    {.command = Command::shareDocument, .selector = "shareDocument:"},
    {.command = Command::honkhonk, .selector = "honkhonk:"},
    {.command = Command::runToolbarCustomizationPalette, .selector = "runToolbarCustomizationPalette:",
     .title = "Customize Toolbar…"},
    {.command = Command::showManual, .selector = "showManual:", .title = "Velquine &Help",
     .standardKey = QKeySequence::HelpContents},
    {.command = Command::showCheatSheet, .selector = "showCheatSheet:", .title = "&Keyboard Shortcuts",
     .key = Qt::CTRL | Qt::Key_Slash,
     .toolbar = {"KelvHelpItem", "questionmark.circle", "Keyboard Shortcuts…", 0, false}},
    {.command = Command::visitProductWebsite, .selector = "visitProductWebsite:", .title = "Velquine &Website"},
    {.command = Command::contactSupport, .selector = "contactSupport:", .title = "&Contact Support…"},
    {.command = Command::checkUpdates, .selector = "checkUpdates:", .title = "Check for &Updates…"},
    {.command = Command::toggleShapeInheritance, .selector = "toggleShapeInheritance:"},
    {.command = Command::minBorderThicknessAction, .selector = "minBorderThicknessAction:"},
    {.command = Command::maxBorderThicknessAction, .selector = "maxBorderThicknessAction:"},
    {.command = Command::minBranchThicknessAction, .selector = "minBranchThicknessAction:"},
    {.command = Command::maxBranchThicknessAction, .selector = "maxBranchThicknessAction:"},
    {.command = Command::changeLayout, .selector = "changeLayout:"},
    {.command = Command::resetLayout, .selector = "resetLayout:"},
    {.command = Command::setNodeStyleAsDefault, .selector = "setNodeStyleAsDefault:"},
};

constexpr bool inIdentifierOrder()
{
    for (std::size_t index = 0; index < std::size(table); ++index)
        if (static_cast<std::size_t>(table[index].command) != index)
            return false;
    return true;
}
static_assert(inIdentifierOrder(), "the table lists the commands in the order of their identifiers");
static_assert(std::size(table) == static_cast<std::size_t>(Command::setNodeStyleAsDefault) + 1,
              "every command is in the table");

QString translated(const char* text)
{
    return text ? QCoreApplication::translate("QObject", text) : QString();
}

} // namespace

std::span<const CommandSpec> commandTable()
{
    return table;
}

const CommandSpec& commandSpec(Command command)
{
    return table[static_cast<std::size_t>(command)];
}

const char* commandSelector(Command command)
{
    return commandSpec(command).selector;
}

std::optional<Command> commandForSelector(std::string_view selector)
{
    for (const CommandSpec& spec : table)
        if (selector == spec.selector)
            return spec.command;
    return std::nullopt;
}

QString commandTitle(Command command)
{
    return translated(commandSpec(command).title);
}

// "Emoji && &Symbols…" reads "Emoji & Symbols…".
QString commandPlainTitle(Command command)
{
    const QString title = commandTitle(command);
    QString plain;
    for (qsizetype index = 0; index < title.size(); ++index) {
        if (title[index] == u'&' && index + 1 < title.size())
            ++index;
        plain += title[index];
    }
    return plain;
}

QList<QKeySequence> commandShortcuts(Command command)
{
    const CommandSpec& spec = commandSpec(command);
    QList<QKeySequence> shortcuts;
    if (spec.standardKey != QKeySequence::UnknownKey)
        shortcuts = KeyPolicy::standardShortcuts(spec.standardKey);
    if (spec.key.key() != Qt::Key_unknown && !shortcuts.contains(QKeySequence(spec.key)))
        shortcuts.append(QKeySequence(spec.key));
    return shortcuts;
}

QString commandKeyHint(Command command)
{
    return translated(commandSpec(command).keyHint);
}

std::optional<Command> commandForToolbarIdentifier(const QString& identifier)
{
    for (const CommandSpec& spec : table)
        if (spec.toolbar.identifier && identifier == QLatin1String(spec.toolbar.identifier))
            return spec.command;
    return std::nullopt;
}

} // namespace velquine
