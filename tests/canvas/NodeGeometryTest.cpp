#include "canvas/layers/NodeGeometry.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/Log.h"

using namespace velquine;
using Direction = LayoutOptions::LayoutDirection;
using LayoutType = LayoutOptions::LayoutType;

namespace {

LayoutOptions options(LayoutType type, Direction direction, bool manual = false)
{
    LayoutOptions o;
    o.layoutType = type;
    o.layoutDirection = direction;
    o.isManual = manual;
    return o;
}

QRectF qrect(const Rect& r) { return {r.origin.x, r.origin.y, r.size.width, r.size.height}; }

} // namespace

TEST(NodeGeometry, HandleRectanglesReachTwoPointsBeyondEachCorner)
{
    const std::array<Rect, 4> r = handleRects(Rect(0, 0, 100, 40), Size{8, 8});
    EXPECT_EQ(r[0], Rect(-2, -2, 8, 8));
    EXPECT_EQ(r[1], Rect(-2, 34, 8, 8));
    EXPECT_EQ(r[2], Rect(94, 34, 8, 8));
    EXPECT_EQ(r[3], Rect(94, -2, 8, 8));
    // Fractional bounds are rounded outward.
    EXPECT_EQ(handleRects(Rect(0.5, 0, 99.25, 40), Size{8, 8})[2], Rect(93, 34, 9, 8));
}

TEST(NodeGeometry, HoverButtonSitsOnePointBesideTheNode)
{
    const Rect b(0, 0, 100, 40);
    EXPECT_EQ(hoverButtonFrame(b, DockPointLocation::left), Rect(-33, 4, 32, 32));
    EXPECT_EQ(hoverButtonFrame(b, DockPointLocation::right), Rect(101, 4, 32, 32));
    EXPECT_EQ(hoverButtonFrame(b, DockPointLocation::top), Rect(34, -33, 32, 32));
    EXPECT_EQ(hoverButtonFrame(b, DockPointLocation::bottom), Rect(34, 41, 32, 32));
}

TEST(NodeGeometry, HoverSideFollowsLayoutAndPointer)
{
    const Rect f(100, 100, 100, 40);  // middle x 150, middle y 120
    const auto right = HorizontalAffinity::right;
    const auto left = HorizontalAffinity::left;
    const auto below = VerticalAffinity::below;
    const auto above = VerticalAffinity::above;
    const LayoutOptions manual = options(LayoutType::horizontal, Direction::ascending, true);
    EXPECT_EQ(hoverSide(manual, NodeType::sub, left, below, f, {150, 0}), DockPointLocation::right);
    EXPECT_EQ(hoverSide(manual, NodeType::sub, right, below, f, {149.5, 0}), DockPointLocation::left);
    const LayoutOptions manualVertical = options(LayoutType::vertical, Direction::balanced, true);
    EXPECT_EQ(hoverSide(manualVertical, NodeType::main, right, above, f, {0, 120}), DockPointLocation::bottom);
    EXPECT_EQ(hoverSide(manualVertical, NodeType::main, right, below, f, {0, 119}), DockPointLocation::top);

    const LayoutOptions ascending = options(LayoutType::horizontal, Direction::ascending);
    EXPECT_EQ(hoverSide(ascending, NodeType::root, left, below, f, {0, 0}), DockPointLocation::right);
    const LayoutOptions descending = options(LayoutType::horizontal, Direction::descending);
    EXPECT_EQ(hoverSide(descending, NodeType::sub, right, below, f, {500, 0}), DockPointLocation::left);

    const LayoutOptions balanced = options(LayoutType::horizontal, Direction::balanced);
    EXPECT_EQ(hoverSide(balanced, NodeType::root, right, below, f, {10, 0}), DockPointLocation::left);
    EXPECT_EQ(hoverSide(balanced, NodeType::main, left, below, f, {500, 0}), DockPointLocation::left);
    EXPECT_EQ(hoverSide(balanced, NodeType::sub, right, below, f, {10, 0}), DockPointLocation::right);

    EXPECT_EQ(hoverSide(options(LayoutType::vertical, Direction::ascending), NodeType::sub, right, above, f, {0, 0}),
              DockPointLocation::bottom);
    EXPECT_EQ(hoverSide(options(LayoutType::vertical, Direction::descending), NodeType::sub, right, below, f, {0, 500}),
              DockPointLocation::top);
    const LayoutOptions vertical = options(LayoutType::vertical, Direction::balanced);
    EXPECT_EQ(hoverSide(vertical, NodeType::root, right, above, f, {0, 500}), DockPointLocation::bottom);
    EXPECT_EQ(hoverSide(vertical, NodeType::sub, right, above, f, {0, 500}), DockPointLocation::top);
}

TEST(NodeGeometry, EveryOutlinedShapeFillsItsRectangle)
{
    const Rect r(-6, -6, 112, 52);
    for (NodeShape shape : {NodeShape::rect, NodeShape::roundedRect, NodeShape::ellipse, NodeShape::embedded,
                            NodeShape::pill, NodeShape::hexagon, NodeShape::octagon, NodeShape::triangle,
                            NodeShape::diamond}) {
        const std::optional<QPainterPath> path = shapeOutline(shape, r);
        ASSERT_TRUE(path.has_value()) << stringValue(shape);
        EXPECT_EQ(path->boundingRect(), qrect(r)) << stringValue(shape);
        EXPECT_TRUE(path->contains(QPointF(50, 20))) << stringValue(shape);
    }
    EXPECT_FALSE(shapeOutline(NodeShape::underline, r));
    EXPECT_FALSE(shapeOutline(NodeShape::cloud, r));
    // A rounded rectangle leaves its corners empty; a rectangle does not.
    EXPECT_FALSE(shapeOutline(NodeShape::roundedRect, r)->contains(QPointF(-5.5, -5.5)));
    EXPECT_TRUE(shapeOutline(NodeShape::rect, r)->contains(QPointF(-5.5, -5.5)));
}

TEST(NodeGeometry, CloudStretchesTheResourceOverTheRectangle)
{
    const std::optional<QPainterPath> cloud = cloudOutline(Rect(-6, -6, 212, 72));
    ASSERT_TRUE(cloud.has_value());
    const QRectF box = cloud->boundingRect();
    EXPECT_NEAR(box.left(), -6, 1e-6);
    EXPECT_NEAR(box.top(), -6, 1e-6);
    EXPECT_NEAR(box.width(), 212, 1e-6);
    EXPECT_NEAR(box.height(), 72, 1e-6);

    EXPECT_FALSE(cloudOutline(Rect(0, 0, 10, 10), ":/no-such-cloud.svg"));

    // An outline the reader refuses (an unknown colour) is logged, not thrown.
    QTemporaryDir dir;
    const QString file = dir.filePath("cloud.svg");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("<svg xmlns=\"http://www.w3.org/2000/svg\"><path fill=\"nosuchcolour\" d=\"M0,0 L10,10 L0,10 Z\"/></svg>");
    out.close();
    LogCapture log;
    EXPECT_FALSE(cloudOutline(Rect(0, 0, 10, 10), file.toStdString()));
    EXPECT_TRUE(log.contains("cloud outline"));
    // A path without extent is skipped.
    QFile flat(dir.filePath("flat.svg"));
    ASSERT_TRUE(flat.open(QIODevice::WriteOnly));
    flat.write("<svg xmlns=\"http://www.w3.org/2000/svg\"><path d=\"M0,0 L10,0\"/></svg>");
    flat.close();
    EXPECT_FALSE(cloudOutline(Rect(0, 0, 10, 10), dir.filePath("flat.svg").toStdString()));
}
