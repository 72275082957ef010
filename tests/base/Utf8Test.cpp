#include <gtest/gtest.h>

#include "base/Hex.h"
#include "base/Utf8.h"

using namespace velquine;

namespace {

TEST(Utf8Test, ReadsEachWellFormedSequenceAndAdvances)
{
    const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
    std::size_t pos = 0;
    EXPECT_EQ(nextCodePoint(text, pos), 0x61);
    EXPECT_EQ(pos, 1u);
    EXPECT_EQ(nextCodePoint(text, pos), 0xE9);
    EXPECT_EQ(pos, 3u);
    EXPECT_EQ(nextCodePoint(text, pos), 0x20AC);
    EXPECT_EQ(pos, 6u);
    EXPECT_EQ(nextCodePoint(text, pos), 0x1F600);
    EXPECT_EQ(pos, 10u);
    EXPECT_EQ(utf8SequenceLength(text, 0), 1u);
    EXPECT_EQ(utf8SequenceLength(text, 1), 2u);
    EXPECT_EQ(utf8SequenceLength(text, 3), 3u);
    EXPECT_EQ(utf8SequenceLength(text, 6), 4u);
    EXPECT_TRUE(isValidUtf8(text));
    EXPECT_TRUE(isValidUtf8(""));
}

TEST(Utf8Test, RejectsMalformedSequencesWithoutAdvancing)
{
    for (const std::string bad : {"\x80", "\xc3", "\xc3(", "\xc1\x81", "\xe0\x80\x80", "\xed\xa0\x80",
                                  "\xf4\x90\x80\x80", "\xf8\x88\x80\x80\x80", "\xff"}) {
        std::size_t pos = 0;
        EXPECT_EQ(nextCodePoint(bad, pos), -1) << bad;
        EXPECT_EQ(pos, 0u) << bad;
        EXPECT_EQ(utf8SequenceLength(bad, 0), 0u) << bad;
        EXPECT_FALSE(isValidUtf8("ok" + bad)) << bad;
    }
}

TEST(Utf8Test, WritesEveryLength)
{
    std::string out;
    for (char32_t cp : {U'\x7F', U'\x80', U'\x7FF', U'\x800', U'\xFFFF', U'\x10000', U'\x10FFFF'})
        appendUtf8(out, cp);
    EXPECT_EQ(out, "\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\xf0\x90\x80\x80\xf4\x8f\xbf\xbf");
}

TEST(Utf8Test, ReadsHexadecimalDigitsOfEitherCase)
{
    EXPECT_EQ(hexDigitValue('0'), 0);
    EXPECT_EQ(hexDigitValue('9'), 9);
    EXPECT_EQ(hexDigitValue('a'), 10);
    EXPECT_EQ(hexDigitValue('F'), 15);
    for (char c : {'g', 'G', '/', ':', '@', '`', ' ', '\0'})
        EXPECT_EQ(hexDigitValue(c), -1) << int(c);
    EXPECT_EQ(hexString({0x00, 0x0F, 0xA0, 0xFF}, HexCase::lower), "000fa0ff");
    EXPECT_EQ(hexString({0x00, 0x0F, 0xA0, 0xFF}, HexCase::upper), "000FA0FF");
}

TEST(Utf8Test, TheLenientWalkReadsEachMalformedByteAsOneReplacement)
{
    const std::string text = "a\xc3(\xe2\x82\xac\xed\xa0\x80";
    std::u32string read;
    for (std::size_t pos = 0; pos < text.size();)
        read += utf8::decodeNext(text, pos);
    EXPECT_EQ(read, U"a\uFFFD(\u20AC\uFFFD\uFFFD\uFFFD");
    std::string out;
    for (char32_t c : {char32_t(0x41), char32_t(0xD800), char32_t(0x110000)})
        utf8::append(out, c);
    EXPECT_EQ(out, "A\xef\xbf\xbd\xef\xbf\xbd");
}

} // namespace
