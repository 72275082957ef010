#include "platform/TextMeasurement.h"

#include <algorithm>

#include "platform/LaidOutText.h"

namespace velquine {

namespace {
// Wide enough never to wrap, small enough for QTextLayout's fixed-point widths.
constexpr double unlimitedWidth = 1.0e7;
} // namespace

std::vector<TextLine> TextMeasurement::lines(const AttributedString& text, double width, const QPaintDevice* device)
{
    // Drawing lays text out with the same walk (LaidOutText), so what is drawn is what was measured.
    return LaidOutText(text, width, device, false).lines();
}

std::size_t TextMeasurement::lineCount(const AttributedString& text, double width, const QPaintDevice* device)
{
    return std::max<std::size_t>(1, lines(text, width, device).size());
}

double TextMeasurement::widestLine(const AttributedString& text, double width, const QPaintDevice* device)
{
    double widest = 0;
    for (const TextLine& line : lines(text, width, device))
        widest = std::max(widest, line.width);
    return widest;
}

Size TextMeasurement::boundingSize(const AttributedString& text, const QPaintDevice* device)
{
    Size size;
    for (const TextLine& line : lines(text, unlimitedWidth, device)) {
        size.width = std::max(size.width, line.width);
        size.height += line.height;
    }
    return size;
}

} // namespace velquine
