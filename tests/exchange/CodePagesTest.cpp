#include "exchange/CodePages.h"

#include <gtest/gtest.h>

using namespace velquine;

TEST(CodePages, Windows1252TableDiffersFromLatin1OnlyInItsHighControls)
{
    const char32_t high[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                               0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                               0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char32_t expected = byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : byte;
        EXPECT_EQ(codepages::windows1252(static_cast<unsigned char>(byte)), expected) << byte;
        if (expected != 0xFFFD) {
            EXPECT_EQ(codepages::toWindows1252(expected), static_cast<unsigned char>(byte)) << byte;
        }
    }
    EXPECT_EQ(codepages::toWindows1252(0x65E5), std::nullopt);
    EXPECT_EQ(codepages::toWindows1252(0xFFFD), std::nullopt);
    EXPECT_EQ(codepages::decode("Caf\xe9 \x80", 1252), "Café €");
}

TEST(CodePages, OtherCodePagesAndCharacterSets)
{
    EXPECT_EQ(codepages::decode("\xcf\xf0\xe8", 1251), "При");
    EXPECT_EQ(codepages::decode("\x82\xa0\x83\x5c", 932), "あソ");
    EXPECT_EQ(codepages::decode("\xc4\xe3\xba\xc3", 936), "你好");
    EXPECT_EQ(codepages::decode("\x8e\x87", 10000), "éá");
    EXPECT_EQ(codepages::decode("\xe2\x82\xac", 65001), "€");
    // An incomplete or invalid sequence becomes U+FFFD and the rest is still read.
    EXPECT_EQ(codepages::decode("a\x82", 932), "a\uFFFD");
    EXPECT_EQ(codepages::decode("\xff" "b", 65001), "\uFFFD" "b");
    // Unknown code pages fall back to Windows-1252.
    EXPECT_EQ(codepages::decode("\xe9", 99999), "é");
    EXPECT_EQ(codepages::codePageOfCharset(204), 1251);
    EXPECT_EQ(codepages::codePageOfCharset(128), 932);
    EXPECT_EQ(codepages::codePageOfCharset(0), 1252);
    EXPECT_EQ(codepages::codePageOfCharset(1), std::nullopt);
    EXPECT_EQ(codepages::codePageOfCharset(2), std::nullopt);
}
