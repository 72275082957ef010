#include "platform/layer/LayerAction.h"

#include <algorithm>
#include <cmath>

namespace velquine {

namespace {

// y of the cubic Bézier (0,0) (x1,y1) (x2,y2) (1,1) at the parameter whose x is t. The parameter is found by
// Newton's method, which takes a few steps on these curves; bisection takes over where a step would leave the
// curve or stall.
double cubicTiming(double x1, double y1, double x2, double y2, double t)
{
    auto coordinate = [](double a, double b, double s) {
        const double r = 1 - s;
        return 3 * r * r * s * a + 3 * r * s * s * b + s * s * s;
    };
    auto slope = [](double a, double b, double s) {
        const double r = 1 - s;
        return 3 * r * r * a + 6 * r * s * (b - a) + 3 * s * s * (1 - b);
    };
    constexpr double precision = 1e-13;
    double s = t;
    for (int i = 0; i < 8; ++i) {
        const double error = coordinate(x1, x2, s) - t;
        if (std::fabs(error) < precision)
            return coordinate(y1, y2, s);
        const double d = slope(x1, x2, s);
        if (!(std::fabs(d) > 1e-6))
            break;
        const double next = s - error / d;
        if (!(next >= 0 && next <= 1))
            break;
        s = next;
    }
    double lo = 0, hi = 1;
    for (int i = 0; i < 50; ++i) {
        s = (lo + hi) / 2;
        const double x = coordinate(x1, x2, s);
        if (std::fabs(x - t) < precision)
            break;
        if (x < t)
            lo = s;
        else
            hi = s;
    }
    return coordinate(y1, y2, s);
}

double lerp(double a, double b, double t) { return a + (b - a) * t; }

bool sameElements(const QPainterPath& a, const QPainterPath& b)
{
    if (a.elementCount() != b.elementCount())
        return false;
    for (int i = 0; i < a.elementCount(); ++i)
        if (a.elementAt(i).type != b.elementAt(i).type)
            return false;
    return true;
}

} // namespace

double applyTiming(TimingFunction timing, double t)
{
    if (!(t > 0))
        return 0;
    if (t >= 1)
        return 1;
    switch (timing) {
    case TimingFunction::linear: return t;
    case TimingFunction::easeIn: return cubicTiming(0.42, 0, 1, 1, t);
    case TimingFunction::easeOut: return cubicTiming(0, 0, 0.58, 1, t);
    case TimingFunction::easeInEaseOut: return cubicTiming(0.42, 0, 0.58, 1, t);
    case TimingFunction::standard: return cubicTiming(0.25, 0.1, 0.25, 1, t);
    }
    return t;
}

AnimatedValue interpolate(const AnimatedValue& a, const AnimatedValue& b, double t)
{
    if (t >= 1 || a.index() != b.index())
        return b;
    if (!(t > 0))
        return a;
    if (const auto* p = std::get_if<Point>(&a)) {
        const Point& q = std::get<Point>(b);
        return Point{lerp(p->x, q.x, t), lerp(p->y, q.y, t)};
    }
    if (const auto* r = std::get_if<Rect>(&a)) {
        const Rect& s = std::get<Rect>(b);
        return Rect(lerp(r->origin.x, s.origin.x, t), lerp(r->origin.y, s.origin.y, t),
                    lerp(r->size.width, s.size.width, t), lerp(r->size.height, s.size.height, t));
    }
    if (const auto* d = std::get_if<double>(&a))
        return lerp(*d, std::get<double>(b), t);
    if (const auto* path = std::get_if<QPainterPath>(&a)) {
        const QPainterPath& other = std::get<QPainterPath>(b);
        if (!sameElements(*path, other))
            return b;
        QPainterPath result = *path;
        for (int i = 0; i < result.elementCount(); ++i) {
            const auto from = path->elementAt(i);
            const auto to = other.elementAt(i);
            result.setElementPositionAt(i, lerp(from.x, to.x, t), lerp(from.y, to.y, t));
        }
        result.setFillRule(other.fillRule());
        return result;
    }
    return b;
}

double LayerAnimation::progressAt(double time) const
{
    if (!(action.duration > 0))
        return 1;
    return applyTiming(action.timing, (time - beginTime) / action.duration);
}

AnimatedValue LayerAnimation::valueAt(double time) const
{
    return interpolate(from, to, progressAt(time));
}

} // namespace velquine
