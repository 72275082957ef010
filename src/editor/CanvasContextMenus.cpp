#include "editor/CanvasContextMenus.h"

#include <QMenu>

#include "canvas/GraphView.h"
#include "kit/WindowActions.h"
#include "canvas/PointerInteraction.h"

namespace velquine {

namespace {

CanvasMenuItem separator()
{
    return {};
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
    return {{QObject::tr("New Child Node"), "newChildNode:"},
            {QObject::tr("New Sibling Node"), "newSiblingNode:"},
            {QObject::tr("New Parent Node"), "newParentNode:"},
            {QObject::tr("Edit Title"), "editSelectedNode:"},
            separator(),
            {QObject::tr("Cut"), "cut:"},
            {QObject::tr("Copy"), "copy:"},
            {QObject::tr("Paste"), "paste:"},
            {QObject::tr("Duplicate"), "duplicateNodeTree:"},
            {QObject::tr("Delete"), "delete:"},
            separator(),
            {QObject::tr("Copy Style"), "copyNodeStyle:"},
            {QObject::tr("Paste Style"), "pasteNodeStyle:"},
            separator(),
            {QObject::tr("Focus on Node"), "toggleNodeFocus:"},
            {QObject::tr("Center Selected Node"), "centerSelectedNode:"},
            {QObject::tr("Balance Children"), "balanceSelectedNode:"},
            {QObject::tr("Auto Layout Node"), "autoLayoutSelectedNode:"},
            {QObject::tr("Detach from Parent"), "detachNodeFromParent:"}};
}

std::vector<CanvasMenuItem> CanvasContextMenus::documentMenuItems()
{
    return {{QObject::tr("New Root Node"), "newRootNode:"},
            {QObject::tr("Paste"), "paste:"},
            {QObject::tr("Select All"), "selectAll:"},
            separator(),
            {QObject::tr("Auto Layout"), "autoLayoutGraph:"},
            {QObject::tr("Resolve Collisions"), "resolveCollisions:"},
            separator(),
            {QObject::tr("Zoom In"), "zoomIn:"},
            {QObject::tr("Zoom Out"), "zoomOut:"},
            {QObject::tr("Actual Size"), "zoomDefault:"}};
}

void CanvasContextMenus::install(GraphView* graphView, WindowActions* actions)
{
    if (!graphView || !actions)
        return;
    graphView->pointer().nodeContextMenu = buildMenu(graphView, actions, nodeMenuItems(), QStringLiteral("nodeContextMenu"));
    graphView->pointer().documentContextMenu =
        buildMenu(graphView, actions, documentMenuItems(), QStringLiteral("documentContextMenu"));
}

} // namespace velquine
