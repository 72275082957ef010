#include "platform/TextMeasurement.h"
#include "platform/LaidOutText.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using namespace velquine;

namespace {

TextAttributes fontAttributes(const Font& font)
{
    TextAttributes a;
    a.font = font;
    return a;
}

AttributedString text(const std::string& s, double size = 32)
{
    return AttributedString(s, fontAttributes(Font::systemFont(size)));
}

QImage deviceAt(int dpi)
{
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    return image;
}

std::size_t count(const std::string& s, double width = 1000)
{
    return TextMeasurement::lineCount(text(s), width);
}

} // namespace

TEST(TextMeasurement, HardBreaksEndLines)
{
    EXPECT_EQ(count("one"), 1u);
    EXPECT_EQ(count("one\ntwo"), 2u);
    EXPECT_EQ(count("one\rtwo"), 2u);
    EXPECT_EQ(count("one\r\ntwo"), 2u);  // one break, not two
    EXPECT_EQ(count("one\u2028two"), 2u);
    EXPECT_EQ(count("one\u2029two"), 2u);
    EXPECT_EQ(count("one\n\ntwo"), 3u);
    EXPECT_EQ(count("one\r\n\r\ntwo"), 3u);
    EXPECT_EQ(count("one\n\rtwo"), 3u);  // LF then CR are two breaks
    EXPECT_EQ(count("a\nb\nc\nd"), 4u);
}

TEST(TextMeasurement, TrailingBreakAddsNoLineAndEmptyTextCountsOne)
{
    EXPECT_EQ(count("one\n"), 1u);
    EXPECT_EQ(count("one\r\n"), 1u);
    EXPECT_EQ(count("one\n\n"), 2u);
    EXPECT_EQ(count("\n"), 1u);
    EXPECT_EQ(count(""), 1u);
    EXPECT_TRUE(TextMeasurement::lines(text(""), 100).empty());
    EXPECT_EQ(TextMeasurement::widestLine(text(""), 100), 0.0);
    EXPECT_EQ(TextMeasurement::boundingSize(text("")), (Size{}));
    // Appending a character after the trailing break makes the empty last line count.
    EXPECT_EQ(TextMeasurement::lineCount(text("one\n").appendingWithLastAttributes("-"), 1000), 2u);
}

TEST(TextMeasurement, LinesCoverTheTextWithTheirBreaks)
{
    const auto lines = TextMeasurement::lines(text("ab\r\n\ncd"), 1000);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].location, 0u);
    EXPECT_EQ(lines[0].length, 4u);
    EXPECT_EQ(lines[1].location, 4u);
    EXPECT_EQ(lines[1].length, 1u);
    EXPECT_EQ(lines[2].location, 5u);
    EXPECT_EQ(lines[2].length, 2u);
    // The empty line is as high as a line of its font and has no width.
    EXPECT_EQ(lines[1].width, 0.0);
    EXPECT_EQ(lines[1].height, lines[0].height);
    EXPECT_GT(lines[0].width, 0.0);
    EXPECT_DOUBLE_EQ(lines[0].height, lines[0].ascent + lines[0].descent);
}

TEST(TextMeasurement, WidthsAreStableAcrossRunsAndDevices)
{
    const AttributedString hello = text("Hello World");
    const double first = TextMeasurement::widestLine(hello, 1000);
    EXPECT_NEAR(first, 183.0, 2.5);  // DejaVu Sans at 32 points
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(TextMeasurement::widestLine(hello, 1000), first);

    const QImage at72 = deviceAt(72);
    const QImage at96 = deviceAt(96);
    const auto lines72 = TextMeasurement::lines(hello, 1000, &at72);
    const auto lines96 = TextMeasurement::lines(hello, 1000, &at96);
    ASSERT_EQ(lines72.size(), 1u);
    ASSERT_EQ(lines96.size(), 1u);
    EXPECT_EQ(lines72[0].width, first);
    EXPECT_EQ(lines96[0].width, first);
    EXPECT_EQ(lines72[0].height, lines96[0].height);
    EXPECT_NEAR(lines72[0].height, 37.25, 0.5);

    // Mixed fonts, wrapped.
    AttributedString mixed;
    mixed.append("Large words ", fontAttributes(Font::systemFont(32)));
    mixed.append("and small ones that wrap", fontAttributes(Font("DejaVu Sans Bold", 12.5)));
    const auto m72 = TextMeasurement::lines(mixed, 180, &at72);
    const auto m96 = TextMeasurement::lines(mixed, 180, &at96);
    ASSERT_EQ(m72.size(), m96.size());
    ASSERT_GE(m72.size(), 2u);
    for (std::size_t i = 0; i < m72.size(); ++i) {
        EXPECT_EQ(m72[i].width, m96[i].width) << i;
        EXPECT_EQ(m72[i].height, m96[i].height) << i;
        EXPECT_EQ(m72[i].location, m96[i].location) << i;
    }
}

TEST(TextMeasurement, ParagraphsWrapAtWordsAndLongWordsAnywhere)
{
    const auto words = TextMeasurement::lines(text("Hello World"), 120);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].length, 6u);  // "Hello " keeps its blank
    EXPECT_EQ(words[1].location, 6u);
    for (const auto& line : words)
        EXPECT_LE(line.width, 120.0);

    const std::string longWord = "Supercalifragilistic";
    const double wordWidth = TextMeasurement::widestLine(text(longWord), 1000);
    const auto pieces = TextMeasurement::lines(text(longWord), 100);
    EXPECT_GE(pieces.size(), std::size_t(std::ceil(wordWidth / 100)));
    for (const auto& line : pieces) {
        EXPECT_LE(line.width, 100.0);
        EXPECT_GT(line.length, 0u);
    }

    // Laying out again at the widest line's width (rounded up) keeps the same breaks.
    const AttributedString sentence = text("The quick brown fox jumps over the lazy dog");
    const auto at300 = TextMeasurement::lines(sentence, 300);
    const double widest = TextMeasurement::widestLine(sentence, 300);
    EXPECT_EQ(TextMeasurement::lineCount(sentence, std::ceil(widest)), at300.size());
}

TEST(TextMeasurement, MixedFontsTakeTheTallestHeight)
{
    AttributedString mixed;
    mixed.append("small ", fontAttributes(Font::systemFont(12)));
    mixed.append("BIG", fontAttributes(Font::systemFont(40)));
    const auto lines = TextMeasurement::lines(mixed, 1000);
    ASSERT_EQ(lines.size(), 1u);
    const auto big = TextMeasurement::lines(text("BIG", 40), 1000);
    EXPECT_DOUBLE_EQ(lines[0].height, big[0].height);
    const double smallWidth = TextMeasurement::widestLine(text("small", 12), 1000);
    EXPECT_GT(lines[0].width, smallWidth + big[0].width);
}

TEST(TextMeasurement, BoundingSizeIsWidestLineBySummedHeights)
{
    const AttributedString two = text("a\nwide line");
    const auto lines = TextMeasurement::lines(two, 1e6);
    ASSERT_EQ(lines.size(), 2u);
    const Size size = TextMeasurement::boundingSize(two);
    EXPECT_EQ(size.width, std::max(lines[0].width, lines[1].width));
    EXPECT_EQ(size.height, lines[0].height + lines[1].height);
    // No wrapping, however long the text.
    const std::string longLine(400, 'x');
    EXPECT_EQ(TextMeasurement::lines(text(longLine), 1e7).size(), 1u);
    EXPECT_GT(TextMeasurement::boundingSize(text(longLine)).width, 5000.0);
}

TEST(TextMeasurement, TextWithoutFontUsesTheSystemFontAt12Points)
{
    const AttributedString bare("Hello", TextAttributes{});
    EXPECT_EQ(TextMeasurement::widestLine(bare, 1000), TextMeasurement::widestLine(text("Hello", 12), 1000));
    EXPECT_EQ(TextMeasurement::lineCount(text("Hello"), 0), 5u);  // no room: one character per line
}

// Measuring one text at several widths in a row answers from the last layout where that cannot change the
// lines: each answer must equal a fresh layout at that width.
TEST(TextMeasurement, RepeatedMeasuresAtOtherWidthsMatchFreshLayouts)
{
    std::vector<std::string> samples{"Node 12345",    "Staff",      "fjord jiffy",    "Trailing space  ",
                                           "Two\nlines",    "Ends in\n",  "A much longer title that wraps",
                                           " ",             "x",          "W.A.V.E. T/V/A/W"};
    // And a few hundred short texts mixing letters that overhang, punctuation, blanks and breaks.
    const std::string letters = "fjyTVAWaeio./,'!? \n";
    std::uint32_t seed = 7;
    for (int i = 0; i < 300; ++i) {
        std::string generated;
        for (int k = 0; k < 1 + i % 13; ++k) {
            seed = seed * 1664525u + 1013904223u;
            generated += letters[(seed >> 16) % letters.size()];
        }
        samples.push_back(generated);
    }
    const std::vector<Font> fonts{Font::systemFont(13), Font("DejaVu Serif Italic", 17), Font("DejaVu Sans Bold", 9)};
    const auto expectSame = [](const std::vector<TextLine>& actual, const std::vector<TextLine>& expected) {
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            EXPECT_EQ(actual[i].location, expected[i].location);
            EXPECT_EQ(actual[i].length, expected[i].length);
            EXPECT_EQ(actual[i].width, expected[i].width);
            EXPECT_EQ(actual[i].height, expected[i].height);
        }
    };
    for (const Font& font : fonts) {
        for (const std::string& sample : samples) {
            SCOPED_TRACE(font.fontName() + ": " + sample);
            const AttributedString styled(sample, fontAttributes(font));
            const double widest = TextMeasurement::widestLine(styled, 1.0e7);
            for (const double width : {std::ceil(widest), std::ceil(widest) + 20, 60.0, std::ceil(widest) - 1, 1.0e7})
                expectSame(TextMeasurement::lines(styled, width), LaidOutText(styled, width, nullptr, false).lines());
        }
    }
}
