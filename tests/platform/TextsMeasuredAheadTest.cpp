#include "platform/TextsMeasuredAhead.h"
#include "platform/LaidOutText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velquine;

namespace {

constexpr double width = 300;

// Latin, CJK, right-to-left, emoji, long texts that wrap and texts ending in a break, in three fonts.
std::vector<std::pair<std::string, Font>> variedTexts(std::size_t count)
{
    const std::vector<std::string> kinds = {"Node ", "節点 ", "عقدة ", "🌳 tree ",
                                            "a rather long title that wraps over more than one line at this width ",
                                            "closing break\n"};
    const std::vector<Font> fonts = {Font::systemFont(12), Font::systemFont(18), Font::monospacedSystemFont(14)};
    std::vector<std::pair<std::string, Font>> texts;
    for (std::size_t i = 0; i < count; ++i)
        texts.emplace_back(kinds[i % kinds.size()] + std::to_string(i / 7), fonts[i % fonts.size()]);
    return texts;
}

AttributedString inFont(const std::string& text, const Font& font)
{
    TextAttributes attributes;
    attributes.font = font;
    attributes.foregroundColor = Color::red();  // measuring reads only the font
    return AttributedString(text, attributes);
}

void expectSameLines(const std::vector<TextLine>& actual, const std::vector<TextLine>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t k = 0; k < actual.size(); ++k) {
        EXPECT_EQ(actual[k].location, expected[k].location);
        EXPECT_EQ(actual[k].length, expected[k].length);
        EXPECT_EQ(actual[k].width, expected[k].width);
        EXPECT_EQ(actual[k].ascent, expected[k].ascent);
        EXPECT_EQ(actual[k].descent, expected[k].descent);
        EXPECT_EQ(actual[k].height, expected[k].height);
    }
}

} // namespace

TEST(TextsMeasuredAhead, WorkersGiveTheLinesOfALayoutOnTheCallingThread)
{
    const auto texts = variedTexts(4000);  // with repeats
    if (TextsMeasuredAhead::workersFor(texts.size()) == 0)
        GTEST_SKIP() << "a single core starts no worker";
    TextsMeasuredAhead ahead(width);
    for (const auto& [text, font] : texts)
        ahead.add(text, font);
    ahead.start();
    // Asked in reverse order, so the caller meets texts the workers have not reached yet.
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
        const AttributedString text = inFont(it->first, it->second);
        const auto answered = ahead.answer(text, width);
        ASSERT_TRUE(answered.has_value()) << it->first;
        expectSameLines(*answered, LaidOutText(text, width, nullptr, false).lines());
        expectSameLines(TextMeasurement::lines(text, width), *answered);
        expectSameLines(ahead.lines(text, width), *answered);
    }
}

TEST(TextsMeasuredAhead, AnswersOnlyForItsTextsFontsAndWidth)
{
    const auto texts = variedTexts(3000);
    if (TextsMeasuredAhead::workersFor(texts.size()) == 0)
        GTEST_SKIP() << "a single core starts no worker";
    const AttributedString known = inFont(texts[0].first, texts[0].second);
    {
        TextsMeasuredAhead ahead(width);
        for (const auto& [text, font] : texts)
            ahead.add(text, font);
        EXPECT_FALSE(ahead.answer(known, width)) << "not started";
        ahead.start();
        EXPECT_TRUE(ahead.answer(known, width));
        EXPECT_FALSE(ahead.answer(known, width + 1));
        EXPECT_FALSE(ahead.answer(inFont(texts[0].first, Font::systemFont(40)), width));
        EXPECT_FALSE(ahead.answer(inFont("never added", texts[0].second), width));
        // Two fonts in one text: not a text of the set.
        AttributedString mixed = known;
        mixed.setAttributes(0, 1, inFont("x", Font::systemFont(30)).runs().front().attributes);
        EXPECT_FALSE(ahead.answer(mixed, width));
    }
    EXPECT_EQ(TextsMeasuredAhead::workersFor(10), 0u);
}
