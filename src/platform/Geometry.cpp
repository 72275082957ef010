#include "platform/Geometry.h"

#include <algorithm>

namespace velquine {

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
}

Rect Rect::null() { return {kInf, kInf, 0, 0}; }

Rect Rect::insetBy(double dx, double dy) const
{
    if (isNull())
        return *this;
    Rect r = standardized();
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0)
        return null();
    return r;
}

Rect Rect::unionWith(const Rect& other) const
{
    if (isNull())
        return other.standardized();
    if (other.isNull())
        return standardized();
    const double x0 = std::min(minX(), other.minX());
    const double y0 = std::min(minY(), other.minY());
    const double x1 = std::max(maxX(), other.maxX());
    const double y1 = std::max(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::intersection(const Rect& other) const
{
    if (isNull() || other.isNull())
        return null();
    const double x0 = std::max(minX(), other.minX());
    const double y0 = std::max(minY(), other.minY());
    const double x1 = std::min(maxX(), other.maxX());
    const double y1 = std::min(maxY(), other.maxY());
    if (x1 < x0 || y1 < y0)
        return null();
    return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::intersects(const Rect& other) const { return !intersection(other).isNull(); }

bool Rect::contains(const Point& p) const
{
    if (isNull())
        return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& other) const
{
    if (isNull() || other.isNull())
        return false;
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() && other.maxY() <= maxY();
}

} // namespace velquine
