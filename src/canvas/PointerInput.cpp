// The pointer's events: clicks select (Shift or Ctrl adds or removes), a press on empty canvas starts the
// rubber band and one on a node a drag; the context menus (on the right mouse button's release, or the
// keyboard's menu key); zooming with Alt and the scroll wheel.

#include <QContextMenuEvent>
#include <QMenu>
#include <QWheelEvent>

#include <algorithm>

#include "canvas/GraphView.h"
#include "canvas/CanvasIndex.h"
#include "canvas/CanvasSync.h"
#include "canvas/DragInteraction.h"
#include "canvas/DropInteraction.h"
#include "canvas/FocusInteraction.h"
#include "canvas/GhostInteraction.h"
#include "canvas/NavigationInteraction.h"
#include "canvas/PointerInteraction.h"
#include "canvas/TitleEditingInteraction.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/ScrollView.h"

namespace velquine {

namespace {

// Magnification change per unit of wheel movement: one unit is a pixel of a touchpad or 1/120 of a notch.
constexpr double zoomDivisor = 200.0;

} // namespace


// The node under the pointer becomes the selection (unless it is selected already)
// and its menu pops up; on empty canvas the selection is cleared and the document's menu pops up.
void PointerInteraction::rightClick(Point point)
{
    const std::vector<NodeLayer*> hits = nodeLayersAt(point);
    std::optional<std::vector<Node>> selection;
    if (hits.empty()) {
        selection = std::vector<Node>{};
    } else {
        const std::vector<Node> selected = view_.selectedNodes();
        const std::int64_t uid = hits.front()->node().uid;
        if (std::none_of(selected.begin(), selected.end(), [uid](const Node& node) { return node.uid == uid; }))
            selection = std::vector<Node>{hits.front()->node()};
    }
    if (selection) {
        // The canvas shows the new selection at once, so that the menu's items are judged by it.
        updateSelectionAppearance(*selection);
        if (const auto target = view_.delegate_.lock())
            target->selectNodes(*selection, true);
    }
    popUpContextMenu(point);
}

QMenu* PointerInteraction::popUpContextMenu(Point point)
{
    view_.sync_->settleLayers(Rect(point.x, point.y, 0, 0));
    const bool onNode = std::any_of(view_.sync_->rawNodeLayers().begin(), view_.sync_->rawNodeLayers().end(),
                                    [point](const auto& layer) { return layer->frame().contains(point); });
    QMenu* menu = onNode ? nodeContextMenu.data() : documentContextMenu.data();
    if (!menu)
        return nullptr;
    menu->popup(view_.mapToGlobal(view_.widgetRectFromLayer(Rect(point.x, point.y, 0, 0)).topLeft().toPoint()));
    return menu;
}

void PointerInteraction::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    // The mouse's menu opens on the right button's release; the keyboard's at the first selected node.
    if (event->reason() != QContextMenuEvent::Keyboard || view_.titleEditing_->isNodeEditorActive())
        return;
    const std::vector<Node> selected = view_.selectedNodes();
    popUpContextMenu(selected.empty() ? view_.visibleRect().center() : selected.front().center);
}

std::vector<NodeLayer*> PointerInteraction::nodeLayersAt(Point point) const
{
    view_.sync_->settleLayers(Rect(point.x, point.y, 0, 0));
    std::vector<NodeLayer*> hits;
    for (const auto& layer : view_.sync_->rawNodeLayers())
        if (layer->frame().contains(point))
            hits.push_back(layer.get());
    return hits;
}

void PointerInteraction::askForSelection(const std::vector<Node>& nodes)
{
    if (const auto target = view_.delegate_.lock())
        target->pointerDidSelectNodes(nodes);
}

void PointerInteraction::mousePressEvent(QMouseEvent* event)
{
    lastGlobalPosition_ = event->globalPosition();
    if (event->button() == Qt::LeftButton) {
        clickCount_ = 1;
        leftMouseDown(view_.layerPointFromWidget(event->position()), event->modifiers());
    } else if (event->button() == Qt::RightButton) {
        rightMouseDown(view_.layerPointFromWidget(event->position()));
    }
    event->accept();
}

void PointerInteraction::mouseDoubleClickEvent(QMouseEvent* event)
{
    lastGlobalPosition_ = event->globalPosition();
    if (event->button() == Qt::LeftButton) {
        leftMouseDown(view_.layerPointFromWidget(event->position()), event->modifiers());
        clickCount_ = 2;
    }
    event->accept();
}

void PointerInteraction::mouseMoveEvent(QMouseEvent* event)
{
    const Point point = view_.layerPointFromWidget(event->position());
    const Point delta = pointerDelta(event->globalPosition());
    if (event->buttons() & Qt::LeftButton)
        leftMouseDragged(point, delta, event->modifiers());
    else if (event->buttons() & Qt::RightButton)
        rightMouseDragged(delta);
    else
        mouseMoved(point);
    event->accept();
}

void PointerInteraction::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        leftMouseUp(view_.layerPointFromWidget(event->position()));
    else if (event->button() == Qt::RightButton && !rightMouseUp(view_.layerPointFromWidget(event->position())))
        rightClick(view_.layerPointFromWidget(event->position()));
    event->accept();
}

void PointerInteraction::leftMouseDown(Point point, Qt::KeyboardModifiers modifiers)
{
    mouseDownLocation = point;
    mouseMoveLocation = point;
    startAutoscroll();
    view_.drag_->abandonDragGroup();
    view_.drag_->draggedLayers.clear();
    inputPhase = GraphView::GraphViewInputPhase::idle;
    if (beginHoverButtonDragOrResize(point))
        return;
    const std::vector<NodeLayer*> hits = nodeLayersAt(point);
    const bool anySelected = std::any_of(view_.sync_->rawNodeLayers().begin(), view_.sync_->rawNodeLayers().end(),
                                         [](const auto& layer) { return layer->isSelected(); });
    std::vector<Node> hitNodes;
    for (NodeLayer* layer : hits)
        hitNodes.push_back(layer->node());
    if (hits.empty()) {
        inputPhase = GraphView::GraphViewInputPhase::massSelecting;
        beginRubberBandSelection(point);
        if (anySelected)
            askForSelection({});
        return;
    }
    const bool hitSelected = std::any_of(hits.begin(), hits.end(), [](NodeLayer* layer) { return layer->isSelected(); });
    if (anySelected && (modifiers & (Qt::ShiftModifier | Qt::ControlModifier))) {
        view_.sync_->index().appliedSelection.reset();
        std::vector<Node> nodes = view_.selectedNodes();
        if (!hitSelected) {
            for (NodeLayer* layer : hits)
                view_.sync_->setSelected(*layer, true);
            nodes.insert(nodes.end(), hitNodes.begin(), hitNodes.end());
        } else {
            std::erase_if(nodes, [&](const Node& node) {
                return std::any_of(hitNodes.begin(), hitNodes.end(), [&](const Node& hit) { return hit.uid == node.uid; });
            });
        }
        askForSelection(nodes);
        return;
    }
    inputPhase = GraphView::GraphViewInputPhase::nodeDragging;
    const Node& grabbed = hits.front()->node();
    view_.drag_->nodeDraggingContext = GraphView::NodeDraggingContext{grabbed, point - grabbed.center};
    if (anySelected)
        view_.setCursor(Qt::ClosedHandCursor);
    if (hitSelected)
        return; // the whole selection may be dragged
    for (const auto& layer : view_.sync_->rawNodeLayers())
        view_.sync_->setSelected(*layer, false);
    for (NodeLayer* layer : hits)
        view_.sync_->setSelected(*layer, true);
    // The layers show the hit nodes alone: a reload compares the pushed selection with that.
    std::vector<std::int64_t> shown;
    for (const Node& node : hitNodes)
        shown.push_back(node.uid);
    view_.sync_->index().appliedSelection = std::move(shown);
    askForSelection(hitNodes);
}

void PointerInteraction::leftMouseUp(Point point)
{
    stopAutoscroll();
    mouseUpLocation = point;
    mouseMoveLocation = point;
    switch (inputPhase) {
    case GraphView::GraphViewInputPhase::massSelecting:
        endRubberBandSelection(point);
        break;
    case GraphView::GraphViewInputPhase::nodeResizing:
        inputPhase = GraphView::GraphViewInputPhase::idle;
        if (const auto target = view_.delegate_.lock(); target && nodeResizingContext)
            target->resizeNode(nodeResizingContext->node);
        nodeResizingContext.reset();
        break;
    case GraphView::GraphViewInputPhase::hoverButtonDrag:
        endHoverButtonDrag();
        break;
    case GraphView::GraphViewInputPhase::nodeDragging: {
        if (view_.drag_->endNodeDrag(point))
            break;
        // A double click edits the title of the selected node under the pointer.
        if (clickCount_ == 2) {
            std::vector<std::int64_t> uids;
            for (NodeLayer* layer : nodeLayersAt(point))
                if (layer->isSelected())
                    uids.push_back(layer->node().uid);
            for (std::int64_t uid : uids)
                if (NodeLayer* layer = view_.sync_->nodeLayer(uid))
                    view_.titleEditing_->beginEditingTitle(*layer, false, layer->node().title, true, nullptr);
            break;
        }
        // A click without movement narrows the selection to the nodes under the pointer.
        std::vector<Node> nodes;
        for (NodeLayer* layer : nodeLayersAt(point))
            nodes.push_back(layer->node());
        if (const auto target = view_.delegate_.lock())
            target->selectNodes(nodes, true);
        break;
    }
    default:
        break;
    }
}

// Alt and the wheel zoom about the pointer.
bool PointerInteraction::zoomWithWheel(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::AltModifier))
        return false;
    event->accept();
    // Qt hands a vertical wheel turned with Alt held over as a horizontal one.
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    double delta = !pixels.isNull() ? (pixels.y() != 0 ? pixels.y() : pixels.x())
                                    : (angle.y() != 0 ? angle.y() : angle.x()) / 120.0;
    ScrollView* scrollView = ScrollView::enclosingScrollView(&view_);
    if (delta == 0 || !scrollView || scrollView->documentView() != &view_)
        return true;
    scrollView->setMagnification(scrollView->magnification() + delta / zoomDivisor,
                                 view_.layerPointFromWidget(event->position()));
    return true;
}

} // namespace velquine
