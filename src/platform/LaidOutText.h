#pragma once

// Styled text laid out for drawing by the same line walk TextMeasurement uses: hard breaks split it into
// paragraphs, QTextLayout wraps each at the width, and the lines stack top-down by ascent + descent. So
// what is drawn has exactly the lines and sizes that were measured. Keep one while the text and width do
// not change; drawing it again costs no layout.

#include <QColor>
#include <QTextLayout>

#include <memory>
#include <vector>

#include "platform/AttributedString.h"
#include "platform/Geometry.h"
#include "platform/TextMeasurement.h"

class QPainter;
class QPaintDevice;

namespace velquine {

class LaidOutText {
public:
    LaidOutText() = default;
    // Lays the text out at the width (not finite: no wrapping). With forDrawing, colours, underline and
    // strike-through of the runs are applied too; measuring needs only the fonts.
    LaidOutText(const AttributedString& text, double width, const QPaintDevice* device = nullptr,
                bool forDrawing = true);
    LaidOutText(LaidOutText&&) noexcept;
    LaidOutText& operator=(LaidOutText&&) noexcept;
    ~LaidOutText();

    const std::vector<TextLine>& lines() const { return lines_; }
    // The widest line by the sum of the line heights.
    Size size() const;

    // Draws the lines top-down from the origin, each placed in boxWidth by the alignment (natural and
    // justified lines start at the left). Text without a colour of its own is black; a strike-through
    // without a colour of its own takes the text's.
    void draw(QPainter& painter, Point origin, double boxWidth, TextAlignment alignment) const;

    // A strike-through drawn over [start, end) of a paragraph in a colour of its own.
    struct Strike {
        std::size_t paragraph;
        qsizetype start;
        qsizetype end;
        QColor colour;
        double position;  // above the baseline
        double thickness;
    };

private:
    void drawStrikes(QPainter& painter, std::size_t paragraph, const QTextLine& line, QPointF origin) const;
    // Draws the line's glyphs of colour fonts again, each run as a picture.
    void drawColourGlyphs(QPainter& painter, const QTextLine& line, QPointF origin) const;

    struct Placed {
        std::size_t paragraph;
        int line;
        double y;
    };
    std::vector<std::unique_ptr<QTextLayout>> paragraphs_;
    std::vector<Placed> placed_;
    std::vector<TextLine> lines_;
    std::vector<Strike> strikes_;
};

// Lays the text out at the box's width and draws it from the box's top-left corner: what
// TextMeasurement::lines gives for that width is exactly what is drawn. The box does not clip.
void drawAttributedString(QPainter& painter, const AttributedString& text, const Rect& box,
                          TextAlignment alignment = TextAlignment::natural, const QPaintDevice* device = nullptr);

} // namespace velquine
