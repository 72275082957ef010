// The pointer hovering over the canvas: the "+" buttons of the nodes near it and the resize cursors over the
// corner handles of selected nodes.

#include <QCursor>

#include "canvas/CanvasGestures.h"
#include "canvas/CanvasSync.h"
#include "canvas/GraphView.h"
#include "canvas/PointerInteraction.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/SymbolImages.h"
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

} // namespace

PointerInteraction::PointerInteraction(GraphView& view, CanvasSync& sync, CanvasGestures& gestures)
    : view_(view), sync_(sync), gestures_(gestures)
{
}

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

void PointerInteraction::move(const GestureInput& input)
{
    if (input.buttons & (Qt::LeftButton | Qt::RightButton))
        return;
    const Point point = input.point;
    // Buttons that change sides are laid out when the transaction ends, before the next press tests them.
    Transaction transaction;
    sync_.settleLayers(aroundPoint(point));
    for (const auto& layer : sync_.nodeLayersAsIs()) {
        const Rect frame = layer->frame();
        const Rect zone = layer->layoutOptions().layoutType == LayoutOptions::LayoutType::horizontal
            ? frame.insetBy(-hoverZoneOutset, 0)
            : frame.insetBy(0, -hoverZoneOutset);
        const bool inside = zone.contains(point);
        if (inside != layer->isHovered()) {
            const bool hovered = inside && !view_.isPrintingMode();
            layer->setHovered(hovered);
            sync_.setHoverButtonShown(*layer, hovered && !layer->isBeingEdited());
        }
        if (inside && !view_.isPrintingMode())
            layer->updateHover(point);
    }
    updateCursor(point);
}

void PointerInteraction::updateCursor(Point point)
{
    if (view_.isEditingTitle())
        return;
    for (const Node& node : view_.selectedNodes()) {
        NodeLayer* layer = sync_.settledNodeLayer(node.uid);
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

bool PointerInteraction::key(QKeyEvent* event)
{
    return gestures_.titleEditing.beginEditingTitleFromKey(event);
}

} // namespace velquine
