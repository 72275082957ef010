#pragma once

// Every command of the application, in one table.
//
// A command travels along a window's responder chain by its selector text (see platform/ActionDispatcher.h).
// Selectors and toolbar item identifiers keep their spelling: the identifiers are stored in the user's toolbar
// arrangement. Code names a command by its identifier and reads the rest here: the main menu its title, keys and key hint, the toolbar its button, the
// canvas's context menus its title, validation its selection needs, and responders the selector they register
// with addAction(). A command shown twice in the menu with different titles (the two sort orders, the two
// inspectors) has one identifier per item; both share the selector.
//
// Titles carry their mnemonic ("New &Child Node") and are translated when read.

#include <QKeySequence>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace velquine {

enum class Command : std::uint8_t {
    // File
    newDocument, openDocument, openRecentDocument, clearRecentDocuments, performClose, saveDocument, saveDocumentAs,
    revertDocumentToSaved, showExportWindow, runPageLayout, printDocument, terminate,
    // Edit
    undo, redo, cut, copy, paste, pasteAsPlainText, delete_, deleteSingle, duplicateNodeTree, duplicateSingleNode,
    selectAll, selecNodeTree, deselectAll, pickEmoji, showPreferencesPanel,
    // Insert
    newChildNode, newSiblingNode, newParentNode, newRootNode, editSelectedNode, pickPhoto,
    // Format
    toggleNodeBold, toggleNodeItalic, toggleNodeUnderline, copyNodeStyle, pasteNodeStyle, resetNodeStyleAndSize,
    resetNodeStyle, resetNodeColors, resetNodeSize, detachNodeFromParent, balanceSelectedNode, autoLayoutGraph,
    autoLayoutSelectedNode, autolayoutPartialTree, resolveCollisions, sortSelectedNodeChildren,
    sortSelectedNodeChildrenByCreationDate,
    // View
    toggleNodeFocus, centerSelectedNode, centerSelectedNodeNoAnim, zoomIn, zoomOut, zoomDefault, changeZoomLevel,
    toggleSidebar, toggleNoteView, showNoteView, myToggleInspector, switchSidebarInspector,
    switchSidebarInspectorToContent, dumpGraph, toggleDebugDrawing, forceReloadModel, blong,
    // Window (the last three in no menu)
    performMiniaturize, shareDocument, honkhonk, runToolbarCustomizationPalette,
    // Help
    showManual, showCheatSheet, visitProductWebsite, contactSupport, checkUpdates,
    // Node style inspector
    toggleShapeInheritance, minBorderThicknessAction, maxBorderThicknessAction, minBranchThicknessAction,
    maxBranchThicknessAction, changeLayout, resetLayout, setNodeStyleAsDefault,
};

// What the canvas controller's validation asks of the map's selection before enabling the command.
enum class SelectionNeed : std::uint8_t { none, some, exactlyOne };

// A button of the editor window's toolbar. The identifier is stored in the user's toolbar arrangement.
struct ToolbarButtonSpec {
    const char* identifier = nullptr; // null: the command has no button
    const char* symbol = nullptr;
    const char* label = nullptr;
    int tag = 0;
    bool validating = false; // enabled (and for the focus button checked) as the chain answers
};

struct CommandSpec {
    Command command;
    const char* selector;
    const char* title = nullptr; // null: in no menu
    QKeySequence::StandardKey standardKey = QKeySequence::UnknownKey;
    QKeyCombination key = Qt::Key_unknown; // Key_unknown: none; with a standard key, one more after its own
    const char* keyHint = nullptr; // a key the map handles itself, shown after the menu title
    int tag = 0;
    SelectionNeed selection = SelectionNeed::none;
    ToolbarButtonSpec toolbar = {};
};

// Every command, in the order of the identifiers.
std::span<const CommandSpec> commandTable();
const CommandSpec& commandSpec(Command command);
const char* commandSelector(Command command);
// The first command with this selector, if any.
std::optional<Command> commandForSelector(std::string_view selector);

// The translated menu title with its mnemonic, and the same without it (for context menus).
QString commandTitle(Command command);
QString commandPlainTitle(Command command);
// The window shortcuts of the command (standard keys as KeyPolicy gives them), and its translated key hint.
QList<QKeySequence> commandShortcuts(Command command);
QString commandKeyHint(Command command);

// The command whose toolbar button has this identifier, if any.
std::optional<Command> commandForToolbarIdentifier(const QString& identifier);

} // namespace velquine
