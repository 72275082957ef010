#include "model/style/PaletteSwatch.h"
#include "model/style/ProjectStyle.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace velquine;

namespace {

// A style whose swatch colours have distinct brightness: background 0.5, root fill 0.9, strokes from the
// given brightness list.
ProjectStyle swatchStyle(const std::vector<double>& strokeBrightness)
{
    ProjectStyleValues values;
    values.backgroundColor = Color::sRGB(0.5, 0.0, 0.0);
    values.rootNodeStyle.fillColor = Color::sRGB(0.0, 0.9, 0.0);
    for (double b : strokeBrightness)
        values.palette.push_back({Color::white(), Color::sRGB(0.0, 0.0, b)});
    ProjectStyleValues defaults = values;
    defaults.palette.clear();
    return ProjectStyle{"Swatch", values, defaults};
}

std::vector<Color> colorsOf(const std::vector<PaletteSwatchSquare>& squares)
{
    std::vector<Color> colors;
    for (const auto& square : squares)
        colors.push_back(square.color);
    return colors;
}

} // namespace

TEST(PaletteSwatch, SquareCountFollowsThePalette)
{
    EXPECT_EQ(paletteSwatchSquares(swatchStyle({0.1, 0.2}), {100, 12}).size(), 4u);
    EXPECT_EQ(paletteSwatchSquares(swatchStyle({0.1, 0.2, 0.3, 0.4, 0.6, 0.7, 0.8, 0.95, 0.99, 1.0}), {100, 12}).size(),
              8u);
    // An empty palette: the background and the root fill only.
    EXPECT_EQ(paletteSwatchSquares(swatchStyle({}), {100, 12}).size(), 2u);
}

TEST(PaletteSwatch, SquaresIgnoreTheHeight)
{
    const auto squares = paletteSwatchSquares(swatchStyle({0.1, 0.2, 0.3, 0.4, 0.6, 0.7}), {100, 12});
    ASSERT_EQ(squares.size(), 8u);
    for (std::size_t k = 0; k < squares.size(); ++k) {
        EXPECT_EQ(squares[k].rect.origin.x, 12.5 * static_cast<double>(k));
        EXPECT_EQ(squares[k].rect.origin.y, 0.0);
        EXPECT_EQ(squares[k].rect.size.width, 12.5);
        EXPECT_EQ(squares[k].rect.size.height, 12.5);
    }
    const auto tall = paletteSwatchSquares(swatchStyle({0.1, 0.2}), {100, 300});
    EXPECT_EQ(tall[3].rect.size.height, 25.0);
}

TEST(PaletteSwatch, DarkestFirstAndStable)
{
    const ProjectStyle style = swatchStyle({0.95, 0.2, 0.7});
    EXPECT_EQ(colorsOf(paletteSwatchSquares(style, {100, 12})),
              (std::vector<Color>{Color::sRGB(0, 0, 0.2), Color::sRGB(0.5, 0, 0), Color::sRGB(0, 0, 0.7),
                                  Color::sRGB(0, 0.9, 0), Color::sRGB(0, 0, 0.95)}));

    // Equal brightness keeps the order: background, root fill, palette strokes.
    ProjectStyle ties = swatchStyle({0.5, 0.5});
    ties.current.rootNodeStyle.fillColor = Color::sRGB(0.0, 0.5, 0.0);
    EXPECT_EQ(colorsOf(paletteSwatchSquares(ties, {100, 12})),
              (std::vector<Color>{Color::sRGB(0.5, 0, 0), Color::sRGB(0, 0.5, 0), Color::sRGB(0, 0, 0.5),
                                  Color::sRGB(0, 0, 0.5)}));
    // A grey is measured through its device RGB form.
    ProjectStyle grey = swatchStyle({});
    grey.current.backgroundColor = Color::calibratedWhite(0.95);
    EXPECT_EQ(colorsOf(paletteSwatchSquares(grey, {100, 12})).back(), Color::calibratedWhite(0.95));
}

TEST(PaletteSwatch, OnlySixPaletteStrokesFromCurrent)
{
    const ProjectStyle omaha = ProjectStyle::omaha();
    const std::vector<Color> colors = colorsOf(paletteSwatchSquares(omaha, {100, 12}));
    const auto strokeOf = [&](std::size_t i) { return omaha.current.palette[i].strokeColor; };
    // Brightness: stroke 4 0.683, stroke 3 0.804, stroke 0 0.818, stroke 5 0.892, root fill 0.975,
    // stroke 1 0.977, background 0.983, stroke 2 0.996.
    EXPECT_EQ(colors, (std::vector<Color>{strokeOf(4), strokeOf(3), strokeOf(0), strokeOf(5),
                                          omaha.current.rootNodeStyle.fillColor, strokeOf(1),
                                          omaha.current.backgroundColor, strokeOf(2)}));

    ProjectStyle changed = omaha;
    changed.current.backgroundColor = Color::black();
    EXPECT_EQ(colorsOf(paletteSwatchSquares(changed, {100, 12})).front(), Color::black());
}

TEST(PaletteSwatch, ImageDrawsTheSquaresOnTheBottomEdge)
{
    const ProjectStyle style = swatchStyle({0.1, 0.2, 0.3, 0.4, 0.6, 0.7});
    const Image image = style.paletteSwatch({100, 12});
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), (Size{100, 12}));
    EXPECT_EQ(image.pixelsWide(), 200);
    EXPECT_EQ(image.pixelsHigh(), 24);
    const auto squares = paletteSwatchSquares(style, {100, 12});
    for (std::size_t k = 0; k < squares.size(); ++k) {
        const int x = static_cast<int>((squares[k].rect.midX()) * 2.0);
        EXPECT_EQ(image.bitmap().pixelColor(x, 12).rgba(), squares[k].color.toQColor().rgba()) << k;
        // 25 pixels wide each: the square's first and last columns are its own.
        EXPECT_EQ(image.bitmap().pixelColor(25 * static_cast<int>(k), 0).rgba(), squares[k].color.toQColor().rgba());
        EXPECT_EQ(image.bitmap().pixelColor(25 * static_cast<int>(k) + 24, 23).rgba(),
                  squares[k].color.toQColor().rgba());
    }

    // Taller than the squares: the top stays clear.
    const Image tall = style.paletteSwatch({100, 40});
    EXPECT_EQ(tall.bitmap().pixelColor(10, 2).alpha(), 0);
    EXPECT_EQ(tall.bitmap().pixelColor(10, 79).rgba(), squares[0].color.toQColor().rgba());
    EXPECT_EQ(tall.bitmap().pixelColor(10, 79 - 24).rgba(), squares[0].color.toQColor().rgba());
    EXPECT_EQ(tall.bitmap().pixelColor(10, 79 - 25).alpha(), 0);

    const auto png = image.pngData();
    ASSERT_TRUE(png.has_value());
    const auto decoded = Image::fromData(*png);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->size(), image.size());
}

TEST(PaletteSwatch, UnusableSizesGiveNothing)
{
    const ProjectStyle style = ProjectStyle::omaha();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (Size size : {Size{0, 12}, Size{100, 0}, Size{-100, 12}, Size{nan, 12}, Size{100, inf}}) {
        EXPECT_TRUE(paletteSwatchSquares(style, size).empty()) << size.width << "x" << size.height;
        EXPECT_TRUE(style.paletteSwatch(size).isNull());
    }
    EXPECT_TRUE(style.paletteSwatch({1e9, 12}).isNull());
    EXPECT_FALSE(style.paletteSwatch({0.5, 0.5}).isNull());
}
