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

// Code points with the Unicode White_Space property: blanks and line breaks.
bool isWhiteSpace(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Whether the UTF-8 text holds nothing but white space. A byte that starts no valid sequence counts as a
// visible character.
bool isBlank(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        char32_t c = 0;
        std::size_t n = 0;
        if (b < 0x80) {
            c = b;
            n = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            n = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            n = 3;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            n = 4;
        } else {
            return false;
        }
        if (i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (cb & 0x3F);
        }
        if (!isWhiteSpace(c))
            return false;
        i += n;
    }
    return true;
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

std::string removingBlankLines(const std::string& text)
{
    std::string result;
    std::size_t start = 0;
    auto take = [&](std::size_t end) {
        const std::string_view piece(text.data() + start, end - start);
        if (piece.empty() || isBlank(piece))
            return;
        if (!result.empty())
            result += '\n';
        result.append(piece);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A carriage return and line feed pair is one character and no separator.
        if (text[i] != '\n' || (i > 0 && text[i - 1] == '\r'))
            continue;
        take(i);
        start = i + 1;
    }
    take(text.size());
    return result;
}

} // namespace velquine
