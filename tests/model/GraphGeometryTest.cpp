#include "model/graph/Graph.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

using namespace velquine;

namespace {

Node placed(std::int64_t uid, Point center, Size size)
{
    Node node(uid, std::nullopt, NodeStyle());
    node.center = center;
    node.size = size;
    return node;
}

// A graph whose bounding rectangle is the given one: one node filling it.
Graph graphBounded(const Rect& r)
{
    Graph graph;
    graph.storeNodes({placed(1, r.center(), r.size)});
    return graph;
}

} // namespace

TEST(GraphGeometry, BoundingRectangles)
{
    EXPECT_EQ(Graph::boundingRect({placed(1, {100, 50}, {98, 38})}), Rect(51, 31, 98, 38));
    EXPECT_EQ(Graph::boundingRect({placed(1, {0, 0}, {100, 40}), placed(2, {300, 100}, {50, 50})}),
              Rect(-50, -20, 375, 145));
    EXPECT_EQ(Graph::boundingRect({}), Rect(0, 0, 0, 0));
    EXPECT_EQ(Graph().boundingRect(), Rect(0, 0, 0, 0));

    Graph graph;
    graph.storeNodes({placed(1, {0, 0}, {100, 40}), placed(2, {300, 100}, {50, 50})});
    EXPECT_EQ(graph.boundingRect(), Rect(-50, -20, 375, 145));
    // A zero-sized node still widens the rectangle; a negative size reads as its standardised frame.
    EXPECT_EQ(Graph::boundingRect({placed(1, {0, 0}, {10, 10}), placed(2, {100, -20}, {0, 0})}),
              Rect(-5, -20, 105, 25));
    EXPECT_EQ(Graph::boundingRect({placed(1, {0, 0}, {-10, -20})}), Rect(-5, -10, 10, 20));
}

TEST(GraphGeometry, CanvasRectWithoutAWindowTakesTheFirstCandidateThatHoldsTheMap)
{
    EXPECT_EQ(Graph().canvasRect(std::nullopt), Rect(-750, -500, 1500, 1000));
    EXPECT_EQ(graphBounded(Rect(-800, -100, 1000, 200)).canvasRect(std::nullopt), Rect(-1500, -1000, 3000, 2000));
    EXPECT_EQ(graphBounded(Rect(-750, -500, 1500, 1000)).canvasRect(std::nullopt), Rect(-750, -500, 1500, 1000));
    EXPECT_EQ(graphBounded(Rect(0, 0, 2900, 10)).canvasRect(std::nullopt), Rect(-3000, -2000, 6000, 4000));
    EXPECT_EQ(graphBounded(Rect(0, 0, 11000, 10)).canvasRect(std::nullopt), Rect(-12000, -8000, 24000, 16000));
    EXPECT_EQ(graphBounded(Rect(-20000, 0, 40000, 10)).canvasRect(std::nullopt),
              Rect(-15000, -10000, 30000, 20000));
}

TEST(GraphGeometry, CanvasRectOnAScreenGrowsByHalfTheScreen)
{
    EXPECT_EQ(Graph().canvasRect(Size{1440, 900}), Rect(-720, -450, 1440, 900));
    EXPECT_EQ(graphBounded(Rect(10, 20, 100, 50)).canvasRect(Size{1000, 600}), Rect(-490, -280, 1100, 650));
}

TEST(GraphGeometry, PrintRectHasTheAspectRatioWithItsMargin)
{
    EXPECT_EQ(graphBounded(Rect(0, 0, 400, 100)).printRect(2), Rect(-36, -18, 472, 236));
    EXPECT_EQ(graphBounded(Rect(0, 0, 100, 300)).printRect(0.5), Rect(-36, -72, 222, 444));
    EXPECT_EQ(graphBounded(Rect(10, 20, 400, 300)).printRect(1), Rect(-26, -16, 472, 472));
    // Wide map on a tall page: the height grows.
    EXPECT_EQ(graphBounded(Rect(0, 0, 400, 300)).printRect(0.5), Rect(-36, -72, 472, 944));
    // Tall map on a wide page: the width grows.
    EXPECT_EQ(graphBounded(Rect(0, 0, 100, 300)).printRect(2), Rect(-36, -18, 672, 336));
    // A ratio that is no positive number is taken as 1 instead of dividing by zero.
    EXPECT_EQ(graphBounded(Rect(0, 0, 100, 50)).printRect(0), Rect(-36, -36, 172, 172));
    EXPECT_EQ(graphBounded(Rect(0, 0, 100, 50)).printRect(std::numeric_limits<double>::quiet_NaN()),
              Rect(-36, -36, 172, 172));
}

// The bounding rectangle follows every kind of edit without looking at all nodes again, and always equals the
// rectangle worked out from scratch: after random moves, resizes, additions, removals and overwrites, and after
// going back and forth between copies kept of earlier states (undo and redo), moved ones included.
TEST(GraphGeometry, BoundingRectKeptInStepWithEdits)
{
    std::mt19937 random(7);
    const auto coordinate = [&random] { return double(int(random() % 2001) - 1000); };
    const auto side = [&random] { return double(int(random() % 121) - 20); }; // a few inside out
    Graph graph;
    std::vector<Node> roots;
    for (std::int64_t uid = 1; uid <= 40; ++uid)
        roots.push_back(placed(uid, {coordinate(), coordinate()}, {side(), side()}));
    graph.storeNodes(roots);
    std::vector<Graph> history{graph};
    std::size_t at = 0;
    const auto someUID = [&] {
        const std::vector<Node> all = graph.allNodes();
        return all.empty() ? std::int64_t{1} : all[random() % all.size()].uid;
    };
    for (int step = 0; step < 3000; ++step) {
        // Asked now and then, so that some edits find the extent known and some do not.
        if (random() % 3 == 0) {
            ASSERT_EQ(graph.boundingRect(), Graph::boundingRect(graph.allNodes())) << "before step " << step;
        }
        const std::int64_t uid = someUID();
        const std::optional<Node> node = graph.node(uid);
        switch (random() % 9) {
        case 0: { // a layout moving a few nodes, some to the edges and beyond
            std::vector<NodePlacement> placements;
            for (int i = 0; i < 4; ++i)
                placements.push_back({someUID(), {coordinate() * 1.2, coordinate() * 1.2}});
            graph.placeNodes(placements);
            break;
        }
        case 1:
            if (node) {
                Node resized = *node;
                resized.size = {side(), side()};
                graph.storeNodes({resized});
            }
            break;
        case 2:
            if (node)
                graph.addChildNode(*node, "child", NodeStyle(), {coordinate(), coordinate()}, {side(), side()});
            break;
        case 3:
            if (node)
                graph.removeNodes({*node});
            break;
        case 4:
            if (node)
                graph.removeNodeKeepingChildren(*node);
            break;
        case 5:
            if (node) {
                Node moved = *node;
                moved.center = {coordinate(), coordinate()};
                graph.overwriteNodes({moved});
            }
            break;
        case 6:
            graph.setNode(std::nullopt, uid);
            break;
        case 7: // undo or redo: back to a copy kept earlier, or on to a later one
            if (random() % 2 && at > 0)
                graph = history[--at];
            else if (at + 1 < history.size())
                graph = std::move(Graph(history[++at]));
            continue;
        case 8:
            graph.storeNode(placed(graph.count() + 1000 + step, {coordinate(), coordinate()}, {side(), side()}));
            break;
        }
        history.resize(++at);
        history.push_back(graph);
        ASSERT_EQ(graph.boundingRect(), Graph::boundingRect(graph.allNodes())) << "after step " << step;
        ASSERT_EQ(history.back().boundingRect(), graph.boundingRect());
    }
    // A graph moved from is empty, and says so.
    Graph taken = std::move(graph);
    EXPECT_EQ(graph.boundingRect(), Rect(0, 0, 0, 0));
    EXPECT_EQ(taken.boundingRect(), Graph::boundingRect(taken.allNodes()));
}
