#include "model/style/ColorOperations.h"
#include "platform/Json.h"
#include "platform/Log.h"

#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using namespace velquine;
using styletest::endsWith;
using styletest::thrownText;

namespace {

std::string colorText(const std::string& space, const std::string& comps)
{
    return "{\"colorSpaceName\":\"" + space + "\",\"comps\":" + comps + "}";
}

std::string readFailure(const std::string& text)
{
    return thrownText<TextError>([&] { colorFromJsonString(text); });
}

} // namespace

TEST(ColorText, WritesSpaceNameAndComponentsWithAlphaLast)
{
    EXPECT_EQ(jsonString(Color::sRGB(0.5, 0.25, 1.0, 0.75)),
              "{\"colorSpaceName\":\"kCGColorSpaceSRGB\",\"comps\":[0.5,0.25,1,0.75]}");
    EXPECT_EQ(jsonString(Color::calibratedRGB(1.0, 0.0, 1.0)),
              "{\"colorSpaceName\":\"kCGColorSpaceGenericRGB\",\"comps\":[1,0,1,1]}");
    // A grey writes its one component and alpha.
    EXPECT_EQ(jsonString(Color::white()),
              "{\"colorSpaceName\":\"kCGColorSpaceGenericGrayGamma2_2\",\"comps\":[1,1]}");
}

TEST(ColorText, ReadsBackInTheSameSpaceBitForBit)
{
    const std::vector<Color> colors = {
        Color::sRGB(0.569986, 0.645467, 0.818343),
        Color::calibratedRGB(1.0 / 3.0, 0.1, 1e-17, 1.0),
        Color::literal(0.314f, 0.357f, 0.906f),
        Color::calibratedHSB(0.53, 0.95, 0.16),
        Color::calibratedWhite(2.0 / 3.0, 0.25),
        Color::systemPink(),
        Color("kCGColorSpaceGenericCMYK", {0.1, 0.2, 0.3, 0.4, 1.0}),
        Color("kCGColorSpaceExtendedSRGB", {-0.25, 1.5, 0.5, 1.0}),
    };
    for (const Color& color : colors) {
        const Color back = colorFromJsonString(jsonString(color));
        EXPECT_EQ(back.colorSpaceName(), color.colorSpaceName());
        ASSERT_EQ(back.components().size(), color.components().size());
        for (std::size_t i = 0; i < color.components().size(); ++i)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(back.components()[i]),
                      std::bit_cast<std::uint64_t>(color.components()[i]))
                << jsonString(color) << " component " << i;
    }
}

TEST(ColorText, ReadsAnyMemberOrderAndWhiteSpaceAndWholeNumbers)
{
    EXPECT_EQ(colorFromJsonString(" { \"comps\" : [ 0 , 0.5 , 1 , 1.0 ] , \"colorSpaceName\" : \"kCGColorSpaceSRGB\" } "),
              Color::sRGB(0.0, 0.5, 1.0, 1.0));
    EXPECT_EQ(colorFromJsonString(colorText("kCGColorSpaceGenericGray", "[0.5,1]")),
              Color("kCGColorSpaceGenericGray", {0.5, 1.0}));
}

TEST(ColorText, FailuresCarryTheirMessages)
{
    const std::string missingName = readFailure("{\"comps\":[1,1]}");
    EXPECT_TRUE(endsWith(missingName, " getString(_:) - Can not get key 'colorSpaceName' from JSON")) << missingName;
    const std::string numericName = readFailure("{\"colorSpaceName\":3,\"comps\":[1,1]}");
    EXPECT_TRUE(endsWith(numericName, " getString(_:) - Can not get key 'colorSpaceName' from JSON")) << numericName;

    const std::string unknownSpace = readFailure(colorText("kCGColorSpaceFancy", "[1,0,0,1]"));
    EXPECT_TRUE(endsWith(unknownSpace, " init(jsonString:) - Can not create CGColorSpace with name kCGColorSpaceFancy"))
        << unknownSpace;
    EXPECT_NE(unknownSpace.find("ColorOperations.cpp:"), std::string::npos) << unknownSpace;

    for (const std::string& text : {std::string("{\"colorSpaceName\":\"kCGColorSpaceSRGB\"}"),
                                    colorText("kCGColorSpaceSRGB", "\"1,0,0,1\""),
                                    colorText("kCGColorSpaceSRGB", "[\"1\",\"0\",\"0\",\"1\"]"),
                                    colorText("kCGColorSpaceSRGB", "[1,0,null,1]"),
                                    colorText("kCGColorSpaceSRGB", "{}")}) {
        const std::string line = readFailure(text);
        EXPECT_TRUE(endsWith(line, " init(jsonString:) - Can not get 'comps' from json object!")) << text << "\n" << line;
    }
}

TEST(ColorText, ComponentCountMustFitTheSpace)
{
    // Too few numbers would leave components undefined, too many would be silently cut: both fail.
    const std::vector<std::pair<std::string, std::string>> misfits = {
        {"kCGColorSpaceSRGB", "[1,0,0]"},   {"kCGColorSpaceSRGB", "[1,0,0,1,1]"},
        {"kCGColorSpaceSRGB", "[]"},        {"kCGColorSpaceGenericGrayGamma2_2", "[1]"},
        {"kCGColorSpaceGenericGrayGamma2_2", "[1,0,0,1]"}, {"kCGColorSpaceGenericCMYK", "[0,0,0,1]"},
    };
    for (const auto& [space, comps] : misfits) {
        const std::string line = readFailure(colorText(space, comps));
        EXPECT_NE(line.find(" init(jsonString:) - Can not create color with "), std::string::npos) << line;
        EXPECT_NE(line.find("'comps' in color space " + space), std::string::npos) << line;
    }
    const std::string line = readFailure(colorText("kCGColorSpaceSRGB", "[1,0,0]"));
    EXPECT_TRUE(endsWith(line, "Can not create color with 3 'comps' in color space kCGColorSpaceSRGB, expected 4"))
        << line;
}

TEST(ColorText, TextThatIsNoObjectFails)
{
    EXPECT_THROW(colorFromJsonString("not json"), JsonError);
    EXPECT_THROW(colorFromJsonString(""), JsonError);
    const std::string line = readFailure("[1,0,0,1]");
    EXPECT_NE(line.find(" init(jsonString:) - JSON text is not an object"), std::string::npos) << line;
}

TEST(BraceText, ReadsFourNumbersAsSRGB)
{
    const Color color = colorFromBraceString("{0.450980, 0.784314, 1.000000, 1.000000}");
    EXPECT_EQ(color.colorSpaceName(), "kCGColorSpaceSRGB");
    EXPECT_EQ(color.components(), (std::vector<double>{0.450980, 0.784314, 1.0, 1.0}));
    EXPECT_EQ(colorFromBraceString("{1, 0, 0, 0.5}"), Color::sRGB(1.0, 0.0, 0.0, 0.5));
    // Numbers after the fourth are ignored.
    EXPECT_EQ(colorFromBraceString("{0.1, 0.2, 0.3, 0.4, 0.5}"), Color::sRGB(0.1, 0.2, 0.3, 0.4));
}

TEST(BraceText, AnythingElseIsOpaqueMagenta)
{
    const Color magenta = Color::calibratedRGB(1.0, 0.0, 1.0, 1.0);
    for (const char* text : {"", "{}", "{0.1, 0.2, 0.3}", "{a, b, c, d}", "{0.1, 0.2, 0.3, \"x\"}",
                             "{0.1, 0.2, 0.3, 0.4, null}", "0.1, 0.2, 0.3, 0.4", "{0.1, 0.2, 0.3, 0.4",
                             "{\"r\": 1}", "{1e999, 0, 0, 1}"}) {
        const Color color = colorFromBraceString(text);
        EXPECT_EQ(color, magenta) << text;
        EXPECT_EQ(color.colorSpaceName(), "kCGColorSpaceGenericRGB") << text;
    }
}

TEST(HexColor, ChannelsFromTheLowThreeBytes)
{
    EXPECT_EQ(colorFromRGB(0x3E9CBF), Color::calibratedRGB(0x3E / 255.0, 0x9C / 255.0, 0xBF / 255.0, 1.0));
    EXPECT_EQ(colorFromRGB(0xFFFFFF), Color::calibratedRGB(1.0, 1.0, 1.0, 1.0));
    EXPECT_EQ(colorFromRGB(0x000000), Color::calibratedRGB(0.0, 0.0, 0.0, 1.0));
    EXPECT_EQ(colorFromRGB(0xAB123456), colorFromRGB(0x123456));
    EXPECT_EQ(colorFromRGB(0x123456).components()[0], 0x12 / 255.0);
}

TEST(ColorLightness, WeighsTheFirstThreeComponentsOfTheColorsOwnSpace)
{
    EXPECT_FALSE(Color::white().isLight());                 // grey white: two components
    EXPECT_FALSE(Color::calibratedWhite(0.9, 1.0).isLight());
    EXPECT_TRUE(Color::sRGB(1.0, 1.0, 0.0).isLight());      // 0.886
    EXPECT_FALSE(Color::sRGB(0.0, 0.0, 1.0).isLight());     // 0.114
    EXPECT_FALSE(Color::sRGB(0.5, 0.5, 0.5).isLight());     // exactly 0.5
    EXPECT_TRUE(Color::calibratedRGB(0.5, 0.501, 0.5).isLight());
    EXPECT_TRUE(colorFromRGB(0xF0FFFF).isLight());
    EXPECT_FALSE(colorFromRGB(0x202020).isLight());
}

TEST(ColorBrightness, ScalesBrightnessAndKeepsHueSaturationAlpha)
{
    const Color base = Color::hsb(0.6, 0.5, 0.8, 0.4);
    const HSBA before = base.hsba();
    ASSERT_NEAR(before.brightness, 0.8, 1e-12);

    const HSBA darker = base.adjustingBrightness(0.75).hsba();
    EXPECT_NEAR(darker.brightness, 0.6, 1e-12);
    EXPECT_NEAR(darker.hue, before.hue, 1e-12);
    EXPECT_NEAR(darker.saturation, before.saturation, 1e-12);
    EXPECT_EQ(darker.alpha, 0.4);

    // Not clamped: 0.8 × 1.5 stays 1.2.
    const HSBA lighter = base.adjustingBrightness(1.5).hsba();
    EXPECT_NEAR(lighter.brightness, 1.2, 1e-12);
    EXPECT_NEAR(lighter.hue, before.hue, 1e-12);

    // A grey goes through device RGB first.
    const HSBA grey = Color::calibratedWhite(0.8, 1.0).adjustingBrightness(1.1).hsba();
    EXPECT_NEAR(grey.brightness, 0.88, 1e-12);
    EXPECT_EQ(grey.saturation, 0.0);
}
