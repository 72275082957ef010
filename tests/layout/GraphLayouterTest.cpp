#include "layout/GraphLayouter.h"
#include "layout/HorizontalGraphLayouter.h"
#include "layout/TreeLayout.h"
#include "layout/VerticalGraphLayouter.h"

#include "LayoutTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace velquine;
using namespace velquine::testing;

namespace {

LayoutOptions options(LayoutOptions::LayoutType type, LayoutOptions::LayoutDirection direction, bool isManual)
{
    LayoutOptions o;
    o.layoutType = type;
    o.layoutDirection = direction;
    o.branchType = LayoutOptions::BranchType::line;
    o.isManual = isManual;
    return o;
}

} // namespace

TEST(MakeLayouter, VerticalTreesGetTheVerticalLayouter)
{
    using Direction = LayoutOptions::LayoutDirection;
    using Subtype = VerticalGraphLayouter::LayoutSubtype;
    const Graph graph = graphOf(rootWithTwoChildren());
    const std::pair<Direction, Subtype> cases[] = {
        {Direction::ascending, Subtype::topDown},
        {Direction::descending, Subtype::bottomUp},
        {Direction::balanced, Subtype::balanced},
    };
    for (const auto& [direction, subtype] : cases) {
        const auto layouter = makeLayouter(graph, options(LayoutOptions::LayoutType::vertical, direction, false), false);
        const auto* vertical = dynamic_cast<const VerticalGraphLayouter*>(layouter.get());
        ASSERT_NE(vertical, nullptr);
        EXPECT_EQ(vertical->subtype, subtype);
        EXPECT_EQ(vertical->horizontalDistanceBetweenNodes, 10.0);
        EXPECT_EQ(vertical->verticalDistanceBetweenNodes, 100.0);
        EXPECT_FALSE(vertical->isManual);
        EXPECT_EQ(vertical->graph.count(), 3u);
    }
}

TEST(MakeLayouter, HorizontalTreesGetTheHorizontalLayouter)
{
    using Direction = LayoutOptions::LayoutDirection;
    using Subtype = HorizontalGraphLayouter::LayoutSubtype;
    const Graph graph = graphOf(rootWithTwoChildren());
    const std::pair<Direction, Subtype> cases[] = {
        {Direction::ascending, Subtype::leftToRight},
        {Direction::descending, Subtype::rightToLeft},
        {Direction::balanced, Subtype::balanced},
    };
    for (const auto& [direction, subtype] : cases) {
        const auto layouter =
            makeLayouter(graph, options(LayoutOptions::LayoutType::horizontal, direction, false), false);
        const auto* horizontal = dynamic_cast<const HorizontalGraphLayouter*>(layouter.get());
        ASSERT_NE(horizontal, nullptr);
        EXPECT_EQ(horizontal->subtype, subtype);
        EXPECT_EQ(horizontal->horizontalDistanceBetweenNodes, 60.0);
        EXPECT_EQ(horizontal->verticalDistanceBetweenNodes, 10.0);
    }
}

TEST(MakeLayouter, ManualTreesMoveOnlyWhenForced)
{
    const auto nodes = rootWithTwoChildren();
    const Graph graph = graphOf(nodes);
    const auto manual = options(LayoutOptions::LayoutType::horizontal, LayoutOptions::LayoutDirection::ascending, true);
    const auto kept = makeLayouter(graph, manual, false)->layoutNodeTree(nodes[0]);
    EXPECT_EQ(centersOf(kept), (Centers{{1, "(0.0, 0.0)"}, {2, "(0.0, 0.0)"}, {3, "(0.0, 0.0)"}}));
    const auto forced = makeLayouter(graph, manual, true)->layoutNodeTree(nodes[0]);
    EXPECT_EQ(centersOf(forced), (Centers{{1, "(0.0, 0.0)"}, {2, "(150.0, -25.0)"}, {3, "(150.0, 25.0)"}}));
    // Forcing a tree that is not manual changes nothing.
    const auto automatic = options(LayoutOptions::LayoutType::vertical, LayoutOptions::LayoutDirection::ascending, false);
    EXPECT_FALSE(dynamic_cast<const VerticalGraphLayouter&>(*makeLayouter(graph, automatic, true)).isManual);
    // The layouter works on its own copy of the graph.
    Graph changing = graph;
    const auto layouter = makeLayouter(changing, automatic, false);
    changing.removeNodes({nodes[0]});
    EXPECT_EQ(layouter->layoutNodeTree(nodes[0]).size(), 3u);
}

TEST(TreeLayoutSeparation, SameWholePointDistanceAsAOnePointWalk)
{
    // The distance found directly equals that of moving one point at a time, for rectangles with fractional
    // edges, touching edges, no overlap along x, and empty ones.
    auto walk = [](const Rect& a, const Rect& b) {
        double d = 0;
        while (a.offsetBy(0, d).intersectsOpen(b))
            d += 1;
        return d;
    };
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> coordinate(-200, 200);
    std::uniform_real_distribution<double> length(0, 150);
    std::uniform_int_distribution<int> whole(0, 3);
    for (int i = 0; i < 20000; ++i) {
        auto pick = [&](std::uniform_real_distribution<double>& d) {
            // Whole, half and arbitrary values, and sometimes zero lengths.
            const double v = d(random);
            switch (whole(random)) {
            case 0: return std::round(v);
            case 1: return std::round(v * 2) / 2;
            default: return v;
            }
        };
        const Rect a(pick(coordinate), pick(coordinate), pick(length), pick(length));
        const Rect b(pick(coordinate), pick(coordinate), pick(length), pick(length));
        ASSERT_EQ(TreeLayout::separation(a, b), walk(a, b)) << formatRect(a) << " " << formatRect(b);
    }
    EXPECT_EQ(TreeLayout::separation(Rect(0, 0, 10, 10), Rect(0, 10, 10, 10)), 0.0);
    EXPECT_EQ(TreeLayout::separation(Rect(0, 0, 10, 10), Rect(0, 9.5, 10, 10)), 20.0);
    EXPECT_EQ(TreeLayout::separation(Rect(0, 0, 10, 10), Rect(10, 0, 10, 10)), 0.0);
    EXPECT_EQ(TreeLayout::separation(Rect(0, 0, 10, 0), Rect(0, 0, 10, 10)), 0.0);
}

TEST(TreeLayoutSeparation, HugeDistancesAreFoundAtOnce)
{
    EXPECT_EQ(TreeLayout::separation(Rect(0, 0, 10, 1e15), Rect(0, 0, 10, 1e15)), 1e15);
    EXPECT_EQ(TreeLayout::separation(Rect(0, -1e12, 10, 2e12), Rect(0, 0.25, 10, 3e12)), 4e12 + 1);
    // Where one point makes no difference any more, nothing moves instead of walking for ever.
    EXPECT_EQ(TreeLayout::separation(Rect(0, 1e300, 10, 1e300), Rect(0, 1e300, 10, 1e300)), 0.0);
}

TEST(PlacementNeighbourhood, PlacesANewChildExactlyAsTheWholeGraphDoes)
{
    using Type = LayoutOptions::LayoutType;
    using Direction = LayoutOptions::LayoutDirection;
    std::mt19937 random(777);
    std::uniform_real_distribution<double> coordinate(-400.0, 400.0);
    std::uniform_real_distribution<double> extent(20.0, 120.0);
    for (int round = 0; round < 40; ++round) {
        // A random tree of 40 nodes, each attached to an earlier one, scattered over the canvas.
        std::vector<Node> nodes;
        for (std::int64_t uid = 1; uid <= 40; ++uid) {
            std::optional<std::int64_t> parent;
            if (uid > 1)
                parent = std::uniform_int_distribution<std::int64_t>(1, uid - 1)(random);
            nodes.push_back(treeNode(uid, parent, {coordinate(random), coordinate(random)},
                                     {extent(random), extent(random)}));
            if (parent)
                nodes[static_cast<std::size_t>(*parent - 1)].childrenUIDs.push_back(uid);
        }
        const Graph graph = graphOf(nodes);
        for (const Node& parent : nodes) {
            const Node child = treeNode(100, parent.uid, {0, 0}, {80, 40});
            for (Type type : {Type::horizontal, Type::vertical})
                for (Direction direction : {Direction::ascending, Direction::descending, Direction::balanced}) {
                    const LayoutOptions o = options(type, direction, false);
                    const Point whole = makeLayouter(graph, o, false)->positionForNewNode(parent, child);
                    const Point near = makeLayouter(placementNeighbourhood(graph, parent, child), o, false)
                                           ->positionForNewNode(parent, child);
                    ASSERT_EQ(whole, near) << "parent " << parent.uid << " round " << round;
                }
        }
    }
    // A neighbourhood holds only what placement reads: for a child of node 2, its parent and grandparent,
    // not the parent's sibling 3.
    const std::vector<Node> tree = rootWithTwoChildren();
    const Graph neighbourhood =
        placementNeighbourhood(graphOf(tree), tree[1], treeNode(100, tree[1].uid, {0, 0}, {10, 10}));
    EXPECT_EQ(neighbourhood.count(), 2u);
    EXPECT_NE(neighbourhood.findNode(1), nullptr);
    EXPECT_EQ(neighbourhood.findNode(3), nullptr);
}

TEST(GraphLayouter, CentresAloneMatchTheLaidOutNodesAndMoveOnlyWhatMoves)
{
    using Type = LayoutOptions::LayoutType;
    using Direction = LayoutOptions::LayoutDirection;
    // A root with three children of two or three children each, all at the origin; one never stamped.
    std::vector<Node> nodes{treeNode(1, std::nullopt, {0, 0}, {120, 40}, {2, 3, 4})};
    std::int64_t next = 5;
    for (std::int64_t main : {2, 3, 4}) {
        std::vector<std::int64_t> children;
        for (int i = 0; i < 2 + int(main % 2); ++i)
            children.push_back(next++);
        nodes.push_back(treeNode(main, 1, {0, 0}, {90, 30 + 4.0 * double(main)}, children));
        for (std::int64_t child : children)
            nodes.push_back(treeNode(child, main, {0, 0}, {60 + 3.0 * double(child), 24}));
    }
    nodes[4].createdTimestamp = -1;
    for (Type type : {Type::horizontal, Type::vertical})
        for (Direction direction : {Direction::ascending, Direction::descending, Direction::balanced})
            for (bool manual : {false, true}) {
                const Graph before = graphOf(nodes);
                const auto layouter = makeLayouter(before, options(type, direction, manual), false);
                const std::vector<Node> laidOut = layouter->layoutNodeTree(nodes.front());
                const std::vector<NodePlacement> placed = layouter->placeNodeTree(nodes.front());
                ASSERT_EQ(placed.size(), laidOut.size());
                for (std::size_t i = 0; i < placed.size(); ++i) {
                    EXPECT_EQ(placed[i].uid, laidOut[i].uid);
                    EXPECT_EQ(placed[i].center, laidOut[i].center);
                }
                // Placing the centres stores what storing the laid-out nodes stores.
                Graph stored = before;
                stored.storeNodes(laidOut);
                Graph moved = before;
                moved.placeNodes(placed);
                for (const auto& [uid, node] : stored.nodeBin()) {
                    const Node* other = moved.findNode(uid);
                    ASSERT_NE(other, nullptr);
                    // A node never stamped takes the time of the call that stores it.
                    Node expected = node;
                    EXPECT_GE(other->createdTimestamp, 0.0);
                    if (before.findNode(uid)->createdTimestamp < 0)
                        expected.createdTimestamp = other->createdTimestamp;
                    EXPECT_FALSE(expected.differs(*other)) << "node " << uid;
                    // Only a node that moved has new storage; the graph it was copied from keeps the old one.
                    const Node& old = *before.findNode(uid);
                    EXPECT_EQ(moved.sharedNode(uid) == before.sharedNode(uid),
                              old.center == other->center && old.createdTimestamp >= 0);
                    EXPECT_EQ(before.findNode(uid)->center, nodes[0].center);
                }
                // Placing them again changes nothing.
                const Graph placedOnce = moved;
                moved.placeNodes(placed);
                for (const auto& [uid, node] : moved.nodeBin())
                    EXPECT_EQ(moved.sharedNode(uid), placedOnce.sharedNode(uid));
            }
}
