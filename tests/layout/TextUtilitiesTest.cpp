#include <gtest/gtest.h>

#include <cmath>

#include "layout/TextUtilities.h"
#include "platform/TextMeasurement.h"

using namespace velquine;

namespace {

AttributedString text(const std::string& s, double size = 16)
{
    TextAttributes a;
    a.font = Font::systemFont(size);
    return AttributedString(s, a);
}

} // namespace

TEST(TextUtilitiesTest, HeightSumsRoundedLineHeightsPlusOne)
{
    EXPECT_EQ(heightForWidth(text(""), 300), 0.0);
    EXPECT_EQ(maxLineHeightForWidth(text(""), 300), 0.0);

    const auto one = TextMeasurement::lines(text("Title"), 300);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(heightForWidth(text("Title"), 300), std::ceil(one[0].height) + 1.0);
    EXPECT_EQ(maxLineHeightForWidth(text("Title"), 300), std::ceil(one[0].height));

    // Two lines of different fonts: each line rounded up on its own, the tallest one counts for the maximum.
    AttributedString mixed = text("small\n", 10);
    mixed.append("large", [] { TextAttributes a; a.font = Font::systemFont(30); return a; }());
    const auto lines = TextMeasurement::lines(mixed, 300);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(heightForWidth(mixed, 300), std::ceil(lines[0].height) + std::ceil(lines[1].height) + 1.0);
    EXPECT_EQ(maxLineHeightForWidth(mixed, 300), std::ceil(lines[1].height));
    EXPECT_GT(lines[1].height, lines[0].height);
}

TEST(TextUtilitiesTest, TrailingLineBreakCountsAnEmptyLine)
{
    for (const std::string ending : {"\n", "\r", "\r\n"}) {
        SCOPED_TRACE(ending);
        const AttributedString s = text("Title" + ending);
        EXPECT_EQ(heightForWidth(s, 300), heightForWidth(text("Title" + ending + "-"), 300));
        EXPECT_GT(heightForWidth(s, 300), heightForWidth(text("Title"), 300));
        EXPECT_EQ(maxLineHeightForWidth(s, 300), maxLineHeightForWidth(text("Title"), 300));
    }
    // The dash takes the font of the last character.
    AttributedString s = text("a");
    s.append("\n", [] { TextAttributes a; a.font = Font::systemFont(40); return a; }());
    EXPECT_EQ(maxLineHeightForWidth(s, 300), maxLineHeightForWidth(text("-", 40), 300));
}

TEST(TextUtilitiesTest, WrappingAddsLines)
{
    const AttributedString s = text("one two three four five six seven eight nine ten");
    const double wide = heightForWidth(s, 1000);
    const double narrow = heightForWidth(s, 60);
    EXPECT_GT(narrow, wide);
    EXPECT_EQ(maxLineHeightForWidth(s, 60), maxLineHeightForWidth(s, 1000));
}

TEST(TextUtilitiesTest, TextImageHasTheStringSizeAndDraws)
{
    TextAttributes a;
    a.font = Font::systemFont(64);
    const Size expected = TextMeasurement::boundingSize(AttributedString("Drop", a));
    const Image image = textImage("Drop", 64);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), expected);
    EXPECT_EQ(image.pixelsWide(), int(std::ceil(expected.width)));
    bool inked = false;
    const QImage& bitmap = image.bitmap();
    for (int y = 0; y < bitmap.height() && !inked; ++y)
        for (int x = 0; x < bitmap.width() && !inked; ++x)
            inked = qAlpha(bitmap.pixel(x, y)) > 0;
    EXPECT_TRUE(inked);
    EXPECT_EQ(qAlpha(bitmap.pixel(bitmap.width() - 1, 0)), 0);

    const Image empty = textImage("", 64);
    EXPECT_FALSE(empty.isNull());
    EXPECT_EQ(empty.size(), (Size{0, 0}));
}
