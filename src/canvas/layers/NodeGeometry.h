#pragma once

// The geometry of a node's pieces that does not depend on drawing: outlines of every shape, the resize
// handle squares, the hover button's square and the side it sits on. Rectangles are in the node layer's own
// coordinates unless said otherwise; y grows downwards.

#include <QPainterPath>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "platform/Geometry.h"

namespace velquine {

// A side of a node.
enum class DockPointLocation : std::uint8_t { top = 0, bottom = 1, left = 2, right = 3 };

// A corner resize handle.
enum class NodeHandle : std::uint8_t { none = 0, topLeft = 1, bottomLeft = 2, bottomRight = 3, topRight = 4 };

// Corner radius of rounded outlines and rings, and how far the focus ring reaches beyond the outline.
inline constexpr double nodeCornerRadius = 8.0;
inline constexpr double focusRingOutset = 6.0;
// The hover button's square and its distance from the node.
inline constexpr double hoverButtonSize = 32.0;
inline constexpr double hoverButtonGap = 1.0;
// How far what a selected node draws reaches beyond its frame: the focus ring (6 points), the resize handles (2)
// and the stub of the hover button (1 point away, up to 7 long). A node brought into view is shown with all of it.
inline constexpr double selectionReach = 8.0;

// The smallest rectangle with whole-number origin and size containing the rectangle.
Rect integralRect(const Rect& rect);

// The outline of a shape drawn in the rectangle; nothing for underline (which has no outline) and for
// cloud (which comes from the "cloud" resource). Rectangles, rounded rectangles (radius 8), ellipses, and
// our own outlines for the rest: embedded a rectangle with slightly rounded corners, pill a rectangle with
// fully round ends, hexagon pointed at the left and right, octagon with cut corners, triangle pointing up,
// diamond touching the middle of every edge.
std::optional<QPainterPath> shapeOutline(NodeShape shape, const Rect& rect);

// The outline of the "cloud" resource stretched, independently in x and y, over the rectangle: the last of
// its paths that has an extent. Nothing when the resource is missing, has no such path or cannot be read
// (the failure is logged once per process).
std::optional<QPainterPath> cloudOutline(const Rect& rect, const std::string& location = ":/cloud.svg");

// The four handle squares, in the order top-left, bottom-left, bottom-right, top-right, each made integral.
// Each reaches 2 points beyond its corner on both axes.
std::array<Rect, 4> handleRects(const Rect& bounds, Size handleSize);

// The 32 × 32 square of the hover button beside the bounds on the given side, 1 point away.
Rect hoverButtonFrame(const Rect& bounds, DockPointLocation side);

// The side the hover button takes for a pointer at the location (canvas coordinates), with F the node's
// frame in the canvas. Manual trees and balanced roots follow the pointer (right or bottom on the middle
// line), ascending and descending trees keep one side, and balanced main and sub nodes follow their
// affinity.
DockPointLocation hoverSide(const LayoutOptions& options, NodeType nodeType, HorizontalAffinity horizontal,
                            VerticalAffinity vertical, const Rect& frame, Point location);

} // namespace velquine
