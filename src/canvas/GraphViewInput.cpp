// Mouse and key input of the canvas: clicks select (Shift or Ctrl adds or removes), a press on empty canvas
// starts the rubber band, and the canvas keys go to the window's commands or move the selection.

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

#include "canvas/GraphView.h"
#include "canvas/GraphViewIndex.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/Beep.h"
#include "kit/CommandTable.h"
#include "kit/KeyPolicy.h"
#include "kit/WindowActions.h"

namespace velquine {

std::vector<NodeLayer*> GraphView::nodeLayersAt(Point point) const
{
    settleLayers(Rect(point.x, point.y, 0, 0));
    std::vector<NodeLayer*> hits;
    for (const auto& layer : nodeLayers_)
        if (layer->frame().contains(point))
            hits.push_back(layer.get());
    return hits;
}

void GraphView::askForSelection(const std::vector<Node>& nodes)
{
    if (const auto target = delegate.lock())
        target->pointerDidSelectNodes(nodes);
}

void GraphView::mousePressEvent(QMouseEvent* event)
{
    lastGlobalPosition_ = event->globalPosition();
    if (event->button() == Qt::LeftButton) {
        clickCount_ = 1;
        leftMouseDown(layerPointFromWidget(event->position()), event->modifiers());
    } else if (event->button() == Qt::RightButton) {
        rightMouseDown(layerPointFromWidget(event->position()));
    }
    event->accept();
}

// Qt delivers the second press of a double click here instead of to mousePressEvent.
void GraphView::mouseDoubleClickEvent(QMouseEvent* event)
{
    lastGlobalPosition_ = event->globalPosition();
    if (event->button() == Qt::LeftButton) {
        leftMouseDown(layerPointFromWidget(event->position()), event->modifiers());
        clickCount_ = 2;
    }
    event->accept();
}

void GraphView::mouseMoveEvent(QMouseEvent* event)
{
    const Point point = layerPointFromWidget(event->position());
    const Point delta = pointerDelta(event->globalPosition());
    if (event->buttons() & Qt::LeftButton)
        leftMouseDragged(point, delta, event->modifiers());
    else if (event->buttons() & Qt::RightButton)
        rightMouseDragged(delta);
    else
        mouseMoved(point);
    event->accept();
}

void GraphView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        leftMouseUp(layerPointFromWidget(event->position()));
    else if (event->button() == Qt::RightButton && !rightMouseUp(layerPointFromWidget(event->position())))
        rightClick(layerPointFromWidget(event->position()));
    event->accept();
}

void GraphView::leftMouseDown(Point point, Qt::KeyboardModifiers modifiers)
{
    mouseDownLocation = point;
    mouseMoveLocation = point;
    startAutoscroll();
    abandonDragGroup();
    draggedLayers.clear();
    inputPhase = GraphViewInputPhase::idle;
    if (beginHoverButtonDragOrResize(point))
        return;
    const std::vector<NodeLayer*> hits = nodeLayersAt(point);
    const bool anySelected = std::any_of(nodeLayers_.begin(), nodeLayers_.end(),
                                         [](const auto& layer) { return layer->isSelected(); });
    std::vector<Node> hitNodes;
    for (NodeLayer* layer : hits)
        hitNodes.push_back(layer->node());
    if (hits.empty()) {
        inputPhase = GraphViewInputPhase::massSelecting;
        beginRubberBandSelection(point);
        if (anySelected)
            askForSelection({});
        return;
    }
    const bool hitSelected = std::any_of(hits.begin(), hits.end(), [](NodeLayer* layer) { return layer->isSelected(); });
    index_->appliedSelection.reset();
    if (anySelected && (modifiers & (Qt::ShiftModifier | Qt::ControlModifier))) {
        std::vector<Node> nodes = selectedNodes();
        if (!hitSelected) {
            for (NodeLayer* layer : hits)
                setSelected(*layer, true);
            nodes.insert(nodes.end(), hitNodes.begin(), hitNodes.end());
        } else {
            std::erase_if(nodes, [&](const Node& node) {
                return std::any_of(hitNodes.begin(), hitNodes.end(), [&](const Node& hit) { return hit.uid == node.uid; });
            });
        }
        askForSelection(nodes);
        return;
    }
    inputPhase = GraphViewInputPhase::nodeDragging;
    nodeDraggingContext = NodeDraggingContext{hits.front()->node(), point - hits.front()->node().center};
    if (anySelected)
        setCursor(Qt::ClosedHandCursor);
    if (hitSelected)
        return; // the whole selection may be dragged
    for (const auto& layer : nodeLayers_)
        setSelected(*layer, false);
    for (NodeLayer* layer : hits)
        setSelected(*layer, true);
    askForSelection(hitNodes);
}

void GraphView::leftMouseUp(Point point)
{
    stopAutoscroll();
    mouseUpLocation = point;
    mouseMoveLocation = point;
    switch (inputPhase) {
    case GraphViewInputPhase::massSelecting:
        endRubberBandSelection(point);
        break;
    case GraphViewInputPhase::nodeResizing:
        inputPhase = GraphViewInputPhase::idle;
        if (const auto target = delegate.lock(); target && nodeResizingContext)
            target->resizeNode(nodeResizingContext->node);
        nodeResizingContext.reset();
        break;
    case GraphViewInputPhase::hoverButtonDrag:
        endHoverButtonDrag();
        break;
    case GraphViewInputPhase::nodeDragging: {
        if (endNodeDrag(point))
            break;
        // A double click edits the title of the selected node under the pointer.
        if (clickCount_ == 2) {
            std::vector<std::int64_t> uids;
            for (NodeLayer* layer : nodeLayersAt(point))
                if (layer->isSelected())
                    uids.push_back(layer->node().uid);
            for (std::int64_t uid : uids)
                if (NodeLayer* layer = nodeLayer(uid))
                    beginEditingTitle(*layer, false, layer->node().title, true, nullptr);
            break;
        }
        // A click without movement narrows the selection to the nodes under the pointer.
        std::vector<Node> nodes;
        for (NodeLayer* layer : nodeLayersAt(point))
            nodes.push_back(layer->node());
        if (const auto target = delegate.lock())
            target->selectNodes(nodes, true);
        break;
    }
    default:
        break;
    }
}

// ---- Keys ----

bool GraphView::event(QEvent* event)
{
    // Tab would move the focus before keyPressEvent sees it; reserved keys must not fire window shortcuts.
    if (KeyPolicy::acceptReservedShortcutOverride(event))
        return true;
    if (event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (keyEvent->key() == Qt::Key_Tab || keyEvent->key() == Qt::Key_Backtab) {
            keyPressEvent(keyEvent);
            return true;
        }
    }
    return LayerHostWidget::event(event);
}

void GraphView::sendWindowAction(const char* selector)
{
    WindowActions* actions = WindowActions::of(this);
    if (!actions || !actions->dispatcher().sendAction(selector))
        Beep::beep();
}

bool GraphView::handleCanvasKey(QKeyEvent* event)
{
    const bool hasSelection = !selectedNodes().empty();
    switch (event->key()) {
    case Qt::Key_Escape:
        if (!hasSelection)
            return false;
        sendWindowAction(commandSelector(Command::deselectAll));
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!hasSelection)
            Beep::beep();
        else
            sendWindowAction(commandSelector(Command::newChildNode));
        return true;
    case Qt::Key_Home:
        if (hasSelection)
            selectRootOfSelection();
        else if (!selectFirstRoot())
            Beep::beep();
        return true;
    case Qt::Key_End:
        if (!selectLastModifiedNodeInTree())
            Beep::beep();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        sendWindowAction(commandSelector(Command::newSiblingNode));
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        sendWindowAction(
            commandSelector(event->modifiers() & Qt::ShiftModifier ? Command::deleteSingle : Command::delete_));
        return true;
    case Qt::Key_Up:
        moveSelection(NavigationDirection::up);
        return true;
    case Qt::Key_Left:
        moveSelection(NavigationDirection::left);
        return true;
    case Qt::Key_Down:
        moveSelection(NavigationDirection::down);
        return true;
    case Qt::Key_Right:
        moveSelection(NavigationDirection::right);
        return true;
    default:
        return false;
    }
}

void GraphView::keyPressEvent(QKeyEvent* event)
{
    if (handleCanvasKey(event) || beginEditingTitleFromKey(event))
        event->accept();
    else
        LayerHostWidget::keyPressEvent(event);
}

} // namespace velquine
