// The pointer on the canvas apart from clicks and node drags: a press on a "+" button or a resize handle,
// resizing, hovering (which shows the "+" buttons and the resize cursors), scrolling while a drag leaves the
// visible area, and panning with the right mouse button.

#include <QCursor>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/DragInteraction.h"
#include "canvas/DropInteraction.h"
#include "canvas/FocusInteraction.h"
#include "canvas/GhostInteraction.h"
#include "canvas/NavigationInteraction.h"
#include "canvas/PointerInteraction.h"
#include "canvas/TitleEditingInteraction.h"
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

PointerInteraction::PointerInteraction(GraphView& view) : view_(view), selectionLayer_(std::make_shared<Layer>()) {}

PointerInteraction::~PointerInteraction() = default;

// Drawn once: the pointer passes over handles often. Never destroyed, so that no cursor outlives the
// application's window system connection.
QCursor PointerInteraction::cursorNESW()
{
    static const QCursor* cursor = new QCursor(SymbolImages::cursor(QStringLiteral("NESWCursor"), QPoint(8, 8)));
    return *cursor;
}

QCursor PointerInteraction::cursorNWSE()
{
    static const QCursor* cursor = new QCursor(SymbolImages::cursor(QStringLiteral("NWSECursor"), QPoint(8, 8)));
    return *cursor;
}

double PointerInteraction::magnification() const
{
    const ScrollView* scrollView = ScrollView::enclosingScrollView(&view_);
    return scrollView ? scrollView->magnification() : 1.0;
}

Point PointerInteraction::pointerDelta(QPointF globalPosition)
{
    const QPointF moved = globalPosition - lastGlobalPosition_;
    lastGlobalPosition_ = globalPosition;
    const double m = magnification();
    return {moved.x() / m, moved.y() / m};
}

// ---- Press ----

bool PointerInteraction::beginHoverButtonDragOrResize(Point point)
{
    clickedHoverButtons.clear();
    view_.sync_->settleLayers(aroundPoint(point));
    NodeLayer* handleLayer = nullptr;
    NodeHandle handle = NodeHandle::none;
    for (const auto& layer : view_.sync_->rawNodeLayers()) {
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
        inputPhase = GraphView::GraphViewInputPhase::hoverButtonDrag;
        return true;
    }
    if (handleLayer) {
        inputPhase = GraphView::GraphViewInputPhase::nodeResizing;
        // The resized node is stored with the sides of its parent it lies on.
        Node resized = handleLayer->node();
        resized.horizontalAffinity = handleLayer->horizontalSide();
        resized.verticalAffinity = handleLayer->verticalSide();
        nodeResizingContext = GraphView::NodeResizingContext{std::move(resized), point, handle};
        return true;
    }
    return false;
}

// ---- Drag steps ----

void PointerInteraction::leftMouseDragged(Point point, Point delta, Qt::KeyboardModifiers modifiers)
{
    mouseMoveLocation = point;
    // A drag or resize moves layers by what they show: every one must show where its node is.
    if (inputPhase != GraphView::GraphViewInputPhase::massSelecting)
        view_.sync_->settleLayers();
    switch (inputPhase) {
    case GraphView::GraphViewInputPhase::massSelecting:
        updateRubberBandSelection(point);
        break;
    case GraphView::GraphViewInputPhase::nodeResizing:
        resizeStep(delta);
        break;
    case GraphView::GraphViewInputPhase::nodeDragging:
        view_.drag_->dragNodes(modifiers);
        break;
    case GraphView::GraphViewInputPhase::hoverButtonDrag: {
        Transaction transaction(true);
        if (!view_.ghosts_->ghost() && !clickedHoverButtons.empty()) {
            NodeLayer* pressed = clickedHoverButtons.front();
            const auto owner = std::find_if(view_.sync_->rawNodeLayers().begin(), view_.sync_->rawNodeLayers().end(),
                                            [pressed](const auto& layer) { return layer.get() == pressed; });
            if (owner != view_.sync_->rawNodeLayers().end())
                view_.ghosts_->createGhostForNodeLayer(*owner);
        }
        view_.ghosts_->updateGhostPosition();
        break;
    }
    case GraphView::GraphViewInputPhase::idle:
    case GraphView::GraphViewInputPhase::rightMouseDrag:
        break;
    }
}

// The grabbed corner follows the pointer, never closer to the opposite corner than the title needs.
void PointerInteraction::resizeStep(Point delta)
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
    NodeLayer* layer = view_.sync_->nodeLayer(node.uid);
    if (!layer)
        return;
    layer->setNode(node);
    layer->updateContents();
    view_.drag_->placeMovedLayers({layer});
}

// ---- Release ----

void PointerInteraction::endHoverButtonDrag()
{
    if (!clickedHoverButtons.empty())
        if (const auto target = view_.delegate_.lock())
            target->insertChildNode(clickedHoverButtons.front()->node(),
                                    mouseUpLocation == mouseDownLocation ? std::nullopt
                                                                         : std::optional<Point>(mouseUpLocation));
    view_.ghosts_->removeGhost();
}

// ---- Hover ----

void PointerInteraction::mouseMoved(Point point)
{
    mouseMoveLocation = point;
    // No button is down: a drag whose release never arrived is over.
    view_.drag_->abandonDragGroup();
    // Buttons that change sides are laid out when the transaction ends, before the next press tests them.
    Transaction transaction;
    view_.sync_->settleLayers(aroundPoint(point));
    for (const auto& layer : view_.sync_->rawNodeLayers()) {
        const Rect frame = layer->frame();
        const Rect zone = layer->layoutOptions().layoutType == LayoutOptions::LayoutType::horizontal
            ? frame.insetBy(-hoverZoneOutset, 0)
            : frame.insetBy(0, -hoverZoneOutset);
        const bool inside = zone.contains(point);
        if (inside != layer->isHovered()) {
            const bool hovered = inside && !view_.printingMode_;
            layer->setHovered(hovered);
            view_.sync_->setHoverButtonShown(*layer, hovered && !layer->isBeingEdited());
        }
        if (inside && !view_.printingMode_)
            layer->updateHover(point);
    }
    // The resize cursors over the corner handles of selected nodes, unless a title is being edited.
    if (view_.titleEditing_->isNodeEditorActive())
        return;
    for (const Node& node : view_.selectedNodes()) {
        NodeLayer* layer = view_.sync_->nodeLayer(node.uid);
        if (!layer)
            continue;
        const NodeHandle handle = layer->hasHandleLayer() ? layer->handleLayer().handle(point) : NodeHandle::none;
        if (handle == NodeHandle::topLeft || handle == NodeHandle::bottomRight) {
            view_.setCursor(cursorNWSE());
            return;
        }
        if (handle == NodeHandle::bottomLeft || handle == NodeHandle::topRight) {
            view_.setCursor(cursorNESW());
            return;
        }
        view_.setCursor(Qt::ArrowCursor);
    }
}

// ---- Autoscroll ----

void PointerInteraction::startAutoscroll()
{
    if (!autoScrollTimer_) {
        autoScrollTimer_ = new QTimer(&view_);
        autoScrollTimer_->setInterval(autoscrollInterval);
        QObject::connect(autoScrollTimer_, &QTimer::timeout, &view_, [this] { autoscrollTick(); });
    }
    autoScrollTimer_->start();
}

void PointerInteraction::stopAutoscroll()
{
    if (autoScrollTimer_)
        autoScrollTimer_->stop();
}

// While the left button is held with the pointer outside the visible area, the view scrolls toward the
// pointer and the drag takes a step there.
void PointerInteraction::autoscrollTick()
{
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    ScrollView* scrollView = ScrollView::enclosingScrollView(&view_);
    if (!scrollView)
        return;
    const QPointF global = QCursor::pos();
    const Point point = view_.layerPointFromWidget(view_.mapFromGlobal(global));
    const Rect visible = view_.visibleRect();
    if (visible.contains(point))
        return;
    scrollView->scrollRectToVisible(Rect(point.x, point.y, 1, 1));
    if (view_.visibleRect() == visible)
        return;
    leftMouseDragged(point, pointerDelta(global), QGuiApplication::keyboardModifiers());
}

// ---- Right mouse ----

void PointerInteraction::rightMouseDown(Point point)
{
    inputPhase = GraphView::GraphViewInputPhase::idle;
    rightMouseDownLocation = point;
}

void PointerInteraction::rightMouseDragged(Point delta)
{
    view_.setCursor(Qt::ClosedHandCursor);
    ScrollView* scrollView = ScrollView::enclosingScrollView(&view_);
    if (!scrollView)
        return;
    // A move along one axis only pans without counting as a pan, so the release still shows the menu.
    if (delta.x != 0 && delta.y != 0)
        inputPhase = GraphView::GraphViewInputPhase::rightMouseDrag;
    scrollView->scrollToPoint(scrollView->documentVisibleRect().origin - delta);
}

bool PointerInteraction::rightMouseUp(Point point)
{
    view_.setCursor(Qt::ArrowCursor);
    rightMouseUpLocation = point;
    mouseUpLocation = point;
    return inputPhase != GraphView::GraphViewInputPhase::idle;
}

} // namespace velquine
