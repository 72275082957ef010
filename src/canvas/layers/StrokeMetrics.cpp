#include "canvas/layers/StrokeMetrics.h"

namespace velquine {

double strokeWidth(StrokeThickness thickness)
{
    switch (thickness) {
    case StrokeThickness::invisible: return 0.0;
    case StrokeThickness::thinnest: return 1.5;
    case StrokeThickness::thin: return 2.25;
    case StrokeThickness::medium: return 3.75;
    case StrokeThickness::thick: return 5.25;
    case StrokeThickness::thicker: return 6.0;
    case StrokeThickness::thickest: return 6.75;
    }
    return 0.0;
}

std::vector<double> dashPattern(StrokeStyle style)
{
    if (style == StrokeStyle::solid)
        return {};
    const double length = static_cast<double>(rawValue(style));
    return {length, length};
}

} // namespace velquine
