#pragma once

// Measuring styled text the way node sizing needs it: the text is cut into lines at its hard breaks, each
// paragraph is wrapped at a width by QTextLayout, and every line reports its width and height in points.
// Fonts go through Font::toQFont for the paint device, so the numbers do not depend on its DPI.

#include <cstddef>
#include <vector>

#include "platform/AttributedString.h"
#include "platform/Geometry.h"

class QPaintDevice;

namespace velquine {

struct TextLine {
    // The characters of the line in UTF-16 units, its closing hard break included.
    std::size_t location = 0;
    std::size_t length = 0;
    // The width the text of the line takes, trailing white space not counted.
    double width = 0;
    double ascent = 0;
    double descent = 0;
    // ascent + descent
    double height = 0;
};

class TextMeasurement {
public:
    // The lines of the text wrapped at the width. LF, CR, CR LF, U+2028 and U+2029 end a line; a break at the
    // very end of the text adds no line, a break right after another one gives an empty line of the break's
    // font. Each paragraph breaks at word boundaries, and a word wider than the width anywhere inside it.
    // An empty text has no lines. A width that is not positive lays out one character per line.
    static std::vector<TextLine> lines(const AttributedString& text, double width,
                                       const QPaintDevice* device = nullptr);
    // The number of lines at the width, at least 1 (an empty text counts one line).
    static std::size_t lineCount(const AttributedString& text, double width, const QPaintDevice* device = nullptr);
    // The widest line at the width; 0 for an empty text.
    static double widestLine(const AttributedString& text, double width, const QPaintDevice* device = nullptr);
    // The size of the text laid out without wrapping: its widest line by the sum of its line heights.
    static Size boundingSize(const AttributedString& text, const QPaintDevice* device = nullptr);
};

} // namespace velquine
