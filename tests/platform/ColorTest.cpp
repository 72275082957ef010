#include "platform/Color.h"

#include <gtest/gtest.h>

#include <QColor>

#include <cmath>
#include <limits>
#include <stdexcept>

using namespace velquine;

namespace {
const std::vector<double>& comps(const Color& c) { return c.components(); }
} // namespace

TEST(Color, EqualityIsExactAndNeverConvertsBetweenSpaces)
{
    EXPECT_EQ(Color::sRGB(0.2, 0.4, 0.6, 1.0), Color::sRGB(0.2, 0.4, 0.6, 1.0));
    EXPECT_NE(Color::sRGB(0.2, 0.4, 0.6), Color::calibratedRGB(0.2, 0.4, 0.6));
    EXPECT_NE(Color::sRGB(0.2, 0.4, 0.6), Color::deviceRGB(0.2, 0.4, 0.6));
    EXPECT_NE(Color::sRGB(0.2, 0.4, 0.6), Color::sRGB(std::nextafter(0.2, 1.0), 0.4, 0.6));
    EXPECT_NE(Color::sRGB(0.2, 0.4, 0.6, 1.0), Color::sRGB(0.2, 0.4, 0.6, 0.5));
    // Grey 0.5 and an RGB grey look alike but are different colours.
    EXPECT_NE(Color::gray(), Color::sRGB(0.5, 0.5, 0.5));
    EXPECT_NE(Color::white(), Color::calibratedRGB(1, 1, 1));
    EXPECT_EQ(Color(), Color::black());
}

TEST(Color, NamedColoursHaveTheirSpacesAndComponents)
{
    EXPECT_EQ(Color::black().colorSpaceName(), "kCGColorSpaceGenericGrayGamma2_2");
    EXPECT_EQ(comps(Color::black()), (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(comps(Color::white()), (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(comps(Color::gray()), (std::vector<double>{0.5, 1.0}));
    EXPECT_EQ(comps(Color::darkGray()), (std::vector<double>{1.0 / 3.0, 1.0}));
    EXPECT_EQ(comps(Color::lightGray()), (std::vector<double>{2.0 / 3.0, 1.0}));
    EXPECT_EQ(comps(Color::clear()), (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(Color::gray().colorSpaceName(), Color::white().colorSpaceName());

    EXPECT_EQ(Color::green().colorSpaceName(), "kCGColorSpaceGenericRGB");
    EXPECT_EQ(comps(Color::green()), (std::vector<double>{0.0, 1.0, 0.0, 1.0}));
    EXPECT_EQ(comps(Color::orange()), (std::vector<double>{1.0, 0.5, 0.0, 1.0}));
    EXPECT_EQ(comps(Color::red()), (std::vector<double>{1.0, 0.0, 0.0, 1.0}));
    EXPECT_EQ(Color::red().colorSpaceName(), "kCGColorSpaceGenericRGB");
    EXPECT_EQ(Color::magenta(), Color::calibratedRGB(1, 0, 1, 1));
    EXPECT_EQ(Color::systemPink(), Color::sRGB(1.0, 0.176, 0.333, 1.0));
    EXPECT_EQ(Color::systemPink().colorSpaceName(), "kCGColorSpaceSRGB");
    // The standard text colour is opaque and in sRGB.
    EXPECT_EQ(Color::textColor().colorSpaceName(), "kCGColorSpaceSRGB");
    EXPECT_EQ(Color::textColor().alpha(), 1.0);
}

TEST(Color, KindsOfColourKeepTheirComponents)
{
    const Color calibrated = Color::calibratedRGB(0x4F / 255.0, 0x6A / 255.0, 0x8F / 255.0);
    EXPECT_EQ(calibrated.colorSpaceName(), "kCGColorSpaceGenericRGB");
    EXPECT_EQ(calibrated.components()[0], 79.0 / 255.0);
    EXPECT_EQ(calibrated.numberOfComponents(), 4u);

    const Color literal = Color::literal(0.314f, 0.357f, 0.906f);
    EXPECT_EQ(literal.colorSpaceName(), "kCGColorSpaceSRGB");
    EXPECT_EQ(literal.components()[0], 0.31400001049041748);
    EXPECT_NE(literal, Color::sRGB(0.314, 0.357, 0.906));

    const Color grey = Color::calibratedWhite(0.25, 0.75);
    EXPECT_EQ(grey.numberOfComponents(), 2u);
    EXPECT_EQ(grey.alpha(), 0.75);
}

TEST(Color, ConstructionChecksTheSpaceAndTheComponentCount)
{
    EXPECT_NO_THROW(Color("kCGColorSpaceSRGB", {0.1, 0.2, 0.3, 1.0}));
    EXPECT_THROW(Color("kCGColorSpaceSRGB", {0.1, 0.2, 1.0}), std::invalid_argument);
    EXPECT_THROW(Color("kCGColorSpaceGenericGrayGamma2_2", {0.1, 0.2, 0.3, 1.0}), std::invalid_argument);
    EXPECT_THROW(Color("kCGColorSpaceNoSuchSpace", {0.1, 1.0}), std::invalid_argument);
    EXPECT_THROW(Color("kCGColorSpaceSRGB", {0.1, std::nan(""), 0.3, 1.0}), std::invalid_argument);
    EXPECT_THROW(Color("kCGColorSpaceSRGB", {0.1, std::numeric_limits<double>::infinity(), 0.3, 1.0}),
                 std::invalid_argument);
    EXPECT_FALSE(Color::make("kCGColorSpaceSRGB", {}).has_value());
    EXPECT_FALSE(Color::make("", {1.0, 1.0}).has_value());
    ASSERT_TRUE(Color::make("kCGColorSpaceGenericCMYK", {0.1, 0.2, 0.3, 0.4, 1.0}).has_value());
    // Components outside 0...1 are kept (extended range).
    EXPECT_EQ(Color::make("kCGColorSpaceExtendedSRGB", {1.25, -0.5, 0.0, 1.0})->components()[0], 1.25);
}

TEST(Color, SpaceTableGivesComponentCounts)
{
    struct Expected {
        const char* name;
        int count;
    };
    const Expected expected[] = {
        {"kCGColorSpaceSRGB", 3},           {"kCGColorSpaceExtendedSRGB", 3},
        {"kCGColorSpaceGenericRGB", 3},     {"kCGColorSpaceGenericGrayGamma2_2", 1},
        {"kCGColorSpaceGenericGray", 1},    {"kCGColorSpaceDisplayP3", 3},
        {"kCGColorSpaceGenericRGBLinear", 3}, {"kCGColorSpaceLinearSRGB", 3},
        {"kCGColorSpaceExtendedGray", 1},   {"kCGColorSpaceGenericCMYK", 4},
        {"kCGColorSpaceDeviceRGB", 3},      {"kCGColorSpaceDeviceGray", 1},
    };
    for (const auto& e : expected) {
        const ColorSpace* space = colorSpaceNamed(e.name);
        ASSERT_NE(space, nullptr) << e.name;
        EXPECT_EQ(space->componentCount, e.count) << e.name;
    }
    EXPECT_EQ(colorSpaceNamed("kCGColorSpaceSrgb"), nullptr);
    EXPECT_EQ(colorSpaceNamed("sRGB"), nullptr);
    for (const ColorSpace& space : knownColorSpaces())
        EXPECT_EQ(colorSpaceNamed(space.name), &space);
}

TEST(Color, HSBTurnsIntoRGB)
{
    EXPECT_EQ(Color::calibratedHSB(0.0, 1.0, 1.0), Color::calibratedRGB(1.0, 0.0, 0.0));
    EXPECT_EQ(Color::calibratedHSB(0.5, 0.5, 1.0), Color::calibratedRGB(0.5, 1.0, 1.0));
    EXPECT_EQ(Color::calibratedHSB(0.0, 0.0, 0.4), Color::calibratedRGB(0.4, 0.4, 0.4));
    // Hue 1 is hue 0.
    EXPECT_EQ(Color::calibratedHSB(1.0, 1.0, 1.0), Color::calibratedRGB(1.0, 0.0, 0.0));
    const Color c = Color::calibratedHSB(0.53, 0.95, 0.16, 1.0);
    EXPECT_EQ(c.colorSpaceName(), "kCGColorSpaceGenericRGB");
    EXPECT_NEAR(c.components()[0], 0.16 * 0.05, 1e-15);
    EXPECT_DOUBLE_EQ(c.components()[2], 0.16);
    EXPECT_EQ(Color::hsb(0.5, 0.5, 1.0).colorSpaceName(), "kCGColorSpaceSRGB");
}

TEST(Color, HSBRoundTripsThroughDeviceRGB)
{
    const HSBA h = Color::sRGB(0.8, 0.4, 0.2, 0.5).hsba();
    EXPECT_DOUBLE_EQ(h.brightness, 0.8);
    EXPECT_DOUBLE_EQ(h.saturation, 0.75);
    EXPECT_NEAR(h.hue, 1.0 / 18.0, 1e-15);
    EXPECT_EQ(h.alpha, 0.5);
    // A grey has no hue and no saturation.
    const HSBA g = Color::gray().hsba();
    EXPECT_EQ(g.hue, 0.0);
    EXPECT_EQ(g.saturation, 0.0);
    EXPECT_EQ(g.brightness, 0.5);
    EXPECT_EQ(Color::gray().usingDeviceRGB(), Color::deviceRGB(0.5, 0.5, 0.5, 1.0));
}

TEST(Color, AdjustingBrightnessKeepsHueSaturationAndAlphaWithoutClamping)
{
    const Color base = Color::sRGB(0.8, 0.4, 0.2, 0.5);
    const HSBA darker = base.adjustingBrightness(0.75).hsba();
    EXPECT_NEAR(darker.brightness, 0.6, 1e-12);
    EXPECT_NEAR(darker.saturation, 0.75, 1e-12);
    EXPECT_NEAR(darker.hue, 1.0 / 18.0, 1e-12);
    EXPECT_EQ(darker.alpha, 0.5);

    const Color brighter = Color::sRGB(0.8, 0.8, 0.8).adjustingBrightness(1.5);
    EXPECT_DOUBLE_EQ(brighter.components()[0], 1.2);
    EXPECT_GT(brighter.brightness(), 1.0);
    // Grey input goes through device RGB first.
    EXPECT_EQ(Color::white().adjustingBrightness(0.5).components().size(), 4u);
}

TEST(Color, LightnessUsesTheOwnComponents)
{
    EXPECT_FALSE(Color::white().isLight());  // grey: two components
    EXPECT_TRUE(Color::sRGB(1, 1, 0).isLight());
    EXPECT_FALSE(Color::sRGB(0, 0, 1).isLight());
    EXPECT_FALSE(Color::sRGB(0.5, 0.5, 0.5).isLight());  // exactly 0.5
    EXPECT_TRUE(Color::sRGB(0.51, 0.5, 0.5).isLight());
}

TEST(Color, DrawingColourClampsAndConverts)
{
    EXPECT_EQ(Color::sRGB(1.0, 0.0, 0.0).toQColor(), QColor(255, 0, 0));
    EXPECT_EQ(Color::gray().toQColor().red(), 128);
    EXPECT_EQ(Color::gray().toQColor().blue(), 128);
    EXPECT_EQ(Color::clear().toQColor().alpha(), 0);
    const QColor extended = Color::make("kCGColorSpaceExtendedSRGB", {1.5, -0.5, 0.5, 1.0})->toQColor();
    EXPECT_EQ(extended.red(), 255);
    EXPECT_EQ(extended.green(), 0);
    EXPECT_EQ(Color::make("kCGColorSpaceGenericCMYK", {0, 0, 0, 1, 1})->toQColor().toRgb(), QColor(0, 0, 0));
    const QColor linear = Color::make("kCGColorSpaceLinearSRGB", {0.214, 0.214, 0.214, 1})->toQColor();
    EXPECT_NEAR(linear.redF(), 0.5, 0.01);
}
