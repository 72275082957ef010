#pragma once

// The geometry and colour of the background grid, apart from any layer: what the grid layer fills.
//
// Grid positions are a whole multiple of the spacing's whole-number part in canvas coordinates, whatever the
// canvas's bounds origin: the first position is start = -(B.x - q·trunc(sx)), q = trunc(B.x) / trunc(sx)
// rounded towards zero, and the i-th is start + i·sx (never repeated addition). Only what lies inside the
// visible rectangle and the clip box is produced, so a large canvas costs what is on screen.

#include <vector>

#include <QPainterPath>
#include <QRectF>

#include "model/graph/Grid.h"
#include "platform/Color.h"
#include "platform/Geometry.h"

namespace velquine {

// The grid colour on a background: the device RGB form moved by +0.1 on a dark background (luminance
// (299 r + 587 g + 114 b) / 1000 below 0.5) and by -0.1 on a light one, each component kept within 0...1,
// alpha kept.
Color gridColor(const Color& backgroundColor);

struct GridGeometry {
    // The canvas's bounds: the grid layer's origin lies at bounds.origin in canvas coordinates.
    Rect bounds;
    // The grid layer's own size.
    Size layerSize;
    // The visible part of the canvas, in canvas coordinates.
    Rect visible;
    // The area being drawn, in the grid layer's coordinates.
    Rect clip;
};

// The first position and the step along one axis; nothing when the spacing or the origin is unusable (a
// spacing below 1 point or not finite, an origin not finite), in which case no grid is drawn.
struct GridAxis {
    double start = 0;
    double step = 0;
};
bool gridAxis(double boundsOrigin, double spacing, GridAxis& axis);

// The rectangles a dots or quad grid fills, in the grid layer's coordinates: 2 x 2 squares at the grid points,
// or lines 1 point wide as long as the visible rectangle. Empty for the other grid types and for unusable
// spacings.
std::vector<QRectF> gridRects(const Grid& grid, const GridGeometry& geometry);

// The outlines the hexagons, diamonds, circles and hearts grids stroke (1 point wide), on the same phase and
// spacings, within the visible rectangle. Empty for the other types and for unusable spacings.
QPainterPath gridOutlines(const Grid& grid, const GridGeometry& geometry);

} // namespace velquine
