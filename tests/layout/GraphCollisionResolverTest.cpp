#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "layout/GraphCollisionResolver.h"
#include "platform/Log.h"

using namespace velquine;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Node makeNode(std::int64_t uid, Point center, Size size, std::optional<std::int64_t> parent = std::nullopt)
{
    Node node(uid, parent, NodeStyle());
    node.center = center;
    node.size = size;
    node.title = "node " + std::to_string(uid);
    node.note = "note of " + std::to_string(uid);
    node.createdTimestamp = 1000.0 + static_cast<double>(uid);
    return node;
}

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Same nodes, same order, every field equal.
void expectUnchanged(const std::vector<Node>& result, const std::vector<Node>& input)
{
    ASSERT_EQ(result.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        EXPECT_EQ(result[i].uid, input[i].uid) << "at " << i;
        EXPECT_FALSE(result[i].differs(input[i])) << "at " << i;
    }
}

// Same nodes in the same order, differing at most in their centres.
void expectOnlyCentresChanged(const std::vector<Node>& result, const std::vector<Node>& input)
{
    ASSERT_EQ(result.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        EXPECT_EQ(result[i].uid, input[i].uid) << "at " << i;
        Node withOldCentre = result[i];
        withOldCentre.center = input[i].center;
        EXPECT_FALSE(withOldCentre.differs(input[i])) << "at " << i;
        EXPECT_EQ(result[i].modifiedTimestamp, input[i].modifiedTimestamp) << "at " << i;
    }
}

// The answer the resolver's pre-test must give: every ordered pair of different identifiers tested, two or more
// hits meaning overlap.
bool overlapByAllPairs(const std::vector<Node>& nodes)
{
    int count = 0;
    for (std::size_t a = 0; a < nodes.size(); ++a) {
        for (std::size_t b = 0; b < nodes.size(); ++b) {
            if (nodes[a].uid != nodes[b].uid
                && GraphCollisionResolver::frame(nodes[a]).intersects(GraphCollisionResolver::frame(nodes[b])))
                ++count;
        }
    }
    return count >= 2;
}

bool anyFramesIntersect(const std::vector<Node>& nodes) { return overlapByAllPairs(nodes); }

} // namespace

// ---- Nothing to do ----

TEST(GraphCollisionResolver, NoNodesOneNodeAndApartNodesComeBackUnchanged)
{
    const GraphCollisionResolver resolver;
    EXPECT_TRUE(resolver.resolve({}).empty());

    const std::vector<Node> one{makeNode(1, {0, 0}, {100, 40})};
    expectUnchanged(resolver.resolve(one), one);

    // Apart by one point horizontally, vertically and diagonally, in an order that is no sorted order.
    const std::vector<Node> apart{
        makeNode(3, {0, 0}, {100, 40}),
        makeNode(1, {101, 0}, {100, 40}),
        makeNode(2, {0, 41}, {100, 40}),
        makeNode(4, {101.5, 40.5}, {100, 40}),
    };
    ASSERT_FALSE(GraphCollisionResolver::hasOverlap(apart));
    expectUnchanged(resolver.resolve(apart), apart);
}

TEST(GraphCollisionResolver, FrameIsTheSizeCentredOnTheCentre)
{
    EXPECT_EQ(GraphCollisionResolver::frame(makeNode(1, {50, 20}, {100, 40})), Rect(0, 0, 100, 40));
    EXPECT_EQ(GraphCollisionResolver::frame(makeNode(1, {-3, 7}, {0, 0})), Rect(-3, 7, 0, 0));
    EXPECT_EQ(GraphCollisionResolver::frame(makeNode(1, {0, 0}, {-10, 4})), Rect(5, -2, -10, 4));
}

TEST(GraphCollisionResolver, OnlyNodesWithTheSameIdentifierOverlappingCountsAsApart)
{
    // A node listed twice does not collide with itself.
    const std::vector<Node> nodes{makeNode(5, {0, 0}, {100, 40}), makeNode(5, {10, 10}, {100, 40}),
                                  makeNode(6, {500, 0}, {100, 40})};
    EXPECT_FALSE(GraphCollisionResolver::hasOverlap(nodes));
    expectUnchanged(GraphCollisionResolver().resolve(nodes), nodes);
}

// ---- Separation ----

TEST(GraphCollisionResolver, TwoOverlappingNodesEndFartherApartWithoutOverlap)
{
    const std::vector<Node> input{makeNode(1, {0, 0}, {100, 40}), makeNode(2, {30, 10}, {100, 40})};
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    expectOnlyCentresChanged(result, input);
    EXPECT_GT(distance(result[0].center, result[1].center), distance(input[0].center, input[1].center));
    // The frames no longer meet: the rounding keeps more than one radius between them (the boxes may turn
    // while they part, so the axis-aligned gap is not the full 40 points).
    EXPECT_FALSE(anyFramesIntersect(result));
    const Rect a = GraphCollisionResolver::frame(result[0]);
    const Rect b = GraphCollisionResolver::frame(result[1]);
    const double gapY = std::max(b.minY() - a.maxY(), a.minY() - b.maxY());
    const double gapX = std::max(b.minX() - a.maxX(), a.minX() - b.maxX());
    EXPECT_GT(std::max(gapX, gapY), 20.0);
    EXPECT_LT(std::max(gapX, gapY), 41.0);
    // Equal masses without gravity: the two move apart about their common midpoint.
    EXPECT_NEAR((result[0].center.x + result[1].center.x) / 2, 15.0, 1e-9);
    EXPECT_NEAR((result[0].center.y + result[1].center.y) / 2, 5.0, 1e-9);
    // Resolving the result again finds nothing to do.
    expectUnchanged(GraphCollisionResolver().resolve(result), result);
}

TEST(GraphCollisionResolver, FramesThatOnlyTouchCountAsOverlapping)
{
    // Sharing the edge x = 50, and in the second case only the corner (50, 20).
    const std::vector<Node> edge{makeNode(1, {0, 0}, {100, 40}), makeNode(2, {100, 0}, {100, 40})};
    const std::vector<Node> corner{makeNode(1, {0, 0}, {100, 40}), makeNode(2, {100, 40}, {100, 40})};
    for (const auto& input : {edge, corner}) {
        ASSERT_TRUE(GraphCollisionResolver::hasOverlap(input));
        const std::vector<Node> result = GraphCollisionResolver().resolve(input);
        expectOnlyCentresChanged(result, input);
        EXPECT_GT(distance(result[0].center, result[1].center), distance(input[0].center, input[1].center) + 30);
    }
}

TEST(GraphCollisionResolver, OverlapBetweenTreesCountsLikeOverlapWithinATree)
{
    // Two roots, each with a child; only the children of different trees overlap.
    const std::vector<Node> input{
        makeNode(1, {0, 0}, {100, 40}),
        makeNode(2, {0, 200}, {100, 40}, 1),
        makeNode(3, {400, 0}, {100, 40}),
        makeNode(4, {60, 210}, {100, 40}, 3),
    };
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    expectOnlyCentresChanged(result, input);
    EXPECT_GT(distance(result[1].center, result[3].center), distance(input[1].center, input[3].center));
    EXPECT_EQ(result[1].parentUID, std::optional<std::int64_t>(1));
    EXPECT_EQ(result[3].parentUID, std::optional<std::int64_t>(3));
}

TEST(GraphCollisionResolver, EveryNodeComesBackInInputOrderIncludingThoseThatStay)
{
    // Identifiers out of order; nodes 7 and 9 are far from everything, 3 and 5 overlap.
    std::vector<Node> input{
        makeNode(7, {-1000, -1000}, {80, 30}),
        makeNode(5, {0, 0}, {120, 48}),
        makeNode(9, {2000, 500}, {80, 30}),
        makeNode(3, {20, 5}, {120, 48}),
    };
    input[1].modifiedTimestamp = 1234.5;
    input[1].childrenUIDs = {3};
    input[3].parentUID = 5;
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    expectOnlyCentresChanged(result, input);
    // Bodies that never touch anything stay exactly where they were.
    EXPECT_EQ(result[0].center, input[0].center);
    EXPECT_EQ(result[2].center, input[2].center);
    EXPECT_NE(result[1].center, input[1].center);
    EXPECT_NE(result[3].center, input[3].center);
    EXPECT_FALSE(anyFramesIntersect(result));
}

TEST(GraphCollisionResolver, APileOfNodesIsSpreadUntilNoFramesMeet)
{
    std::vector<Node> input;
    for (int i = 0; i < 6; ++i)
        input.push_back(makeNode(i + 1, {i * 15.0, i * 7.0}, {100, 40}));
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    expectOnlyCentresChanged(result, input);
    EXPECT_FALSE(anyFramesIntersect(result));
    for (const Node& node : result)
        EXPECT_TRUE(node.center.isFinite());
}

TEST(GraphCollisionResolver, NodesOnTheSameCentreArePartedToo)
{
    // Equal boxes on one point give the physics no direction to part them in.
    const std::vector<Node> pair{makeNode(1, {10, 10}, {100, 40}), makeNode(2, {10, 10}, {100, 40})};
    const std::vector<Node> parted = GraphCollisionResolver().resolve(pair);
    expectOnlyCentresChanged(parted, pair);
    EXPECT_GT(distance(parted[0].center, parted[1].center), 40.0);
    EXPECT_FALSE(anyFramesIntersect(parted));

    std::vector<Node> stack;
    for (int i = 0; i < 5; ++i)
        stack.push_back(makeNode(i + 1, {0, 0}, {80, 30}));
    const std::vector<Node> spread = GraphCollisionResolver().resolve(stack);
    expectOnlyCentresChanged(spread, stack);
    EXPECT_FALSE(anyFramesIntersect(spread));
}

TEST(GraphCollisionResolver, BodiesStillMovingAfterTheLastPassAreLoggedAndReturnedAsTheyAre)
{
    // These two part within a few steps but keep creeping by fractions of a point afterwards.
    const std::vector<Node> input{makeNode(1, {34, 7}, {100, 40}), makeNode(2, {2, 11}, {100, 40})};
    LogCapture capture;
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("GraphCollisionResolver.cpp:"), std::string::npos);
    EXPECT_TRUE(lines[0].ends_with(" resolve(nodes:) - Safeguard hit in loop! something's wrong!")) << lines[0];
    EXPECT_TRUE(lines[1].ends_with(" resolve(nodes:) - changecount is: 1")) << lines[1];
    expectOnlyCentresChanged(result, input);
    EXPECT_FALSE(anyFramesIntersect(result));
    EXPECT_NEAR((result[0].center.x + result[1].center.x) / 2, 18.0, 1e-9);
    EXPECT_NEAR((result[0].center.y + result[1].center.y) / 2, 9.0, 1e-9);
}

TEST(GraphCollisionResolver, OneOverlapInAPackedColumnMovesOnlyTheNodesAroundIt)
{
    // 400 nodes 20 points apart: every rounded body presses on its neighbours, as on a laid-out map. One node
    // dropped onto its neighbour in the middle.
    std::vector<Node> input;
    for (int i = 0; i < 400; ++i)
        input.push_back(makeNode(i + 1, {800, i * 58.0}, {98, 38}));
    input[200].center = {810, input[201].center.y + 10};
    ASSERT_TRUE(GraphCollisionResolver::hasOverlap(input));
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    expectOnlyCentresChanged(result, input);
    EXPECT_FALSE(anyFramesIntersect(result));
    std::size_t moved = 0;
    for (std::size_t i = 0; i < input.size(); ++i)
        moved += result[i].center != input[i].center ? 1 : 0;
    EXPECT_GE(moved, 2u);
    EXPECT_LT(moved, 200u);
    // The ends of the column, far from the overlap, stay exactly where they were.
    for (std::size_t i : {std::size_t{0}, std::size_t{50}, std::size_t{350}, std::size_t{399}})
        EXPECT_EQ(result[i].center, input[i].center) << "at " << i;
}

TEST(GraphCollisionResolver, OverlapsAcrossABigPackedMapStopAtTheBoundOnTheWork)
{
    // 5,000 nodes in columns of 50, 10 points apart, every hundredth dropped halfway onto its neighbour: the
    // rounded bodies all press on their neighbours, so the motion spreads from body to body over the map.
    std::vector<Node> input;
    for (int i = 0; i < 5000; ++i)
        input.push_back(makeNode(i + 1, {(i / 50) * 160.0, (i % 50) * 50.0 + (i % 100 == 0 ? 25 : 0)}, {100, 40}));
    LogCapture capture;
    GraphCollisionResolver::Settling settling;
    const std::vector<Node> result = GraphCollisionResolver().resolve(input, {}, &settling);
    expectOnlyCentresChanged(result, input);
    // Stopped before the last pass, at the bound: one more step would have passed it.
    EXPECT_FALSE(settling.settled);
    EXPECT_LT(settling.steps, 129);
    EXPECT_LE(settling.bodySteps, GraphCollisionResolver::maxBodySteps);
    EXPECT_GT(settling.bodySteps + input.size(), GraphCollisionResolver::maxBodySteps);
    // Logged as the stop it is, not as the safeguard of the last pass.
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" resolve(nodes:) - Stopped at the bound on the work after "
                            + std::to_string(settling.steps) + " steps (" + std::to_string(settling.bodySteps)
                            + " body steps of at most 100000); bodies moved in the last step: "),
              std::string::npos)
        << lines[0];
}

TEST(GraphCollisionResolver, ABigTreePastedOntoTheMapIsPartedOverEveryPass)
{
    // A tree of 500 nodes laid out in columns, and a copy of it pasted a little below and to the right: 1,000
    // bodies move from the start, more than the least bound on the work lets move for every pass.
    std::vector<Node> input;
    for (int i = 0; i < 1000; ++i) {
        const Point offset = i < 500 ? Point{0, 0} : Point{50, 20};
        input.push_back(makeNode(i + 1, {(i % 500 / 50) * 160.0 + offset.x, (i % 50) * 50.0 + offset.y}, {100, 40}));
    }
    ASSERT_GT(input.size() * 129, GraphCollisionResolver::maxBodySteps);
    LogCapture capture;
    GraphCollisionResolver::Settling settling;
    const std::vector<Node> result = GraphCollisionResolver().resolve(input, {}, &settling);
    expectOnlyCentresChanged(result, input);
    // Parted as far as its own overlaps take it: stopped by the passes, not by the bound on the work.
    EXPECT_EQ(settling.steps, 129);
    EXPECT_GT(settling.bodySteps, GraphCollisionResolver::maxBodySteps);
    const std::vector<std::string> lines = capture.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines[0].ends_with(" resolve(nodes:) - Safeguard hit in loop! something's wrong!")) << lines[0];
}

// ---- Unusual values ----

TEST(GraphCollisionResolver, ANodeWithoutSizeCollidesWithItsTrueSize)
{
    // A body without area would have no turning inertia, which the physics library refuses.
    const std::vector<Node> input{makeNode(1, {0, 0}, {100, 40}), makeNode(2, {10, 5}, {0, 0})};
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    expectOnlyCentresChanged(result, input);
    EXPECT_EQ(result[1].size, Size(0, 0));
    EXPECT_TRUE(result[0].center.isFinite());
    EXPECT_TRUE(result[1].center.isFinite());
    // The point ends outside the box by about the rounding of both shapes, not by a box of 1 by 1.
    const Rect box = GraphCollisionResolver::frame(result[0]);
    const double outside = std::max({box.minX() - result[1].center.x, result[1].center.x - box.maxX(),
                                     box.minY() - result[1].center.y, result[1].center.y - box.maxY()});
    EXPECT_GT(outside, 39.0);
    EXPECT_LT(outside, 41.0);

    // Two sizeless nodes on one spot, and sizeless nodes in a line.
    const std::vector<Node> points{makeNode(1, {0, 0}, {0, 0}), makeNode(2, {0, 0}, {0, 0}),
                                   makeNode(3, {0, 10}, {0, 100}), makeNode(4, {10, 0}, {100, 0})};
    const std::vector<Node> spread = GraphCollisionResolver().resolve(points);
    expectOnlyCentresChanged(spread, points);
    for (const Node& node : spread)
        EXPECT_TRUE(node.center.isFinite());
}

TEST(GraphCollisionResolver, NegativeSizesCollideAsTheirFrames)
{
    const std::vector<Node> input{makeNode(1, {0, 0}, {-100, -40}), makeNode(2, {30, 10}, {100, 40})};
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    expectOnlyCentresChanged(result, input);
    EXPECT_EQ(result[0].size, Size(-100, -40));
    EXPECT_FALSE(anyFramesIntersect(result));
}

TEST(GraphCollisionResolver, NodesWithNonFiniteValuesKeepTheirCentresAndTheOthersStillSeparate)
{
    // The physics library stops the process on a position that is not finite, so these stay out of it.
    const std::vector<Node> input{
        makeNode(1, {kNaN, 0}, {100, 40}),
        makeNode(2, {0, 0}, {100, 40}),
        makeNode(3, {kInf, -kInf}, {100, 40}),
        makeNode(4, {30, 10}, {100, 40}),
        makeNode(5, {0, 0}, {kNaN, 40}),
        makeNode(6, {10, 0}, {kInf, kInf}),
    };
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    ASSERT_EQ(result.size(), input.size());
    EXPECT_TRUE(std::isnan(result[0].center.x));
    EXPECT_EQ(result[0].center.y, 0.0);
    EXPECT_EQ(result[2].center.x, kInf);
    EXPECT_EQ(result[2].center.y, -kInf);
    EXPECT_EQ(result[4].center, input[4].center);
    EXPECT_EQ(result[5].center, input[5].center);
    EXPECT_GT(distance(result[1].center, result[3].center), distance(input[1].center, input[3].center));
    for (std::size_t i = 0; i < input.size(); ++i)
        EXPECT_EQ(result[i].uid, input[i].uid);
}

TEST(GraphCollisionResolver, NonFiniteSimulatedPositionsLeaveTheCentre)
{
    const Point original{12.5, -3};
    EXPECT_EQ(GraphCollisionResolver::settledCenter(original, {40, 50}), Point(40, 50));
    EXPECT_EQ(GraphCollisionResolver::settledCenter(original, {kNaN, 50}), original);
    EXPECT_EQ(GraphCollisionResolver::settledCenter(original, {40, kInf}), original);
    EXPECT_EQ(GraphCollisionResolver::settledCenter(original, {-kInf, kNaN}), original);
}

TEST(GraphCollisionResolver, RepeatedIdentifiersKeepTheirOwnFields)
{
    // Each entry keeps its own title and size; none is replaced by a copy of the first with that identifier.
    std::vector<Node> input{makeNode(8, {0, 0}, {100, 40}), makeNode(8, {400, 0}, {60, 20}),
                            makeNode(9, {20, 10}, {100, 40})};
    input[1].title = "second with 8";
    const std::vector<Node> result = GraphCollisionResolver().resolve(input);
    expectOnlyCentresChanged(result, input);
    EXPECT_EQ(result[1].title, "second with 8");
    EXPECT_EQ(result[1].center, input[1].center);
    EXPECT_GT(distance(result[0].center, result[2].center), distance(input[0].center, input[2].center));
}

TEST(GraphCollisionResolver, ResolvingWritesNoDebugLinesWhenTheNodesSettle)
{
    LogCapture capture;
    const std::vector<Node> input{makeNode(1, {0, 0}, {100, 40}), makeNode(2, {30, 10}, {100, 40})};
    GraphCollisionResolver::Settling settling;
    GraphCollisionResolver().resolve(input, {}, &settling);
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(settling.settled);
    EXPECT_EQ(settling.bodySteps, 2u * std::size_t(settling.steps));
}

// ---- Overlap pre-test ----

TEST(GraphCollisionResolver, PreTestAgreesWithEveryOrderedPairOnRandomLayouts)
{
    std::mt19937_64 random(20261207);
    int overlapping = 0;
    int apart = 0;
    for (int round = 0; round < 3000; ++round) {
        const int count = std::uniform_int_distribution<int>(0, 40)(random);
        // Whole-point coordinates on a small field make edges that only touch, and repeats, common.
        const int field = std::uniform_int_distribution<int>(20, 2000)(random);
        std::uniform_int_distribution<int> coordinate(0, field);
        std::uniform_int_distribution<int> side(0, 60);
        std::uniform_int_distribution<int> percent(0, 99);
        std::vector<Node> nodes;
        for (int i = 0; i < count; ++i) {
            Point c{static_cast<double>(coordinate(random)), static_cast<double>(coordinate(random))};
            Size s{static_cast<double>(side(random)) * 2, static_cast<double>(side(random)) * 2};
            const int kind = percent(random);
            if (kind < 5)
                s = {0, 0};
            else if (kind < 8)
                s.width = -s.width;
            else if (kind < 9)
                c.x = kNaN;
            else if (kind < 10)
                s.height = kInf;
            else if (kind < 11)
                c.y = -kInf;
            else if (kind < 12)
                s.width = kNaN;
            else if (kind < 13)
                c.x += 0.25;
            std::int64_t uid = i + 1;
            if (percent(random) < 4 && i > 0)
                uid = std::uniform_int_distribution<int>(1, i)(random); // a repeated identifier
            nodes.push_back(makeNode(uid, c, s));
        }
        const bool expected = overlapByAllPairs(nodes);
        ASSERT_EQ(GraphCollisionResolver::hasOverlap(nodes), expected) << "round " << round;
        (expected ? overlapping : apart)++;
    }
    // Both answers occur often enough for the comparison to mean something.
    EXPECT_GT(overlapping, 500);
    EXPECT_GT(apart, 500);
}

TEST(GraphCollisionResolver, PreTestOnRowsColumnsAndNestedFrames)
{
    // A column and a row of nodes exactly one point apart: no overlap however long.
    std::vector<Node> column;
    std::vector<Node> row;
    for (int i = 0; i < 500; ++i) {
        column.push_back(makeNode(i + 1, {0, i * 41.0}, {100, 40}));
        row.push_back(makeNode(i + 1, {i * 101.0, 0}, {100, 40}));
    }
    EXPECT_FALSE(GraphCollisionResolver::hasOverlap(column));
    EXPECT_FALSE(GraphCollisionResolver::hasOverlap(row));
    // Moving the last one up by a point makes it touch its neighbour.
    column.back().center.y -= 1;
    row.back().center.x -= 1;
    EXPECT_TRUE(GraphCollisionResolver::hasOverlap(column));
    EXPECT_TRUE(GraphCollisionResolver::hasOverlap(row));

    // A small frame wholly inside a large one, met only after frames that start further left have ended.
    const std::vector<Node> nested{makeNode(1, {0, 0}, {1000, 1000}), makeNode(2, {-300, 600}, {50, 50}),
                                   makeNode(3, {200, 200}, {10, 10})};
    EXPECT_TRUE(GraphCollisionResolver::hasOverlap(nested));
    // A frame spanning several others vertically, starting right of where they start.
    const std::vector<Node> spanning{makeNode(1, {0, 0}, {100, 40}), makeNode(2, {0, 100}, {100, 40}),
                                     makeNode(3, {0, 200}, {100, 40}), makeNode(4, {40, 100}, {10, 300})};
    EXPECT_TRUE(GraphCollisionResolver::hasOverlap(spanning));
    // A NaN centre: the rectangle test lets such a frame meet the others.
    const std::vector<Node> withNaN{makeNode(1, {kNaN, 0}, {100, 40}), makeNode(2, {500, 0}, {100, 40})};
    EXPECT_EQ(GraphCollisionResolver::hasOverlap(withNaN), overlapByAllPairs(withNaN));
}
