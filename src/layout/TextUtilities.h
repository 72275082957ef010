#pragma once

// Text measures on styled text and a picture of a string: the wrapped height and the tallest line of a
// text at a width.
//
// Lines come from TextMeasurement's line walk; a line's height is its ascent plus descent.

#include <string>

#include "platform/AttributedString.h"
#include "platform/Image.h"

namespace velquine {

// The wrapped height of the text at the width: the sum of its line heights, each rounded up to a whole
// number, rounded up again, plus 1. 0 for an empty text. A text ending in a line break is measured with "-"
// appended in the attributes of its last character, so the empty last line counts.
double heightForWidth(const AttributedString& text, double width);
// The height of the tallest line of the text wrapped at the width, rounded up to a whole number; 0 for an
// empty text. A trailing line break counts as for heightForWidth.
double maxLineHeightForWidth(const AttributedString& text, double width);

// A picture of the string in the system font of the size: as large as the string's unwrapped size (at
// least one pixel), transparent where the text does not draw.
Image textImage(const std::string& string, double fontSize);
// The same picture drawn no larger than the box: a string whose size exceeds it is drawn scaled down to its
// aspect-fit size in the box (Image::aspectFitSize), so a long text never takes a bitmap of its full size.
Image textImage(const std::string& string, double fontSize, double maxWidth, double maxHeight);

} // namespace velquine
