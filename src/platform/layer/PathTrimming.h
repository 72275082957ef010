#pragma once

// Cutting a path down to the part a stroke can show in an area, so that a long line of which only a little
// is on screen is stroked for that little.
// What it buys, measured against stroking whole paths: 1.1x a full repaint of 5,000 nodes (bench_CanvasDrag).

#include <QPainterPath>
#include <QRectF>

#include <algorithm>
#include <optional>

namespace velquine {

// The open path's pieces that may come near the area: its lines, and its curves cut into pieces of at most a
// fixed size, the same pieces whatever the area. Stroked with a solid pen whose reach is within the area's
// margin, they paint the same pixels inside the area as the whole path cut the same way, so a picture drawn
// in bands matches the picture drawn whole. Nothing when the path has a closed subpath (whose stroke joins its
// ends).
//
// Every subpath comes out running from right to left: one that runs the other way is given reversed, the
// same curve. Qt's raster engine strokes a long, flat line drawn leftwards to the same pixels as drawn
// rightwards but with less work (about a fifth less on a view of branches fanning out from the root), as
// its rasterizer keeps each pixel row's cells in a list sorted by column. The orientation depends on the
// whole subpath only, so every area gets the same.
std::optional<QPainterPath> visiblePartOfStroke(const QPainterPath& path, const QRectF& area);

// Cuts a cubic curve into pieces by halving it (de Casteljau) until a piece's control points lie within size
// across (at most 24 times): the same pieces whatever the area. Calls near(p0, p1, p2, p3) for each piece
// whose control points' box meets the area (edges included) and far(end) for each part left out, in order.
template <class Near, class Far>
void cutCurveNear(QPointF p0, QPointF p1, QPointF p2, QPointF p3, const QRectF& area, double size, Near&& near,
                  Far&& far, int depth = 0)
{
    const double minX = std::min({p0.x(), p1.x(), p2.x(), p3.x()}), maxX = std::max({p0.x(), p1.x(), p2.x(), p3.x()});
    const double minY = std::min({p0.y(), p1.y(), p2.y(), p3.y()}), maxY = std::max({p0.y(), p1.y(), p2.y(), p3.y()});
    if (maxX < area.left() || minX > area.right() || maxY < area.top() || minY > area.bottom()) {
        far(p3);
        return;
    }
    if (depth >= 24 || (maxX - minX <= size && maxY - minY <= size)) {
        near(p0, p1, p2, p3);
        return;
    }
    const QPointF p01 = (p0 + p1) / 2, p12 = (p1 + p2) / 2, p23 = (p2 + p3) / 2;
    const QPointF p012 = (p01 + p12) / 2, p123 = (p12 + p23) / 2, middle = (p012 + p123) / 2;
    cutCurveNear(p0, p01, p012, middle, area, size, near, far, depth + 1);
    cutCurveNear(middle, p123, p23, p3, area, size, near, far, depth + 1);
}

} // namespace velquine
