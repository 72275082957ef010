#include "platform/Geometry.h"

#include <algorithm>

namespace velquine {

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
}

Rect Rect::null() { return {kInf, kInf, 0, 0}; }

bool Rect::isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }

bool Rect::isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

Rect Rect::standardized() const
{
    if (isNull())
        return *this;
    Rect r = *this;
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

double Rect::minX() const { return standardized().origin.x; }
double Rect::midX() const { const Rect r = standardized(); return r.origin.x + r.size.width / 2; }
double Rect::maxX() const { const Rect r = standardized(); return r.origin.x + r.size.width; }
double Rect::minY() const { return standardized().origin.y; }
double Rect::midY() const { const Rect r = standardized(); return r.origin.y + r.size.height / 2; }
double Rect::maxY() const { const Rect r = standardized(); return r.origin.y + r.size.height; }

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

Rect Rect::offsetBy(double dx, double dy) const
{
    if (isNull())
        return *this;
    return {origin.x + dx, origin.y + dy, size.width, size.height};
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

bool Rect::intersectsOpen(const Rect& other) const
{
    if (isEmpty() || other.isEmpty())
        return false;
    return minX() < other.maxX() && other.minX() < maxX() && minY() < other.maxY() && other.minY() < maxY();
}

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
