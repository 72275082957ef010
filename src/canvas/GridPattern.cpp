#include "canvas/GridPattern.h"

#include <algorithm>
#include <cmath>

namespace velquine {

namespace {

// The grid positions of one axis that can fall inside [low, high), clipped to [0, limit): the range of i for
// start + i·step. Positions outside are skipped anyway, so starting later changes nothing that is drawn.
struct IndexRange {
    long long first = 0;
    long long last = -1;
};

IndexRange indexRange(const GridAxis& axis, double low, double high, double limit)
{
    IndexRange range;
    const double from = std::max(low, 0.0);
    const double to = std::min(high, limit);
    if (!(to > from))
        return range;
    range.first = std::max(0LL, static_cast<long long>(std::floor((from - axis.start) / axis.step)) - 1);
    range.last = static_cast<long long>(std::ceil((to - axis.start) / axis.step)) + 1;
    return range;
}

Rect visibleInLayer(const GridGeometry& geometry)
{
    const Rect& visible = geometry.visible;
    return Rect(visible.origin.x - geometry.bounds.origin.x, visible.origin.y - geometry.bounds.origin.y,
                visible.size.width, visible.size.height);
}

bool usableGeometry(const Grid& grid, const GridGeometry& geometry, GridAxis& x, GridAxis& y)
{
    return gridAxis(geometry.bounds.origin.x, grid.size.width, x)
        && gridAxis(geometry.bounds.origin.y, grid.size.height, y) && geometry.layerSize.isFinite()
        && geometry.visible.origin.isFinite() && geometry.visible.size.isFinite();
}

void addDots(const GridAxis& ax, const GridAxis& ay, const GridGeometry& geometry, const Rect& visible,
             std::vector<QRectF>& rects)
{
    // A dot is drawn in every part of the area its square meets, though its corner lies in one part only.
    constexpr double dot = 2.0;
    const Rect area = visible.intersection(geometry.clip.insetBy(-dot, -dot));
    if (area.isNull())
        return;
    const IndexRange rx = indexRange(ax, area.minX(), area.maxX(), geometry.layerSize.width);
    const IndexRange ry = indexRange(ay, area.minY(), area.maxY(), geometry.layerSize.height);
    for (long long i = rx.first; i <= rx.last; ++i) {
        const double x = ax.start + static_cast<double>(i) * ax.step;
        if (x >= geometry.layerSize.width)
            break;
        for (long long j = ry.first; j <= ry.last; ++j) {
            const double y = ay.start + static_cast<double>(j) * ay.step;
            if (y >= geometry.layerSize.height)
                break;
            if (visible.contains(Point{x, y}) && Rect(x, y, dot, dot).intersectsOpen(geometry.clip))
                rects.emplace_back(x, y, dot, dot);
        }
    }
}

void addLines(const GridAxis& ax, const GridAxis& ay, const GridGeometry& geometry, const Rect& visible,
              std::vector<QRectF>& rects)
{
    const IndexRange rx = indexRange(ax, visible.minX() - 1, visible.maxX() + 1, geometry.layerSize.width);
    for (long long i = rx.first; i <= rx.last; ++i) {
        const double x = ax.start + static_cast<double>(i) * ax.step;
        if (x >= geometry.layerSize.width)
            break;
        const Rect line(x, visible.origin.y, 1.0, visible.size.height);
        if (line.intersects(visible) && line.intersects(geometry.clip))
            rects.emplace_back(line.origin.x, line.origin.y, line.size.width, line.size.height);
    }
    const IndexRange ry = indexRange(ay, visible.minY() - 1, visible.maxY() + 1, geometry.layerSize.height);
    for (long long j = ry.first; j <= ry.last; ++j) {
        const double y = ay.start + static_cast<double>(j) * ay.step;
        if (y >= geometry.layerSize.height)
            break;
        const Rect line(visible.origin.x, y, visible.size.width, 1.0);
        if (line.intersects(visible) && line.intersects(geometry.clip))
            rects.emplace_back(line.origin.x, line.origin.y, line.size.width, line.size.height);
    }
}

// One motif centred on (cx, cy) inside a cell of w by h.
void addMotif(GridType type, double cx, double cy, double w, double h, QPainterPath& path)
{
    switch (type) {
    case GridType::hexagons: {
        const double r = std::min(w, h) * 0.5;
        QPolygonF hexagon;
        for (int k = 0; k <= 6; ++k) {
            const double angle = M_PI / 3.0 * k + M_PI / 6.0;
            hexagon << QPointF(cx + r * std::cos(angle), cy + r * std::sin(angle));
        }
        path.addPolygon(hexagon);
        break;
    }
    case GridType::diamonds: {
        QPolygonF diamond;
        diamond << QPointF(cx, cy - h * 0.5) << QPointF(cx + w * 0.5, cy) << QPointF(cx, cy + h * 0.5)
                << QPointF(cx - w * 0.5, cy) << QPointF(cx, cy - h * 0.5);
        path.addPolygon(diamond);
        break;
    }
    case GridType::circles: {
        const double r = std::min(w, h) * 0.25;
        path.addEllipse(QPointF(cx, cy), r, r);
        break;
    }
    case GridType::hearts: {
        // Two lobes meeting at a point below, a quarter of the cell wide.
        const double s = std::min(w, h) * 0.125;
        path.moveTo(cx, cy + s);
        path.cubicTo(cx - 2.2 * s, cy - 0.4 * s, cx - 1.0 * s, cy - 1.8 * s, cx, cy - 0.7 * s);
        path.cubicTo(cx + 1.0 * s, cy - 1.8 * s, cx + 2.2 * s, cy - 0.4 * s, cx, cy + s);
        path.closeSubpath();
        break;
    }
    default:
        break;
    }
}

} // namespace

Color gridColor(const Color& backgroundColor)
{
    const Color device = backgroundColor.usingDeviceRGB();
    const std::vector<double>& c = device.components();
    const double r = c.size() > 0 ? c[0] : 0;
    const double g = c.size() > 1 ? c[1] : 0;
    const double b = c.size() > 2 ? c[2] : 0;
    const double luminance = (299 * r + 587 * g + 114 * b) / 1000;
    const double d = luminance < 0.5 ? 0.1 : -0.1;
    const auto moved = [d](double component) { return std::clamp(component + d, 0.0, 1.0); };
    return Color::deviceRGB(moved(r), moved(g), moved(b), device.alpha());
}

bool gridAxis(double boundsOrigin, double spacing, GridAxis& axis)
{
    if (!std::isfinite(spacing) || !std::isfinite(boundsOrigin) || spacing < 1.0)
        return false;
    // Beyond 2^53 a double holds no fraction, and trunc(B.x) / trunc(sx) needs whole numbers that fit.
    if (std::fabs(boundsOrigin) > 9.0e15 || spacing > 9.0e15)
        return false;
    const double whole = std::trunc(spacing);
    const double quotient = std::trunc(std::trunc(boundsOrigin) / whole);
    axis.start = -(boundsOrigin - quotient * whole);
    axis.step = spacing;
    return true;
}

std::vector<QRectF> gridRects(const Grid& grid, const GridGeometry& geometry)
{
    std::vector<QRectF> rects;
    if (grid.type != GridType::dots && grid.type != GridType::quad)
        return rects;
    GridAxis ax, ay;
    if (!usableGeometry(grid, geometry, ax, ay))
        return rects;
    const Rect visible = visibleInLayer(geometry);
    if (grid.type == GridType::dots)
        addDots(ax, ay, geometry, visible, rects);
    else
        addLines(ax, ay, geometry, visible, rects);
    return rects;
}

QPainterPath gridOutlines(const Grid& grid, const GridGeometry& geometry)
{
    QPainterPath path;
    if (grid.type == GridType::noGrid || grid.type == GridType::dots || grid.type == GridType::quad)
        return path;
    GridAxis ax, ay;
    if (!usableGeometry(grid, geometry, ax, ay))
        return path;
    const Rect visible = visibleInLayer(geometry);
    const Rect area = visible.intersection(geometry.clip);
    if (area.isNull())
        return path;
    const double w = grid.size.width;
    const double h = grid.size.height;
    // Motifs sit in the cells between grid lines; one cell of margin catches those reaching into the area.
    const IndexRange rx = indexRange(ax, area.minX() - w, area.maxX() + w, geometry.layerSize.width);
    const IndexRange ry = indexRange(ay, area.minY() - h, area.maxY() + h, geometry.layerSize.height);
    for (long long j = ry.first; j <= ry.last; ++j) {
        const double y = ay.start + static_cast<double>(j) * ay.step;
        if (y >= geometry.layerSize.height)
            break;
        // Hexagons interlock when every other row is shifted by half a cell.
        const double shift = (grid.type == GridType::hexagons && (j % 2) != 0) ? w * 0.5 : 0.0;
        for (long long i = rx.first; i <= rx.last; ++i) {
            const double x = ax.start + static_cast<double>(i) * ax.step + shift;
            if (x >= geometry.layerSize.width)
                break;
            if (Rect(x, y, w, h).intersectsOpen(area))
                addMotif(grid.type, x + w * 0.5, y + h * 0.5, w, h, path);
        }
    }
    return path;
}

} // namespace velquine
