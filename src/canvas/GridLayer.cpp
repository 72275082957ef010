#include "canvas/GridLayer.h"

#include <QPainter>

#include "canvas/GraphView.h"
#include "canvas/GridPattern.h"

namespace velquine {

GridLayer::GridLayer()
{
    setNeedsDisplay();
}

void GridLayer::setGrid(const Grid& grid)
{
    const bool changed = grid.type != grid_.type || !(grid.size == grid_.size);
    grid_ = grid;
    if (changed) {
        setNeedsLayout();
        setNeedsDisplay();
    }
}

void GridLayer::setDocumentBackgroundColor(const std::optional<Color>& color)
{
    const bool same = color && documentBackgroundColor_ && *color == *documentBackgroundColor_;
    const bool bothAbsent = !color && !documentBackgroundColor_;
    documentBackgroundColor_ = color;
    if (same || bothAbsent)
        return;
    setNeedsLayout();
    setNeedsDisplay();
}

// The grid lies where it does on the canvas: a new size changes only the part the canvas gained or lost, which
// the canvas marks (GraphView::updateBackdrop).
void GridLayer::layoutSublayers() {}

std::optional<LayerAction> GridLayer::actionForKey(const std::string& /*key*/) const
{
    return std::nullopt;
}

void GridLayer::draw(QPainter& painter) const
{
    if (grid_.type == GridType::noGrid || !parentView || !documentBackgroundColor_)
        return;
    GridGeometry geometry;
    geometry.bounds = parentView->boundsRect();
    geometry.layerSize = bounds().size;
    geometry.visible = parentView->visibleRect();
    const QRectF clip = painter.hasClipping() ? painter.clipBoundingRect() : QRectF();
    geometry.clip = clip.isValid() ? Rect(clip.x(), clip.y(), clip.width(), clip.height())
                                   : Rect(0, 0, geometry.layerSize.width, geometry.layerSize.height);
    const QColor color = gridColor(*documentBackgroundColor_).toQColor();
    painter.save();
    if (grid_.type == GridType::dots || grid_.type == GridType::quad) {
        const std::vector<QRectF> rects = gridRects(grid_, geometry);
        if (!rects.empty()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawRects(rects.data(), static_cast<int>(rects.size()));
        }
    } else {
        const QPainterPath outlines = gridOutlines(grid_, geometry);
        if (!outlines.isEmpty()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(color, 1.0));
            painter.drawPath(outlines);
        }
    }
    painter.restore();
}

} // namespace velquine
