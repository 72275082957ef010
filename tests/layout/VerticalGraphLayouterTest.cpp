#include "layout/VerticalGraphLayouter.h"
#include "platform/Clock.h"

#include "LayoutTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine;
using namespace velquine::testing;

namespace {

using Subtype = VerticalGraphLayouter::LayoutSubtype;

VerticalGraphLayouter layouter(const std::vector<Node>& nodes, Subtype subtype, bool isManual = false)
{
    return VerticalGraphLayouter(graphOf(nodes), 10.0, subtype, isManual, 100.0);
}

std::vector<Node> withAffinities(std::vector<Node> nodes, const std::map<std::int64_t, VerticalAffinity>& sides)
{
    for (Node& node : nodes) {
        if (const auto it = sides.find(node.uid); it != sides.end())
            node.verticalAffinity = it->second;
    }
    return nodes;
}

} // namespace

TEST(VerticalGraphLayouter, TwoChildrenInEachDirection)
{
    const auto nodes = rootWithTwoChildren();
    const auto down = layouter(nodes, Subtype::topDown).layoutNodeTree(nodes[0]);
    EXPECT_EQ(uidsOf(down), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(centersOf(down), (Centers{{1, "(0.0, 0.0)"}, {2, "(-50.0, 135.0)"}, {3, "(50.0, 135.0)"}}));
    const auto up = layouter(nodes, Subtype::bottomUp).layoutNodeTree(nodes[0]);
    EXPECT_EQ(centersOf(up), (Centers{{1, "(0.0, 0.0)"}, {2, "(-50.0, -135.0)"}, {3, "(50.0, -135.0)"}}));

    // The root keeps its own centre and the children follow it.
    auto moved = nodes;
    moved[0].center = {200, 300};
    EXPECT_EQ(centersOf(layouter(moved, Subtype::topDown).layoutNodeTree(moved[0])),
              (Centers{{1, "(200.0, 300.0)"}, {2, "(150.0, 435.0)"}, {3, "(250.0, 435.0)"}}));
    // Sizes, links and other fields come back as stored.
    EXPECT_EQ(find(down, 2).size, (Size{80, 30}));
    EXPECT_EQ(find(down, 1).childrenUIDs, (std::vector<std::int64_t>{2, 3}));
    EXPECT_EQ(find(down, 3).title, "node 3");
}

TEST(VerticalGraphLayouter, WideParentsAndDeeperTrees)
{
    // 2 is wider than its two children together: they stay centred under it, and its subtree is as wide as
    // its own width with margins, which pushes its sibling 3 aside.
    const std::vector<Node> nodes{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3}),
                                  treeNode(2, 1, {0, 0}, {300, 40}, {4, 5}), treeNode(3, 1, {0, 0}, {80, 30}),
                                  treeNode(4, 2, {0, 0}, {80, 30}), treeNode(5, 2, {0, 0}, {80, 30})};
    EXPECT_EQ(centersOf(layouter(nodes, Subtype::topDown).layoutNodeTree(nodes[0])),
              (Centers{{1, "(0.0, 0.0)"},
                       {2, "(-50.0, 140.0)"},
                       {3, "(160.0, 135.0)"},
                       {4, "(-100.0, 275.0)"},
                       {5, "(0.0, 275.0)"}}));

    // A parent narrower than its children is centred on their span.
    const std::vector<Node> narrow{treeNode(1, std::nullopt, {10, 0}, {20, 20}, {2, 3, 4}),
                                   treeNode(2, 1, {0, 0}, {80, 30}), treeNode(3, 1, {0, 0}, {40, 30}),
                                   treeNode(4, 1, {0, 0}, {80, 30})};
    EXPECT_EQ(centersOf(layouter(narrow, Subtype::topDown).layoutNodeTree(narrow[0])),
              (Centers{{1, "(10.0, 0.0)"}, {2, "(-70.0, 125.0)"}, {3, "(10.0, 125.0)"}, {4, "(90.0, 125.0)"}}));
}

TEST(VerticalGraphLayouter, BalancedSidesAreCentredByThemselves)
{
    const auto nodes = withAffinities(rootWithTwoChildren(), {{2, VerticalAffinity::above}});
    const auto result = layouter(nodes, Subtype::balanced).layoutNodeTree(nodes[0]);
    EXPECT_EQ(uidsOf(result), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(centersOf(result), (Centers{{1, "(0.0, 0.0)"}, {2, "(0.0, -135.0)"}, {3, "(0.0, 135.0)"}}));

    // All below is the top-down layout, all above the bottom-up one.
    const auto below = rootWithTwoChildren();
    EXPECT_EQ(centersOf(layouter(below, Subtype::balanced).layoutNodeTree(below[0])),
              centersOf(layouter(below, Subtype::topDown).layoutNodeTree(below[0])));
    const auto above =
        withAffinities(rootWithTwoChildren(), {{2, VerticalAffinity::above}, {3, VerticalAffinity::above}});
    EXPECT_EQ(centersOf(layouter(above, Subtype::balanced).layoutNodeTree(above[0])),
              centersOf(layouter(above, Subtype::bottomUp).layoutNodeTree(above[0])));
}

TEST(VerticalGraphLayouter, BalanceSplitsTheChildrenAboveFirst)
{
    // Children 2..6; 3 and 5 are above already, so the order becomes 3, 5, 2, 4, 6 and the first three go above.
    std::vector<Node> nodes{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3, 4, 5, 6})};
    for (std::int64_t uid = 2; uid <= 6; ++uid)
        nodes.push_back(treeNode(uid, 1, {0, 0}, {80, 30}));
    nodes = withAffinities(nodes, {{3, VerticalAffinity::above}, {5, VerticalAffinity::above}});
    nodes[0].title = "the root as passed";
    const auto result = layouter(nodes, Subtype::topDown).balance(nodes[0]);
    ASSERT_EQ(result.size(), 6u);
    EXPECT_EQ(result.front().title, "the root as passed");
    EXPECT_FALSE(result.front().differs(nodes[0]));
    EXPECT_EQ(find(result, 2).verticalAffinity, VerticalAffinity::above);
    EXPECT_EQ(find(result, 3).verticalAffinity, VerticalAffinity::above);
    EXPECT_EQ(find(result, 5).verticalAffinity, VerticalAffinity::above);
    EXPECT_EQ(find(result, 4).verticalAffinity, VerticalAffinity::below);
    EXPECT_EQ(find(result, 6).verticalAffinity, VerticalAffinity::below);
    // Each side keeps the order of the children list.
    EXPECT_EQ(centersOf(result), (Centers{{1, "(0.0, 0.0)"},
                                          {2, "(-100.0, -135.0)"},
                                          {3, "(0.0, -135.0)"},
                                          {4, "(-50.0, 135.0)"},
                                          {5, "(100.0, -135.0)"},
                                          {6, "(50.0, 135.0)"}}));
    // The layouter's own graph is untouched.
    const auto again = layouter(nodes, Subtype::topDown);
    again.balance(nodes[0]);
    EXPECT_EQ(again.graph.findNode(2)->verticalAffinity, VerticalAffinity::below);
}

TEST(VerticalGraphLayouter, SmallCases)
{
    const std::vector<Node> alone{treeNode(1, std::nullopt, {7, 8}, {100, 40})};
    EXPECT_EQ(centersOf(layouter(alone, Subtype::topDown).layoutNodeTree(alone[0])), (Centers{{1, "(7.0, 8.0)"}}));

    // Arranged by hand: the subtree unchanged, depth first.
    std::vector<Node> nodes{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {3, 2}), treeNode(2, 1, {5, 6}, {80, 30}),
                            treeNode(3, 1, {7, 8}, {80, 30}, {4}), treeNode(4, 3, {9, 10}, {10, 10})};
    const auto manual = layouter(nodes, Subtype::topDown, true).layoutNodeTree(nodes[0]);
    EXPECT_EQ(uidsOf(manual), (std::vector<std::int64_t>{1, 3, 4, 2}));
    EXPECT_EQ(centersOf(manual),
              (Centers{{1, "(0.0, 0.0)"}, {2, "(5.0, 6.0)"}, {3, "(7.0, 8.0)"}, {4, "(9.0, 10.0)"}}));

    // Folded nodes hide nothing from the layout.
    nodes[2].isFolded = true;
    EXPECT_EQ(find(layouter(nodes, Subtype::topDown).layoutNodeTree(nodes[0]), 4).center, (Point{-50, 255}));

    // A top node with a parent comes back at x 0 with its y; its subtree follows from there.
    const auto partial = layouter(nodes, Subtype::topDown).layoutNodeTree(nodes[2]);
    EXPECT_EQ(centersOf(partial), (Centers{{3, "(0.0, 8.0)"}, {4, "(0.0, 128.0)"}}));

    // A negative creation time comes back as the current time.
    nodes[3].createdTimestamp = -1;
    ScopedClock clock(1234.0);
    EXPECT_EQ(find(layouter(nodes, Subtype::topDown).layoutNodeTree(nodes[0]), 4).createdTimestamp, 1234.0);
}

TEST(VerticalGraphLayouter, NewNodeWithoutBalance)
{
    // The worked example: below (two entries, even), right of the only sibling (2 is no multiple of 3).
    std::vector<Node> nodes{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 9}), treeNode(2, 1, {-50, 135}, {80, 30}),
                            treeNode(9, 1, {0, 0}, {80, 30})};
    EXPECT_EQ(layouter(nodes, Subtype::topDown).positionForNewNode(nodes[0], nodes[2]), (Point{50, 135}));

    // Three entries: above and left of the leftmost sibling.
    nodes = {treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3, 9}), treeNode(2, 1, {-50, 135}, {80, 30}),
             treeNode(3, 1, {50, 135}, {80, 30}), treeNode(9, 1, {0, 0}, {80, 30})};
    EXPECT_EQ(layouter(nodes, Subtype::topDown).positionForNewNode(nodes[0], nodes[3]), (Point{-150, -135}));
    // Four entries: below and right of the rightmost.
    nodes[0].childrenUIDs = {3, 2, 4, 9};
    nodes.push_back(treeNode(4, 1, {20, 135}, {60, 30}));
    EXPECT_EQ(layouter(nodes, Subtype::bottomUp).positionForNewNode(nodes[0], nodes[3]), (Point{150, 135}));
    // Six entries (a multiple of 3, even): below and left of the leftmost.
    nodes[0].childrenUIDs = {3, 2, 4, 9, 90, 91};
    EXPECT_EQ(layouter(nodes, Subtype::topDown).positionForNewNode(nodes[0], nodes[3]), (Point{-150, 135}));

    // Only child of a root (one entry, odd): above, at the root's x.
    const std::vector<Node> single{treeNode(1, std::nullopt, {30, 0}, {100, 40}, {9}), treeNode(9, 1, {0, 0}, {60, 20})};
    EXPECT_EQ(layouter(single, Subtype::topDown).positionForNewNode(single[0], single[1]), (Point{30, -130}));

    // A parent with a parent sends its children to its own side.
    const std::vector<Node> deep{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2}),
                                 treeNode(2, 1, {0, -135}, {80, 30}, {9}), treeNode(9, 2, {0, 0}, {60, 20})};
    EXPECT_EQ(layouter(deep, Subtype::topDown).positionForNewNode(deep[1], deep[2]), (Point{0, -260}));
    auto lower = deep;
    lower[1].center = {0, 135};
    EXPECT_EQ(layouter(lower, Subtype::topDown).positionForNewNode(lower[1], lower[2]), (Point{0, 260}));
}

TEST(VerticalGraphLayouter, NewNodeBalanced)
{
    // One child above and one below: the new child goes below, after the only sibling there (odd).
    std::vector<Node> nodes = withAffinities(
        {treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3}), treeNode(2, 1, {0, -135}, {80, 30}),
         treeNode(3, 1, {0, 135}, {80, 30})},
        {{2, VerticalAffinity::above}});
    const Node fresh = treeNode(9, 1, {0, 0}, {80, 30});
    EXPECT_EQ(layouter(nodes, Subtype::balanced).positionForNewNode(nodes[0], fresh), (Point{100, 135}));

    // Two below and one above: above, after the single sibling there.
    nodes[0].childrenUIDs = {2, 3, 4};
    nodes.push_back(treeNode(4, 1, {100, 135}, {80, 30}));
    EXPECT_EQ(layouter(nodes, Subtype::balanced).positionForNewNode(nodes[0], fresh), (Point{100, -135}));

    nodes[0].childrenUIDs = {2, 3, 4, 5, 6};
    nodes.push_back(treeNode(5, 1, {-100, -135}, {80, 30}));
    nodes.push_back(treeNode(6, 1, {50, -135}, {80, 30}));
    nodes = withAffinities(nodes, {{5, VerticalAffinity::above}, {6, VerticalAffinity::above}});
    // Three above (2, 5, 6), two below (3, 4): below, two siblings (even): before the first.
    EXPECT_EQ(layouter(nodes, Subtype::balanced).positionForNewNode(nodes[0], fresh), (Point{-100, 135}));

    // A root without children: below, at its x.
    const std::vector<Node> alone{treeNode(1, std::nullopt, {5, 0}, {100, 40})};
    EXPECT_EQ(layouter(alone, Subtype::balanced).positionForNewNode(alone[0], fresh), (Point{5, 135}));
}

TEST(VerticalGraphLayouter, DamagedLinks)
{
    // 3 is listed by the root but names an absent parent: it keeps its y, and so does its child 4. 2 lists the
    // root as its child, and 5 lists itself.
    const std::vector<Node> nodes{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3, 5}),
                                  treeNode(2, 1, {0, 0}, {80, 30}, {1}), treeNode(3, 99, {0, 77}, {80, 30}, {4}),
                                  treeNode(4, 3, {0, 88}, {80, 30}), treeNode(5, 1, {0, 0}, {80, 30}, {5, 2})};
    const auto result = layouter(nodes, Subtype::topDown).layoutNodeTree(nodes[0]);
    EXPECT_EQ(uidsOf(result), (std::vector<std::int64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(centersOf(result), (Centers{{1, "(0.0, 0.0)"},
                                          {2, "(-100.0, 135.0)"},
                                          {3, "(0.0, 77.0)"},
                                          {4, "(0.0, 88.0)"},
                                          {5, "(100.0, 135.0)"}}));
    const auto balanced = layouter(nodes, Subtype::balanced).balance(nodes[0]);
    EXPECT_EQ(uidsOf(balanced).size(), 5u);
    EXPECT_NO_THROW(centersOf(balanced));
}

TEST(VerticalGraphLayouter, DeepChainsNeedNoRecursion)
{
    constexpr std::int64_t count = 50000;
    std::vector<Node> nodes;
    for (std::int64_t uid = 1; uid <= count; ++uid) {
        nodes.push_back(treeNode(uid, uid > 1 ? std::optional<std::int64_t>(uid - 1) : std::nullopt, {0, 0},
                                 {80, 30}, uid < count ? std::vector<std::int64_t>{uid + 1} : std::vector<std::int64_t>{}));
    }
    const auto result = layouter(nodes, Subtype::topDown).layoutNodeTree(nodes[0]);
    ASSERT_EQ(result.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(result.back().center, (Point{0, 130.0 * (count - 1)}));
}
