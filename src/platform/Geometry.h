#pragma once

// Points, sizes and rectangles in doubles, in points. A rectangle may have a negative width or height;
// the accessors and operations below work on its standardised form, as drawing code expects.

#include <cmath>
#include <limits>

namespace velquine {

struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
    Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
    Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
    bool isFinite() const { return std::isfinite(x) && std::isfinite(y); }
};

struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
    bool isFinite() const { return std::isfinite(width) && std::isfinite(height); }
};

struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(Point o, Size s) : origin(o), size(s) {}
    Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

    friend bool operator==(const Rect&, const Rect&) = default;

    // The null rectangle: the result of intersecting rectangles that do not meet. Unions ignore it.
    static Rect null();
    bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }
    // Zero width or zero height (or null).
    bool isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

    // Same rectangle with a non-negative width and height.
    Rect standardized() const
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

    // The edges and middles are asked for in every layout and hit test: kept here, where they inline.
    double minX() const { return standardized().origin.x; }
    double midX() const { const Rect r = standardized(); return r.origin.x + r.size.width / 2; }
    double maxX() const { const Rect r = standardized(); return r.origin.x + r.size.width; }
    double minY() const { return standardized().origin.y; }
    double midY() const { const Rect r = standardized(); return r.origin.y + r.size.height / 2; }
    double maxY() const { const Rect r = standardized(); return r.origin.y + r.size.height; }
    double width() const { return std::fabs(size.width); }
    double height() const { return std::fabs(size.height); }
    Point center() const { return {midX(), midY()}; }

    // Moves every edge inwards by dx and dy (outwards when negative). A rectangle that would turn
    // inside out becomes null.
    Rect insetBy(double dx, double dy) const;
    Rect offsetBy(double dx, double dy) const
    {
        if (isNull())
            return *this;
        return {origin.x + dx, origin.y + dy, size.width, size.height};
    }
    Rect unionWith(const Rect& other) const;
    // The common area, or null when the rectangles do not meet (touching edges give an empty rectangle).
    Rect intersection(const Rect& other) const;

    // Closed rule: rectangles whose edges only touch do intersect; null never intersects.
    bool intersects(const Rect& other) const;
    // Open rule: touching edges do not count, and an empty rectangle never intersects anything.
    bool intersectsOpen(const Rect& other) const
    {
        if (isEmpty() || other.isEmpty())
            return false;
        return minX() < other.maxX() && other.minX() < maxX() && minY() < other.maxY() && other.minY() < maxY();
    }

    // Half-open containment: the min edges belong to the rectangle, the max edges do not.
    bool contains(const Point& p) const;
    bool contains(const Rect& other) const;

    static Rect centeredAt(Point c, Size s) { return {c.x - s.width / 2, c.y - s.height / 2, s.width, s.height}; }
};

} // namespace velquine
