// The pointer on the canvas apart from clicks and node drags: a press on a "+" button or a resize handle,
// resizing, hovering (which shows the "+" buttons and the resize cursors), scrolling while a drag leaves the
// visible area, and panning with the right mouse button.

#include <QCursor>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/CanvasIndex.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/ScrollView.h"
#include "kit/SymbolImages.h"
#include "layout/NodeSizing.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

// How far beyond its frame, along the layout's axis, a node counts as hovered.
constexpr double hoverZoneOutset = 32;

// The area round the pointer in which a layer's hover zone, hover button or handles can lie.
Rect aroundPoint(Point point)
{
    constexpr double reach = 2 * hoverZoneOutset;
    return Rect(point.x - reach, point.y - reach, 2 * reach, 2 * reach);
}
constexpr int autoscrollInterval = 100; // ms

} // namespace

// Drawn once: the pointer passes over handles often. Never destroyed, so that no cursor outlives the
// application's window system connection.
QCursor GraphView::cursorNESW()
{
    static const QCursor* cursor = new QCursor(SymbolImages::cursor(QStringLiteral("NESWCursor"), QPoint(8, 8)));
    return *cursor;
}

QCursor GraphView::cursorNWSE()
{
    static const QCursor* cursor = new QCursor(SymbolImages::cursor(QStringLiteral("NWSECursor"), QPoint(8, 8)));
    return *cursor;
}

double GraphView::magnification() const
{
    const ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    return scrollView ? scrollView->magnification() : 1.0;
}

Point GraphView::pointerDelta(QPointF globalPosition)
{
    const QPointF moved = globalPosition - lastGlobalPosition_;
    lastGlobalPosition_ = globalPosition;
    const double m = magnification();
    return {moved.x() / m, moved.y() / m};
}

// ---- Press ----

bool GraphView::beginHoverButtonDragOrResize(Point point)
{
    clickedHoverButtons.clear();
    sync_->settleLayers(aroundPoint(point));
    NodeLayer* handleLayer = nullptr;
    NodeHandle handle = NodeHandle::none;
    for (const auto& layer : sync_->rawNodeLayers()) {
        if (layer->isHovered() && layer->hasHoverButtonLayer()) {
            const HoverButtonLayer& button = layer->hoverButtonLayer();
            const Rect area(layer->frame().origin + button.frame().origin, button.bounds().size);
            if (area.contains(point))
                clickedHoverButtons.push_back(layer.get());
        }
        if (!handleLayer && layer->isSelected() && layer->hasHandleLayer()) {
            handle = layer->handleLayer().handle(point);
            if (handle != NodeHandle::none)
                handleLayer = layer.get();
        }
    }
    if (!clickedHoverButtons.empty()) {
        inputPhase = GraphViewInputPhase::hoverButtonDrag;
        return true;
    }
    if (handleLayer) {
        inputPhase = GraphViewInputPhase::nodeResizing;
        nodeResizingContext = NodeResizingContext{handleLayer->node(), point, handle};
        return true;
    }
    return false;
}

// ---- Drag steps ----

void GraphView::leftMouseDragged(Point point, Point delta, Qt::KeyboardModifiers modifiers)
{
    mouseMoveLocation = point;
    // A drag or resize moves layers by what they show: every one must show where its node is.
    if (inputPhase != GraphViewInputPhase::massSelecting)
        sync_->settleLayers();
    switch (inputPhase) {
    case GraphViewInputPhase::massSelecting:
        updateRubberBandSelection(point);
        break;
    case GraphViewInputPhase::nodeResizing:
        resizeStep(delta);
        break;
    case GraphViewInputPhase::nodeDragging:
        dragNodes(modifiers);
        break;
    case GraphViewInputPhase::hoverButtonDrag: {
        Transaction transaction(true);
        if (!ghost_ && !clickedHoverButtons.empty()) {
            NodeLayer* pressed = clickedHoverButtons.front();
            const auto owner = std::find_if(sync_->rawNodeLayers().begin(), sync_->rawNodeLayers().end(),
                                            [pressed](const auto& layer) { return layer.get() == pressed; });
            if (owner != sync_->rawNodeLayers().end())
                createGhostForNodeLayer(*owner);
        }
        updateGhostPosition();
        break;
    }
    case GraphViewInputPhase::idle:
    case GraphViewInputPhase::rightMouseDrag:
        break;
    }
}

// The grabbed corner follows the pointer, never closer to the opposite corner than the title needs.
void GraphView::resizeStep(Point delta)
{
    if (!nodeResizingContext)
        return;
    Node& node = nodeResizingContext->node;
    const Size minimum = measureTitle(node);
    const double minX = node.center.x - node.size.width / 2, maxX = minX + node.size.width;
    const double minY = node.center.y - node.size.height / 2, maxY = minY + node.size.height;
    Point moved, fixed;
    switch (nodeResizingContext->grabbedHandle) {
    case NodeHandle::topLeft:
        moved = {std::min(minX + delta.x, maxX - minimum.width), std::min(minY + delta.y, maxY - minimum.height)};
        fixed = {maxX, maxY};
        break;
    case NodeHandle::bottomLeft:
        moved = {std::min(minX + delta.x, maxX - minimum.width), std::max(maxY + delta.y, minY + minimum.height)};
        fixed = {maxX, minY};
        break;
    case NodeHandle::bottomRight:
        moved = {std::max(maxX + delta.x, minX + minimum.width), std::max(maxY + delta.y, minY + minimum.height)};
        fixed = {minX, minY};
        break;
    case NodeHandle::topRight:
        moved = {std::max(maxX + delta.x, minX + minimum.width), std::min(minY + delta.y, maxY - minimum.height)};
        fixed = {minX, maxY};
        break;
    case NodeHandle::none:
        return;
    }
    const Rect spanned = Rect(fixed.x, fixed.y, moved.x - fixed.x, moved.y - fixed.y).standardized();
    node.center = {spanned.midX(), spanned.midY()};
    node.size = spanned.size;
    Transaction transaction(true);
    NodeLayer* layer = nodeLayer(node.uid);
    if (!layer)
        return;
    layer->setNode(node);
    layer->updateContents();
    placeMovedLayers({layer});
}

// ---- Release ----

void GraphView::endHoverButtonDrag()
{
    if (!clickedHoverButtons.empty())
        if (const auto target = delegate.lock())
            target->insertChildNode(clickedHoverButtons.front()->node(),
                                    mouseUpLocation == mouseDownLocation ? std::nullopt
                                                                         : std::optional<Point>(mouseUpLocation));
    removeGhost();
}

// ---- Hover ----

void GraphView::mouseMoved(Point point)
{
    mouseMoveLocation = point;
    // No button is down: a drag whose release never arrived is over.
    abandonDragGroup();
    // Buttons that change sides are laid out when the transaction ends, before the next press tests them.
    Transaction transaction;
    sync_->settleLayers(aroundPoint(point));
    for (const auto& layer : sync_->rawNodeLayers()) {
        const Rect frame = layer->frame();
        const Rect zone = layer->layoutOptions().layoutType == LayoutOptions::LayoutType::horizontal
            ? frame.insetBy(-hoverZoneOutset, 0)
            : frame.insetBy(0, -hoverZoneOutset);
        const bool inside = zone.contains(point);
        if (inside != layer->isHovered()) {
            const bool hovered = inside && !printingMode;
            layer->setHovered(hovered);
            sync_->setHoverButtonShown(*layer, hovered && !layer->isBeingEdited());
        }
        if (inside && !printingMode)
            layer->updateHover(point);
    }
    // The resize cursors over the corner handles of selected nodes, unless a title is being edited.
    if (isNodeEditorActive_)
        return;
    for (const Node& node : selectedNodes()) {
        NodeLayer* layer = nodeLayer(node.uid);
        if (!layer)
            continue;
        const NodeHandle handle = layer->hasHandleLayer() ? layer->handleLayer().handle(point) : NodeHandle::none;
        if (handle == NodeHandle::topLeft || handle == NodeHandle::bottomRight) {
            setCursor(cursorNWSE());
            return;
        }
        if (handle == NodeHandle::bottomLeft || handle == NodeHandle::topRight) {
            setCursor(cursorNESW());
            return;
        }
        setCursor(Qt::ArrowCursor);
    }
}

// ---- Autoscroll ----

void GraphView::startAutoscroll()
{
    if (!autoScrollTimer_) {
        autoScrollTimer_ = new QTimer(this);
        autoScrollTimer_->setInterval(autoscrollInterval);
        connect(autoScrollTimer_, &QTimer::timeout, this, [this] { autoscrollTick(); });
    }
    autoScrollTimer_->start();
}

void GraphView::stopAutoscroll()
{
    if (autoScrollTimer_)
        autoScrollTimer_->stop();
}

// While the left button is held with the pointer outside the visible area, the view scrolls toward the
// pointer and the drag takes a step there.
void GraphView::autoscrollTick()
{
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    if (!scrollView)
        return;
    const QPointF global = QCursor::pos();
    const Point point = layerPointFromWidget(mapFromGlobal(global));
    const Rect visible = visibleRect();
    if (visible.contains(point))
        return;
    scrollView->scrollRectToVisible(Rect(point.x, point.y, 1, 1));
    if (visibleRect() == visible)
        return;
    leftMouseDragged(point, pointerDelta(global), QGuiApplication::keyboardModifiers());
}

// ---- Right mouse ----

void GraphView::rightMouseDown(Point point)
{
    inputPhase = GraphViewInputPhase::idle;
    rightMouseDownLocation = point;
}

void GraphView::rightMouseDragged(Point delta)
{
    setCursor(Qt::ClosedHandCursor);
    ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    if (!scrollView)
        return;
    // A move along one axis only pans without counting as a pan, so the release still shows the menu.
    if (delta.x != 0 && delta.y != 0)
        inputPhase = GraphViewInputPhase::rightMouseDrag;
    scrollView->scrollToPoint(scrollView->documentVisibleRect().origin - delta);
}

bool GraphView::rightMouseUp(Point point)
{
    setCursor(Qt::ArrowCursor);
    rightMouseUpLocation = point;
    mouseUpLocation = point;
    return inputPhase != GraphViewInputPhase::idle;
}

} // namespace velquine
