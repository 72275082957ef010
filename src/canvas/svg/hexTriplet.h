#pragma once

// A colour as 0xRRGGBB, read from the colour texts of SVG documents: a name from the SVG colour keywords,
// "#rgb", "#rrggbb" or "rgb(r, g, b)" with integers from 0 to 255.

#include <cstdint>
#include <string>

#include "canvas/svg/SVGColor.h"

namespace velquine {

struct hexTriplet {
    std::uint32_t value = 0;

    hexTriplet() = default;
    explicit hexTriplet(std::uint32_t rgb) : value(rgb & 0xffffffu) {}
    // Throws SVGError for a text that is none of the forms above.
    explicit hexTriplet(const std::string& text);

    int red() const { return int((value >> 16) & 0xff); }
    int green() const { return int((value >> 8) & 0xff); }
    int blue() const { return int(value & 0xff); }
    SVGColor color(double alpha = 1.0) const { return {red() / 255.0, green() / 255.0, blue() / 255.0, alpha}; }

    bool operator==(const hexTriplet&) const = default;
};

// The colour keywords of SVG, lower case, each mapped to its "#rrggbb" text.
const std::string* svgNamedColor(const std::string& lowerCaseName);

} // namespace velquine
