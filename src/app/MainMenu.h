#pragma once

// The main menu of a document window: File, Edit, Insert, Format, View, Window and Help, every item sending
// its command along the window's responder chain. The menus arrange the commands; each item's title, keys and
// tag come from the command table (kit/CommandTable.h). Items whose key belongs to the map itself (Tab, Return,
// Delete) show that key without taking it as a window shortcut, so text fields keep their keys.

#include <QKeySequence>
#include <QList>
#include <QString>

#include <string>
#include <vector>

class QMainWindow;
class QMenuBar;

namespace velquine {

class WindowActions;

struct MainMenuItem {
    MainMenuItem(QString title = {}, std::string selector = {}, QList<QKeySequence> shortcuts = {},
                 QString keyHint = {}, int tag = 0)
        : title(std::move(title)), selector(std::move(selector)), shortcuts(std::move(shortcuts)),
          keyHint(std::move(keyHint)), tag(tag)
    {
    }

    QString title;               // empty: a separator
    std::string selector;        // empty with a title: the title of a submenu that the next items fill
    QList<QKeySequence> shortcuts;
    QString keyHint;             // a key the map handles itself, shown after the title
    int tag = 0;
    int submenuLevel = 0;        // 1 for the items of a submenu
};

struct MainMenuSection {
    QString title;
    std::vector<MainMenuItem> items;
};

class MainMenu {
public:
    // The title of the File menu's submenu of recent documents.
    static QString openRecentTitle();
    // The whole menu as data, in order.
    static std::vector<MainMenuSection> sections();
    // Builds the menu bar of window, binds every item to actions and validates menus as they open.
    static QMenuBar* install(QMainWindow* window, WindowActions* actions);
};

} // namespace velquine
