#include "platform/TextMeasurement.h"

#include <QFont>
#include <QString>
#include <QTextCharFormat>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace velquine {

namespace {

// Wide enough never to wrap, small enough for QTextLayout's fixed-point widths.
constexpr double unlimitedWidth = 1.0e7;

bool isHardBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029);
}

struct FontRun {
    qsizetype start;  // within the paragraph
    qsizetype length;
    Font font;
};

// The fonts of [start, end) of the text, adjacent runs with the same font joined.
std::vector<FontRun> fontRuns(const AttributedString& text, qsizetype start, qsizetype end)
{
    std::vector<FontRun> runs;
    for (const auto& run : text.runs()) {
        const qsizetype from = std::max<qsizetype>(start, qsizetype(run.location));
        const qsizetype to = std::min<qsizetype>(end, qsizetype(run.location + run.length));
        if (from >= to)
            continue;
        const Font font = run.attributes.effectiveFont();
        if (!runs.empty() && runs.back().font == font && runs.back().start + runs.back().length == from - start)
            runs.back().length += to - from;
        else
            runs.push_back({from - start, to - from, font});
    }
    return runs;
}

void layOutParagraph(const AttributedString& text, const QString& all, qsizetype start, qsizetype end,
                     double width, const QPaintDevice* device, std::vector<TextLine>& out)
{
    const QString paragraph = all.mid(start, end - start);
    std::vector<FontRun> runs = fontRuns(text, start, end);
    // An empty paragraph takes the font of the break that closes it.
    const Font baseFont = runs.empty() ? text.attributesAt(std::size_t(start)).effectiveFont() : runs.front().font;

    QTextLayout layout(paragraph, baseFont.toQFont(device), device);
    if (runs.size() > 1) {
        QList<QTextLayout::FormatRange> formats;
        for (const FontRun& run : runs) {
            QTextLayout::FormatRange range;
            range.start = int(run.start);
            range.length = int(run.length);
            range.format.setFont(run.font.toQFont(device));
            formats.append(range);
        }
        layout.setFormats(formats);
    }
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);
    layout.setTextOption(option);

    const double lineWidth = std::isfinite(width) ? std::clamp(width, 0.0, unlimitedWidth) : unlimitedWidth;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(lineWidth);
        TextLine measured;
        measured.location = std::size_t(start + line.textStart());
        measured.length = std::size_t(line.textLength());
        measured.width = line.naturalTextWidth();
        measured.ascent = line.ascent();
        measured.descent = line.descent();
        measured.height = measured.ascent + measured.descent;
        out.push_back(measured);
    }
    layout.endLayout();
}

} // namespace

std::vector<TextLine> TextMeasurement::lines(const AttributedString& text, double width, const QPaintDevice* device)
{
    std::vector<TextLine> out;
    const QString all = text.qstring();
    const qsizetype n = all.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype end = start;
        while (end < n && !isHardBreak(all[end]))
            ++end;
        layOutParagraph(text, all, start, end, width, device, out);
        if (end >= n)
            break;
        qsizetype next = end + 1;
        if (all[end] == u'\r' && next < n && all[next] == u'\n')
            ++next;
        // The break belongs to the line it closes.
        out.back().length = std::size_t(next) - out.back().location;
        start = next;
    }
    return out;
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
