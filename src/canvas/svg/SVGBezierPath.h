#pragma once

// One vector path read from an SVG document, with the presentation attributes of its element. The geometry is
// an element list (moves, lines, quadratic and cubic curves, closes) from which a QPainterPath is built on demand
// and kept until the geometry changes. Paths are plain values: copies never share changes.
//
// Every failure of the readers below is an SVGError.

#include <QPainterPath>
#include <QTransform>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "canvas/svg/SVGAttributes.h"
#include "platform/Geometry.h"

namespace velquine {

struct PathElement {
    enum class Type { moveTo, lineTo, quadCurveTo, curveTo, closeSubpath };

    Type type = Type::moveTo;
    // moveTo and lineTo: the point; quadCurveTo: control, end; curveTo: first control, second control, end.
    std::array<Point, 3> points{};

    bool operator==(const PathElement&) const = default;
};

class SVGBezierPath {
public:
    SVGBezierPath() = default;

    // Reading. pathsFromSVGAtURL reads a file path, a "file:" URL or a Qt resource path (":/cloud.svg") once per
    // location and serves later calls from a process-wide cache, as fresh copies.
    static std::vector<SVGBezierPath> pathsFromSVGAtURL(const std::string& location);
    static std::vector<SVGBezierPath> pathsFromSVGString(const std::string& svgText);
    static void resetCache();
    // A path with the elements of a QPainterPath (moves, lines, cubic curves).
    static SVGBezierPath bezierPathWithCGPath(const QPainterPath& path);

    // Building.
    void moveTo(Point p);
    void lineTo(Point p);
    void quadCurveTo(Point control, Point end);
    void curveTo(Point control1, Point control2, Point end);
    void closeSubpath();

    const std::vector<PathElement>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    // The end of the last element; after a close the start of the closed subpath; (0, 0) for an empty path.
    Point currentPoint() const { return current_; }

    // The smallest rectangle around the drawn geometry; the zero rectangle for an empty path.
    Rect bounds() const;
    // True when the bounds have a finite, non-zero width and height. A path without extent cannot be scaled
    // to fit anything and is skipped by whoever draws it.
    bool hasExtent() const;

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width) { lineWidth_ = width; }

    // The geometry as a Qt path, non-zero fill rule. Valid until this path changes.
    const QPainterPath& CGPath() const;
    // Maps every point through the transform.
    void applyTransform(const QTransform& transform);
    // Moves and scales the path, independently in x and y, so that its bounds become target. A path without
    // extent is left as it is and the answer is false.
    bool fitInto(const Rect& target);

    // The attribute "viewBox" as four numbers separated by single blanks; the null rectangle otherwise.
    Rect viewBox() const;
    const SVGAttributes& svgAttributes() const { return attributes_; }
    void setSVGAttributes(SVGAttributes attributes) { attributes_ = std::move(attributes); }
    // A copy with the given entries set over this path's attributes; an entry without a value removes its key.
    SVGBezierPath pathBySettingSVGAttributes(const std::map<std::string, std::optional<SVGAttributeValue>>& changes) const;

    // This path alone as an SVG document.
    std::string SVGRepresentation() const;

    // Same geometry, line width and attributes.
    bool operator==(const SVGBezierPath& other) const
    {
        return elements_ == other.elements_ && lineWidth_ == other.lineWidth_ && attributes_ == other.attributes_;
    }

private:
    void invalidate() { painterPath_.reset(); }

    std::vector<PathElement> elements_;
    Point current_;
    Point subpathStart_;
    SVGAttributes attributes_;
    double lineWidth_ = 1.0;
    mutable std::optional<QPainterPath> painterPath_;
};

} // namespace velquine
