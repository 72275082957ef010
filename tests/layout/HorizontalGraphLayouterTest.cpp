#include "layout/HorizontalGraphLayouter.h"

#include "LayoutTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine;
using namespace velquine::testing;

namespace {

using Subtype = HorizontalGraphLayouter::LayoutSubtype;

HorizontalGraphLayouter layouter(const std::vector<Node>& nodes, Subtype subtype, bool isManual = false)
{
    return HorizontalGraphLayouter(graphOf(nodes), 60.0, subtype, isManual, 10.0);
}

std::vector<Node> withAffinities(std::vector<Node> nodes, const std::map<std::int64_t, HorizontalAffinity>& sides)
{
    for (Node& node : nodes) {
        if (const auto it = sides.find(node.uid); it != sides.end())
            node.horizontalAffinity = it->second;
    }
    return nodes;
}

} // namespace

TEST(HorizontalGraphLayouter, TwoChildrenInEachDirection)
{
    const auto nodes = rootWithTwoChildren();
    const auto right = layouter(nodes, Subtype::leftToRight).layoutNodeTree(nodes[0]);
    EXPECT_EQ(uidsOf(right), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(centersOf(right), (Centers{{1, "(0.0, 0.0)"}, {2, "(150.0, -25.0)"}, {3, "(150.0, 25.0)"}}));
    EXPECT_EQ(centersOf(layouter(nodes, Subtype::rightToLeft).layoutNodeTree(nodes[0])),
              (Centers{{1, "(0.0, 0.0)"}, {2, "(-150.0, -25.0)"}, {3, "(-150.0, 25.0)"}}));

    // Balanced: one child on each side, each side centred on the root by itself.
    const auto split = withAffinities(nodes, {{2, HorizontalAffinity::left}});
    const auto balanced = layouter(split, Subtype::balanced).layoutNodeTree(split[0]);
    EXPECT_EQ(uidsOf(balanced), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(centersOf(balanced), (Centers{{1, "(0.0, 0.0)"}, {2, "(-150.0, 0.0)"}, {3, "(150.0, 0.0)"}}));
    // All on the right is the left-to-right layout.
    EXPECT_EQ(centersOf(layouter(nodes, Subtype::balanced).layoutNodeTree(nodes[0])), centersOf(right));

    // Arranged by hand: nothing moves.
    EXPECT_EQ(centersOf(layouter(nodes, Subtype::leftToRight, true).layoutNodeTree(nodes[0])),
              (Centers{{1, "(0.0, 0.0)"}, {2, "(0.0, 0.0)"}, {3, "(0.0, 0.0)"}}));
}

TEST(HorizontalGraphLayouter, UnderlinedNodesAreLifted)
{
    const auto underlined = rootWithTwoChildren(NodeShape::underline);
    EXPECT_EQ(centersOf(layouter(underlined, Subtype::leftToRight).layoutNodeTree(underlined[0])),
              (Centers{{1, "(0.0, 0.0)"}, {2, "(150.0, -40.0)"}, {3, "(150.0, 10.0)"}}));

    // An invisible border, or any other shape, is not lifted.
    auto mixed = underlined;
    mixed[1].style.borderWidth = StrokeThickness::invisible;
    mixed[2].shape = NodeShape::ellipse;
    EXPECT_EQ(centersOf(layouter(mixed, Subtype::leftToRight).layoutNodeTree(mixed[0])),
              (Centers{{1, "(0.0, 0.0)"}, {2, "(150.0, -25.0)"}, {3, "(150.0, 25.0)"}}));

    // The top node of a whole tree is never lifted; a top node with a parent is.
    auto rooted = underlined;
    rooted[0].shape = NodeShape::underline;
    rooted[0].center = {5, 7};
    EXPECT_EQ(find(layouter(rooted, Subtype::leftToRight).layoutNodeTree(rooted[0]), 1).center, (Point{5, 7}));
    const auto partial = layouter(rooted, Subtype::leftToRight).layoutNodeTree(rooted[1]);
    EXPECT_EQ(centersOf(partial), (Centers{{2, "(0.0, -15.0)"}}));
}

TEST(HorizontalGraphLayouter, LaterSiblingSubtreesMoveDownByWholePoints)
{
    // 2 is a plain box, 3 an underlined 31-point node: the lift brings 3 within vd of 2. After the placement 2
    // stands at y -25.5 (frame -40.5 to -10.5) and 3, lifted, at 9.5 (frame -6 to 25); 2 lowered by vd ends at
    // -0.5, so 3 moves down by 5.5, rounded up to 6 whole points, and its child 4 moves with it.
    const std::vector<Node> nodes{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3}),
                                  treeNode(2, 1, {0, 0}, {80, 30}),
                                  treeNode(3, 1, {0, 0}, {80, 31}, {4}, NodeShape::underline),
                                  treeNode(4, 3, {0, 0}, {10, 10})};
    EXPECT_EQ(centersOf(layouter(nodes, Subtype::leftToRight).layoutNodeTree(nodes[0])),
              (Centers{{1, "(0.0, 0.0)"}, {2, "(150.0, -25.5)"}, {3, "(150.0, 15.5)"}, {4, "(255.0, 31.0)"}}));

    // With whole sizes the later subtree comes to touch the lowered earlier one exactly.
    auto whole = nodes;
    whole[2].size = {80, 30};
    EXPECT_EQ(centersOf(layouter(whole, Subtype::leftToRight).layoutNodeTree(whole[0])),
              (Centers{{1, "(0.0, 0.0)"}, {2, "(150.0, -25.0)"}, {3, "(150.0, 15.0)"}, {4, "(255.0, 30.0)"}}));

    // Deeper lists are separated first, and a move carries the whole subtree: here the pair (5, 6) under 3 and
    // then the pair (2, 3) under the root.
    const std::vector<Node> deep{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3}),
                                 treeNode(2, 1, {0, 0}, {80, 30}),
                                 treeNode(3, 1, {0, 0}, {80, 30}, {5, 6}, NodeShape::underline),
                                 treeNode(5, 3, {0, 0}, {80, 30}),
                                 treeNode(6, 3, {0, 0}, {80, 30}, {}, NodeShape::underline)};
    const auto result = layouter(deep, Subtype::leftToRight).layoutNodeTree(deep[0]);
    // Placement: 2 at y -50 and 3 at 25, lifted to 10; under 3, 5 at 0 and 6 at 50, lifted to 35. Under 3
    // first: 6 (frame 20..50) against 5 lowered by vd (frame -15..15 -> -5..25) moves down by 5. Then under
    // the root: 3's subtree (top edge -15) against 2 lowered (frame -65..-35 -> -55..-25) is clear already.
    EXPECT_EQ(centersOf(result), (Centers{{1, "(0.0, 0.0)"},
                                          {2, "(150.0, -50.0)"},
                                          {3, "(150.0, 10.0)"},
                                          {5, "(290.0, 0.0)"},
                                          {6, "(290.0, 40.0)"}}));

    // Both levels move: under 3, 6 moves down by 5 past 5; then 3's subtree, whose top is the lifted 7, moves
    // down by 5 past 2, carrying 7, 5 and the already moved 6.
    const std::vector<Node> twice{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3}),
                                  treeNode(2, 1, {0, 0}, {80, 30}),
                                  treeNode(3, 1, {0, 0}, {80, 30}, {7, 5, 6}, NodeShape::underline),
                                  treeNode(5, 3, {0, 0}, {80, 30}),
                                  treeNode(6, 3, {0, 0}, {80, 30}, {}, NodeShape::underline),
                                  treeNode(7, 3, {0, 0}, {80, 30}, {}, NodeShape::underline)};
    EXPECT_EQ(centersOf(layouter(twice, Subtype::leftToRight).layoutNodeTree(twice[0])),
              (Centers{{1, "(0.0, 0.0)"},
                       {2, "(150.0, -75.0)"},
                       {3, "(150.0, 15.0)"},
                       {5, "(290.0, 30.0)"},
                       {6, "(290.0, 70.0)"},
                       {7, "(290.0, -35.0)"}}));
}

TEST(HorizontalGraphLayouter, BalanceSplitsTheChildrenLeftFirst)
{
    std::vector<Node> nodes{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3, 4, 5})};
    for (std::int64_t uid = 2; uid <= 5; ++uid)
        nodes.push_back(treeNode(uid, 1, {0, 0}, {80, 30}));
    nodes = withAffinities(nodes, {{5, HorizontalAffinity::left}});
    const auto result = layouter(nodes, Subtype::leftToRight).balance(nodes[0]);
    ASSERT_EQ(result.size(), 5u);
    EXPECT_EQ(result.front().uid, 1);
    // Order 5, 2, 3, 4: 5 and 2 go left, 3 and 4 right.
    EXPECT_EQ(find(result, 5).horizontalAffinity, HorizontalAffinity::left);
    EXPECT_EQ(find(result, 2).horizontalAffinity, HorizontalAffinity::left);
    EXPECT_EQ(find(result, 3).horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(find(result, 4).horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(centersOf(result), (Centers{{1, "(0.0, 0.0)"},
                                          {2, "(-150.0, -25.0)"},
                                          {3, "(150.0, -25.0)"},
                                          {4, "(150.0, 25.0)"},
                                          {5, "(-150.0, 25.0)"}}));
}

TEST(HorizontalGraphLayouter, NewNodeWithoutBalance)
{
    // The worked example: right of the root, above the only sibling (two entries, even).
    std::vector<Node> nodes{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 9}),
                            treeNode(2, 1, {150, -25}, {80, 30}), treeNode(9, 1, {0, 0}, {80, 30})};
    EXPECT_EQ(layouter(nodes, Subtype::leftToRight).positionForNewNode(nodes[0], nodes[2]), (Point{150, -75}));
    // Right to left: the same on the left.
    EXPECT_EQ(layouter(nodes, Subtype::rightToLeft).positionForNewNode(nodes[0], nodes[2]), (Point{-150, -75}));

    // Three entries: below the lowest sibling, still on the right.
    nodes = {treeNode(1, std::nullopt, {0, 0}, {100, 40}, {3, 2, 9}), treeNode(2, 1, {150, -25}, {80, 30}),
             treeNode(3, 1, {150, 25}, {80, 30}), treeNode(9, 1, {0, 0}, {80, 30})};
    EXPECT_EQ(layouter(nodes, Subtype::leftToRight).positionForNewNode(nodes[0], nodes[3]), (Point{150, 75}));
    // Four entries: above the highest.
    nodes[0].childrenUIDs = {3, 2, 90, 9};
    EXPECT_EQ(layouter(nodes, Subtype::leftToRight).positionForNewNode(nodes[0], nodes[3]), (Point{150, -75}));

    // Only child: beside the root at its y.
    const std::vector<Node> single{treeNode(1, std::nullopt, {0, 12}, {100, 40}, {9}), treeNode(9, 1, {0, 0}, {40, 20})};
    EXPECT_EQ(layouter(single, Subtype::leftToRight).positionForNewNode(single[0], single[1]), (Point{130, 12}));

    // A parent left of its own parent sends its children further left, whatever the direction.
    const std::vector<Node> deep{treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2}),
                                 treeNode(2, 1, {-150, 0}, {80, 30}, {9}), treeNode(9, 2, {0, 0}, {40, 20})};
    EXPECT_EQ(layouter(deep, Subtype::leftToRight).positionForNewNode(deep[1], deep[2]), (Point{-270, 0}));
}

TEST(HorizontalGraphLayouter, NewNodeBalanced)
{
    // One left, one right: a tie goes right, after the only sibling there (odd).
    std::vector<Node> nodes = withAffinities(
        {treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3}), treeNode(2, 1, {-150, 0}, {80, 30}),
         treeNode(3, 1, {150, 0}, {80, 30})},
        {{2, HorizontalAffinity::left}});
    const Node fresh = treeNode(9, 1, {0, 0}, {80, 30});
    EXPECT_EQ(layouter(nodes, Subtype::balanced).positionForNewNode(nodes[0], fresh), (Point{150, 50}));

    // Two right, one left: left, after the single sibling there.
    nodes[0].childrenUIDs = {2, 3, 4};
    nodes.push_back(treeNode(4, 1, {150, 50}, {80, 30}));
    EXPECT_EQ(layouter(nodes, Subtype::balanced).positionForNewNode(nodes[0], fresh), (Point{-150, 50}));

    // Two left, two right: right, two siblings (even): above the highest.
    nodes[0].childrenUIDs = {2, 3, 4, 5};
    nodes.push_back(treeNode(5, 1, {-150, 50}, {80, 30}));
    nodes = withAffinities(nodes, {{5, HorizontalAffinity::left}});
    EXPECT_EQ(layouter(nodes, Subtype::balanced).positionForNewNode(nodes[0], fresh), (Point{150, -50}));
}

TEST(HorizontalGraphLayouter, NewNodeBalancedBelowAMainNode)
{
    // A main node on the left of the root: its new child goes further left, below its only child (odd).
    const std::vector<Node> nodes = withAffinities(
        {treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2}), treeNode(2, 1, {-150, 0}, {80, 30}, {3}),
         treeNode(3, 2, {-290, 0}, {80, 30})},
        {{2, HorizontalAffinity::left}, {3, HorizontalAffinity::left}});
    const Node fresh = treeNode(9, 2, {0, 0}, {80, 30});
    EXPECT_EQ(layouter(nodes, Subtype::balanced).positionForNewNode(nodes[1], fresh), (Point{-290, 50}));
    // Only the siblings on the chosen side count: a right-side sibling leaves the new child at the parent's y.
    auto right = nodes;
    right[2].horizontalAffinity = HorizontalAffinity::right;
    EXPECT_EQ(layouter(right, Subtype::balanced).positionForNewNode(right[1], fresh), (Point{-290, 0}));
}

TEST(HorizontalGraphLayouter, DeepChainsNeedNoRecursion)
{
    constexpr std::int64_t count = 50000;
    std::vector<Node> nodes;
    for (std::int64_t uid = 1; uid <= count; ++uid) {
        nodes.push_back(treeNode(uid, uid > 1 ? std::optional<std::int64_t>(uid - 1) : std::nullopt, {0, 0},
                                 {80, 30}, uid < count ? std::vector<std::int64_t>{uid + 1} : std::vector<std::int64_t>{},
                                 NodeShape::underline));
    }
    const auto result = layouter(nodes, Subtype::rightToLeft).layoutNodeTree(nodes[0]);
    ASSERT_EQ(result.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(result.back().center, (Point{-140.0 * (count - 1), -15}));
}
