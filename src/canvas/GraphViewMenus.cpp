// The canvas's context menus (on the right mouse button's release, or the keyboard's menu key) and zooming
// with Alt and the scroll wheel.

#include <QContextMenuEvent>
#include <QMenu>
#include <QWheelEvent>

#include <algorithm>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/ScrollView.h"

namespace velquine {

namespace {

// Magnification change per unit of wheel movement: one unit is a pixel of a touchpad or 1/120 of a notch.
constexpr double zoomDivisor = 200.0;

} // namespace

// The node under the pointer becomes the selection (unless it is selected already)
// and its menu pops up; on empty canvas the selection is cleared and the document's menu pops up.
void GraphView::rightClick(Point point)
{
    const std::vector<NodeLayer*> hits = nodeLayersAt(point);
    std::optional<std::vector<Node>> selection;
    if (hits.empty()) {
        selection = std::vector<Node>{};
    } else {
        const std::vector<Node> selected = selectedNodes();
        const std::int64_t uid = hits.front()->node().uid;
        if (std::none_of(selected.begin(), selected.end(), [uid](const Node& node) { return node.uid == uid; }))
            selection = std::vector<Node>{hits.front()->node()};
    }
    if (selection) {
        // The canvas shows the new selection at once, so that the menu's items are judged by it.
        updateSelectionAppearance(*selection);
        if (const auto target = delegate.lock())
            target->selectNodes(*selection, true);
    }
    popUpContextMenu(point);
}

QMenu* GraphView::popUpContextMenu(Point point)
{
    sync_->settleLayers(Rect(point.x, point.y, 0, 0));
    const bool onNode = std::any_of(sync_->rawNodeLayers().begin(), sync_->rawNodeLayers().end(),
                                    [point](const auto& layer) { return layer->frame().contains(point); });
    QMenu* menu = onNode ? nodeContextMenu.data() : documentContextMenu.data();
    if (!menu)
        return nullptr;
    menu->popup(mapToGlobal(widgetRectFromLayer(Rect(point.x, point.y, 0, 0)).topLeft().toPoint()));
    return menu;
}

void GraphView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    // The mouse's menu opens on the right button's release; the keyboard's at the first selected node.
    if (event->reason() != QContextMenuEvent::Keyboard || isNodeEditorActive_)
        return;
    const std::vector<Node> selected = selectedNodes();
    popUpContextMenu(selected.empty() ? visibleRect().center() : selected.front().center);
}

void GraphView::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::AltModifier)) {
        LayerHostWidget::wheelEvent(event);
        return;
    }
    event->accept();
    // Qt hands a vertical wheel turned with Alt held over as a horizontal one.
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    double delta = !pixels.isNull() ? (pixels.y() != 0 ? pixels.y() : pixels.x())
                                    : (angle.y() != 0 ? angle.y() : angle.x()) / 120.0;
    ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    if (delta == 0 || !scrollView || scrollView->documentView() != this)
        return;
    scrollView->setMagnification(scrollView->magnification() + delta / zoomDivisor,
                                 layerPointFromWidget(event->position()));
}

} // namespace velquine
