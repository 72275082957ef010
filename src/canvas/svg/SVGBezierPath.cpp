#include "canvas/svg/SVGBezierPath.h"

#include <cmath>

#include <QString>
#include <QStringList>

#include "canvas/svg/SVGScanner.h"

namespace velquine {

namespace {

Point mapped(const QTransform& transform, Point p)
{
    const QPointF q = transform.map(QPointF(p.x, p.y));
    return {q.x(), q.y()};
}

QPointF qt(Point p) { return {p.x, p.y}; }

} // namespace

void SVGBezierPath::moveTo(Point p)
{
    elements_.push_back({PathElement::Type::moveTo, {p, Point{}, Point{}}});
    current_ = p;
    subpathStart_ = p;
    invalidate();
}

void SVGBezierPath::lineTo(Point p)
{
    elements_.push_back({PathElement::Type::lineTo, {p, Point{}, Point{}}});
    current_ = p;
    invalidate();
}

void SVGBezierPath::quadCurveTo(Point control, Point end)
{
    elements_.push_back({PathElement::Type::quadCurveTo, {control, end, Point{}}});
    current_ = end;
    invalidate();
}

void SVGBezierPath::curveTo(Point control1, Point control2, Point end)
{
    elements_.push_back({PathElement::Type::curveTo, {control1, control2, end}});
    current_ = end;
    invalidate();
}

void SVGBezierPath::closeSubpath()
{
    elements_.push_back({PathElement::Type::closeSubpath, {}});
    current_ = subpathStart_;
    invalidate();
}

const QPainterPath& SVGBezierPath::CGPath() const
{
    if (!painterPath_) {
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        for (const PathElement& e : elements_) {
            switch (e.type) {
            case PathElement::Type::moveTo: path.moveTo(qt(e.points[0])); break;
            case PathElement::Type::lineTo: path.lineTo(qt(e.points[0])); break;
            case PathElement::Type::quadCurveTo: path.quadTo(qt(e.points[0]), qt(e.points[1])); break;
            case PathElement::Type::curveTo: path.cubicTo(qt(e.points[0]), qt(e.points[1]), qt(e.points[2])); break;
            case PathElement::Type::closeSubpath: path.closeSubpath(); break;
            }
        }
        painterPath_ = std::move(path);
    }
    return *painterPath_;
}

Rect SVGBezierPath::bounds() const
{
    if (elements_.empty())
        return Rect{};
    const QRectF r = CGPath().boundingRect();
    return Rect{r.x(), r.y(), r.width(), r.height()};
}

bool SVGBezierPath::hasExtent() const
{
    const Rect b = bounds();
    return std::isfinite(b.size.width) && std::isfinite(b.size.height) && b.size.width > 0 && b.size.height > 0
        && b.origin.isFinite();
}

void SVGBezierPath::applyTransform(const QTransform& transform)
{
    for (PathElement& e : elements_)
        for (Point& p : e.points)
            p = mapped(transform, p);
    current_ = mapped(transform, current_);
    subpathStart_ = mapped(transform, subpathStart_);
    invalidate();
}

bool SVGBezierPath::fitInto(const Rect& target)
{
    if (!hasExtent())
        return false;
    const Rect p = bounds();
    const double sx = target.size.width / p.size.width;
    const double sy = target.size.height / p.size.height;
    applyTransform(QTransform::fromTranslate(-p.origin.x, -p.origin.y) * QTransform::fromScale(sx, sy)
                   * QTransform::fromTranslate(target.origin.x, target.origin.y));
    return true;
}

Rect SVGBezierPath::viewBox() const
{
    const std::optional<std::string> text = svgAttribute<std::string>(attributes_, "viewBox");
    if (!text)
        return Rect::null();
    const QStringList parts = QString::fromStdString(*text).split(QLatin1Char(' '));
    if (parts.size() != 4)
        return Rect::null();
    double v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = leadingDouble(parts[i].toStdString());
    return Rect{v[0], v[1], v[2], v[3]};
}

SVGBezierPath SVGBezierPath::pathBySettingSVGAttributes(
    const std::map<std::string, std::optional<SVGAttributeValue>>& changes) const
{
    SVGBezierPath copy = *this;
    for (const auto& [key, value] : changes) {
        if (value)
            copy.attributes_[key] = *value;
        else
            copy.attributes_.erase(key);
    }
    return copy;
}

SVGBezierPath SVGBezierPath::bezierPathWithCGPath(const QPainterPath& path)
{
    SVGBezierPath result;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement: result.moveTo({e.x, e.y}); break;
        case QPainterPath::LineToElement: result.lineTo({e.x, e.y}); break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                const QPainterPath::Element& c2 = path.elementAt(i + 1);
                const QPainterPath::Element& end = path.elementAt(i + 2);
                result.curveTo({e.x, e.y}, {c2.x, c2.y}, {end.x, end.y});
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement: break;
        }
    }
    return result;
}

} // namespace velquine
