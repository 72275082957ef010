#include "canvas/layers/BranchGeometry.h"
#include "canvas/layers/StrokeMetrics.h"

#include <gtest/gtest.h>

using namespace velquine;
using BranchType = LayoutOptions::BranchType;
using LayoutType = LayoutOptions::LayoutType;

namespace {

BranchEnd end(Rect frame, NodeType type, NodeShape shape = NodeShape::roundedRect,
              StrokeThickness border = StrokeThickness::medium)
{
    return BranchEnd{frame, frame.center(), shape, border, type};
}

DockPoints docks(Point parent, Point child)
{
    DockPoints points;
    points.parentDockPoint = parent;
    points.childDockPoint = child;
    points.parentNodeOrigin = parent;
    points.childNodeOrigin = child;
    return points;
}

std::vector<QPointF> elementPoints(const QPainterPath& path)
{
    std::vector<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.emplace_back(path.elementAt(i).x, path.elementAt(i).y);
    return points;
}

} // namespace

TEST(StrokeMetrics, WidthsAndDashPatternsInPoints)
{
    const std::vector<double> widths{0.0, 1.5, 2.25, 3.75, 5.25, 6.0, 6.75};
    for (std::int64_t raw = 0; raw <= 6; ++raw)
        EXPECT_EQ(strokeWidth(*strokeThicknessFromRawValue(raw)), widths[std::size_t(raw)]);
    EXPECT_TRUE(dashPattern(StrokeStyle::solid).empty());
    EXPECT_EQ(dashPattern(StrokeStyle::dashed), (std::vector<double>{10, 10}));
    EXPECT_EQ(dashPattern(StrokeStyle::dashed2), (std::vector<double>{8, 8}));
    EXPECT_EQ(dashPattern(StrokeStyle::dashed3), (std::vector<double>{6, 6}));
    EXPECT_EQ(dashPattern(StrokeStyle::dotted), (std::vector<double>{2, 2}));
}

TEST(BranchGeometry, HorizontalDockPoints)
{
    const Rect root(0, 0, 100, 40);
    const Rect right(200, 100, 80, 30);
    const Rect left(-200, 100, 80, 30);

    // A root that is not underlined docks at its centre; the child at the side facing the parent.
    DockPoints p = horizontalDockPoints(end(root, NodeType::root), end(right, NodeType::main), BranchType::rounded);
    EXPECT_EQ(p.parentDockPoint, (Point{50, 20}));
    EXPECT_EQ(p.childDockPoint, (Point{200, 115}));
    EXPECT_EQ(p.parentNodeOrigin, (Point{50, 20}));
    EXPECT_EQ(p.childNodeOrigin, (Point{240, 115}));

    // A non-root parent docks at its facing side; a child on the left enters at its right edge.
    p = horizontalDockPoints(end(root, NodeType::main), end(left, NodeType::sub), BranchType::rounded);
    EXPECT_EQ(p.parentDockPoint, (Point{0, 20}));
    EXPECT_EQ(p.childDockPoint, (Point{-120, 115}));

    // An underlined root with a visible underline docks at its bottom edge on the facing side, and so does an
    // underlined child.
    p = horizontalDockPoints(end(root, NodeType::root, NodeShape::underline),
                             end(right, NodeType::main, NodeShape::underline), BranchType::line);
    EXPECT_EQ(p.parentDockPoint, (Point{100, 40}));
    EXPECT_EQ(p.childDockPoint, (Point{200, 130}));
    p = horizontalDockPoints(end(root, NodeType::root, NodeShape::underline, StrokeThickness::invisible),
                             end(right, NodeType::main, NodeShape::underline, StrokeThickness::invisible),
                             BranchType::line);
    EXPECT_EQ(p.parentDockPoint, (Point{100, 20}));
    EXPECT_EQ(p.childDockPoint, (Point{200, 115}));

    // Level with the parent: right edges for rounded branches, the parent's left edge for angular ones.
    const Rect level(25, 50, 50, 20);
    p = horizontalDockPoints(end(root, NodeType::main), end(level, NodeType::sub), BranchType::rounded);
    EXPECT_EQ(p.parentDockPoint, (Point{100, 20}));
    EXPECT_EQ(p.childDockPoint, (Point{75, 60}));
    p = horizontalDockPoints(end(root, NodeType::root), end(level, NodeType::sub), BranchType::angular);
    EXPECT_EQ(p.parentDockPoint, (Point{0, 20}));
}

TEST(BranchGeometry, VerticalDockPoints)
{
    const Rect parent(0, 0, 100, 40);
    const Rect below(100, 100, 80, 30);
    const Rect above(100, -100, 80, 30);
    DockPoints p = verticalDockPoints(end(parent, NodeType::root), end(below, NodeType::main), BranchType::rounded);
    EXPECT_EQ(p.parentDockPoint, (Point{50, 20}));
    EXPECT_EQ(p.childDockPoint, (Point{140, 100}));
    p = verticalDockPoints(end(parent, NodeType::root, NodeShape::underline), end(above, NodeType::main),
                           BranchType::rounded);
    EXPECT_EQ(p.parentDockPoint, (Point{50, 0}));
    EXPECT_EQ(p.childDockPoint, (Point{140, -70}));
    p = verticalDockPoints(end(parent, NodeType::root), end(below, NodeType::main), BranchType::angular);
    EXPECT_EQ(p.parentDockPoint, (Point{50, 40}));
    // Level: the child keeps its centre, an angular branch leaves from the parent's bottom edge.
    p = verticalDockPoints(end(parent, NodeType::root), end(Rect(200, 0, 100, 40), NodeType::main),
                           BranchType::angular);
    EXPECT_EQ(p.childDockPoint, (Point{250, 20}));
    EXPECT_EQ(p.parentDockPoint, (Point{50, 40}));
}

TEST(BranchGeometry, RoundedCurvesLeaveAlongTheLayoutAxis)
{
    // A child to the left of its parent: the control offset is negative.
    DockPoints p = docks({0, 0}, {-100, 0});
    QPainterPath path = branchPath(p, LayoutType::horizontal, BranchType::rounded);
    ASSERT_EQ(path.elementCount(), 4);
    EXPECT_EQ(elementPoints(path)[1], QPointF(-20, 0));
    EXPECT_EQ(elementPoints(path)[2], QPointF(-80, 0));

    p = docks({0, 0}, {30, 40});
    path = branchPath(p, LayoutType::vertical, BranchType::rounded);
    EXPECT_EQ(elementPoints(path)[1], QPointF(0, 5));
    EXPECT_EQ(elementPoints(path)[2], QPointF(30, 35));

    path = branchPath(p, LayoutType::vertical, BranchType::line);
    EXPECT_EQ(elementPoints(path), (std::vector<QPointF>{{0, 0}, {30, 40}}));
}

TEST(BranchGeometry, AngularElbowsHaveTangentCorners)
{
    // Level dock points give no corner: a straight line.
    QPainterPath path = branchPath(docks({0, 0}, {100, 0}), LayoutType::horizontal, BranchType::angular);
    EXPECT_EQ(elementPoints(path), (std::vector<QPointF>{{0, 0}, {100, 0}}));

    // |dx| = 20, |dy| = 6: radius 3. The elbow runs through x = 10 and ends exactly at the child.
    path = branchPath(docks({0, 0}, {20, 6}), LayoutType::horizontal, BranchType::angular);
    EXPECT_EQ(path.currentPosition(), QPointF(20, 6));
    const QRectF box = path.boundingRect();
    EXPECT_NEAR(box.left(), 0, 1e-9);
    EXPECT_NEAR(box.right(), 20, 1e-9);
    EXPECT_NEAR(box.top(), 0, 1e-9);
    EXPECT_NEAR(box.bottom(), 6, 1e-9);
    // The first corner is rounded: the path passes 3 points before the corner at (10, 0) and 3 below it.
    EXPECT_TRUE(path.elementAt(1).x == 7.0 && path.elementAt(1).y == 0.0);
    EXPECT_NEAR(path.pointAtPercent(0.5).x(), 10, 1e-3);

    // Both deltas above 8: radius 4, the curve reaches the vertical leg 4 points below the first corner.
    path = branchPath(docks({0, 0}, {100, 50}), LayoutType::horizontal, BranchType::angular);
    EXPECT_TRUE(path.elementAt(1).x == 46.0 && path.elementAt(1).y == 0.0);
    EXPECT_NEAR(path.pointAtPercent(0.5).x(), 50, 1e-3);
    EXPECT_NEAR(path.pointAtPercent(0.5).y(), 25, 1e-3);
    EXPECT_EQ(path.currentPosition(), QPointF(100, 50));
}

TEST(BranchGeometry, ShorterBranchesLieAbove)
{
    EXPECT_DOUBLE_EQ(branchZPosition({0, 0}, {10, 0}), -10.99);
    EXPECT_DOUBLE_EQ(branchZPosition({0, 0}, {0, 100}), -10.9999);
    EXPECT_EQ(branchZPosition({5, 5}, {5, 5}), -11.0);
}
