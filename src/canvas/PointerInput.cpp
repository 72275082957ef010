// The pointer's presses: a "+" button starts the hover-button drag, a handle a resize, empty canvas the rubber
// band, a node a drag (clicks select; Shift or Ctrl adds or removes), the right button a pan; the context menus
// (on a right click, or the keyboard's menu key); zooming with Alt and the scroll wheel.

#include <QContextMenuEvent>
#include <QMenu>
#include <QWheelEvent>

#include <algorithm>

#include "canvas/GraphView.h"
#include "canvas/CanvasGestures.h"
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
void PointerInteraction::rightClick(Point point)
{
    const std::vector<NodeLayer*> hits = sync_.settledNodeLayersAt(point);
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
        view_.showSelection(*selection);
        if (const auto target = view_.delegate())
            target->selectNodes(*selection, true);
    }
    popUpContextMenu(point);
}

void PointerInteraction::setContextMenus(QMenu* nodeMenu, QMenu* documentMenu)
{
    nodeContextMenu_ = nodeMenu;
    documentContextMenu_ = documentMenu;
}

QMenu* PointerInteraction::popUpContextMenu(Point point)
{
    QMenu* menu = sync_.settledNodeLayersAt(point).empty() ? documentContextMenu_.data() : nodeContextMenu_.data();
    if (!menu)
        return nullptr;
    menu->popup(view_.mapToGlobal(view_.widgetRectFromLayer(Rect(point.x, point.y, 0, 0)).topLeft().toPoint()));
    return menu;
}

void PointerInteraction::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    // The mouse's menu opens on the right button's release; the keyboard's at the first selected node.
    if (event->reason() != QContextMenuEvent::Keyboard || view_.isEditingTitle())
        return;
    const std::vector<Node> selected = view_.selectedNodes();
    popUpContextMenu(selected.empty() ? view_.visibleRect().center() : selected.front().center);
}

void PointerInteraction::askForSelection(const std::vector<Node>& nodes)
{
    if (const auto target = view_.delegate())
        target->pointerDidSelectNodes(nodes);
}

void PointerInteraction::start(CanvasGesture& gesture, const GestureInput& input)
{
    view_.setActiveGesture(&gesture);
    gesture.press(input);
}

void PointerInteraction::press(const GestureInput& input)
{
    if (input.button == Qt::RightButton) {
        start(gestures_.pan, input);
        return;
    }
    // A "+" button under the press starts a hover-button drag; else a handle of a selected node a resize.
    sync_.settleLayers(Rect(input.point.x - 64, input.point.y - 64, 128, 128));
    if (gestures_.ghost.pressesButtonAt(input.point)) {
        start(gestures_.ghost, input);
        return;
    }
    if (gestures_.resize.handleAt(input.point).first) {
        start(gestures_.resize, input);
        return;
    }
    leftPress(input);
}

void PointerInteraction::leftPress(const GestureInput& input)
{
    const Point point = input.point;
    const std::vector<NodeLayer*> hits = sync_.settledNodeLayersAt(point);
    const bool anySelected = std::any_of(sync_.nodeLayersAsIs().begin(), sync_.nodeLayersAsIs().end(),
                                         [](const auto& layer) { return layer->isSelected(); });
    std::vector<Node> hitNodes;
    for (NodeLayer* layer : hits)
        hitNodes.push_back(layer->node());
    if (hits.empty()) {
        start(gestures_.rubberBand, input);
        if (anySelected)
            askForSelection({});
        return;
    }
    const bool hitSelected = std::any_of(hits.begin(), hits.end(), [](NodeLayer* layer) { return layer->isSelected(); });
    if (anySelected && (input.modifiers & (Qt::ShiftModifier | Qt::ControlModifier))) {
        sync_.noteShownSelection(std::nullopt);
        std::vector<Node> nodes = view_.selectedNodes();
        if (!hitSelected) {
            for (NodeLayer* layer : hits)
                sync_.setSelected(*layer, true);
            nodes.insert(nodes.end(), hitNodes.begin(), hitNodes.end());
        } else {
            std::erase_if(nodes, [&](const Node& node) {
                return std::any_of(hitNodes.begin(), hitNodes.end(), [&](const Node& hit) { return hit.uid == node.uid; });
            });
        }
        askForSelection(nodes);
        return;
    }
    start(gestures_.drag, input);
    if (anySelected)
        view_.setCursor(Qt::ClosedHandCursor);
    if (hitSelected)
        return; // the whole selection may be dragged
    for (const auto& layer : sync_.nodeLayersAsIs())
        sync_.setSelected(*layer, false);
    for (NodeLayer* layer : hits)
        sync_.setSelected(*layer, true);
    // The layers show the hit nodes alone: a reload compares the pushed selection with that.
    std::vector<std::int64_t> shown;
    for (const Node& node : hitNodes)
        shown.push_back(node.uid);
    sync_.noteShownSelection(std::move(shown));
    askForSelection(hitNodes);
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
