#pragma once

// A colour as the SVG reader hands it out: device RGB components and alpha, each in 0...1.

#include <QColor>

namespace velquine {

struct SVGColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    bool operator==(const SVGColor&) const = default;

    QColor toQColor() const { return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha)); }
};

} // namespace velquine
