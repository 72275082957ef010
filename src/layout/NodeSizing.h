#pragma once

// Sizing a node to its title, and placing the title and the node image inside a node.
//
// All text is the node's attributed title (its style's font, colour, alignment, underline and strike-through)
// measured with TextMeasurement's line walk. Sizes and coordinates are points; a node's frame is its size
// centred on its centre.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/graph/Node.h"
#include "platform/Geometry.h"

namespace velquine {

class TextsMeasuredAhead;

// The growth side of autosizeNode, one byte: which edge of the node stays where it was.
inline constexpr std::uint8_t autosizeGrowLeft = 0;    // the right edge stays; the node grows to the left
inline constexpr std::uint8_t autosizeGrowRight = 1;   // the left edge stays
inline constexpr std::uint8_t autosizeKeepCenter = 2;  // the centre stays (so does any other value)

// Sizing constants.
inline constexpr double autosizeMaxTextWidth = 300.0;    // widest text line and widest text block
inline constexpr double autosizeTextMargin = 40.0;       // added to a text width
inline constexpr double autosizeImageRoom = 128.0;       // added for an image; minimum width with an image
inline constexpr double autosizeMinimumWidth = 50.0;     // minimum width without an image
inline constexpr double autosizeRootFallbackHeight = 48.0;
inline constexpr double autosizeChildFallbackHeight = 38.0;

// The node with the size its title needs and a centre moved so that the growth side holds; the vertical
// centre always stays. An empty title is measured as one blank and stays empty. A node with an image never
// shrinks: when the new width or height would be smaller it keeps its old size. Nothing but size and centre
// changes. Titles laid out ahead, when given, answer the title's first walk, at autosizeMaxTextWidth.
Node autosizeNode(Node node, std::uint8_t options = autosizeKeepCenter,
                  const TextsMeasuredAhead* titlesAhead = nullptr);
// The text autosizeNode lays out first, at autosizeMaxTextWidth in the title's font: the title (a blank when
// empty), with "-" after a closing line break.
std::string autosizeMeasuredText(const std::string& title);
// After a change of the node's font (family, bold, italic): the node sized to its title around its centre
// when its size follows its title (autoSize), else the node as it is, its size set by hand.
Node autosizeNodeAfterFontChange(const Node& node);
// autosizeNode of each node, in order, whatever their autoSize flags say.
std::vector<Node> autosizeNodes(const std::vector<Node>& nodes, std::uint8_t options = autosizeKeepCenter);

// The size the title needs at the node's current width: a text-block height of the tallest line times the
// line count plus one (48 without a parent, 38 with one, when that is not positive); a width of a third of
// that height plus 20 for three or more lines, else twice the height, at least the longest blank-separated
// word plus 40, and at least 50. With an image the width is at least 128 and 128 is added to the height.
Size measureTitle(const Node& node);

// For a node without an image: the zero image frame, and the label frame, 0.9 of the node's width wide,
// starting at 0.05 of it, as high as the title's lines at that width, centred vertically. Node coordinates:
// the origin is the corner of the frame with the smallest x and y.
std::pair<Rect, Rect> labelLayout(const Node& node);
// For a node with an image: the image area and the label frame inside the available rectangle (the node's
// size, or the rectangle inscribed in its ellipse for ellipse and cloud shapes), the label at its top.
std::pair<Rect, Rect> labelFrame(const Node& node);

// The rectangle (x, y, w, h) inside the ellipse inscribed in (0, 0, width, height): the rectangle shrunk by
// whole points on every side until its corner with the largest x and y lies in the ellipse. The zero
// rectangle when the size is not finite, empty or negative, or no such rectangle exists.
Rect ellipseInscribedRect(double width, double height);

} // namespace velquine
