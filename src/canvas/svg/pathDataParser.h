#pragma once

// Reads the path data of an SVG "d" attribute into a path. Every command (M L H V C S Q T A Z, upper case
// absolute, lower case relative) is understood, with repeated operand groups, the reflected control points of
// smooth curves, and elliptical arcs drawn as cubic curves. Reading never fails: a problem is logged and the path
// drawn up to that point is the result.

#include <QString>

#include <string>
#include <vector>

#include "canvas/svg/SVGBezierPath.h"
#include "canvas/svg/SVGScanner.h"

namespace velquine {

class pathDataParser {
public:
    explicit pathDataParser(const std::string& pathText);

    SVGBezierPath parse();

private:
    void readOperands(SVGScanner& scanner);
    void dispatch();

    void moveTo(bool relative);
    void lineTo(bool relative);
    void horizontalLineTo(bool relative);
    void verticalLineTo(bool relative);
    void curveTo(bool relative);
    void smoothCurveTo(bool relative);
    void quadCurveTo(bool relative);
    void smoothQuadCurveTo(bool relative);
    void arcTo(bool relative);
    void arc(double rx, double ry, double angle, double largeArc, double sweep, Point end);

    Point base(bool relative) const;
    Point operandPoint(std::size_t index, bool relative) const;

    QString text_;
    SVGBezierPath path_;
    Point lastControl_;
    QChar command_;
    QChar previousCommand_;
    std::vector<float> operands_;
};

} // namespace velquine
