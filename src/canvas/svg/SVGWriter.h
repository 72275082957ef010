#pragma once

// Paths and their attributes as an SVG document: one "path" element per path, in order, inside an "svg" element
// as wide and high as the paths' bounds together with the origin. Numbers carry at most three decimals.

#include <string>
#include <vector>

#include "canvas/svg/SVGBezierPath.h"

namespace velquine {

std::string svgTextFromPaths(const std::vector<SVGBezierPath>& paths);

// A number as the writer writes it: at most three decimals, no trailing zeros, no grouping ("0.333", "-0.5",
// "1234.5", "10").
std::string svgNumberText(double value);

} // namespace velquine
