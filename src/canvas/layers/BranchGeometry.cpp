#include "canvas/layers/BranchGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velquine {

namespace {

QPointF qt(Point p) { return {p.x, p.y}; }

DockPoints origins(const BranchEnd& parent, const BranchEnd& child)
{
    DockPoints points;
    points.parentNodeOrigin = parent.nodeCenter;
    points.childNodeOrigin = child.nodeCenter;
    return points;
}

} // namespace

DockPoints horizontalDockPoints(const BranchEnd& parent, const BranchEnd& child, LayoutOptions::BranchType type)
{
    const Rect& p = parent.frame;
    const Rect& c = child.frame;
    DockPoints points = origins(parent, child);
    Point parentDock = p.center();
    const double facingX = p.midX() <= c.midX() ? p.maxX() : p.minX();
    if (parent.shape == NodeShape::underline) {
        parentDock.y = parent.borderWidth != StrokeThickness::invisible ? p.maxY() : p.midY();
        parentDock.x = facingX;
    }
    if (parent.nodeType != NodeType::root)
        parentDock.x = facingX;

    Point childDock;
    childDock.y = child.hasVisibleUnderline() ? c.maxY() : c.midY();
    childDock.x = c.midX() <= p.midX() ? c.maxX() : c.minX();

    if (type == LayoutOptions::BranchType::angular)
        parentDock.x = c.midX() <= p.midX() ? p.minX() : p.maxX();

    points.parentDockPoint = parentDock;
    points.childDockPoint = childDock;
    return points;
}

DockPoints verticalDockPoints(const BranchEnd& parent, const BranchEnd& child, LayoutOptions::BranchType type)
{
    const Rect& p = parent.frame;
    const Rect& c = child.frame;
    DockPoints points = origins(parent, child);
    Point parentDock = p.center();
    Point childDock = c.center();
    const bool underlined = parent.shape == NodeShape::underline;
    if (p.midY() < c.midY()) {
        childDock.y = c.minY();
        if (underlined)
            parentDock = {p.midX(), p.maxY()};
    }
    if (c.midY() < p.midY()) {
        childDock.y = c.maxY();
        if (underlined)
            parentDock = {p.midX(), p.minY()};
    }
    if (type == LayoutOptions::BranchType::angular)
        parentDock.y = p.midY() <= c.midY() ? p.maxY() : p.minY();

    points.parentDockPoint = parentDock;
    points.childDockPoint = childDock;
    return points;
}

void addArcToPoint(QPainterPath& path, Point tangent1, Point tangent2, double radius)
{
    const QPointF p0 = path.currentPosition();
    const double ax = p0.x() - tangent1.x;
    const double ay = p0.y() - tangent1.y;
    const double bx = tangent2.x - tangent1.x;
    const double by = tangent2.y - tangent1.y;
    const double la = std::hypot(ax, ay);
    const double lb = std::hypot(bx, by);
    const double cross = ax * by - ay * bx;
    if (!(radius > 0) || la == 0 || lb == 0 || std::fabs(cross) <= 1e-12 * la * lb) {
        path.lineTo(qt(tangent1));
        return;
    }
    // The angle at tangent1 between its two legs, and how far from tangent1 the circle touches them.
    const double cosine = std::clamp((ax * bx + ay * by) / (la * lb), -1.0, 1.0);
    const double half = std::acos(cosine) / 2;
    const double distance = radius / std::tan(half);
    const QPointF start(tangent1.x + ax / la * distance, tangent1.y + ay / la * distance);
    const QPointF end(tangent1.x + bx / lb * distance, tangent1.y + by / lb * distance);
    // The centre lies on the bisector of the two legs.
    const double ux = ax / la + bx / lb;
    const double uy = ay / la + by / lb;
    const double lu = std::hypot(ux, uy);
    const double centreDistance = radius / std::sin(half);
    const QPointF centre(tangent1.x + ux / lu * centreDistance, tangent1.y + uy / lu * centreDistance);

    // Qt measures angles counter-clockwise on screen, with y growing downwards.
    auto angleOf = [&](QPointF q) {
        return std::atan2(-(q.y() - centre.y()), q.x() - centre.x()) * 180.0 / std::numbers::pi;
    };
    const double startAngle = angleOf(start);
    double sweep = angleOf(end) - startAngle;
    while (sweep > 180.0)
        sweep -= 360.0;
    while (sweep < -180.0)
        sweep += 360.0;
    path.lineTo(start);
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), startAngle, sweep);
}

QPainterPath branchPath(const DockPoints& points, LayoutOptions::LayoutType layoutType,
                        LayoutOptions::BranchType branchType)
{
    const double x1 = points.parentDockPoint.x;
    const double y1 = points.parentDockPoint.y;
    const double x2 = points.childDockPoint.x;
    const double y2 = points.childDockPoint.y;
    const double dx = x1 - x2;
    const double dy = y1 - y2;
    const bool horizontal = layoutType == LayoutOptions::LayoutType::horizontal;

    QPainterPath path;
    path.moveTo(x1, y1);
    switch (branchType) {
    case LayoutOptions::BranchType::rounded: {
        const double d = (horizontal ? 0.2 : 0.1) * std::sqrt(dx * dx + dy * dy);
        if (horizontal) {
            const double s = points.parentNodeOrigin.x <= points.childNodeOrigin.x ? d : -d;
            path.cubicTo(x1 + s, y1, x2 - s, y2, x2, y2);
        } else {
            const double s = points.parentNodeOrigin.y <= points.childNodeOrigin.y ? d : -d;
            path.cubicTo(x1, y1 + s, x2, y2 - s, x2, y2);
        }
        break;
    }
    case LayoutOptions::BranchType::angular: {
        Point corner1;
        Point corner2;
        if (horizontal) {
            const double mx = x1 + (x2 - x1) * 0.5;
            corner1 = {mx, y1};
            corner2 = {mx, y2};
        } else {
            const double my = y1 + (y2 - y1) * 0.5;
            corner1 = {x1, my};
            corner2 = {x2, my};
        }
        const double r = std::min({std::fabs(dx) * 0.5, std::fabs(dy) * 0.5, 4.0});
        if (r <= 0) {
            path.lineTo(x2, y2);
            break;
        }
        addArcToPoint(path, corner1, corner2, r);
        addArcToPoint(path, corner2, {x2, y2}, r);
        addArcToPoint(path, {x2, y2}, {x2, y2}, r);
        break;
    }
    case LayoutOptions::BranchType::line:
        path.lineTo(x2, y2);
        break;
    }
    return path;
}

double branchZPosition(Point parentNodeOrigin, Point childNodeOrigin)
{
    const double ex = parentNodeOrigin.x - childNodeOrigin.x;
    const double ey = parentNodeOrigin.y - childNodeOrigin.y;
    const double q = ex * ex + ey * ey;
    return q > 0 ? -11.0 + 1.0 / q : -11.0;
}

} // namespace velquine
