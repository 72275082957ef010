#pragma once

// Compact texts of paths for the SVG tests: "M 0 0 | L 10 5.5 | C 1 2 3 4 5 6 | Q 1 2 3 4 | Z".

#include <cstdio>
#include <ostream>
#include <string>

#include "canvas/svg/SVGBezierPath.h"
#include "platform/Log.h"

namespace velquine {

inline void PrintTo(const SVGColor& c, std::ostream* out)
{
    *out << "SVGColor(" << c.red << ", " << c.green << ", " << c.blue << ", " << c.alpha << ")";
}

inline void PrintTo(const Point& p, std::ostream* out) { *out << "(" << p.x << ", " << p.y << ")"; }

inline void PrintTo(const Rect& r, std::ostream* out)
{
    *out << "(" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << ", " << r.size.height << ")";
}

} // namespace velquine

namespace velquine::svgtest {

inline std::string number(double v)
{
    if (v > -1e-9 && v < 1e-9)
        v = 0;   // rounding noise, and no "-0"
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", v);
    return buffer;
}

inline std::string describe(const SVGBezierPath& path)
{
    std::string out;
    for (const PathElement& e : path.elements()) {
        if (!out.empty())
            out += " | ";
        const auto points = [&](int count) {
            for (int i = 0; i < count; ++i) {
                out += ' ';
                out += number(e.points[i].x);
                out += ' ';
                out += number(e.points[i].y);
            }
        };
        switch (e.type) {
        case PathElement::Type::moveTo: out += 'M'; points(1); break;
        case PathElement::Type::lineTo: out += 'L'; points(1); break;
        case PathElement::Type::quadCurveTo: out += 'Q'; points(2); break;
        case PathElement::Type::curveTo: out += 'C'; points(3); break;
        case PathElement::Type::closeSubpath: out += 'Z'; break;
        }
    }
    return out;
}

// Lines captured with the given message part.
inline int countLines(const LogCapture& capture, const std::string& fragment)
{
    int n = 0;
    for (const std::string& line : capture.lines())
        if (line.find(fragment) != std::string::npos)
            ++n;
    return n;
}

} // namespace velquine::svgtest
