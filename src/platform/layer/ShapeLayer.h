#pragma once

// A layer that fills and strokes a path given in its own coordinates. The path may reach outside the
// bounds; it is not clipped unless the layer masks to its bounds, and its painted area (not the bounds)
// decides whether it is drawn at all. Path changes animate point by point like other implicit actions.

#include <QColor>
#include <QPainterPath>

#include <vector>

#include "platform/layer/Layer.h"

namespace velquine {

enum class LineCap { butt, round, square };
enum class LineJoin { miter, round, bevel };
enum class FillRule { nonZero, evenOdd };

class ShapeLayer : public Layer {
public:
    ShapeLayer() = default;

    const QPainterPath& path() const { return path_; }
    void setPath(const QPainterPath& path);
    QPainterPath presentationPath() const;

    // Opaque black by default; an invalid colour does not fill.
    QColor fillColor() const { return fillColor_; }
    void setFillColor(const QColor& color);
    // None (invalid) by default: no stroke.
    QColor strokeColor() const { return strokeColor_; }
    void setStrokeColor(const QColor& color);
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width);
    // Lengths of dashes and gaps in points, starting with a dash; empty draws a solid line.
    const std::vector<double>& lineDashPattern() const { return lineDashPattern_; }
    void setLineDashPattern(std::vector<double> pattern);
    double lineDashPhase() const { return lineDashPhase_; }
    void setLineDashPhase(double phase);
    LineCap lineCap() const { return lineCap_; }
    void setLineCap(LineCap cap);
    LineJoin lineJoin() const { return lineJoin_; }
    void setLineJoin(LineJoin join);
    double miterLimit() const { return miterLimit_; }
    void setMiterLimit(double limit);
    FillRule fillRule() const { return fillRule_; }
    void setFillRule(FillRule rule);

    // The pen the stroke is drawn with (dashes converted to units of the line width).
    QPen strokePen() const;
    // Whether the stroke is dashed.
    bool isDashed() const;
    // Whether the layer's own drawing, with the path as drawn (its presentation), is a solid stroke alone such as
    // a StrokeRaster draws as draw() would: one open line, no fill, no dashes, flat or round ends, and round
    // corners or none (one straight piece or one curve).
    bool strokesPlainly(const QPainterPath& drawn) const;
    // Whether its style alone makes such a stroke, whatever the path: no fill, a solid stroke of some width,
    // flat or round ends.
    bool hasPlainStrokeStyle() const;

    void draw(QPainter& painter) const override;
    Rect drawingExtent() const override;
    // A stroke without a fill, cut along the path.
    std::optional<std::vector<Rect>> drawingPieces(const Rect& area) const override;
    // Keeps the path of the instant while it animates, for every part's paint to share; otherwise makes the
    // dashes of a dashed stroke, once per path.
    void prepareForDrawing(const Rect& area) const override;
    // The same for paints of any area.
    void prepareForDrawing() const;

private:
    // How far the stroke reaches beyond the path, with a point to spare for anti-aliasing.
    double strokeReach() const;
    // The path with the layer's fill rule, in storage of its own.
    QPainterPath filledPath(QPainterPath path) const;
    // The outline of the dashed stroke of the whole path, to be filled with the stroke colour.
    QPainterPath dashesOf(const QPainterPath& path) const;

    QPainterPath path_;
    mutable std::optional<Rect> pathExtent_;
    // The dashes of a dashed stroke for the path as it is, made ahead of paints (they share it).
    mutable std::optional<QPainterPath> dashes_;
    QColor fillColor_{Qt::black};
    QColor strokeColor_;
    double lineWidth_ = 1;
    std::vector<double> lineDashPattern_;
    double lineDashPhase_ = 0;
    LineCap lineCap_ = LineCap::butt;
    LineJoin lineJoin_ = LineJoin::miter;
    double miterLimit_ = 10;
    FillRule fillRule_ = FillRule::nonZero;
};

} // namespace velquine
