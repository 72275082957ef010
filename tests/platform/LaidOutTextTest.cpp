#include "platform/LaidOutText.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTextLayout>

using namespace velquine;

namespace {

// "mmmm" at 40 points, black, struck through as the attributes say, drawn on white.
QImage drawStruck(std::optional<Color> strikeColour, std::optional<LineStyle> style = LineStyle::single)
{
    TextAttributes a;
    a.font = Font::systemFont(40);
    a.foregroundColor = Color::black();
    a.strikethroughStyle = style;
    a.strikethroughColor = strikeColour;
    QImage image(240, 80, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawAttributedString(painter, AttributedString("mmmm", a), Rect{{10, 10}, {220, 60}});
    return image;
}

bool isRed(QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; }
bool isDark(QRgb p) { return qRed(p) < 60 && qGreen(p) < 60 && qBlue(p) < 60; }

// The longest horizontal run of pixels matching the test on any row.
int longestRow(const QImage& image, bool (*test)(QRgb))
{
    int best = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = test(image.pixel(x, y)) ? run + 1 : 0;
            best = std::max(best, run);
        }
    }
    return best;
}

} // namespace

TEST(LaidOutText, StrikeThroughIsDrawnInItsOwnColourAcrossTheTextAndTheGlyphsKeepTheirs)
{
    const QImage red = drawStruck(Color::red());
    QDir().mkpath(VELQUINE_ARTEFACTS_DIR);
    red.save(QDir(VELQUINE_ARTEFACTS_DIR).filePath("struck_title.png"));
    // One unbroken red line across the four letters (the gaps between the stems included).
    EXPECT_GT(longestRow(red, isRed), 100);
    // The glyphs stay black: their stems are dark over more than a few rows.
    int darkPixels = 0;
    for (int y = 0; y < red.height(); ++y)
        for (int x = 0; x < red.width(); ++x)
            darkPixels += isDark(red.pixel(x, y));
    EXPECT_GT(darkPixels, 300);
    // No dark line across the text: the strike is not drawn a second time in the text colour.
    EXPECT_LT(longestRow(red, isDark), 60);
}

TEST(LaidOutText, StrikeThroughWithoutAColourTakesTheTextColourAndNoneDrawsNoLine)
{
    const QImage plain = drawStruck(std::nullopt);
    EXPECT_EQ(longestRow(plain, isRed), 0);
    EXPECT_GT(longestRow(plain, isDark), 100);

    const QImage none = drawStruck(Color::red(), LineStyle::none);
    EXPECT_EQ(longestRow(none, isRed), 0);
    EXPECT_LT(longestRow(none, isDark), 60);
}

TEST(LaidOutText, LongUnbrokenStretchesWrapAsQtWrapsThemAtWordBoundaries)
{
    // Stretches without a break opportunity, long and short, with words, blanks and ideographs between them.
    const QString text = QString(3000, QChar(u'a')) + QStringLiteral(" short words here ") + QString(700, QChar(u'x')) +
                         QStringLiteral("      ") + QString(400, QChar(0x4E2D)) + QStringLiteral(" and ") +
                         QStringLiteral("https://example.org/") + QString(600, QChar(u'p')) + QStringLiteral(" end");
    TextAttributes attributes;
    attributes.font = Font::systemFont(16);
    const AttributedString string(text.toStdString(), attributes);
    for (const double width : {40.0, 300.0, 2000.0, 1.0e6}) {
        SCOPED_TRACE(width);
        // Qt's own walk, wrapping at word boundaries or else anywhere.
        QTextLayout layout(text, attributes.font->toQFont(nullptr));
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setUseDesignMetrics(true);
        layout.setTextOption(option);
        layout.beginLayout();
        std::vector<std::pair<std::size_t, std::size_t>> expected;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            expected.emplace_back(std::size_t(line.textStart()), std::size_t(line.textLength()));
        }
        layout.endLayout();
        std::vector<std::pair<std::size_t, std::size_t>> lines;
        const LaidOutText laidOut(string, width);
        for (const TextLine& line : laidOut.lines())
            lines.emplace_back(line.location, line.length);
        EXPECT_GT(lines.size(), width < 1.0e6 ? 3u : 0u);
        EXPECT_EQ(lines, expected);
    }
}
