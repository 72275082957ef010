// Layouts depend on how nodes link, not on how they are numbered: a tree numbered closely (as the graph hands out
// identifiers) and the same tree numbered far apart come out the same, damaged links and all.
#include "layout/HorizontalGraphLayouter.h"
#include "layout/VerticalGraphLayouter.h"

#include "LayoutTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine;
using namespace velquine::testing;

namespace {

// Up to three children per node, of a few sizes and shapes, sides alternating, plus a second small tree and
// damaged links: 5 lists itself and an absent node, 40 names an absent parent, 7 is listed twice. Identifiers
// go through number.
std::vector<Node> numberedTree(std::int64_t (*number)(std::int64_t))
{
    constexpr std::int64_t count = 400;
    std::vector<Node> nodes;
    for (std::int64_t uid = 1; uid <= count + 20; ++uid) {
        std::optional<std::int64_t> parent;
        if (uid > 1 && uid != count + 1)
            parent = uid == 40 ? count + 99 : uid <= count ? (uid - 2) / 3 + 1 : count + 1;
        Node node = treeNode(number(uid), parent ? std::optional(number(*parent)) : std::nullopt, {0, 0},
                             {60.0 + static_cast<double>(uid % 4) * 10, 20.0 + static_cast<double>(uid % 3) * 5},
                             {}, uid % 3 == 0 ? NodeShape::underline : NodeShape::rect);
        node.horizontalAffinity = uid % 2 == 0 ? HorizontalAffinity::left : HorizontalAffinity::right;
        node.verticalAffinity = uid % 2 == 0 ? VerticalAffinity::above : VerticalAffinity::below;
        nodes.push_back(std::move(node));
    }
    for (std::int64_t uid = 2; uid <= count + 20; ++uid) {
        if (uid != count + 1 && uid != 40)
            nodes[static_cast<std::size_t>(uid <= count ? (uid - 2) / 3 : count)].childrenUIDs.push_back(number(uid));
    }
    nodes[4].childrenUIDs.insert(nodes[4].childrenUIDs.begin(), {number(5), number(count + 50)});
    nodes[0].childrenUIDs.push_back(number(7));
    return nodes;
}

std::int64_t close(std::int64_t uid) { return uid; }
std::int64_t farApart(std::int64_t uid) { return uid * 1000 + 3; }

// Each node's centre by its place in the tree, in the order handed back.
std::vector<std::pair<std::int64_t, Point>> placed(const std::vector<Node>& nodes, std::int64_t (*number)(std::int64_t))
{
    std::vector<std::pair<std::int64_t, Point>> result;
    for (const Node& node : nodes)
        result.emplace_back(number == farApart ? (node.uid - 3) / 1000 : node.uid, node.center);
    return result;
}

template <class Layouter, class Subtype>
void expectSameLayouts(Subtype growing, Subtype balanced, double hd, double vd)
{
    for (const bool balancing : {false, true}) {
        std::vector<std::vector<std::pair<std::int64_t, Point>>> layouts;
        for (auto number : {close, farApart}) {
            const std::vector<Node> nodes = numberedTree(number);
            const Layouter layouter(graphOf(nodes), hd, balancing ? balanced : growing, false, vd);
            layouts.push_back(placed(balancing ? layouter.balance(nodes[0]) : layouter.layoutNodeTree(nodes[0]), number));
            layouts.push_back(placed(layouter.layoutNodeTree(nodes[2]), number));
        }
        EXPECT_EQ(layouts[0].size(), 387u); // 40 and its subtree are not listed by their parent
        EXPECT_EQ(layouts[0], layouts[2]) << "balancing " << balancing;
        EXPECT_EQ(layouts[1], layouts[3]) << "balancing " << balancing;
    }
}

} // namespace

TEST(LayoutNumbering, CloseAndFarApartIdentifiersLayOutAlike)
{
    using Vertical = VerticalGraphLayouter::LayoutSubtype;
    using Horizontal = HorizontalGraphLayouter::LayoutSubtype;
    expectSameLayouts<VerticalGraphLayouter>(Vertical::topDown, Vertical::balanced, 10.0, 100.0);
    expectSameLayouts<HorizontalGraphLayouter>(Horizontal::rightToLeft, Horizontal::balanced, 60.0, 10.0);
}
