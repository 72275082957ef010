#include "document/DocumentFactory.h"
#include "support/QtWait.h"
#include "app/MainMenu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <algorithm>
#include <map>
#include <set>

#include "app/AppDelegate.h"
#include "app/DocumentCommands.h"
#include "app/DocumentWindow.h"
#include "app/PreferencesPanelController.h"
#include "document/VQDocument.h"
#include "editor/MindMapEditorWindowController.h"
#include "editor/ToolbarController.h"
#include "kit/CommandTable.h"
#include "kit/WindowActions.h"
#include "model/project/FactorySettings.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

// Every bound item of the menu bar by selector (the last one of repeated selectors).
std::map<std::string, QAction*> itemsOf(QMenuBar* bar)
{
    std::map<std::string, QAction*> items;
    std::vector<QMenu*> menus;
    for (QAction* action : bar->actions())
        menus.push_back(action->menu());
    while (!menus.empty()) {
        QMenu* menu = menus.back();
        menus.pop_back();
        for (QAction* action : menu->actions()) {
            if (action->menu())
                menus.push_back(action->menu());
            else if (!WindowActions::selectorOf(action).empty())
                items[WindowActions::selectorOf(action)] = action;
        }
    }
    return items;
}

// The selector an item sends, or for an item that calls its owner directly, its object name.
std::string commandNameOf(const QAction* action)
{
    const std::string selector = WindowActions::selectorOf(action);
    return selector.empty() ? action->objectName().toStdString() : selector;
}

QString shortcutOf(const std::map<std::string, QAction*>& items, const std::string& selector)
{
    return items.at(selector)->shortcut().toString(QKeySequence::PortableText);
}

} // namespace

TEST(MainMenu, EveryCommandHasItsItemUnderTheUsualMenusWithItsKeys)
{
    ScopedStandardUserDefaults scope;
    registerFactoryDefaults();
    AppDelegate delegate;
    DocumentWindow window(DocumentFactory::makeUntitledDocument(), QStringLiteral("Untitled"));
    QMenuBar* bar = window.menuBar();
    QStringList titles;
    for (QAction* action : bar->actions())
        titles << action->text().remove(u'&');
    EXPECT_EQ(titles, (QStringList{"File", "Edit", "Insert", "Format", "View", "Window", "Help"}));

    const auto items = itemsOf(bar);
    for (const char* selector :
         {"newRootNode:", "newSiblingNode:", "newChildNode:", "newParentNode:", "detachNodeFromParent:", "delete:",
          "deleteSingle:", "duplicateNodeTree:", "duplicateSingleNode:", "editSelectedNode:", "selectAll:",
          "selecNodeTree:", "deselectAll:", "toggleNodeBold:", "toggleNodeItalic:", "toggleNodeUnderline:",
          "resetNodeStyleAndSize:", "resetNodeStyle:", "resetNodeColors:", "resetNodeSize:", "resolveCollisions:",
          "balanceSelectedNode:", "autoLayoutGraph:", "autoLayoutSelectedNode:", "autolayoutPartialTree:",
          "sortSelectedNodeChildren:", "toggleNodeFocus:", "centerSelectedNode:", "copy:", "cut:", "paste:",
          "pasteAsPlainText:", "copyNodeStyle:", "pasteNodeStyle:", "zoomIn:", "zoomOut:", "zoomDefault:",
          "dumpGraph:", "toggleDebugDrawing:", "forceReloadModel:", "blong:", "showPreferencesPanel:",
          "checkUpdates:", "showManual:", "visitProductWebsite:", "showCheatSheet:", "contactSupport:",
          "pickEmoji:", "pickPhoto:", "showExportWindow:", "toggleSidebar:", "myToggleInspector:",
          "switchSidebarInspector:", "toggleNoteView:", "printDocument:", "saveDocument:", "saveDocumentAs:",
          "newDocument:", "openDocument:", "performClose:", "undo:", "redo:", "terminate:"})
        EXPECT_TRUE(items.count(selector)) << selector;

    // Shortcuts under X11's key scheme, with explicit ones where it has none.
    EXPECT_EQ(shortcutOf(items, "saveDocumentAs:"), QStringLiteral("Ctrl+Shift+S"));
    EXPECT_EQ(shortcutOf(items, "showPreferencesPanel:"), QStringLiteral("Ctrl+,"));
    EXPECT_EQ(shortcutOf(items, "terminate:"), QStringLiteral("Ctrl+Q"));
    EXPECT_EQ(shortcutOf(items, "copy:"), QStringLiteral("Ctrl+C"));
    EXPECT_EQ(shortcutOf(items, "undo:"), QStringLiteral("Ctrl+Z"));
    EXPECT_EQ(shortcutOf(items, "toggleNodeBold:"), QStringLiteral("Ctrl+B"));
    EXPECT_EQ(shortcutOf(items, "printDocument:"), QStringLiteral("Ctrl+P"));
    EXPECT_EQ(shortcutOf(items, "showCheatSheet:"), QStringLiteral("Ctrl+/"));
    // Map keys are shown, never taken as window shortcuts.
    EXPECT_EQ(items.at("newChildNode:")->text(), QStringLiteral("New &Child Node\tTab"));
    EXPECT_EQ(items.at("newSiblingNode:")->text(), QStringLiteral("New &Sibling Node\tReturn"));
    std::set<QString> used;
    for (const auto& [selector, action] : items)
        for (const QKeySequence& sequence : action->shortcuts()) {
            EXPECT_FALSE(sequence.matches(QKeySequence(Qt::Key_Return)) == QKeySequence::ExactMatch) << selector;
            EXPECT_FALSE(sequence.matches(QKeySequence(Qt::Key_Tab)) == QKeySequence::ExactMatch) << selector;
            EXPECT_FALSE(sequence.matches(QKeySequence(Qt::Key_Delete)) == QKeySequence::ExactMatch) << selector;
            EXPECT_TRUE(used.insert(sequence.toString()).second) << "twice: " << sequence.toString().toStdString();
        }
}

TEST(MainMenu, ItemsReachTheirRespondersAndUnansweredOnesAreDisabled)
{
    ScopedStandardUserDefaults scope;
    registerFactoryDefaults();
    AppDelegate delegate;
    DocumentWindow window(DocumentFactory::makeUntitledDocument(), QStringLiteral("Untitled"));
    auto* field = new QLineEdit(&window);
    window.setCentralWidget(field);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();

    const auto items = itemsOf(window.menuBar());
    QMenu* file = window.menuBar()->actions()[0]->menu();
    window.windowActions()->validateMenu(file);
    EXPECT_FALSE(items.at("saveDocument:")->isEnabled()); // nobody answers it yet
    EXPECT_TRUE(items.at("newDocument:")->isEnabled());
    window.windowActions()->validateMenu(window.menuBar()->actions()[6]->menu());
    EXPECT_TRUE(items.at("checkUpdates:")->isVisible());
    test::saveScreenshot(&window, QStringLiteral("startup-window-with-menu"));
    QMenu* format = window.menuBar()->actions()[3]->menu();
    format->popup(window.mapToGlobal(QPoint(130, 20)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(format));
    test::saveScreenshot(format, QStringLiteral("menu-format"));
    format->hide();
    QMenu* edit = window.menuBar()->actions()[1]->menu();
    edit->popup(window.mapToGlobal(QPoint(40, 20)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(edit));
    test::saveScreenshot(edit, QStringLiteral("menu-edit"));
    edit->hide();
    // The Window menu lists the open windows, this one checked.
    QMenu* windows = window.menuBar()->actions()[5]->menu();
    emit windows->aboutToShow();
    emit windows->aboutToShow(); // the list is made afresh, not added twice
    QStringList listed;
    for (QAction* action : windows->actions())
        if (action->isCheckable())
            listed << action->text() + (action->isChecked() ? "*" : "");
    EXPECT_EQ(listed, QStringList{"Untitled*"});

    // A window shortcut goes through the chain to the application's commands.
    QTest::keyClick(field, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EVENTUALLY(delegate.preferencesPanelController()->isVisible(), 2000);
    delegate.preferencesPanelController()->close();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    // Return stays with the text field.
    QTest::keyClicks(field, QStringLiteral("ab"));
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(field->text(), QStringLiteral("a"));
    EXPECT_TRUE(window.isVisible());
}

// The menus and the toolbar are made from the command table: every titled command has its one item with the
// table's title, key hint, tag and keys, every button the table's label, and a real editor window's chain
// answers each of them.
TEST(MainMenu, MenusAndToolbarShowTheCommandTableAndTheChainAnswersIt)
{
    ScopedStandardUserDefaults scope;
    registerFactoryDefaults();
    AppDelegate delegate;
    auto document = DocumentFactory::makeUntitledDocument();
    MindMapEditorWindowController window(document, QStringLiteral("Untitled"),
                                         std::make_unique<DocumentCommands>(document, delegate.documents()));
    std::vector<QAction*> items;
    std::vector<QMenu*> menus{window.toolbarController()->makeContextMenu(&window)};
    for (QAction* action : window.menuBar()->actions())
        menus.push_back(action->menu());
    while (!menus.empty()) {
        QMenu* menu = menus.back();
        menus.pop_back();
        for (QAction* action : menu->actions())
            action->menu() ? menus.push_back(action->menu()) : items.push_back(action);
    }
    const ActionDispatcher& dispatcher = window.windowActions()->dispatcher();
    int checked = 0;
    for (const CommandSpec& spec : commandTable()) {
        const QString title = commandTitle(spec.command);
        if (!spec.title && !spec.toolbar.identifier)
            continue;
        SCOPED_TRACE(spec.selector);
        if (spec.command != Command::runToolbarCustomizationPalette) {
            EXPECT_TRUE(dispatcher.targetForAction(spec.selector)) << "no responder";
        }
        if (spec.title) {
            auto same = [&](QAction* action) {
                return commandNameOf(action) == spec.selector && action->text().section(u'\t', 0, 0) == title;
            };
            EXPECT_EQ(std::count_if(items.begin(), items.end(), same), 1);
            if (auto found = std::find_if(items.begin(), items.end(), same); found != items.end()) {
                EXPECT_EQ((*found)->text().section(u'\t', 1), commandKeyHint(spec.command));
                EXPECT_EQ((*found)->shortcuts(), commandShortcuts(spec.command));
                EXPECT_EQ(WindowActions::itemFor(*found, ActionItemKind::menuItem).tag, spec.tag);
                ++checked;
            }
        }
        if (spec.toolbar.identifier) {
            QAction* button = window.toolbarController()->makeItem(QString::fromLatin1(spec.toolbar.identifier));
            ASSERT_TRUE(button);
            EXPECT_EQ(WindowActions::selectorOf(button), spec.selector);
            EXPECT_EQ(button->text(), QString::fromUtf8(spec.toolbar.label));
            EXPECT_EQ(WindowActions::itemFor(button, ActionItemKind::toolbarItem).tag, spec.toolbar.tag);
            delete button;
        }
    }
    EXPECT_EQ(checked, 70);
    // Nothing in the menus bypasses the table: every item with a command is one of its entries.
    for (QAction* action : items) {
        const std::string selector = WindowActions::selectorOf(action);
        if (!selector.empty()) {
            EXPECT_TRUE(commandForSelector(selector)) << selector;
        }
    }
}
