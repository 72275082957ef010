#include "layout/TextUtilities.h"

#include <QImage>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/TextMeasurement.h"

namespace velquine {

namespace {

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
    TextAttributes attributes;
    attributes.font = Font::systemFont(fontSize);
    const AttributedString text(string, attributes);
    const Size size = TextMeasurement::boundingSize(text);

    const int pixelsWide = std::max(1, int(std::ceil(size.width)));
    const int pixelsHigh = std::max(1, int(std::ceil(size.height)));
    QImage bitmap(pixelsWide, pixelsHigh, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(Qt::transparent);
    {
        QPainter painter(&bitmap);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setPen(Qt::black);
        double y = 0;
        for (const TextLine& line : TextMeasurement::lines(text, 1.0e7)) {
            const std::string lineText = text.substring(line.location, line.length);
            QString drawn = QString::fromStdString(lineText);
            while (!drawn.isEmpty() && (drawn.back() == u'\n' || drawn.back() == u'\r' ||
                                        drawn.back() == QChar(0x2028) || drawn.back() == QChar(0x2029)))
                drawn.chop(1);
            QTextLayout layout(drawn, attributes.effectiveFont().toQFont(&bitmap), &bitmap);
            layout.beginLayout();
            QTextLine qline = layout.createLine();
            layout.endLayout();
            if (qline.isValid())
                layout.draw(&painter, QPointF(0, y));
            y += line.height;
        }
    }
    return Image(bitmap, size);
}

} // namespace velquine
