#include "layout/TextUtilities.h"

#include <QImage>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/TextMeasurement.h"

namespace velquine {

namespace {

// Wide enough that no line of a picture's text wraps.
constexpr double unwrappedWidth = 1.0e7;

bool endsWithLineBreak(const std::string& s)
{
    return !s.empty() && (s.back() == '\n' || s.back() == '\r');
}

// The text to measure: a trailing line break gets a "-" after it so that its empty line counts.
AttributedString measuredText(const AttributedString& text)
{
    if (endsWithLineBreak(text.string()))
        return text.appendingWithLastAttributes("-");
    return text;
}

} // namespace

double heightForWidth(const AttributedString& text, double width)
{
    if (text.empty())
        return 0.0;
    double sum = 0;
    for (const TextLine& line : TextMeasurement::lines(measuredText(text), width))
        sum += std::ceil(line.height);
    return std::ceil(sum) + 1.0;
}

double maxLineHeightForWidth(const AttributedString& text, double width)
{
    if (text.empty())
        return 0.0;
    double tallest = 0;
    for (const TextLine& line : TextMeasurement::lines(measuredText(text), width))
        tallest = std::max(tallest, std::ceil(line.height));
    return tallest;
}

Image textImage(const std::string& string, double fontSize)
{
    return textImage(string, fontSize, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::infinity());
}

Image textImage(const std::string& string, double fontSize, double maxWidth, double maxHeight)
{
    TextAttributes attributes;
    attributes.font = Font::systemFont(fontSize);
    const AttributedString text(string, attributes);
    // The lines are laid out once: their widest width and summed heights are the string's size.
    const std::vector<TextLine> lines = TextMeasurement::lines(text, unwrappedWidth);
    Size size;
    for (const TextLine& line : lines) {
        size.width = std::max(size.width, line.width);
        size.height += line.height;
    }

    // Drawn at a scale that brings a size larger than the box down to its fitted size.
    Size drawn = size;
    if (size.width > maxWidth || size.height > maxHeight) {
        drawn = Image(QImage(), size).aspectFitSize(maxWidth, maxHeight);
        if (drawn.width <= 0 || drawn.height <= 0)
            return Image();
    }
    const double scaleX = size.width > 0 ? drawn.width / size.width : 1.0;
    const double scaleY = size.height > 0 ? drawn.height / size.height : 1.0;

    const int pixelsWide = std::max(1, int(std::ceil(drawn.width)));
    const int pixelsHigh = std::max(1, int(std::ceil(drawn.height)));
    QImage bitmap(pixelsWide, pixelsHigh, QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        return Image();
    bitmap.fill(Qt::transparent);
    {
        QPainter painter(&bitmap);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setPen(Qt::black);
        painter.scale(scaleX, scaleY);
        const QFont font = attributes.effectiveFont().toQFont(&bitmap);
        const double bottom = pixelsHigh / scaleY;
        double y = 0;
        for (const TextLine& line : lines) {
            if (y >= bottom)
                break;
            const std::string lineText = text.substring(line.location, line.length);
            QString shown = QString::fromStdString(lineText);
            while (!shown.isEmpty() && (shown.back() == u'\n' || shown.back() == u'\r' ||
                                        shown.back() == QChar(0x2028) || shown.back() == QChar(0x2029)))
                shown.chop(1);
            QTextLayout layout(shown, font, &bitmap);
            layout.beginLayout();
            QTextLine qline = layout.createLine();
            layout.endLayout();
            if (qline.isValid())
                layout.draw(&painter, QPointF(0, y));
            y += line.height;
        }
    }
    return Image(bitmap, drawn);
}

} // namespace velquine
