#include "canvas/layers/NodeGeometry.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include <QFile>

#include "canvas/svg/SVGBezierPath.h"
#include "canvas/svg/SVGError.h"
#include "platform/Log.h"

namespace velquine {

namespace {

QPainterPath polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

QPainterPath roundedRect(const QRectF& r, double radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

} // namespace

Rect integralRect(const Rect& rect)
{
    if (rect.isNull())
        return rect;
    const Rect r = rect.standardized();
    const double x = std::floor(r.minX());
    const double y = std::floor(r.minY());
    return Rect(x, y, std::ceil(r.maxX()) - x, std::ceil(r.maxY()) - y);
}

std::optional<QPainterPath> shapeOutline(NodeShape shape, const Rect& rect)
{
    const Rect s = rect.standardized();
    const QRectF r(s.minX(), s.minY(), s.width(), s.height());
    const double w = r.width();
    const double h = r.height();
    switch (shape) {
    case NodeShape::underline:
    case NodeShape::cloud:
        return std::nullopt;
    case NodeShape::rect: {
        QPainterPath path;
        path.addRect(r);
        return path;
    }
    case NodeShape::roundedRect:
        return roundedRect(r, nodeCornerRadius);
    case NodeShape::ellipse: {
        QPainterPath path;
        path.addEllipse(r);
        return path;
    }
    case NodeShape::embedded:
        return roundedRect(r, 3.0);
    case NodeShape::pill:
        return roundedRect(r, std::min(w, h) / 2);
    case NodeShape::hexagon: {
        const double inset = std::min(h / 2, w / 4);
        return polygon({{r.left() + inset, r.top()}, {r.right() - inset, r.top()}, {r.right(), r.center().y()},
                        {r.right() - inset, r.bottom()}, {r.left() + inset, r.bottom()}, {r.left(), r.center().y()}});
    }
    case NodeShape::octagon: {
        const double cut = std::min(w, h) * 0.29;
        return polygon({{r.left() + cut, r.top()}, {r.right() - cut, r.top()}, {r.right(), r.top() + cut},
                        {r.right(), r.bottom() - cut}, {r.right() - cut, r.bottom()}, {r.left() + cut, r.bottom()},
                        {r.left(), r.bottom() - cut}, {r.left(), r.top() + cut}});
    }
    case NodeShape::triangle:
        return polygon({{r.center().x(), r.top()}, {r.right(), r.bottom()}, {r.left(), r.bottom()}});
    case NodeShape::diamond:
        return polygon({{r.center().x(), r.top()}, {r.right(), r.center().y()}, {r.center().x(), r.bottom()},
                        {r.left(), r.center().y()}});
    }
    return std::nullopt;
}

std::optional<QPainterPath> cloudOutline(const Rect& rect, const std::string& location)
{
    if (!QFile::exists(QString::fromStdString(location)))
        return std::nullopt;
    std::vector<SVGBezierPath> paths;
    try {
        paths = SVGBezierPath::pathsFromSVGAtURL(location);
    } catch (const SVGError& error) {
        static bool logged = false;
        if (!logged) {
            logged = true;
            VQ_LOG("cloudOutline(_:)", std::string("The cloud outline can not be read: ") + error.what());
        }
        return std::nullopt;
    }
    std::optional<QPainterPath> outline;
    for (SVGBezierPath& path : paths) {
        if (path.fitInto(rect))
            outline = path.CGPath();
    }
    return outline;
}

std::array<Rect, 4> handleRects(const Rect& bounds, Size handleSize)
{
    const double w = handleSize.width;
    const double h = handleSize.height;
    const double xL = bounds.minX() - 2;
    const double yT = bounds.minY() - h * 0.5 + 2;
    const double xR = bounds.maxX() - w + 2;
    const double yB = bounds.maxY() - h + 2;
    return {integralRect(Rect(xL, yT, w, h)), integralRect(Rect(xL, yB, w, h)), integralRect(Rect(xR, yB, w, h)),
            integralRect(Rect(xR, yT, w, h))};
}

Rect hoverButtonFrame(const Rect& bounds, DockPointLocation side)
{
    const double size = hoverButtonSize;
    const double half = size / 2;
    switch (side) {
    case DockPointLocation::left:
        return Rect(bounds.minX() - size - hoverButtonGap, bounds.midY() - half, size, size);
    case DockPointLocation::right:
        return Rect(bounds.maxX() + hoverButtonGap, bounds.midY() - half, size, size);
    case DockPointLocation::top:
        return Rect(bounds.midX() - half, bounds.minY() - size - hoverButtonGap, size, size);
    case DockPointLocation::bottom:
        return Rect(bounds.midX() - half, bounds.maxY() + hoverButtonGap, size, size);
    }
    return Rect(0, 0, size, size);
}

DockPointLocation hoverSide(const LayoutOptions& options, NodeType nodeType, HorizontalAffinity horizontal,
                            VerticalAffinity vertical, const Rect& frame, Point location)
{
    using Direction = LayoutOptions::LayoutDirection;
    const bool followsPointer = options.isManual ||
                                (options.layoutDirection == Direction::balanced && nodeType == NodeType::root);
    if (options.layoutType == LayoutOptions::LayoutType::horizontal) {
        if (followsPointer)
            return frame.midX() > location.x ? DockPointLocation::left : DockPointLocation::right;
        switch (options.layoutDirection) {
        case Direction::ascending: return DockPointLocation::right;
        case Direction::descending: return DockPointLocation::left;
        case Direction::balanced:
            return horizontal == HorizontalAffinity::right ? DockPointLocation::right : DockPointLocation::left;
        }
    } else {
        if (followsPointer)
            return frame.midY() > location.y ? DockPointLocation::top : DockPointLocation::bottom;
        switch (options.layoutDirection) {
        case Direction::ascending: return DockPointLocation::bottom;
        case Direction::descending: return DockPointLocation::top;
        case Direction::balanced:
            return vertical == VerticalAffinity::below ? DockPointLocation::bottom : DockPointLocation::top;
        }
    }
    return DockPointLocation::right;
}

} // namespace velquine
