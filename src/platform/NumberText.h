#pragma once

// Number and geometry texts in the form the program prints them everywhere: "1.0", "-48.5",
// "1e-05", "(0.0, 0.0)". One formatter, so every message, export and key reads the same.

#include <string>

#include "platform/Geometry.h"

namespace velquine {

// The shortest text that reads back as the same double: always with a fraction or an exponent
// ("1.0", "0.1", "1e-05", "1.8446744073709552e+19", "inf", "-inf", "nan").
std::string formatDouble(double value);
// Single precision, shortest for a float ("0.1" for 0.1f).
std::string formatFloat(float value);
std::string formatPoint(const Point& p);   // "(x, y)"
std::string formatSize(const Size& s);     // "(width, height)"
std::string formatRect(const Rect& r);     // "(x, y, width, height)"

} // namespace velquine
