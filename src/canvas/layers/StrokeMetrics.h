#pragma once

// The widths and dash patterns shared by node outlines, underlines and branch lines.

#include <vector>

#include "model/style/StrokeStyle.h"
#include "model/style/StrokeThickness.h"

namespace velquine {

// The line width of a thickness step in points: 0, 1.5, 2.25, 3.75, 5.25, 6.0, 6.75.
double strokeWidth(StrokeThickness thickness);

// The dash pattern of a stroke style in points (dash, gap): empty for a continuous line, otherwise both
// equal to the style's raw value (10, 8, 6 or 2).
std::vector<double> dashPattern(StrokeStyle style);

} // namespace velquine
