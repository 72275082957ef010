#include "model/graph/Graph.h"
#include "model/graph/NodeUID.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace velquine;

namespace {

Node makeNode(std::int64_t uid, std::optional<std::int64_t> parent, const std::string& title,
              std::vector<std::int64_t> children = {})
{
    Node node(uid, parent, NodeStyle());
    node.title = title;
    node.childrenUIDs = std::move(children);
    return node;
}

std::vector<std::int64_t> uidsOf(const std::vector<Node>& nodes)
{
    std::vector<std::int64_t> uids;
    for (const Node& node : nodes)
        uids.push_back(node.uid);
    return uids;
}

std::vector<std::string> titlesOf(const std::vector<Node>& nodes)
{
    std::vector<std::string> titles;
    for (const Node& node : nodes)
        titles.push_back(node.title);
    return titles;
}

// R holds A and B, A holds A1 and A2, A1 holds A1x, B holds B1.
enum : std::int64_t { R = 1, A = 2, B = 3, A1 = 4, A2 = 5, A1x = 6, B1 = 7 };

Graph sampleTree()
{
    Graph graph;
    graph.storeNodes({makeNode(R, std::nullopt, "R", {A, B}), makeNode(A, R, "A", {A1, A2}),
                      makeNode(B, R, "B", {B1}), makeNode(A1, A, "A1", {A1x}), makeNode(A2, A, "A2"),
                      makeNode(A1x, A1, "A1x"), makeNode(B1, B, "B1")});
    return graph;
}

const Node& stored(const Graph& graph, std::int64_t uid)
{
    const Node* node = graph.findNode(uid);
    if (!node)
        throw std::runtime_error("node " + std::to_string(uid) + " is not stored");
    return *node;
}

} // namespace

TEST(GraphQueries, LookupsSkipAbsentIdentifiersAndKeepRepeats)
{
    const Graph graph = sampleTree();
    EXPECT_EQ(uidsOf(graph.nodes({A, 99, A})), (std::vector<std::int64_t>{A, A}));
    EXPECT_FALSE(graph.node(std::int64_t{99}).has_value());
    EXPECT_FALSE(graph.node(std::optional<std::int64_t>()).has_value());
    ASSERT_TRUE(graph.node(std::optional<std::int64_t>(B)).has_value());
    EXPECT_EQ(graph.node(std::optional<std::int64_t>(B))->title, "B");
    EXPECT_EQ(graph.parent(stored(graph, A1))->uid, A);
    EXPECT_FALSE(graph.parent(stored(graph, R)).has_value());
    EXPECT_FALSE(graph.parent(makeNode(50, 99, "orphan")).has_value());
    EXPECT_EQ(uidsOf(graph.allNodes()), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(graph.connections().empty());
}

// The stored nodes are listed in place, each once in identifier order, and a walk finds what a look-up finds,
// in any order, over the thousands of nodes that fill several blocks of the store.
TEST(GraphQueries, StoredNodesAndWalksAgreeWithLookups)
{
    Graph graph = sampleTree();
    std::vector<std::int64_t> listed;
    for (const Node& node : graph.storedNodes()) {
        EXPECT_EQ(&node, graph.findNode(node.uid));
        listed.push_back(node.uid);
    }
    EXPECT_EQ(listed, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7}));
    const Graph empty;
    EXPECT_TRUE(empty.storedNodes().begin() == empty.storedNodes().end());

    std::vector<Node> many;
    for (std::int64_t uid = 100; uid < 5100; uid += 2)
        many.push_back(makeNode(uid, uid > 100 ? std::optional<std::int64_t>((uid - 102) / 8 * 2 + 100) : R,
                                std::to_string(uid)));
    graph.storeNodes(many);
    Graph::Walk walk = graph.walk();
    for (std::int64_t uid : {std::int64_t{R}, std::int64_t{4000}, std::int64_t{101}, std::int64_t{102},
                             std::int64_t{104}, std::int64_t{5098}, std::int64_t{5100}, std::int64_t{A1x},
                             std::int64_t{-3}, std::int64_t{2500}, std::int64_t{2502}})
        EXPECT_EQ(walk.find(uid), graph.findNode(uid)) << uid;
    for (std::int64_t uid = 5200; uid-- > 0;)
        ASSERT_EQ(walk.find(uid), graph.findNode(uid)) << uid;
}

TEST(GraphQueries, NodeTypesAndDepths)
{
    Graph graph = sampleTree();
    graph.storeNodes({makeNode(20, 99, "orphan", {21}), makeNode(21, 20, "orphan's child")});
    EXPECT_EQ(graph.nodeType(stored(graph, R)), NodeType::root);
    EXPECT_EQ(graph.nodeType(stored(graph, A)), NodeType::main);
    EXPECT_EQ(graph.nodeType(stored(graph, A1)), NodeType::sub);
    EXPECT_EQ(graph.nodeType(stored(graph, A1x)), NodeType::sub);
    EXPECT_EQ(graph.nodeType(stored(graph, 20)), NodeType::sub);
    EXPECT_EQ(graph.nodeType(stored(graph, 21)), NodeType::sub);

    EXPECT_EQ(graph.depth(stored(graph, R)), 0);
    EXPECT_EQ(graph.depth(stored(graph, B)), 1);
    EXPECT_EQ(graph.depth(stored(graph, A1)), 2);
    EXPECT_EQ(graph.depth(stored(graph, A1x)), 3);
    EXPECT_EQ(graph.depth(stored(graph, 20)), 0);
    EXPECT_EQ(graph.depth(stored(graph, 21)), 1);
    // The parent named by the value passed in counts, not the stored one.
    Node moved = stored(graph, A1x);
    moved.parentUID = R;
    EXPECT_EQ(graph.depth(moved), 1);
    EXPECT_EQ(graph.nodeType(moved), NodeType::main);
}

TEST(GraphQueries, RootAncestor)
{
    Graph graph = sampleTree();
    graph.storeNodes({makeNode(20, 99, "orphan", {21}), makeNode(21, 20, "orphan's child")});
    EXPECT_EQ(graph.rootAncestor(stored(graph, A1x)).uid, R);
    EXPECT_EQ(graph.rootAncestor(stored(graph, 21)).uid, 20);
    EXPECT_EQ(graph.rootAncestor(stored(graph, 20)).uid, 20);
    // A root passed in comes back as stored.
    Node stale = stored(graph, R);
    stale.title = "stale";
    EXPECT_EQ(graph.rootAncestor(stale).title, "R");
    // Not stored and no stored parent: the value itself.
    EXPECT_EQ(graph.rootAncestor(makeNode(70, std::nullopt, "loose")).title, "loose");
}

TEST(GraphQueries, SubtreeAndDescendantOrders)
{
    const Graph graph = sampleTree();
    EXPECT_EQ(titlesOf(graph.subtree(stored(graph, R))),
              (std::vector<std::string>{"R", "A", "A1", "A1x", "A2", "B", "B1"}));
    EXPECT_EQ(titlesOf(graph.descendants(stored(graph, R))),
              (std::vector<std::string>{"A", "B", "A1", "A2", "A1x", "B1"}));
    EXPECT_EQ(titlesOf(graph.subtree(stored(graph, A2))), (std::vector<std::string>{"A2"}));
    EXPECT_TRUE(graph.descendants(stored(graph, A2)).empty());
    EXPECT_TRUE(graph.subtree(makeNode(99, std::nullopt, "absent", {A})).empty());

    // The first element is the stored node; the children come from the value passed in.
    Node stale = stored(graph, R);
    stale.title = "stale";
    stale.childrenUIDs = {B, 99};
    EXPECT_EQ(titlesOf(graph.subtree(stale)), (std::vector<std::string>{"R", "B", "B1"}));
    EXPECT_EQ(titlesOf(graph.descendants(stale)), (std::vector<std::string>{"B", "B1"}));
}

TEST(GraphQueries, NodesGroupedByDepthKeepInputOrderAndPassedValues)
{
    const Graph graph = sampleTree();
    Node b1 = stored(graph, B1);
    b1.title = "B1 as passed";
    const auto groups = graph.nodesGroupedByDepth(
        {b1, stored(graph, A), stored(graph, R), stored(graph, A1), stored(graph, B), makeNode(40, 99, "orphan")});
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(titlesOf(groups.at(0)), (std::vector<std::string>{"R", "orphan"}));
    EXPECT_EQ(titlesOf(groups.at(1)), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(titlesOf(groups.at(2)), (std::vector<std::string>{"B1 as passed", "A1"}));
}

TEST(GraphQueries, DumpLines)
{
    Graph graph;
    Node root = makeNode(1, std::nullopt, "Root", {2});
    Node idea = makeNode(2, 1, "Idea");
    idea.center = {150, 20.5};
    graph.storeNodes({root, idea, makeNode(3, 99, "orphan")});
    EXPECT_EQ(graph.dumpLines(),
              (std::vector<std::string>{"Root [1] ((0.0, 0.0))", "\tIdea [2] ((150.0, 20.5))\tparent: Root"}));
    EXPECT_EQ(sampleTree().dumpLines().size(), 7u);
    EXPECT_EQ(sampleTree().dumpLines()[3], "\t\t\tA1x [6] ((0.0, 0.0))\tparent: A1");
}

TEST(GraphEdits, SetUpdateAndStore)
{
    Graph graph = sampleTree();
    graph.setNode(std::nullopt, 99);
    EXPECT_EQ(graph.count(), 7u);
    graph.setNode(std::nullopt, B1);
    EXPECT_EQ(graph.count(), 6u);
    EXPECT_FALSE(graph.contains(B1));
    graph.setNode(makeNode(30, std::nullopt, "thirty"), 31);
    EXPECT_EQ(graph.node(std::int64_t{31})->title, "thirty");

    // The time is read once for the whole call.
    double ticks = 1000.0;
    ScopedClock clock([&ticks] { return ticks += 1.0; });
    Node fresh = makeNode(40, std::nullopt, "fresh");
    fresh.createdTimestamp = -1.0;
    Node other = makeNode(41, std::nullopt, "other");
    other.createdTimestamp = -5.0;
    Node zero = makeNode(42, std::nullopt, "zero");
    zero.createdTimestamp = 0.0;
    const double before = ticks;
    graph.updateNodes({fresh, zero, other});
    EXPECT_EQ(ticks, before + 1.0);
    EXPECT_EQ(stored(graph, 40).createdTimestamp, before + 1.0);
    EXPECT_EQ(stored(graph, 41).createdTimestamp, before + 1.0);
    EXPECT_EQ(stored(graph, 42).createdTimestamp, 0.0);
    EXPECT_EQ(stored(graph, 40).modifiedTimestamp, -1.0);

    Node again = makeNode(43, std::nullopt, "again");
    again.createdTimestamp = -1.0;
    const std::vector<Node> result = graph.storeNodes({again});
    EXPECT_EQ(result.front().createdTimestamp, -1.0);
    EXPECT_EQ(stored(graph, 43).createdTimestamp, -1.0);
}

TEST(GraphEdits, AddChildNode)
{
    Graph graph;
    graph.storeNodes({makeNode(1, std::nullopt, "P", {2}), makeNode(2, 1, "a")});
    resetNodeUIDCounterForTesting(100);
    NodeStyle style;
    style.isUnderlined = true;
    const Node child = graph.addChildNode(stored(graph, 1), "new", style, {5, 6}, {70, 30});
    EXPECT_EQ(child.uid, 101);
    EXPECT_EQ(child.parentUID, std::optional<std::int64_t>(1));
    EXPECT_EQ(child.title, "new");
    EXPECT_EQ(child.center, (Point{5, 6}));
    EXPECT_EQ(child.size, (Size{70, 30}));
    EXPECT_TRUE(child.style.isUnderlined);
    EXPECT_EQ(stored(graph, 1).childrenUIDs, (std::vector<std::int64_t>{2, 101}));
    EXPECT_FALSE(stored(graph, 101).differs(child));
}

TEST(GraphEdits, InsertIntermediateNodeBecomesTheLastChild)
{
    Graph graph;
    Node y = makeNode(2, 1, "Y");
    y.shape = NodeShape::hexagon;
    graph.storeNodes({makeNode(1, std::nullopt, "P", {2, 3}), y, makeNode(3, 1, "b")});
    const Node inserted = graph.insertIntermediateNode(stored(graph, 1), stored(graph, 2), "N", NodeStyle(), {}, {});
    EXPECT_EQ(stored(graph, 1).childrenUIDs, (std::vector<std::int64_t>{3, inserted.uid}));
    EXPECT_EQ(stored(graph, inserted.uid).childrenUIDs, (std::vector<std::int64_t>{2}));
    EXPECT_EQ(stored(graph, inserted.uid).parentUID, std::optional<std::int64_t>(1));
    EXPECT_EQ(stored(graph, inserted.uid).shape, NodeShape::hexagon);
    EXPECT_EQ(stored(graph, 2).parentUID, std::optional<std::int64_t>(inserted.uid));
}

TEST(GraphEdits, RemoveNodesTakesDescendantsOnce)
{
    Graph graph = sampleTree();
    graph.removeNodes({stored(graph, A), stored(graph, A1)});
    EXPECT_EQ(uidsOf(graph.allNodes()), (std::vector<std::int64_t>{R, B, B1}));
    EXPECT_EQ(stored(graph, R).childrenUIDs, (std::vector<std::int64_t>{B}));

    // A node that is not stored removes nothing, not even children it names.
    graph.removeNodes({makeNode(99, R, "absent", {B})});
    EXPECT_EQ(graph.count(), 3u);
}

TEST(GraphEdits, RemoveNodeKeepingChildrenTakesItsPlace)
{
    Graph graph;
    graph.storeNodes({makeNode(1, std::nullopt, "P", {2, 3, 4}), makeNode(2, 1, "a"), makeNode(3, 1, "X", {5, 6}),
                      makeNode(4, 1, "b"), makeNode(5, 3, "k1"), makeNode(6, 3, "k2")});
    graph.removeNodeKeepingChildren(stored(graph, 3));
    EXPECT_FALSE(graph.contains(3));
    EXPECT_EQ(stored(graph, 1).childrenUIDs, (std::vector<std::int64_t>{2, 5, 6, 4}));
    EXPECT_EQ(stored(graph, 5).parentUID, std::optional<std::int64_t>(1));
    EXPECT_EQ(stored(graph, 6).parentUID, std::optional<std::int64_t>(1));

    // The children of a root become roots.
    graph.removeNodeKeepingChildren(stored(graph, 1));
    EXPECT_EQ(graph.nodeType(stored(graph, 2)), NodeType::root);
    EXPECT_EQ(graph.nodeType(stored(graph, 5)), NodeType::root);
    EXPECT_EQ(graph.count(), 4u);
}

TEST(GraphEdits, RemoveKeepingChildrenWithAParentThatDoesNotListTheNode)
{
    Graph graph;
    graph.storeNodes({makeNode(1, std::nullopt, "P", {2}), makeNode(2, 1, "a"), makeNode(3, 1, "X", {5, 6}),
                      makeNode(5, 3, "k1"), makeNode(6, 3, "k2")});
    graph.removeNodeKeepingChildren(stored(graph, 3));
    EXPECT_EQ(stored(graph, 1).childrenUIDs, (std::vector<std::int64_t>{2, 5, 6}));
    EXPECT_EQ(stored(graph, 5).parentUID, std::optional<std::int64_t>(1));
}

TEST(GraphEdits, RemovingANodeWithItsChildKeepingChildrenLeavesNoDanglingLink)
{
    Graph graph = sampleTree();
    // Both values were read before either removal, as a delete command collects them.
    const Node a = stored(graph, A);
    const Node a1 = stored(graph, A1);
    graph.removeNodesKeepingChildren({a, a1, a});
    EXPECT_FALSE(graph.contains(A));
    EXPECT_FALSE(graph.contains(A1));
    EXPECT_EQ(stored(graph, R).childrenUIDs, (std::vector<std::int64_t>{A1x, A2, B}));
    EXPECT_EQ(stored(graph, A1x).parentUID, std::optional<std::int64_t>(R));
    EXPECT_EQ(stored(graph, A2).parentUID, std::optional<std::int64_t>(R));
    for (const Node& node : graph.allNodes()) {
        if (node.parentUID) {
            EXPECT_TRUE(graph.contains(*node.parentUID)) << node.title;
        }
        for (std::int64_t child : node.childrenUIDs)
            EXPECT_TRUE(graph.contains(child)) << node.title;
    }
    // The single removal reads afresh too: a stale value changes nothing more.
    graph.removeNodeKeepingChildren(a1);
    EXPECT_EQ(graph.count(), 5u);
}

TEST(GraphDamagedLinks, CirclesAreWalkedOnce)
{
    Graph graph;
    // 10 and 11 are each other's parent and child; 12 lists itself; 13 hangs below the circle.
    graph.storeNodes({makeNode(10, 11, "ten", {11}), makeNode(11, 10, "eleven", {10, 13}),
                      makeNode(12, std::nullopt, "self", {12, 14}), makeNode(13, 11, "thirteen"),
                      makeNode(14, 12, "fourteen")});
    EXPECT_EQ(titlesOf(graph.subtree(stored(graph, 10))), (std::vector<std::string>{"ten", "eleven", "thirteen"}));
    EXPECT_EQ(titlesOf(graph.descendants(stored(graph, 10))), (std::vector<std::string>{"eleven", "thirteen"}));
    EXPECT_EQ(titlesOf(graph.subtree(stored(graph, 12))), (std::vector<std::string>{"self", "fourteen"}));
    EXPECT_EQ(titlesOf(graph.descendants(stored(graph, 12))), (std::vector<std::string>{"fourteen"}));
    EXPECT_EQ(graph.depth(stored(graph, 10)), 1);
    EXPECT_EQ(graph.depth(stored(graph, 13)), 2);
    EXPECT_EQ(graph.rootAncestor(stored(graph, 10)).uid, 11);
    EXPECT_EQ(graph.rootAncestor(stored(graph, 13)).uid, 10);

    const auto groups = graph.nodesGroupedByDepth(graph.allNodes());
    for (const auto& [depth, nodes] : groups) {
        for (const Node& node : nodes)
            EXPECT_EQ(graph.depth(node), depth) << node.title;
    }
    EXPECT_EQ(graph.dumpLines(), (std::vector<std::string>{"self [12] ((0.0, 0.0))", "\tfourteen [14] ((0.0, 0.0))\tparent: self"}));

    graph.removeNodes({stored(graph, 10)});
    EXPECT_EQ(uidsOf(graph.allNodes()), (std::vector<std::int64_t>{12, 14}));
    graph.removeNodeKeepingChildren(stored(graph, 12));
    EXPECT_EQ(uidsOf(graph.allNodes()), (std::vector<std::int64_t>{14}));
    EXPECT_FALSE(stored(graph, 14).parentUID.has_value());
}

TEST(GraphDamagedLinks, RemovingKeepingChildrenNeverMakesANodeItsOwnChild)
{
    Graph graph;
    // 2 lists its own parent 1 among its children.
    graph.storeNodes({makeNode(1, std::nullopt, "P", {2}), makeNode(2, 1, "X", {3, 1}), makeNode(3, 2, "k")});
    graph.removeNodeKeepingChildren(stored(graph, 2));
    EXPECT_EQ(stored(graph, 1).childrenUIDs, (std::vector<std::int64_t>{3}));
    EXPECT_FALSE(stored(graph, 1).parentUID.has_value());
    EXPECT_EQ(stored(graph, 3).parentUID, std::optional<std::int64_t>(1));
}

TEST(GraphDamagedLinks, DeepChainsNeedNoRecursion)
{
    constexpr std::int64_t count = 100000;
    Graph graph;
    std::vector<Node> nodes;
    for (std::int64_t uid = 1; uid <= count; ++uid) {
        Node node = makeNode(uid, uid > 1 ? std::optional<std::int64_t>(uid - 1) : std::nullopt, "n");
        if (uid < count)
            node.childrenUIDs = {uid + 1};
        nodes.push_back(std::move(node));
    }
    graph.storeNodes(nodes);
    EXPECT_EQ(graph.subtree(stored(graph, 1)).size(), static_cast<std::size_t>(count));
    EXPECT_EQ(graph.descendants(stored(graph, 1)).size(), static_cast<std::size_t>(count - 1));
    EXPECT_EQ(graph.depth(stored(graph, count)), count - 1);
    EXPECT_EQ(graph.rootAncestor(stored(graph, count)).uid, 1);
    const auto groups = graph.nodesGroupedByDepth(nodes);
    EXPECT_EQ(groups.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(groups.at(count - 1).front().uid, count);
    graph.removeNodes({stored(graph, 2)});
    EXPECT_EQ(graph.count(), 1u);
    EXPECT_TRUE(stored(graph, 1).childrenUIDs.empty());
}

TEST(GraphValue, CopiesAreIndependent)
{
    Graph original = sampleTree();
    Graph copy = original;
    copy.removeNodes({stored(copy, A)});
    EXPECT_EQ(original.count(), 7u);
    EXPECT_EQ(copy.count(), 3u);
}
