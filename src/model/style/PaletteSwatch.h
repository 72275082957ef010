#pragma once

// The palette swatch of a project style: a strip of colour squares for the style's menu item. The colours
// are the current background colour, the current root fill colour and the stroke colours of the first six
// palette entries, ordered from darkest to brightest (brightness of the device RGB form; colours of equal
// brightness keep that order). With n colours on a strip W wide, each square is W/n on a side and square k
// spans x from k·W/n; the squares stand on the strip's bottom edge and ignore its height, so a strip lower
// than W/n cuts their tops off.

#include <vector>

#include "platform/Color.h"
#include "platform/Geometry.h"

namespace velquine {

struct ProjectStyle;

struct PaletteSwatchSquare {
    // In the strip's coordinates, origin at the bottom left, y growing upward.
    Rect rect;
    Color color;
};

// The squares of the swatch of the given size, left to right; none for a size that is not finite and
// positive.
std::vector<PaletteSwatchSquare> paletteSwatchSquares(const ProjectStyle& style, Size size);

// Bitmap pixels per point of a swatch image: two, so that the usual 12.5-point squares fall on whole pixels.
inline constexpr double paletteSwatchPixelsPerPoint = 2.0;

} // namespace velquine
