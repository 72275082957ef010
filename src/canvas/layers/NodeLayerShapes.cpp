// The outline, focus ring, underline and border of a node layer.

#include "canvas/layers/NodeLayer.h"
#include "canvas/layers/StrokeMetrics.h"

namespace velquine {

namespace {

// The outline of a shape in a rectangle, the cloud included; nothing for an underline or a cloud outline
// that cannot be had.
std::optional<QPainterPath> outline(NodeShape shape, const Rect& rect)
{
    if (shape == NodeShape::cloud)
        return cloudOutline(rect);
    return shapeOutline(shape, rect);
}

Rect ringRect(const Rect& bounds) { return bounds.insetBy(-focusRingOutset, -focusRingOutset); }

} // namespace

void NodeLayer::updateShapePath(NodeShape shape)
{
    const Rect b = bounds();
    // The same shape, bounds, node and layout as last time (a new layer is given its shape twice): the paths
    // are already these.
    const ShapeInputs inputs{shape, b, nodeRevision_, layoutOptions_.layoutType, bool(underlineLayer_)};
    if (shapeInputs_ == inputs)
        return;
    shapeInputs_ = inputs;
    ringShape_ = shape;
    ringBounds_ = b;
    if (shape == NodeShape::underline) {
        underlineShape_ = shape;
        shapeLayer_->setPath(QPainterPath());
        if (underlineLayer_)
            applyUnderline();
        else if (!labelDeferred_)
            underlineLayer();  // made with the underline applied; a node out of sight makes it when placed
        applyFocusRingPath();
        return;
    }
    underlineShape_.reset();
    if (underlineLayer_)
        underlineLayer_->setHidden(true);
    if (shape == NodeShape::cloud) {
        // The cloud is stretched over the bounds from the origin, its ring over the ring rectangle.
        if (std::optional<QPainterPath> path = cloudOutline(Rect({0, 0}, b.size)))
            shapeLayer_->setPath(*path);
    } else if (std::optional<QPainterPath> path = outline(shape, b)) {
        shapeLayer_->setPath(*path);
    }
    applyFocusRingPath();
}

void NodeLayer::applyFocusRingPath()
{
    if (!focusRingLayer_ || !ringShape_)
        return;
    const NodeShape shape = *ringShape_;
    std::optional<QPainterPath> path;
    if (shape == NodeShape::underline) {
        path = shapeOutline(NodeShape::roundedRect, ringBounds_);
    } else if (shape == NodeShape::cloud) {
        const Rect r = ringRect(ringBounds_);
        path = cloudOutline(Rect(-focusRingOutset, -focusRingOutset, r.width(), r.height()));
    } else {
        path = outline(shape, ringRect(ringBounds_));
    }
    if (path)
        focusRingLayer_->setPath(*path);
}

void NodeLayer::applyUnderline()
{
    if (!underlineLayer_ || !underlineShape_)
        return;
    ShapeLayer& line = *underlineLayer_;
    line.setHidden(layoutOptions_.layoutType == LayoutOptions::LayoutType::vertical);
    const QColor color = node_->style.branchColor.toQColor();
    line.setStrokeColor(color);
    line.setFillColor(color);
    line.setLineWidth(strokeWidth(node_->style.borderWidth));
    line.setLineCap(LineCap::round);
    QPainterPath path(QPointF(0, 0));
    path.reserve(2);
    path.lineTo(ringBounds_.maxX(), 0);
    line.setPath(path);
}

void NodeLayer::updateBorder()
{
    const NodeStyle& style = node_->style;
    QColor stroke = style.borderColor.toQColor();
    if (isFaded_)
        stroke.setAlphaF(0.25f);
    shapeLayer_->setStrokeColor(stroke);
    shapeLayer_->setLineWidth(strokeWidth(style.borderWidth));
    if (hoverButtonLayer_) {
        hoverButtonLayer_->setTintColor(style.borderColor);
        hoverButtonLayer_->updatePlusImage();
    }
    const std::vector<double> dashes = dashPattern(style.borderStyle);
    shapeLayer_->setLineDashPattern(dashes);
    if (underlineLayer_)
        underlineLayer_->setLineDashPattern(dashes);
}

} // namespace velquine
