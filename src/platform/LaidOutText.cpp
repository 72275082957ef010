#include "platform/LaidOutText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>
#include <QString>
#include <QTextBoundaryFinder>
#include <QTextCharFormat>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <utility>

namespace velquine {

namespace {

// Wide enough never to wrap, small enough for QTextLayout's fixed-point widths.
constexpr double unlimitedWidth = 1.0e7;

bool isHardBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029);
}

struct FormatRun {
    qsizetype start;  // within the paragraph
    qsizetype length;
    TextAttributes attributes;
};

// The attributes of [start, end) of the text. For measuring only the font matters, and adjacent runs with
// the same font are joined.
std::vector<FormatRun> formatRuns(const AttributedString& text, qsizetype start, qsizetype end, bool forDrawing)
{
    std::vector<FormatRun> runs;
    for (const auto& run : text.runs()) {
        const qsizetype from = std::max<qsizetype>(start, qsizetype(run.location));
        const qsizetype to = std::min<qsizetype>(end, qsizetype(run.location + run.length));
        if (from >= to)
            continue;
        TextAttributes attributes = forDrawing ? run.attributes : TextAttributes{};
        attributes.font = run.attributes.effectiveFont();
        if (!runs.empty() && runs.back().attributes == attributes && runs.back().start + runs.back().length == from - start)
            runs.back().length += to - from;
        else
            runs.push_back({from - start, to - from, attributes});
    }
    return runs;
}

bool isStruckThrough(const TextAttributes& attributes)
{
    return attributes.strikethroughStyle && *attributes.strikethroughStyle != LineStyle::none;
}

QTextCharFormat charFormat(const TextAttributes& attributes, const QPaintDevice* device)
{
    QTextCharFormat format;
    format.setFont(attributes.effectiveFont().toQFont(device));
    if (attributes.foregroundColor)
        format.setForeground(attributes.foregroundColor->toQColor());
    if (attributes.underlineStyle && *attributes.underlineStyle != LineStyle::none) {
        format.setFontUnderline(true);
        if (attributes.underlineColor)
            format.setUnderlineColor(attributes.underlineColor->toQColor());
    }
    // A strike-through of its own colour is drawn by LaidOutText::draw: QTextLayout strikes in the text colour.
    if (isStruckThrough(attributes) && !attributes.strikethroughColor)
        format.setFontStrikeOut(true);
    return format;
}

LaidOutText::Strike colouredStrike(std::size_t paragraph, const FormatRun& run, const QPaintDevice* device)
{
    const QFontMetricsF metrics(run.attributes.effectiveFont().toQFont(device), device);
    return {paragraph, run.start, run.start + run.length, run.attributes.strikethroughColor->toQColor(),
            metrics.strikeOutPos(), std::max(1.0, metrics.lineWidth())};
}

// The stretches of a paragraph that a line may not be broken in (long words, long runs of letters without
// blanks), where they are long. Wrapping at word boundaries, QTextLayout measures the whole of the word a
// line begins with before it breaks the word anywhere, so a paragraph of one word n characters long takes
// time n squared over the line length. A line that begins in a long stretch and ends before the stretch
// does is broken anywhere, as it would be anyway, and laid out with the wrap mode that says so: it is then
// measured only as far as it goes.
class LongWords {
public:
    explicit LongWords(const QString& paragraph)
    {
        if (paragraph.size() <= longWord)
            return;
        QTextBoundaryFinder finder(QTextBoundaryFinder::Line, paragraph);
        qsizetype previous = 0;
        for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
            if (next - previous > longWord) {
                // The stretch without its closing white space, which hangs past a line's end.
                qsizetype end = next;
                while (end > previous && paragraph[end - 1].isSpace())
                    --end;
                stretches_.push_back({previous, end});
            }
            previous = next;
        }
    }

    // Lays the line out at the width as wrapping at word boundaries, or else anywhere, lays it out.
    void layOut(QTextLayout& layout, QTextLine& line, qsizetype lineStart, double width) const
    {
        const auto in = std::upper_bound(stretches_.begin(), stretches_.end(), lineStart,
                                         [](qsizetype at, const Stretch& stretch) { return at < stretch.end; });
        if (in == stretches_.end() || in->start > lineStart || in->end - lineStart <= longWord) {
            line.setLineWidth(width);
            return;
        }
        QTextOption option = layout.textOption();
        const QTextOption::WrapMode wrap = option.wrapMode();
        option.setWrapMode(QTextOption::WrapAnywhere);
        layout.setTextOption(option);
        line.setLineWidth(width);
        option.setWrapMode(wrap);
        layout.setTextOption(option);
        if (line.textStart() + line.textLength() >= in->end)
            line.setLineWidth(width);
    }

private:
    // Stretches longer than this many UTF-16 units count as long.
    static constexpr qsizetype longWord = 256;
    struct Stretch {
        qsizetype start;
        qsizetype end;
    };
    std::vector<Stretch> stretches_;
};

// Colour glyphs drawn as pictures are this many pixels a point of the page, at most this many a side.
constexpr double colourGlyphOversampling = 4.0;
constexpr double maximumColourGlyphPixels = 512.0;

// Whether the font draws glyphs in colour: bitmaps (CBDT, as Noto Color Emoji, or sbix) or colour layers
// (COLR). Fonts are asked once.
bool hasColourGlyphs(const QRawFont& font)
{
    static std::mutex mutex;
    static std::map<std::pair<QString, QString>, bool> known;
    const std::pair<QString, QString> key{font.familyName(), font.styleName()};
    const std::lock_guard lock(mutex);
    const auto found = known.find(key);
    if (found != known.end())
        return found->second;
    const bool colour =
        !font.fontTable("CBLC").isEmpty() || !font.fontTable("sbix").isEmpty() || !font.fontTable("COLR").isEmpty();
    known.emplace(key, colour);
    return colour;
}

// Whether the line may show glyphs of a colour font: emoji and the symbols colour fonts draw all lie beyond
// Latin-1, and looking at the characters costs far less than asking for the line's glyphs.
bool mayHaveColourGlyphs(const QString& paragraph, const QTextLine& line)
{
    const qsizetype end = line.textStart() + line.textLength();
    for (qsizetype at = line.textStart(); at < end; ++at)
        if (paragraph[at].unicode() > 0xFF)
            return true;
    return false;
}

bool needsFormats(const std::vector<FormatRun>& runs)
{
    if (runs.size() > 1)
        return true;
    return !runs.empty() && runs.front().attributes.count() > 1;
}

} // namespace

LaidOutText::LaidOutText(const AttributedString& text, double width, const QPaintDevice* device, bool forDrawing)
{
    const QString all = text.qstring();
    const qsizetype n = all.size();
    const double lineWidth = std::isfinite(width) ? std::clamp(width, 0.0, unlimitedWidth) : unlimitedWidth;
    double y = 0;
    qsizetype start = 0;
    while (start < n) {
        qsizetype end = start;
        while (end < n && !isHardBreak(all[end]))
            ++end;
        const std::vector<FormatRun> runs = formatRuns(text, start, end, forDrawing);
        // An empty paragraph takes the font of the break that closes it.
        const Font baseFont = runs.empty() ? text.attributesAt(std::size_t(start)).effectiveFont()
                                           : *runs.front().attributes.font;
        auto layout = std::make_unique<QTextLayout>(all.mid(start, end - start), baseFont.toQFont(device), device);
        if (needsFormats(runs)) {
            QList<QTextLayout::FormatRange> formats;
            for (const FormatRun& run : runs) {
                formats.append({int(run.start), int(run.length), charFormat(run.attributes, device)});
                if (isStruckThrough(run.attributes) && run.attributes.strikethroughColor)
                    strikes_.push_back(colouredStrike(paragraphs_.size(), run, device));
            }
            layout->setFormats(formats);
        }
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setUseDesignMetrics(true);
        layout->setTextOption(option);
        const LongWords longWords(layout->text());
        layout->beginLayout();
        qsizetype lineStart = 0;
        for (;;) {
            QTextLine line = layout->createLine();
            if (!line.isValid())
                break;
            longWords.layOut(*layout, line, lineStart, lineWidth);
            lineStart = line.textStart() + line.textLength();
            line.setPosition(QPointF(0, 0));
            TextLine measured;
            measured.location = std::size_t(start + line.textStart());
            measured.length = std::size_t(line.textLength());
            measured.width = line.naturalTextWidth();
            measured.ascent = line.ascent();
            measured.descent = line.descent();
            measured.height = measured.ascent + measured.descent;
            placed_.push_back({paragraphs_.size(), line.lineNumber(), y});
            y += measured.height;
            lines_.push_back(measured);
        }
        layout->endLayout();
        paragraphs_.push_back(std::move(layout));
        if (end >= n)
            break;
        qsizetype next = end + 1;
        if (all[end] == u'\r' && next < n && all[next] == u'\n')
            ++next;
        // The break belongs to the line it closes.
        if (!lines_.empty())
            lines_.back().length = std::size_t(next) - lines_.back().location;
        start = next;
    }
}

LaidOutText::LaidOutText(LaidOutText&&) noexcept = default;
LaidOutText& LaidOutText::operator=(LaidOutText&&) noexcept = default;
LaidOutText::~LaidOutText() = default;

Size LaidOutText::size() const
{
    Size size;
    for (const TextLine& line : lines_) {
        size.width = std::max(size.width, line.width);
        size.height += line.height;
    }
    return size;
}

void LaidOutText::draw(QPainter& painter, Point origin, double boxWidth, TextAlignment alignment) const
{
    const QPen oldPen = painter.pen();
    painter.setPen(Qt::black);
    // A PDF holds glyphs as outlines, and colour glyphs (emoji) have none: they are drawn as pictures. So they
    // are in a recorded picture, which keeps text as text for whatever device plays it, a PDF page among them.
    const QPaintEngine* engine = painter.paintEngine();
    const bool colourGlyphsAsPictures =
        engine && (engine->type() == QPaintEngine::Pdf || engine->type() == QPaintEngine::Picture);
    for (std::size_t i = 0; i < placed_.size(); ++i) {
        const Placed& placed = placed_[i];
        const QTextLine line = paragraphs_[placed.paragraph]->lineAt(placed.line);
        double x = origin.x;
        if (alignment == TextAlignment::center)
            x += (boxWidth - lines_[i].width) / 2;
        else if (alignment == TextAlignment::right)
            x += boxWidth - lines_[i].width;
        line.draw(&painter, QPointF(x, origin.y + placed.y));
        drawStrikes(painter, placed.paragraph, line, QPointF(x, origin.y + placed.y));
        if (colourGlyphsAsPictures && mayHaveColourGlyphs(paragraphs_[placed.paragraph]->text(), line))
            drawColourGlyphs(painter, line, QPointF(x, origin.y + placed.y));
    }
    painter.setPen(oldPen);
}

void LaidOutText::drawColourGlyphs(QPainter& painter, const QTextLine& line, QPointF origin) const
{
    for (const QGlyphRun& run : line.glyphRuns()) {
        if (!hasColourGlyphs(run.rawFont()))
            continue;
        const QRectF bounds = run.boundingRect();
        if (bounds.isEmpty())
            continue;
        // Pictures of several pixels a point on the page, so that they stay sharp when the page is enlarged,
        // and never larger than a few hundred pixels a side.
        const QTransform device = painter.deviceTransform();
        const double pagePixels = std::sqrt(std::abs(device.determinant()));
        const double scale = std::min(std::max(1.0, pagePixels) * colourGlyphOversampling,
                                      maximumColourGlyphPixels / std::max(bounds.width(), bounds.height()));
        QImage picture(QSize(int(std::ceil(bounds.width() * scale)), int(std::ceil(bounds.height() * scale))),
                       QImage::Format_ARGB32_Premultiplied);
        if (picture.isNull())
            continue;
        picture.fill(Qt::transparent);
        {
            QPainter glyphs(&picture);
            glyphs.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
            glyphs.scale(scale, scale);
            glyphs.translate(-bounds.topLeft());
            glyphs.setPen(painter.pen());
            glyphs.drawGlyphRun(QPointF(0, 0), run);
        }
        painter.drawImage(QRectF(bounds.topLeft() + origin, QSizeF(picture.size()) / scale), picture);
    }
}

void LaidOutText::drawStrikes(QPainter& painter, std::size_t paragraph, const QTextLine& line, QPointF origin) const
{
    const qsizetype lineStart = line.textStart();
    const qsizetype lineEnd = lineStart + line.textLength();
    const double baseline = origin.y() + line.ascent();
    for (const Strike& strike : strikes_) {
        const qsizetype from = std::max(strike.start, lineStart);
        const qsizetype to = std::min(strike.end, lineEnd);
        if (strike.paragraph != paragraph || from >= to)
            continue;
        // Trailing white space of a wrapped line is not struck.
        const double x1 = std::clamp(line.cursorToX(int(from)), 0.0, line.naturalTextWidth());
        const double x2 = std::clamp(line.cursorToX(int(to)), 0.0, line.naturalTextWidth());
        const double top = baseline - strike.position - strike.thickness / 2;
        painter.fillRect(QRectF(origin.x() + std::min(x1, x2), top, std::abs(x2 - x1), strike.thickness), strike.colour);
    }
}

void drawAttributedString(QPainter& painter, const AttributedString& text, const Rect& box, TextAlignment alignment,
                          const QPaintDevice* device)
{
    if (text.empty() || box.isNull())
        return;
    LaidOutText(text, box.size.width, device).draw(painter, box.origin, box.size.width, alignment);
}

} // namespace velquine
