#include "platform/Geometry.h"

#include <gtest/gtest.h>

using velquine::Point;
using velquine::Rect;
using velquine::Size;

TEST(Rect, AccessorsWorkOnTheStandardisedForm)
{
    const Rect r(10, 20, -4, -6);
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.midX(), 8);
    EXPECT_EQ(r.minY(), 14);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_EQ(r.midY(), 17);
    EXPECT_EQ(r.standardized(), Rect(6, 14, 4, 6));
    EXPECT_EQ(r.width(), 4);
    EXPECT_EQ(r.height(), 6);
}

TEST(Rect, ClosedIntersectionCountsTouchingEdges)
{
    const Rect a(0, 0, 10, 10);
    EXPECT_TRUE(a.intersects(Rect(10, 0, 5, 5)));
    EXPECT_TRUE(a.intersects(Rect(10, 10, 5, 5)));
    EXPECT_FALSE(a.intersects(Rect(10.01, 0, 5, 5)));
    EXPECT_TRUE(a.intersects(Rect(5, 5, 0, 0)));
    EXPECT_FALSE(a.intersects(Rect::null()));
    EXPECT_EQ(a.intersection(Rect(10, 2, 5, 5)), Rect(10, 2, 0, 5));
}

TEST(Rect, OpenIntersectionIgnoresTouchingEdgesAndEmptyRects)
{
    const Rect a(0, 0, 10, 10);
    // Touching on each of the four edges, in both directions; a hair's overlap on each counts.
    for (const Rect& beside : {Rect(10, 2, 5, 5), Rect(-5, 2, 5, 5), Rect(2, 10, 5, 5), Rect(2, -5, 5, 5)}) {
        EXPECT_FALSE(a.intersectsOpen(beside)) << beside.origin.x << "," << beside.origin.y;
        EXPECT_FALSE(beside.intersectsOpen(a));
        EXPECT_TRUE(a.intersects(beside));
    }
    for (const Rect& over : {Rect(9.9, 2, 5, 5), Rect(-4.9, 2, 5, 5), Rect(2, 9.9, 5, 5), Rect(2, -4.9, 5, 5)})
        EXPECT_TRUE(a.intersectsOpen(over)) << over.origin.x << "," << over.origin.y;
    EXPECT_TRUE(a.intersectsOpen(Rect(9.5, 9.5, 5, 5)));
    EXPECT_FALSE(a.intersectsOpen(Rect(5, 5, 0, 3)));
    EXPECT_FALSE(Rect(5, 5, 3, 0).intersectsOpen(a));
    EXPECT_TRUE(a.intersectsOpen(Rect(12, 12, -5, -5)));
}

TEST(Rect, InsetUnionAndContainment)
{
    EXPECT_EQ(Rect(0, 0, 10, 10).insetBy(2, 3), Rect(2, 3, 6, 4));
    EXPECT_EQ(Rect(0, 0, 10, 10).insetBy(-1, -1), Rect(-1, -1, 12, 12));
    EXPECT_TRUE(Rect(0, 0, 4, 4).insetBy(3, 0).isNull());
    EXPECT_EQ(Rect(0, 0, 1, 1).unionWith(Rect(5, -2, 1, 1)), Rect(0, -2, 6, 3));
    EXPECT_EQ(Rect::null().unionWith(Rect(1, 2, 3, 4)), Rect(1, 2, 3, 4));
    EXPECT_TRUE(Rect(0, 0, 10, 10).contains(Point{0, 0}));
    EXPECT_FALSE(Rect(0, 0, 10, 10).contains(Point{10, 5}));
    EXPECT_TRUE(Rect(0, 0, 10, 10).contains(Rect(0, 0, 10, 10)));
    EXPECT_FALSE(Rect(0, 0, 10, 10).contains(Rect(1, 1, 10, 1)));
    EXPECT_EQ(Rect::centeredAt({10, 10}, Size{4, 2}), Rect(8, 9, 4, 2));
}
