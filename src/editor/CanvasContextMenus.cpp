#include "editor/CanvasContextMenus.h"

#include <QMenu>

#include "canvas/GraphView.h"
#include "kit/CommandTable.h"
#include "kit/WindowActions.h"

namespace velquine {

namespace {

CanvasMenuItem separator()
{
    return {};
}

// A command with its menu title, without the mnemonic.
CanvasMenuItem item(Command command)
{
    return {commandPlainTitle(command), commandSelector(command)};
}

QMenu* buildMenu(GraphView* graphView, WindowActions* actions, const std::vector<CanvasMenuItem>& items,
                 const QString& name)
{
    auto* menu = new QMenu(graphView);
    menu->setObjectName(name);
    for (const CanvasMenuItem& item : items) {
        if (item.title.isEmpty())
            menu->addSeparator();
        else
            actions->addAction(menu, item.title, item.selector);
    }
    actions->watchMenu(menu);
    return menu;
}

} // namespace

std::vector<CanvasMenuItem> CanvasContextMenus::nodeMenuItems()
{
    return {item(Command::newChildNode),
            item(Command::newSiblingNode),
            item(Command::newParentNode),
            item(Command::editSelectedNode),
            separator(),
            item(Command::cut),
            item(Command::copy),
            item(Command::paste),
            item(Command::duplicateNodeTree),
            item(Command::delete_),
            separator(),
            item(Command::copyNodeStyle),
            item(Command::pasteNodeStyle),
            separator(),
            item(Command::toggleNodeFocus),
            item(Command::centerSelectedNode),
            item(Command::balanceSelectedNode),
            item(Command::autoLayoutSelectedNode),
            item(Command::detachNodeFromParent)};
}

std::vector<CanvasMenuItem> CanvasContextMenus::documentMenuItems()
{
    return {item(Command::newRootNode),
            item(Command::paste),
            item(Command::selectAll),
            separator(),
            item(Command::autoLayoutGraph),
            item(Command::resolveCollisions),
            separator(),
            item(Command::zoomIn),
            item(Command::zoomOut),
            item(Command::zoomDefault)};
}

void CanvasContextMenus::install(GraphView* graphView, WindowActions* actions)
{
    if (!graphView || !actions)
        return;
    graphView->setContextMenus(buildMenu(graphView, actions, nodeMenuItems(), QStringLiteral("nodeContextMenu")),
                               buildMenu(graphView, actions, documentMenuItems(), QStringLiteral("documentContextMenu")));
}

} // namespace velquine
