#include "app/MainMenu.h"

#include <QAction>
#include <QFileInfo>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "kit/KeyPolicy.h"
#include "kit/WindowActions.h"
#include "platform/RecentDocuments.h"

namespace velquine {

namespace {

using Keys = QList<QKeySequence>;

Keys standard(QKeySequence::StandardKey key)
{
    return KeyPolicy::standardShortcuts(key);
}

Keys keys(QKeyCombination combination)
{
    return {QKeySequence(combination)};
}

MainMenuItem separator()
{
    return {};
}

MainMenuItem submenu(const QString& title)
{
    return MainMenuItem(title);
}

MainMenuItem inSubmenu(MainMenuItem item)
{
    item.submenuLevel = 1;
    return item;
}

MainMenuSection fileMenu()
{
    return {QObject::tr("&File"),
            {{QObject::tr("&New"), "newDocument:", standard(QKeySequence::New)},
             {QObject::tr("&Open…"), "openDocument:", standard(QKeySequence::Open)},
             submenu(MainMenu::openRecentTitle()),
             separator(),
             {QObject::tr("&Close"), "performClose:", standard(QKeySequence::Close)},
             {QObject::tr("&Save"), "saveDocument:", standard(QKeySequence::Save)},
             {QObject::tr("Save &As…"), "saveDocumentAs:", standard(QKeySequence::SaveAs)},
             {QObject::tr("&Revert to Saved"), "revertDocumentToSaved:"},
             separator(),
             {QObject::tr("&Export…"), "showExportWindow:", keys(Qt::CTRL | Qt::Key_E)},
             separator(),
             {QObject::tr("Page Set&up…"), "runPageLayout:", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_P)},
             {QObject::tr("&Print…"), "printDocument:", standard(QKeySequence::Print)},
             separator(),
             {QObject::tr("&Quit"), "terminate:", standard(QKeySequence::Quit)}}};
}

MainMenuSection editMenu()
{
    return {QObject::tr("&Edit"),
            {{QObject::tr("&Undo"), "undo:", standard(QKeySequence::Undo)},
             {QObject::tr("&Redo"), "redo:", standard(QKeySequence::Redo)},
             separator(),
             {QObject::tr("Cu&t"), "cut:", standard(QKeySequence::Cut)},
             {QObject::tr("&Copy"), "copy:", standard(QKeySequence::Copy)},
             {QObject::tr("&Paste"), "paste:", standard(QKeySequence::Paste)},
             {QObject::tr("Paste and &Match Style"), "pasteAsPlainText:", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_V)},
             {QObject::tr("&Delete"), "delete:", {}, QObject::tr("Del")},
             {QObject::tr("Delete Single &Node"), "deleteSingle:", {}, QObject::tr("Shift+Del")},
             {QObject::tr("D&uplicate"), "duplicateNodeTree:", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
             {QObject::tr("Duplicate Single Node"), "duplicateSingleNode:"},
             separator(),
             {QObject::tr("Select &All"), "selectAll:", standard(QKeySequence::SelectAll)},
             {QObject::tr("Select Node &Tree"), "selecNodeTree:", keys(Qt::CTRL | Qt::ALT | Qt::Key_A)},
             {QObject::tr("D&eselect All"), "deselectAll:", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
             separator(),
             {QObject::tr("Emoji && &Symbols…"), "pickEmoji:", keys(Qt::CTRL | Qt::Key_Period)},
             separator(),
             {QObject::tr("Pr&eferences…"), "showPreferencesPanel:", standard(QKeySequence::Preferences)}}};
}

MainMenuSection insertMenu()
{
    return {QObject::tr("&Insert"),
            {{QObject::tr("New &Child Node"), "newChildNode:", {}, QObject::tr("Tab")},
             {QObject::tr("New &Sibling Node"), "newSiblingNode:", {}, QObject::tr("Return")},
             {QObject::tr("New &Parent Node"), "newParentNode:", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Return)},
             {QObject::tr("New &Root Node"), "newRootNode:", keys(Qt::CTRL | Qt::Key_Return)},
             separator(),
             {QObject::tr("&Edit Title"), "editSelectedNode:", keys(Qt::Key_F2)},
             separator(),
             {QObject::tr("&Image…"), "pickPhoto:", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_I)}}};
}

MainMenuSection formatMenu()
{
    return {QObject::tr("F&ormat"),
            {{QObject::tr("&Bold"), "toggleNodeBold:", standard(QKeySequence::Bold)},
             {QObject::tr("&Italic"), "toggleNodeItalic:", standard(QKeySequence::Italic)},
             {QObject::tr("&Underline"), "toggleNodeUnderline:", standard(QKeySequence::Underline)},
             separator(),
             {QObject::tr("Copy St&yle"), "copyNodeStyle:", keys(Qt::CTRL | Qt::ALT | Qt::Key_C)},
             {QObject::tr("Paste Styl&e"), "pasteNodeStyle:", keys(Qt::CTRL | Qt::ALT | Qt::Key_V)},
             separator(),
             {QObject::tr("Reset Node Style and Size"), "resetNodeStyleAndSize:"},
             {QObject::tr("Reset Node Style"), "resetNodeStyle:"},
             {QObject::tr("Reset Node Colors"), "resetNodeColors:"},
             {QObject::tr("Reset Node Size"), "resetNodeSize:"},
             separator(),
             {QObject::tr("&Detach from Parent"), "detachNodeFromParent:"},
             {QObject::tr("&Balance Children"), "balanceSelectedNode:", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_B)},
             {QObject::tr("&Auto Layout"), "autoLayoutGraph:", keys(Qt::CTRL | Qt::Key_L)},
             {QObject::tr("Auto Layout &Node"), "autoLayoutSelectedNode:", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_L)},
             {QObject::tr("Auto Layout &Partial Tree"), "autolayoutPartialTree:", keys(Qt::CTRL | Qt::ALT | Qt::Key_L)},
             {QObject::tr("&Resolve Collisions"), "resolveCollisions:", keys(Qt::CTRL | Qt::ALT | Qt::Key_R)},
             submenu(QObject::tr("&Sort Children")),
             inSubmenu({QObject::tr("By &Title"), "sortSelectedNodeChildren:"}),
             inSubmenu({QObject::tr("By &Creation Date"), "sortSelectedNodeChildren:"})}};
}

MainMenuSection viewMenu()
{
    return {QObject::tr("&View"),
            {{QObject::tr("&Focus on Node"), "toggleNodeFocus:", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
             {QObject::tr("&Center Selected Node"), "centerSelectedNode:", keys(Qt::CTRL | Qt::Key_J)},
             separator(),
             {QObject::tr("Zoom &In"), "zoomIn:", standard(QKeySequence::ZoomIn)},
             {QObject::tr("Zoom &Out"), "zoomOut:", standard(QKeySequence::ZoomOut)},
             {QObject::tr("&Actual Size"), "zoomDefault:", keys(Qt::CTRL | Qt::Key_0)},
             separator(),
             {QObject::tr("Show &Navigator"), "toggleSidebar:", keys(Qt::CTRL | Qt::ALT | Qt::Key_1)},
             {QObject::tr("Show &Notes"), "toggleNoteView:", keys(Qt::CTRL | Qt::ALT | Qt::Key_2)},
             {QObject::tr("Show &Inspector"), "myToggleInspector:", keys(Qt::CTRL | Qt::ALT | Qt::Key_3)},
             {QObject::tr("&Style Inspector"), "switchSidebarInspector:", keys(Qt::CTRL | Qt::ALT | Qt::Key_4), {}, 0},
             {QObject::tr("Con&tent Inspector"), "switchSidebarInspector:", keys(Qt::CTRL | Qt::ALT | Qt::Key_5), {}, 1},
             separator(),
             submenu(QObject::tr("&Debug")),
             inSubmenu({QObject::tr("Dump Graph"), "dumpGraph:"}),
             inSubmenu({QObject::tr("Toggle Debug Drawing"), "toggleDebugDrawing:"}),
             inSubmenu({QObject::tr("Reload Map"), "forceReloadModel:"}),
             inSubmenu({QObject::tr("Blong"), "blong:"})}};
}

MainMenuSection windowMenu()
{
    return {QObject::tr("&Window"),
            {{QObject::tr("&Minimize"), "performMiniaturize:", keys(Qt::CTRL | Qt::Key_M)}}};
}

MainMenuSection helpMenu()
{
    return {QObject::tr("&Help"),
            {{QObject::tr("Velquine &Help"), "showManual:", standard(QKeySequence::HelpContents)},
             {QObject::tr("&Keyboard Shortcuts"), "showCheatSheet:", keys(Qt::CTRL | Qt::Key_Slash)},
             {QObject::tr("Velquine &Website"), "visitProductWebsite:"},
             {QObject::tr("&Contact Support…"), "contactSupport:"},
             separator(),
             {QObject::tr("Check for &Updates…"), "checkUpdates:"}}};
}

constexpr const char* keyHintProperty = "velquineKeyHint";

// Lists the recent documents (files gone are left out) each time the submenu opens, then "Clear Menu".
void fillOpenRecent(QMenu* menu, WindowActions* actions)
{
    menu->clear();
    for (const std::string& path : RecentDocuments::paths()) {
        const QString file = QString::fromStdString(path);
        QAction* item = actions->addAction(menu, QFileInfo(file).fileName(), "openRecentDocument:");
        item->setData(file);
        item->setToolTip(file);
    }
    menu->addSeparator();
    actions->addAction(menu, QObject::tr("Clear Menu"), "clearRecentDocuments:");
}

// Puts each item's map key back after its title: validation may have given the item a new title.
void showKeyHints(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        const QString hint = action->property(keyHintProperty).toString();
        if (hint.isEmpty())
            continue;
        QString title = action->text();
        title = title.left(title.indexOf(u'\t') < 0 ? title.size() : title.indexOf(u'\t'));
        action->setText(title + u'\t' + hint);
    }
}

// Adds the window list after the menu's own items whenever it opens.
void listWindows(QMenu* menu, int fixedItems)
{
    const QList<QAction*> all = menu->actions();
    for (int i = fixedItems; i < all.size(); ++i)
        delete all[i];
    menu->addSeparator();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || !qobject_cast<QMainWindow*>(window) || window->windowTitle().isEmpty())
            continue;
        QAction* item = menu->addAction(window->windowTitle());
        item->setCheckable(true);
        item->setChecked(window == menu->window() || window->isActiveWindow());
        QObject::connect(item, &QAction::triggered, window, [window] {
            window->showNormal();
            window->raise();
            window->activateWindow();
        });
    }
}

} // namespace

QString MainMenu::openRecentTitle()
{
    return QObject::tr("Open &Recent");
}

std::vector<MainMenuSection> MainMenu::sections()
{
    return {fileMenu(), editMenu(), insertMenu(), formatMenu(), viewMenu(), windowMenu(), helpMenu()};
}

QMenuBar* MainMenu::install(QMainWindow* window, WindowActions* actions)
{
    auto* bar = new QMenuBar(window);
    for (const MainMenuSection& section : sections()) {
        QMenu* menu = bar->addMenu(section.title);
        QMenu* sub = nullptr;
        for (const MainMenuItem& item : section.items) {
            QMenu* target = item.submenuLevel > 0 && sub ? sub : menu;
            if (item.title.isEmpty()) {
                target->addSeparator();
            } else if (item.selector.empty()) {
                sub = menu->addMenu(item.title);
                if (item.title == openRecentTitle()) {
                    QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, actions] { fillOpenRecent(sub, actions); });
                    fillOpenRecent(sub, actions);
                }
            } else {
                QAction* action = actions->addAction(target, item.title, item.selector, item.shortcuts, item.tag);
                action->setShortcutContext(Qt::WindowShortcut);
                if (!item.keyHint.isEmpty())
                    action->setProperty(keyHintProperty, item.keyHint);
            }
        }
        actions->watchMenu(menu);
        QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] { showKeyHints(menu); });
        showKeyHints(menu);
        if (section.title == QObject::tr("&Window")) {
            const int fixedItems = static_cast<int>(menu->actions().size());
            QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, fixedItems] { listWindows(menu, fixedItems); });
        }
    }
    window->setMenuBar(bar);
    return bar;
}

} // namespace velquine
