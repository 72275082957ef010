#include "canvas/svg/pathDataParser.h"

#include <gtest/gtest.h>

#include <cmath>

#include "SVGTestSupport.h"

using namespace velquine;
using velquine::svgtest::countLines;
using velquine::svgtest::describe;

namespace {

std::string parsed(const std::string& text)
{
    return describe(pathDataParser(text).parse());
}

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

Point cubicAt(Point p0, const PathElement& e, double t)
{
    const double u = 1 - t;
    const auto coord = [&](double a, double b, double c, double d) {
        return u * u * u * a + 3 * u * u * t * b + 3 * u * t * t * c + t * t * t * d;
    };
    return {coord(p0.x, e.points[0].x, e.points[1].x, e.points[2].x),
            coord(p0.y, e.points[0].y, e.points[1].y, e.points[2].y)};
}

// Every cubic after the first move keeps within tolerance of the circle around centre (checked at its ends and
// along it); the number of cubics.
int cubicsOnCircle(const SVGBezierPath& path, Point centre, double radius)
{
    int cubics = 0;
    Point previous = path.elements().front().points[0];
    for (std::size_t i = 1; i < path.elements().size(); ++i) {
        const PathElement& e = path.elements()[i];
        EXPECT_EQ(e.type, PathElement::Type::curveTo);
        for (double t = 0; t <= 1.0; t += 0.125)
            EXPECT_NEAR(distance(cubicAt(previous, e, t), centre), radius, radius * 0.001) << "cubic " << i << " t " << t;
        previous = e.points[2];
        ++cubics;
    }
    return cubics;
}

} // namespace

TEST(PathDataParser, EmptyTextOrSeparatorsGiveAnEmptyPathAndNoMessage)
{
    LogCapture capture;
    EXPECT_TRUE(pathDataParser("").parse().isEmpty());
    EXPECT_TRUE(pathDataParser(" \n\t, ,\r\n ").parse().isEmpty());
    EXPECT_TRUE(capture.lines().empty());
}

TEST(PathDataParser, AbsoluteAndRelativeFormsOfEveryCommandDrawTheSame)
{
    // The smooth cubic after a quadratic, and the smooth quadratic after a cubic, start at the current point.
    const std::string expected = "M 10 10 | L 15 10 | L 20 10 | L 20 15 | C 21 16 22 17 23 18 | "
                                 "Q 24 19 25 20 | C 25 20 26 21 27 22 | Q 27 22 29 24 | Z";
    EXPECT_EQ(parsed("M10,10 L15,10 H20 V15 C21,16 22,17 23,18 Q24,19 25,20 S26,21 27,22 T29,24 Z"), expected);
    EXPECT_EQ(parsed("m10,10 l5,0 h5 v5 c1,1 2,2 3,3 q1,1 2,2 s1,1 2,2 t2,2 z"), expected);
}

TEST(PathDataParser, OperandGroupsRepeatTheirCommand)
{
    EXPECT_EQ(parsed("M0,0 10,0 10,10"), "M 0 0 | L 10 0 | L 10 10");
    EXPECT_EQ(parsed("m5,5 10,0 0,10"), "M 5 5 | L 15 5 | L 15 15");
    EXPECT_EQ(parsed("M0,0 l1,1 1,1"), "M 0 0 | L 1 1 | L 2 2");
    EXPECT_EQ(parsed("M0,0 H10 20 30"), "M 0 0 | L 10 0 | L 20 0 | L 30 0");
    EXPECT_EQ(parsed("M0,0 h10 20 v1 2"), "M 0 0 | L 10 0 | L 30 0 | L 30 1 | L 30 3");
    EXPECT_EQ(parsed("M0,0 C1,1 2,2 3,3 4,4 5,5 6,6 7,7 8,8 9,9"),
              "M 0 0 | C 1 1 2 2 3 3 | C 4 4 5 5 6 6 | C 7 7 8 8 9 9");
    EXPECT_EQ(parsed("M0,0 c1,1 2,2 3,3 1,1 2,2 3,3"), "M 0 0 | C 1 1 2 2 3 3 | C 4 4 5 5 6 6");
    EXPECT_EQ(parsed("M0,0 Q1,1 2,2 3,3 4,4"), "M 0 0 | Q 1 1 2 2 | Q 3 3 4 4");
    EXPECT_EQ(parsed("M0,0 q1,1 2,2 1,1 2,2"), "M 0 0 | Q 1 1 2 2 | Q 3 3 4 4");
}

TEST(PathDataParser, APathWithoutLeadingMoveStartsAtTheOrigin)
{
    EXPECT_EQ(parsed("L10,10"), "M 0 0 | L 10 10");
    EXPECT_EQ(parsed("h5"), "M 0 0 | L 5 0");
    EXPECT_EQ(parsed("Z"), "M 0 0 | Z");
    // A relative first move is taken from the origin; its later pairs are relative lines.
    EXPECT_EQ(parsed("m5,5 l5,0"), "M 5 5 | L 10 5");
    EXPECT_EQ(parsed("m5,5 5,0"), "M 5 5 | L 10 5");
}

TEST(PathDataParser, CloseReturnsToTheStartOfTheSubpath)
{
    EXPECT_EQ(parsed("M10,10 L20,10 Z l5,5"), "M 10 10 | L 20 10 | Z | L 15 15");
    // A close directly followed by a relative move: the move is taken from the subpath's start.
    EXPECT_EQ(parsed("M10,10 L20,10 L20,20 zm5,5 l1,0"), "M 10 10 | L 20 10 | L 20 20 | Z | M 15 15 | L 16 15");
    // Numbers after a close are dropped.
    EXPECT_EQ(parsed("M0,0 L10,0 Z 5 5 L0,10"), "M 0 0 | L 10 0 | Z | L 0 10");
}

TEST(PathDataParser, NumberForms)
{
    EXPECT_EQ(parsed("M1e-3,2E2"), "M 0.001 200");
    EXPECT_EQ(parsed("M1e+2 -1.5e1"), "M 100 -15");
    EXPECT_EQ(parsed("M.5.5"), "M 0.5 0.5");
    EXPECT_EQ(parsed("M-1-2"), "M -1 -2");
    EXPECT_EQ(parsed("M10-5"), "M 10 -5");
    EXPECT_EQ(parsed("M1.5.5"), "M 1.5 0.5");
    EXPECT_EQ(parsed("M+3-.5"), "M 3 -0.5");
    EXPECT_EQ(parsed("M 1. 2"), "M 1 2");
    // A leading zero stands alone; a zero before a point begins a decimal number.
    EXPECT_EQ(parsed("M05"), "M 0 5");
    EXPECT_EQ(parsed("M100 0"), "M 100 0");
    EXPECT_EQ(parsed("M0.5 0"), "M 0.5 0");
    EXPECT_EQ(parsed("M00.5"), "M 0 0.5");
    // Operands are single precision.
    const SVGBezierPath path = pathDataParser("M0.1,16777217").parse();
    EXPECT_EQ(path.elements()[0].points[0].x, double(0.1f));
    EXPECT_EQ(path.elements()[0].points[0].y, 16777216.0);
    // Underflow reads as zero.
    EXPECT_EQ(parsed("M1e-999,2"), "M 0 2");
}

TEST(PathDataParser, ANumberTooLargeForAFloatIsNoNumber)
{
    LogCapture capture;
    EXPECT_EQ(parsed("M1e39,0 L1,1"), "");
    EXPECT_TRUE(capture.contains("*** SVG parse error at index: 1: '1'"));
}

TEST(PathDataParser, SmoothCubicReflectsThePreviousCubicOnly)
{
    // After a line, the first control point is the current point.
    EXPECT_EQ(parsed("M0,0 L10,0 S20,10 30,0"), "M 0 0 | L 10 0 | C 10 0 20 10 30 0");
    // After a cubic, the reflection of its second control point.
    EXPECT_EQ(parsed("M0,0 C0,10 10,10 10,0 S20,-10 20,0"), "M 0 0 | C 0 10 10 10 10 0 | C 10 -10 20 -10 20 0");
    EXPECT_EQ(parsed("M10,10 c0,10 10,10 10,0 s10,-10 10,0"), "M 10 10 | C 10 20 20 20 20 10 | C 20 0 30 0 30 10");
    // Later groups reflect the group before.
    EXPECT_EQ(parsed("M0,0 S10,10 20,0 30,-10 40,0"), "M 0 0 | C 0 0 10 10 20 0 | C 30 -10 30 -10 40 0");
    // After a smooth cubic, again a reflection.
    EXPECT_EQ(parsed("M0,0 S10,10 20,0 S30,-10 40,0"), "M 0 0 | C 0 0 10 10 20 0 | C 30 -10 30 -10 40 0");
    // A quadratic's control point is not reflected by a smooth cubic.
    EXPECT_EQ(parsed("M0,0 Q10,10 20,0 S30,0 40,0"), "M 0 0 | Q 10 10 20 0 | C 20 0 30 0 40 0");
}

TEST(PathDataParser, SmoothQuadraticReflectsThePreviousQuadraticOnly)
{
    EXPECT_EQ(parsed("M0,0 Q10,10 20,0 T40,0"), "M 0 0 | Q 10 10 20 0 | Q 30 -10 40 0");
    EXPECT_EQ(parsed("M0,0 L10,0 T20,0"), "M 0 0 | L 10 0 | Q 10 0 20 0");
    EXPECT_EQ(parsed("M0,0 Q5,5 10,0 T20,0 30,0"), "M 0 0 | Q 5 5 10 0 | Q 15 -5 20 0 | Q 25 5 30 0");
    EXPECT_EQ(parsed("M0,0 q5,5 10,0 t10,0"), "M 0 0 | Q 5 5 10 0 | Q 15 -5 20 0");
    EXPECT_EQ(parsed("M0,0 Q5,5 10,0 T20,0 T30,0"), "M 0 0 | Q 5 5 10 0 | Q 15 -5 20 0 | Q 25 5 30 0");
    EXPECT_EQ(parsed("M0,0 C1,1 2,2 10,0 T20,0"), "M 0 0 | C 1 1 2 2 10 0 | Q 10 0 20 0");
}

TEST(PathDataParser, HalfTurnArcIsTwoQuarterCubics)
{
    // Sweep flag 1: through (5, -5); sweep flag 0: through (5, 5).
    EXPECT_EQ(parsed("M0,0 A5,5 0 0 1 10,0"),
              "M 0 0 | C 0 -2.76142 2.23858 -5 5 -5 | C 7.76142 -5 10 -2.76142 10 0");
    EXPECT_EQ(parsed("M0,0 A5,5 0 0 0 10,0"), "M 0 0 | C 0 2.76142 2.23858 5 5 5 | C 7.76142 5 10 2.76142 10 0");
    // Relative end point.
    EXPECT_EQ(parsed("M10,10 a5,5 0 0 1 10,0"),
              "M 10 10 | C 10 7.23858 12.2386 5 15 5 | C 17.7614 5 20 7.23858 20 10");
}

TEST(PathDataParser, ArcFlagsChooseTheCentreAndDirection)
{
    // From (10, 0) to (0, 10) on circles of radius 10: the small clockwise arc goes round (0, 0) in one cubic.
    const SVGBezierPath smallArc = pathDataParser("M10,0 A10,10 0 0 1 0,10").parse();
    EXPECT_EQ(cubicsOnCircle(smallArc, {0, 0}, 10), 1);
    EXPECT_NEAR(smallArc.currentPoint().x, 0, 1e-9);
    EXPECT_NEAR(smallArc.currentPoint().y, 10, 1e-9);
    // Large and clockwise: round (10, 10), three quarters of a turn.
    const SVGBezierPath largeArc = pathDataParser("M10,0 A10,10 0 1 1 0,10").parse();
    EXPECT_GE(cubicsOnCircle(largeArc, {10, 10}, 10), 3);
    EXPECT_NEAR(largeArc.currentPoint().x, 0, 1e-9);
    EXPECT_NEAR(largeArc.currentPoint().y, 10, 1e-9);
    // Small anticlockwise: round (10, 10); large anticlockwise: round (0, 0).
    EXPECT_EQ(cubicsOnCircle(pathDataParser("M10,0 A10,10 0 0 0 0,10").parse(), {10, 10}, 10), 1);
    EXPECT_GE(cubicsOnCircle(pathDataParser("M10,0 A10,10 0 1 0 0,10").parse(), {0, 0}, 10), 3);
    // Flags written as adjacent zeros, and without any separators.
    EXPECT_EQ(parsed("M0,0 A5,5 0 00 10,0"), parsed("M0,0 A5,5 0 0 0 10,0"));
    EXPECT_EQ(parsed("M0,0a5,5,0,0,1,10,0"), parsed("M0,0 A5,5 0 0 1 10,0"));
}

TEST(PathDataParser, ArcOfMoreThanThreeQuarterTurnsIsFourCubics)
{
    const SVGBezierPath path = pathDataParser("M0,0 A10,10 0 1 1 1,0").parse();
    EXPECT_EQ(cubicsOnCircle(path, {0.5, -std::sqrt(100 - 0.25)}, 10), 4);
    EXPECT_NEAR(path.currentPoint().x, 1, 1e-9);
    EXPECT_NEAR(path.currentPoint().y, 0, 1e-9);
}

TEST(PathDataParser, ArcRadiiTooSmallAreScaledUp)
{
    // Radius 1 cannot reach from (0, 0) to (10, 0): it grows to 5, a half circle round (5, 0).
    const SVGBezierPath path = pathDataParser("M0,0 A1,1 0 0 1 10,0").parse();
    EXPECT_EQ(cubicsOnCircle(path, {5, 0}, 5), 2);
    EXPECT_EQ(describe(path), parsed("M0,0 A5,5 0 0 1 10,0"));
    // Negative radii count by their size.
    EXPECT_EQ(parsed("M0,0 A-5,-5 0 0 1 10,0"), parsed("M0,0 A5,5 0 0 1 10,0"));
}

TEST(PathDataParser, RotationOfACircularArcChangesNothing)
{
    const SVGBezierPath plain = pathDataParser("M0,0 A5,5 0 0 0 10,0").parse();
    const SVGBezierPath rotated = pathDataParser("M0,0 A5,5 45 0 0 10,0").parse();
    ASSERT_EQ(plain.elements().size(), rotated.elements().size());
    for (std::size_t i = 0; i < plain.elements().size(); ++i)
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(plain.elements()[i].points[k].x, rotated.elements()[i].points[k].x, 1e-6);
            EXPECT_NEAR(plain.elements()[i].points[k].y, rotated.elements()[i].points[k].y, 1e-6);
        }
}

TEST(PathDataParser, ArcEndingWhereItStartsDrawsNothingButLaterGroupsDraw)
{
    EXPECT_EQ(parsed("M5,5 A5,5 0 0 1 5,5 5,5 0 0 1 15,5"),
              "M 5 5 | C 5 2.23858 7.23858 0 10 0 | C 12.7614 0 15 2.23858 15 5");
    EXPECT_EQ(parsed("M5,5 A5,5 0 0 1 5,5"), "M 5 5");
}

TEST(PathDataParser, ArcWithZeroRadiusIsAStraightLine)
{
    EXPECT_EQ(parsed("M0,0 A0,5 0 0 1 10,10"), "M 0 0 | L 10 10");
    EXPECT_EQ(parsed("M0,0 A5,0 30 1 0 10,10"), "M 0 0 | L 10 10");
    EXPECT_EQ(parsed("M0,0 a0,0 0 0 0 -10,4"), "M 0 0 | L -10 4");
    // Radii so small that their squares vanish still give a finite curve or the line.
    const SVGBezierPath tiny = pathDataParser("M0,0 A1e-30,1e-30 0 0 1 10,0").parse();
    EXPECT_NEAR(tiny.currentPoint().x, 10, 1e-9);
    for (const PathElement& e : tiny.elements())
        for (const Point& p : e.points)
            EXPECT_TRUE(p.isFinite());
}

TEST(PathDataParser, WrongOperandCountsAreReportedAndSkipThatCommand)
{
    LogCapture capture;
    EXPECT_EQ(parsed("M0,0 C1,2,3,4,5,6,7 L1,1"), "M 0 0 | L 1 1");
    EXPECT_TRUE(capture.contains("*** Error: Invalid number of parameters for C command"));
    EXPECT_EQ(parsed("M0,0 S1,2,3 L1,1"), "M 0 0 | L 1 1");
    EXPECT_TRUE(capture.contains("*** Error: Invalid number of parameters for S command"));
    EXPECT_EQ(parsed("M0,0 Q1,2,3 L1,1"), "M 0 0 | L 1 1");
    EXPECT_TRUE(capture.contains("*** Error: Invalid number of parameters for Q command"));
    EXPECT_EQ(parsed("M0,0 T1 L1,1"), "M 0 0 | L 1 1");
    EXPECT_TRUE(capture.contains("*** Error: Invalid number of parameters for T command"));
    EXPECT_EQ(parsed("M0,0 A1,2,3,4,5,6 L1,1"), "M 0 0 | L 1 1");
    EXPECT_TRUE(capture.contains("*** Error: Invalid number of parameters for A command"));
    EXPECT_EQ(parsed("M1,2,3 L1,1"), "M 0 0 | L 1 1");
    EXPECT_TRUE(capture.contains("*** Error: Invalid parameter count in M style token"));
    // The line command draws its complete pairs before the lone number.
    capture.clear();
    EXPECT_EQ(parsed("M0,0 L1,1 2,2 3"), "M 0 0 | L 1 1 | L 2 2");
    EXPECT_EQ(countLines(capture, "*** Error: Invalid parameter count in L style token"), 1);
}

TEST(PathDataParser, AStrayCharacterStopsParsingWhereItStands)
{
    LogCapture capture;
    EXPECT_EQ(parsed("  M0,0 L10,10 X5,5 L20,20"), "M 0 0 | L 10 10");
    EXPECT_EQ(countLines(capture, "*** SVG parse error at index: 12: 'X'"), 1);
    EXPECT_EQ(capture.lines().size(), 1u);
}

TEST(PathDataParser, RunsOfLettersConsumeOneLetterAtATime)
{
    EXPECT_EQ(parsed("M0,0 L5,0 ZM10,10 L11,10"), "M 0 0 | L 5 0 | Z | M 10 10 | L 11 10");
    // A letter that gets no operands draws nothing.
    EXPECT_EQ(parsed("Mm5,5 l1,0"), "M 5 5 | L 6 5");
}

TEST(PathDataParser, ThePainterPathHasTheGeometry)
{
    const SVGBezierPath square = pathDataParser("M0,0 L10,0 L10,10 L0,10 Z").parse();
    const QPainterPath& qt = square.CGPath();
    EXPECT_EQ(qt.fillRule(), Qt::WindingFill);
    EXPECT_TRUE(qt.contains(QPointF(8, 2)));
    EXPECT_FALSE(qt.contains(QPointF(12, 2)));
    EXPECT_EQ(square.bounds(), (Rect{0, 0, 10, 10}));
    // A quadratic is drawn exactly: its peak is half its control point's height.
    const SVGBezierPath quad = pathDataParser("M0,0 Q10,10 20,0").parse();
    EXPECT_EQ(quad.bounds(), (Rect{0, 0, 20, 5}));
}
