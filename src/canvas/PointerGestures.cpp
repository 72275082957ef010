// Resizing by a corner handle, the rubber band, and panning with the right mouse button.

#include "canvas/PointerGestures.h"

#include <QColor>

#include <algorithm>

#include "canvas/CanvasSync.h"
#include "canvas/GraphView.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/ScrollView.h"
#include "layout/NodeSizing.h"
#include "platform/layer/Transaction.h"

namespace velquine {

// ---- Resize ----

ResizeGesture::ResizeGesture(GraphView& view, CanvasSync& sync) : view_(view), sync_(sync) {}

std::pair<NodeLayer*, NodeHandle> ResizeGesture::handleAt(Point point)
{
    for (const auto& layer : sync_.nodeLayersAsIs())
        if (layer->isSelected() && layer->hasHandleLayer())
            if (const NodeHandle handle = layer->handleLayer().handle(point); handle != NodeHandle::none)
                return {layer.get(), handle};
    return {nullptr, NodeHandle::none};
}

void ResizeGesture::press(const GestureInput& input)
{
    const auto [layer, handle] = handleAt(input.point);
    if (!layer)
        return;
    // The resized node is stored with the sides of its parent it lies on.
    resized_ = layer->node();
    resized_->horizontalAffinity = layer->horizontalSide();
    resized_->verticalAffinity = layer->verticalSide();
    grabbedHandle_ = handle;
}

void ResizeGesture::move(const GestureInput& input)
{
    // A resize moves layers by what they show: every one must show where its node is.
    sync_.settleLayers();
    resizeStep(input.delta);
}

void ResizeGesture::resizeStep(Point delta)
{
    if (!resized_)
        return;
    Node& node = *resized_;
    const Size minimum = measureTitle(node);
    const double minX = node.center.x - node.size.width / 2, maxX = minX + node.size.width;
    const double minY = node.center.y - node.size.height / 2, maxY = minY + node.size.height;
    Point moved, fixed;
    switch (grabbedHandle_) {
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
    NodeLayer* layer = sync_.settledNodeLayer(node.uid);
    if (!layer)
        return;
    layer->setNode(node);
    layer->updateContents();
    sync_.placeMovedLayers({layer});
}

void ResizeGesture::release(const GestureInput&)
{
    view_.setActiveGesture(nullptr);
    const std::optional<Node> resized = std::move(resized_);
    resized_.reset();
    if (const auto target = view_.delegate(); target && resized)
        target->resizeNode(*resized);
}

// ---- Rubber band ----

RubberBandGesture::RubberBandGesture(GraphView& view, CanvasSync& sync)
    : view_(view), sync_(sync), selectionLayer_(std::make_shared<Layer>())
{
}

void RubberBandGesture::setUpSelectionLayer()
{
    Layer& layer = *selectionLayer_;
    layer.setName("selection");
    QColor gray(Qt::gray);
    gray.setAlphaF(0.3f);
    layer.setBackgroundColor(gray);
    layer.setMasksToBounds(true);
    layer.setAnchorPoint({0, 0});
    layer.setZPosition(CanvasZPosition::overlay);
    layer.setOpaque(true);
    layer.setBorderWidth(1.0);
    layer.setBorderColor(QColor(146, 146, 146));
    layer.setCornerRadius(4.0);
    layer.setOpacity(1.0);
    layer.setFrame(Rect(0, 0, 0, 0));
    layer.setHidden(true);
    view_.layer()->addSublayer(selectionLayer_);
}

void RubberBandGesture::applySelectionRect(bool shown)
{
    Transaction transaction(true);
    selectionLayer_->setHidden(!shown);
    selectionLayer_->setFrame(integralRect(selectionRect_.standardized()));
}

void RubberBandGesture::press(const GestureInput& input)
{
    selectionRect_ = Rect(input.point.x, input.point.y, 0, 0);
    view_.setSelectedNodeUIDs({});
    applySelectionRect(true);
}

void RubberBandGesture::move(const GestureInput& input)
{
    selectionRect_.size = Size{input.point.x - selectionRect_.origin.x, input.point.y - selectionRect_.origin.y};
    const Rect band = selectionRect_.standardized();
    sync_.settleLayers(band);
    for (const auto& layer : sync_.nodeLayersAsIs())
        layer->setSelected(layer->frame().intersects(band));
    // The layers no longer show the pushed selection.
    sync_.noteShownSelection(std::nullopt);
    applySelectionRect(true);
}

void RubberBandGesture::release(const GestureInput& input)
{
    view_.setActiveGesture(nullptr);
    selectionRect_.size = Size{input.point.x - selectionRect_.origin.x, input.point.y - selectionRect_.origin.y};
    const Rect band = selectionRect_.standardized();
    sync_.settleLayers(band);
    std::vector<Node> nodes;
    for (const auto& layer : sync_.nodeLayersAsIs())
        if (layer->frame().intersects(band))
            nodes.push_back(layer->node());
    if (!nodes.empty())
        if (const auto target = view_.delegate())
            target->selectNodes(nodes, true);
    cancel();
}

void RubberBandGesture::cancel()
{
    selectionRect_ = Rect(0, 0, 0, 0);
    applySelectionRect(false);
}

// ---- Pan ----

PanGesture::PanGesture(GraphView& view, std::function<void(Point)> rightClick)
    : view_(view), rightClick_(std::move(rightClick))
{
}

void PanGesture::press(const GestureInput&)
{
    panned_ = false;
}

void PanGesture::move(const GestureInput& input)
{
    view_.setCursor(Qt::ClosedHandCursor);
    ScrollView* scrollView = ScrollView::enclosingScrollView(&view_);
    if (!scrollView)
        return;
    // A move along one axis only pans without counting as a pan, so the release still shows the menu.
    if (input.delta.x != 0 && input.delta.y != 0)
        panned_ = true;
    scrollView->scrollToPoint(scrollView->documentVisibleRect().origin - input.delta);
}

void PanGesture::release(const GestureInput& input)
{
    view_.setCursor(Qt::ArrowCursor);
    view_.setActiveGesture(nullptr);
    if (!panned_)
        rightClick_(input.point);
}

void PanGesture::cancel()
{
    view_.setCursor(Qt::ArrowCursor);
}

} // namespace velquine
