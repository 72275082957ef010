#include "app/MainMenu.h"

#include <QAction>
#include <QFileInfo>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "kit/CommandTable.h"
#include "kit/WindowActions.h"
#include "platform/RecentDocuments.h"

namespace velquine {

namespace {

MainMenuItem separator()
{
    return {};
}

MainMenuItem submenu(const QString& title)
{
    return MainMenuItem(title);
}

// The item of a command, as the command table describes it.
MainMenuItem item(Command command, int submenuLevel = 0)
{
    MainMenuItem item(commandTitle(command), commandSelector(command), commandShortcuts(command),
                      commandKeyHint(command), commandSpec(command).tag);
    item.submenuLevel = submenuLevel;
    return item;
}

MainMenuSection fileMenu()
{
    return {QObject::tr("&File"),
            {item(Command::newDocument), item(Command::openDocument), submenu(MainMenu::openRecentTitle()),
             separator(), item(Command::performClose), item(Command::saveDocument), item(Command::saveDocumentAs),
             item(Command::revertDocumentToSaved), separator(), item(Command::showExportWindow), separator(),
             item(Command::runPageLayout), item(Command::printDocument), separator(), item(Command::terminate)}};
}

MainMenuSection editMenu()
{
    return {QObject::tr("&Edit"),
            {item(Command::undo), item(Command::redo), separator(), item(Command::cut), item(Command::copy),
             item(Command::paste), item(Command::pasteAsPlainText), item(Command::delete_),
             item(Command::deleteSingle), item(Command::duplicateNodeTree), item(Command::duplicateSingleNode),
             separator(), item(Command::selectAll), item(Command::selecNodeTree), item(Command::deselectAll),
             separator(), item(Command::pickEmoji), separator(), item(Command::showPreferencesPanel)}};
}

MainMenuSection insertMenu()
{
    return {QObject::tr("&Insert"),
            {item(Command::newChildNode), item(Command::newSiblingNode), item(Command::newParentNode),
             item(Command::newRootNode), separator(), item(Command::editSelectedNode), separator(),
             item(Command::pickPhoto)}};
}

MainMenuSection formatMenu()
{
    return {QObject::tr("F&ormat"),
            {item(Command::toggleNodeBold), item(Command::toggleNodeItalic), item(Command::toggleNodeUnderline),
             separator(), item(Command::copyNodeStyle), item(Command::pasteNodeStyle), separator(),
             item(Command::resetNodeStyleAndSize), item(Command::resetNodeStyle), item(Command::resetNodeColors),
             item(Command::resetNodeSize), separator(), item(Command::detachNodeFromParent),
             item(Command::balanceSelectedNode), item(Command::autoLayoutGraph),
             item(Command::autoLayoutSelectedNode), item(Command::autolayoutPartialTree),
             item(Command::resolveCollisions), submenu(QObject::tr("&Sort Children")),
             item(Command::sortSelectedNodeChildren, 1), item(Command::sortSelectedNodeChildrenByCreationDate, 1)}};
}

MainMenuSection viewMenu()
{
    return {QObject::tr("&View"),
            {item(Command::toggleNodeFocus), item(Command::centerSelectedNode), separator(), item(Command::zoomIn),
             item(Command::zoomOut), item(Command::zoomDefault), separator(), item(Command::toggleSidebar),
             item(Command::toggleNoteView), item(Command::myToggleInspector), item(Command::switchSidebarInspector),
             item(Command::switchSidebarInspectorToContent), separator(), submenu(QObject::tr("&Debug")),
             item(Command::dumpGraph, 1), item(Command::toggleDebugDrawing, 1), item(Command::forceReloadModel, 1),
             item(Command::blong, 1)}};
}

MainMenuSection windowMenu()
{
    return {QObject::tr("&Window"), {item(Command::performMiniaturize)}};
}

MainMenuSection helpMenu()
{
    return {QObject::tr("&Help"),
            {item(Command::showManual), item(Command::showCheatSheet), item(Command::visitProductWebsite),
             item(Command::contactSupport), separator(), item(Command::checkUpdates)}};
}

constexpr const char* keyHintProperty = "velquineKeyHint";

// Lists the recent documents (files gone are left out) each time the submenu opens, then "Clear Menu".
void fillOpenRecent(QMenu* menu, WindowActions* actions)
{
    menu->clear();
    for (const std::string& path : RecentDocuments::paths()) {
        const QString file = QString::fromStdString(path);
        QAction* item =
            actions->addAction(menu, QFileInfo(file).fileName(), commandSelector(Command::openRecentDocument));
        item->setData(file);
        item->setToolTip(file);
    }
    menu->addSeparator();
    actions->addAction(menu, commandTitle(Command::clearRecentDocuments),
                       commandSelector(Command::clearRecentDocuments));
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
