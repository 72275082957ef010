#include "platform/AttributedString.h"

#include <gtest/gtest.h>

using namespace velquine;

namespace {

TextAttributes titleAttributes()
{
    TextAttributes a;
    a.font = Font::systemFont(32);
    a.foregroundColor = Color::black();
    ParagraphStyle p;
    p.alignment = static_cast<std::int64_t>(TextAlignment::center);
    a.paragraphStyle = p;
    a.underlineStyle = LineStyle::single;
    a.underlineColor = Color::black();
    a.strikethroughStyle = LineStyle::none;
    a.strikethroughColor = Color::red();
    return a;
}

TextAttributes fontOnly(double size)
{
    TextAttributes a;
    a.font = Font::systemFont(size);
    return a;
}

} // namespace

TEST(AttributedString, OneRunCoversTheWholeText)
{
    const AttributedString s("Hello", titleAttributes());
    EXPECT_EQ(s.string(), "Hello");
    EXPECT_EQ(s.length(), 5u);
    ASSERT_EQ(s.runs().size(), 1u);
    EXPECT_EQ(s.runs()[0].location, 0u);
    EXPECT_EQ(s.runs()[0].length, 5u);
    EXPECT_EQ(s.runs()[0].attributes.count(), 7);
    EXPECT_EQ(s.attributesAt(4), titleAttributes());
    EXPECT_EQ(s.attributesAt(5), TextAttributes{});

    const AttributedString empty("", titleAttributes());
    EXPECT_TRUE(empty.empty());
    EXPECT_TRUE(empty.runs().empty());
}

TEST(AttributedString, LengthsCountUTF16Units)
{
    const AttributedString s("Grüße 😀!", fontOnly(12));
    EXPECT_EQ(s.length(), 9u);  // the emoji takes two units
    EXPECT_EQ(s.substring(0, 5), "Grüße");
    EXPECT_EQ(s.substring(6, 2), "😀");
    EXPECT_EQ(s.substring(8, 10), "!");
    EXPECT_EQ(s.substring(9, 1), "");
}

TEST(AttributedString, AppendingMergesEqualRunsAndKeepsDifferentOnes)
{
    AttributedString s;
    s.append("ab", fontOnly(12));
    s.append("cd", fontOnly(12));
    ASSERT_EQ(s.runs().size(), 1u);
    EXPECT_EQ(s.runs()[0].length, 4u);
    s.append("EF", fontOnly(20));
    ASSERT_EQ(s.runs().size(), 2u);
    EXPECT_EQ(s.runs()[1].location, 4u);
    EXPECT_EQ(s.runs()[1].length, 2u);
    EXPECT_EQ(s.string(), "abcdEF");
    s.append("", fontOnly(30));
    EXPECT_EQ(s.runs().size(), 2u);

    const AttributedString dashed = s.appendingWithLastAttributes("-");
    EXPECT_EQ(dashed.string(), "abcdEF-");
    EXPECT_EQ(dashed.attributesAt(6), fontOnly(20));
    EXPECT_EQ(dashed.runs().size(), 2u);
    EXPECT_EQ(s.string(), "abcdEF");  // the original is unchanged

    EXPECT_EQ(AttributedString().appendingWithLastAttributes("-").attributesAt(0), TextAttributes{});
}

TEST(AttributedString, SettingAttributesSplitsAndMergesRuns)
{
    AttributedString s("abcdefgh", fontOnly(12));
    s.setAttributes(2, 3, fontOnly(20));
    ASSERT_EQ(s.runs().size(), 3u);
    EXPECT_EQ(s.runs()[0].length, 2u);
    EXPECT_EQ(s.runs()[1].location, 2u);
    EXPECT_EQ(s.runs()[1].length, 3u);
    EXPECT_EQ(s.runs()[2].location, 5u);
    EXPECT_EQ(s.runs()[2].length, 3u);
    EXPECT_EQ(s.attributesAt(4), fontOnly(20));
    EXPECT_EQ(s.attributesAt(5), fontOnly(12));

    s.setAttributes(2, 3, fontOnly(12));
    EXPECT_EQ(s.runs().size(), 1u);

    s.setAttributes(6, 100, fontOnly(20));  // clipped at the end
    ASSERT_EQ(s.runs().size(), 2u);
    EXPECT_EQ(s.runs()[1].length, 2u);
    s.setAttributes(50, 2, fontOnly(30));  // past the end: nothing
    EXPECT_EQ(s.runs().size(), 2u);
    s.setAttributes(0, 8, fontOnly(30));
    ASSERT_EQ(s.runs().size(), 1u);
    EXPECT_EQ(s.runs()[0].length, 8u);
}

TEST(AttributedString, EqualityComparesTextAndAttributes)
{
    EXPECT_EQ(AttributedString("a", fontOnly(12)), AttributedString("a", fontOnly(12)));
    EXPECT_NE(AttributedString("a", fontOnly(12)), AttributedString("a", fontOnly(13)));
    EXPECT_NE(AttributedString("a", fontOnly(12)), AttributedString("b", fontOnly(12)));
    TextAttributes struck = titleAttributes();
    struck.strikethroughStyle = LineStyle::single;
    EXPECT_NE(AttributedString("a", struck), AttributedString("a", titleAttributes()));
    TextAttributes plainParagraph = titleAttributes();
    plainParagraph.paragraphStyle->alignment = 0;
    EXPECT_NE(AttributedString("a", plainParagraph), AttributedString("a", titleAttributes()));
}
