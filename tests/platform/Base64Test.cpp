#include "platform/Base64.h"

#include <gtest/gtest.h>

using namespace velquine;

TEST(Base64, EncodesWithTheStandardAlphabetAndPadding)
{
    EXPECT_EQ(Base64::encode(std::string_view("")), "");
    EXPECT_EQ(Base64::encode(std::string_view("f")), "Zg==");
    EXPECT_EQ(Base64::encode(std::string_view("fo")), "Zm8=");
    EXPECT_EQ(Base64::encode(std::string_view("foo")), "Zm9v");
    EXPECT_EQ(Base64::encode(std::string_view("foob")), "Zm9vYg==");
    EXPECT_EQ(Base64::encode(std::string_view("fooba")), "Zm9vYmE=");
    EXPECT_EQ(Base64::encode(std::string_view("foobar")), "Zm9vYmFy");
    // The last two letters of the alphabet are "+" and "/".
    EXPECT_EQ(Base64::encode(Bytes{0xFB, 0xFF, 0xBF}), "+/+/");
    EXPECT_EQ(Base64::encode(Bytes{0x00, 0x00, 0x00, 0xFF}), "AAAA/w==");
}

TEST(Base64, DecodesWhatItEncodes)
{
    Bytes all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<std::uint8_t>(i));
    for (std::size_t n = 0; n <= all.size(); n += 37) {
        const Bytes part(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(Base64::decode(Base64::encode(part)), part) << n;
    }
    EXPECT_EQ(Base64::decode("Zm9vYmE="), (Bytes{'f', 'o', 'o', 'b', 'a'}));
    EXPECT_EQ(Base64::decode("+/+/"), (Bytes{0xFB, 0xFF, 0xBF}));
    EXPECT_TRUE(Base64::decode("").empty());
}

TEST(Base64, RefusesMalformedText)
{
    for (const char* bad : {"Zg", "Zg=", "Zm9vY", "Z===", "====", "Zg==Zg==", "Zm9v\n", " Zm9v", "Zm-v", "Zm_v",
                            "Zm9v=Zg=", "Z=g="}) {
        EXPECT_THROW(Base64::decode(bad), Base64Error) << bad;
    }
    try {
        Base64::decode("Zm*v");
        FAIL();
    } catch (const Base64Error& error) {
        EXPECT_STREQ(error.what(), "Base64 text has an invalid character at position 2");
    }
}
