#include "platform/TextMeasurement.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "platform/LaidOutText.h"

namespace velquine {

namespace {
// Wide enough never to wrap, small enough for QTextLayout's fixed-point widths.
constexpr double unlimitedWidth = 1.0e7;
} // namespace

namespace {

// The texts measured last on this thread without a paint device, kept by value. Sizing a node measures its
// title at several widths in a row; a text none of whose paragraphs wrapped has the same lines at every width
// from its widest line (rounded up) on, so one layout answers them all.
// What it buys, measured (best of 5): 1.2x sizing 10,000 multi-line titles (bench_NodeSizing), 1.9-2.1x adding
// many children to a map of 10,000-50,000 nodes (bench_EditCost).
class RecentMeasurements {
public:
    const std::vector<TextLine>* find(const AttributedString& text, double width) const
    {
        for (const Measured& entry : entries_) {
            if (!entry.valid || entry.text != text)
                continue;
            if (entry.width == width || (entry.unwrapped && width > 0 && width >= entry.noWrapFrom))
                return &entry.lines;
        }
        return nullptr;
    }

    const std::vector<TextLine>& add(const AttributedString& text, double width, std::vector<TextLine> lines)
    {
        Measured& entry = entries_[next_];
        next_ = (next_ + 1) % entries_.size();
        entry.valid = true;
        entry.text = text;
        entry.width = width;
        entry.lines = std::move(lines);
        // Unwrapped: each line begins right after a hard break (or at the start). White space at the end of a
        // line counts in its width only when the line is too narrow for it, so such text is measured anew.
        const QString all = text.qstring();
        double widest = 0;
        entry.unwrapped = true;
        for (const TextLine& line : entry.lines) {
            widest = std::max(widest, line.width);
            std::size_t end = line.location + line.length;
            while (end > line.location && isBreakBefore(all, end))
                --end;
            if ((line.location > 0 && !isBreakBefore(all, line.location)) ||
                (end > line.location && all[qsizetype(end - 1)].isSpace()))
                entry.unwrapped = false;
        }
        entry.noWrapFrom = std::ceil(widest);
        return entry.lines;
    }

private:
    static bool isBreakBefore(const QString& all, std::size_t at)
    {
        const QChar c = all[qsizetype(at - 1)];
        return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029);
    }

    struct Measured {
        bool valid = false;
        AttributedString text;
        double width = 0;
        std::vector<TextLine> lines;
        bool unwrapped = false;
        double noWrapFrom = 0;
    };
    std::array<Measured, 4> entries_;
    std::size_t next_ = 0;
};

} // namespace

std::vector<TextLine> TextMeasurement::lines(const AttributedString& text, double width, const QPaintDevice* device)
{
    // Drawing lays text out with the same walk (LaidOutText), so what is drawn is what was measured.
    if (device)
        return LaidOutText(text, width, device, false).lines();
    thread_local RecentMeasurements recent;
    if (const std::vector<TextLine>* known = recent.find(text, width))
        return *known;
    return recent.add(text, width, LaidOutText(text, width, nullptr, false).lines());
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
