// The background grid's geometry and colour: phase, steps, visible-only drawing and unusable spacings.
#include <gtest/gtest.h>

#include <cmath>

#include "canvas/GridPattern.h"

namespace velquine {
namespace {

GridGeometry wholeCanvas(Rect bounds)
{
    GridGeometry geometry;
    geometry.bounds = bounds;
    geometry.layerSize = bounds.size;
    geometry.visible = bounds;
    geometry.clip = Rect(0, 0, bounds.size.width, bounds.size.height);
    return geometry;
}

TEST(GridPattern, ColourIsOneTenthLighterOnDarkAndDarkerOnLightKeptWithinRange)
{
    const auto rgb = [](const Color& color) {
        const auto& c = color.components();
        return std::vector<double>{c[0], c[1], c[2], c[3]};
    };
    EXPECT_EQ(rgb(gridColor(Color::deviceRGB(1, 1, 1))), (std::vector<double>{0.9, 0.9, 0.9, 1}));
    EXPECT_EQ(rgb(gridColor(Color::deviceRGB(0, 0, 0, 0.5))), (std::vector<double>{0.1, 0.1, 0.1, 0.5}));
    // Yellow is light: blue would go below 0 and stays at 0; a dark colour near 1 in one channel stops at 1.
    const auto yellow = rgb(gridColor(Color::deviceRGB(1, 1, 0)));
    EXPECT_DOUBLE_EQ(yellow[2], 0.0);
    EXPECT_DOUBLE_EQ(yellow[0], 0.9);
    const auto blue = rgb(gridColor(Color::deviceRGB(0, 0, 0.95)));
    EXPECT_DOUBLE_EQ(blue[2], 1.0);
    EXPECT_DOUBLE_EQ(blue[0], 0.1);
}

TEST(GridPattern, DotsLieOnWholeMultiplesOfTheSpacingWhateverTheBoundsOrigin)
{
    const Grid grid{GridType::dots, {24, 24}};
    GridGeometry geometry = wholeCanvas(Rect(-30, 50, 100, 60));
    const auto rects = gridRects(grid, geometry);
    ASSERT_FALSE(rects.empty());
    for (const QRectF& r : rects) {
        EXPECT_EQ(r.size(), QSizeF(2, 2));
        const double canvasX = r.x() + geometry.bounds.origin.x;
        const double canvasY = r.y() + geometry.bounds.origin.y;
        EXPECT_EQ(std::fmod(canvasX, 24.0), 0.0) << canvasX;
        EXPECT_EQ(std::fmod(canvasY, 24.0), 0.0) << canvasY;
    }
    // Canvas x -24, 0, 24, 48 and y 72, 96 inside (-30...70) x (50...110).
    EXPECT_EQ(rects.size(), 8u);
}

TEST(GridPattern, FractionalSpacingTakesTheWholePartForThePhaseAndStepsByTheFullSpacing)
{
    GridAxis axis;
    ASSERT_TRUE(gridAxis(50, 24.5, axis));
    EXPECT_DOUBLE_EQ(axis.start, -2);  // q = 50 / 24 = 2, start = -(50 - 48)
    EXPECT_DOUBLE_EQ(axis.step, 24.5);
    const Grid grid{GridType::quad, {24.5, 10}};
    const auto rects = gridRects(grid, wholeCanvas(Rect(50, 0, 100, 20)));
    std::vector<double> xs;
    for (const QRectF& r : rects)
        if (r.width() == 1)
            xs.push_back(r.x());
    // Positions start + i * 24.5 from -2 that touch the visible area.
    EXPECT_EQ(xs, (std::vector<double>{-2 + 24.5, -2 + 49, -2 + 73.5, -2 + 98}));
}

TEST(GridPattern, QuadLinesSpanOnlyTheVisibleRectangleAndOnlyVisiblePartsAreProduced)
{
    const Grid grid{GridType::quad, {20, 20}};
    GridGeometry geometry = wholeCanvas(Rect(0, 0, 10000, 10000));
    geometry.visible = Rect(1000, 2000, 200, 100);
    const auto rects = gridRects(grid, geometry);
    std::size_t vertical = 0, horizontal = 0;
    for (const QRectF& r : rects) {
        if (r.width() == 1) {
            ++vertical;
            EXPECT_EQ(r.y(), 2000);
            EXPECT_EQ(r.height(), 100);
        } else {
            ++horizontal;
            EXPECT_EQ(r.x(), 1000);
            EXPECT_EQ(r.width(), 200);
        }
    }
    // 1000...1200 touches 11 vertical lines (closed rule), 2000...2100 six horizontal ones.
    EXPECT_EQ(vertical, 11u);
    EXPECT_EQ(horizontal, 6u);

    // A clip box limits the dots as well.
    geometry.clip = Rect(1000, 2000, 41, 41);
    EXPECT_EQ(gridRects(Grid{GridType::dots, {20, 20}}, geometry).size(), 9u);
    // A clip that starts inside a row of dots still draws their part in it: an area painted in parts shows
    // every dot whole.
    geometry.clip = Rect(1001, 2001, 40, 40);
    EXPECT_EQ(gridRects(Grid{GridType::dots, {20, 20}}, geometry).size(), 9u);
}

TEST(GridPattern, UnusableSpacingsAndNoGridDrawNothing)
{
    const GridGeometry geometry = wholeCanvas(Rect(0, 0, 500, 500));
    for (double spacing : {0.0, 0.99, -24.0, double(NAN), double(INFINITY)}) {
        EXPECT_TRUE(gridRects(Grid{GridType::dots, {spacing, 24}}, geometry).empty()) << spacing;
        EXPECT_TRUE(gridRects(Grid{GridType::quad, {24, spacing}}, geometry).empty()) << spacing;
        EXPECT_TRUE(gridOutlines(Grid{GridType::hearts, {spacing, spacing}}, geometry).isEmpty()) << spacing;
    }
    EXPECT_TRUE(gridRects(Grid{GridType::noGrid, {24, 24}}, geometry).empty());
    EXPECT_TRUE(gridOutlines(Grid{GridType::noGrid, {24, 24}}, geometry).isEmpty());
    GridAxis axis;
    EXPECT_FALSE(gridAxis(NAN, 24, axis));
    EXPECT_TRUE(gridRects(Grid{GridType::dots, {1, 1}}, geometry).size() == 250000u);
}

TEST(GridPattern, OutlinePatternsStayNearTheVisibleRectangle)
{
    GridGeometry geometry = wholeCanvas(Rect(0, 0, 5000, 5000));
    geometry.visible = Rect(100, 100, 100, 100);
    for (GridType type : {GridType::hexagons, GridType::diamonds, GridType::circles, GridType::hearts}) {
        const QPainterPath path = gridOutlines(Grid{type, {24, 24}}, geometry);
        ASSERT_FALSE(path.isEmpty());
        EXPECT_TRUE(QRectF(50, 50, 200, 200).contains(path.boundingRect())) << static_cast<int>(type);
    }
}

} // namespace
} // namespace velquine
