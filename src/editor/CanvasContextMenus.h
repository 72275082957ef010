#pragma once

// The menus of a right click on the canvas: one for nodes, one for the empty map. Their items send the window's
// commands along its responder chain and are validated as the menu opens, like the main menu's.

#include <string>
#include <vector>

#include <QString>

namespace velquine {

class GraphView;
class WindowActions;

struct CanvasMenuItem {
    QString title;          // empty: a separator
    std::string selector;
};

class CanvasContextMenus {
public:
    static std::vector<CanvasMenuItem> nodeMenuItems();
    static std::vector<CanvasMenuItem> documentMenuItems();
    // Builds both menus (owned by the canvas) and hands them to it.
    static void install(GraphView* graphView, WindowActions* actions);
};

} // namespace velquine
