#include "model/graph/Graph.h"
#include "model/graph/SharedNodeBin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace velquine;

namespace {

Node titled(std::int64_t uid, const std::string& title, std::optional<std::int64_t> parent = std::nullopt)
{
    Node node(uid, parent, NodeStyle());
    node.title = title;
    return node;
}

std::map<std::int64_t, std::string> contentsOf(const SharedNodeBin& bin)
{
    std::map<std::int64_t, std::string> contents;
    std::int64_t last = INT64_MIN;
    for (const auto& [uid, node] : bin) {
        EXPECT_LT(last, uid) << "iteration leaves ascending order";
        EXPECT_EQ(uid, node.uid);
        last = uid;
        contents.emplace(uid, node.title);
    }
    EXPECT_EQ(contents.size(), bin.size());
    return contents;
}

} // namespace

// Random inserts, replacements and removals over several block splits and merges, checked against a std::map,
// with snapshots taken along the way that must keep what they held.
TEST(SharedNodeBin, BehavesAsASortedMapWhileCopiesKeepTheirContents)
{
    std::mt19937_64 random(7);
    SharedNodeBin bin;
    std::map<std::int64_t, std::string> expected;
    std::vector<std::pair<SharedNodeBin, std::map<std::int64_t, std::string>>> snapshots;
    for (int round = 0; round < 20000; ++round) {
        const auto uid = static_cast<std::int64_t>(random() % 6000) - 1000;
        const std::uint64_t action = random() % 10;
        if (action < 6) {
            const std::string title = "t" + std::to_string(round);
            bin.assign(uid, titled(uid, title));
            expected[uid] = title;
        } else if (action < 9) {
            EXPECT_EQ(bin.erase(uid), expected.erase(uid));
        } else {
            Node* node = bin.mutableNode(uid);
            ASSERT_EQ(node != nullptr, expected.count(uid) == 1);
            if (node) {
                node->title += "!";
                expected[uid] += "!";
            }
        }
        if (round % 2500 == 0)
            snapshots.emplace_back(bin, expected);
    }
    EXPECT_EQ(contentsOf(bin), expected);
    for (const auto& [copy, contents] : snapshots)
        EXPECT_EQ(contentsOf(copy), contents);
    for (std::int64_t uid = -1001; uid < 5001; uid += 37) {
        const auto found = bin.find(uid);
        ASSERT_EQ(found != bin.end(), expected.count(uid) == 1) << uid;
        if (found != bin.end()) {
            EXPECT_EQ(found->second.title, expected[uid]);
        }
    }

    while (!expected.empty()) {
        bin.erase(expected.begin()->first);
        expected.erase(expected.begin());
    }
    EXPECT_TRUE(bin.empty());
    EXPECT_EQ(bin.begin(), bin.end());
    EXPECT_FALSE(snapshots.back().first.empty());
}

// Look-ups that start from where the last one ended find what a look-up from the top finds, in any order, and
// the ends are the least and greatest identifiers.
TEST(SharedNodeBin, LookUpsFromAFingerAndTheEnds)
{
    std::mt19937_64 random(11);
    SharedNodeBin bin;
    std::map<std::int64_t, std::string> expected;
    for (int round = 0; round < 3000; ++round) {
        const auto uid = static_cast<std::int64_t>(random() % 5000) - 700;
        bin.assign(uid, titled(uid, "t"));
        expected[uid] = "t";
    }
    EXPECT_EQ(bin.firstUID(), expected.begin()->first);
    EXPECT_EQ(bin.lastUID(), expected.rbegin()->first);
    SharedNodeBin::Finger finger;
    for (std::int64_t uid = -800; uid < 4400; ++uid)
        ASSERT_EQ(bin.lookup(uid, finger), bin.lookup(uid)) << uid;
    for (int round = 0; round < 3000; ++round) {
        const auto uid = static_cast<std::int64_t>(random() % 5200) - 800;
        ASSERT_EQ(bin.lookup(uid, finger), bin.lookup(uid)) << uid;
    }
}

// Cells start on a cache line, with the entry no further into it than the layout checks beside makeCell
// assume, so that what a layout reads of each node, from its identifier to its border, lies in two cache lines
// of its cell for every node stored, which is what the bin's read-ahead fetches.
TEST(SharedNodeBin, EveryCellLiesWhereItsNodeLayoutAssumes)
{
    SharedNodeBin bin;
    for (std::int64_t uid = 1; uid <= 200; ++uid)
        bin.assign(uid, titled(uid, "t"));
    for (std::int64_t uid = 1; uid <= 200; ++uid) {
        const auto cell = reinterpret_cast<std::uintptr_t>(bin.entry(uid).get());
        EXPECT_LE(cell % 64, SharedNodeBin::maxEntryLeadInLine) << uid;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&bin.lookup(uid)->uid) / 64, cell / 64) << uid;
    }
}

// A finger that reads ahead finds the same nodes, whether the walk runs in identifier order (where the next
// identifier is taken without a search), backwards, in runs with gaps, or at random, over nodes with and
// without children.
TEST(SharedNodeBin, FingersThatReadAheadFindWhatALookUpFinds)
{
    std::mt19937_64 random(5);
    SharedNodeBin bin;
    for (std::int64_t uid = 0; uid < 6000; uid += 1 + static_cast<std::int64_t>(random() % 3)) {
        Node node = titled(uid, "t");
        if (uid % 4 == 0)
            node.childrenUIDs = {uid + 1, uid + 2};
        bin.assign(uid, node);
    }
    std::vector<std::int64_t> order;
    for (std::int64_t uid = -5; uid < 6010; ++uid)
        order.push_back(uid);
    for (std::int64_t uid = 6010; uid-- > -5;)
        order.push_back(uid);
    for (int round = 0; round < 4000; ++round) {
        const auto start = static_cast<std::int64_t>(random() % 6000);
        for (std::int64_t uid = start; uid < start + static_cast<std::int64_t>(random() % 12); ++uid)
            order.push_back(uid);
        order.push_back(static_cast<std::int64_t>(random() % 6100) - 50);
    }
    for (std::size_t readAhead : {std::size_t{1}, std::size_t{8}, std::size_t{100}}) {
        SharedNodeBin::Finger finger(readAhead);
        for (std::int64_t uid : order)
            ASSERT_EQ(bin.lookup(uid, finger), bin.lookup(uid)) << uid << " reading ahead " << readAhead;
    }
}

// A walk that takes turns between runs of identifiers far apart, as a depth-first walk of a tree numbered
// generation by generation does, finds what a look-up finds from each of the finger's places, stepping on from
// leaf to leaf; and moving many nodes of a copy changes only the copy, each node once.
TEST(SharedNodeBin, FingersKeepTheirPlaceInSeveralRunsAndChangesStayInTheCopy)
{
    constexpr std::int64_t count = 20000;
    SharedNodeBin bin;
    for (std::int64_t uid = 1; uid <= count; ++uid) {
        Node node = titled(uid, "t", uid > 1 ? std::optional<std::int64_t>((uid - 2) / 8 + 1) : std::nullopt);
        for (std::int64_t child = (uid - 1) * 8 + 2; child <= std::min(count, uid * 8 + 1); ++child)
            node.childrenUIDs.push_back(child);
        bin.assign(uid, node);
    }
    std::vector<std::int64_t> order;
    std::vector<std::int64_t> stack{1};
    while (!stack.empty()) {
        const std::int64_t uid = stack.back();
        stack.pop_back();
        order.push_back(uid);
        const Node* node = bin.lookup(uid);
        ASSERT_NE(node, nullptr);
        stack.insert(stack.end(), node->childrenUIDs.rbegin(), node->childrenUIDs.rend());
    }
    ASSERT_EQ(order.size(), static_cast<std::size_t>(count));
    for (std::size_t readAhead : {std::size_t{0}, std::size_t{16}, std::size_t{200}}) {
        SharedNodeBin::Finger finger(readAhead);
        for (std::int64_t uid : order)
            ASSERT_EQ(bin.lookup(uid, finger), bin.lookup(uid)) << uid << " reading ahead " << readAhead;
        // Past both ends and in the gaps the finger finds nothing.
        EXPECT_EQ(bin.lookup(0, finger), nullptr);
        EXPECT_EQ(bin.lookup(count + 1, finger), nullptr);
    }

    // An empty bin finds nothing either.
    SharedNodeBin::Finger emptyFinger(16);
    EXPECT_EQ(SharedNodeBin().lookup(1, emptyFinger), nullptr);
    EXPECT_EQ(SharedNodeBin().lookup(2, emptyFinger), nullptr);

    SharedNodeBin copy = bin;
    std::vector<int> changes(static_cast<std::size_t>(count) + 1);
    copy.changeEach(
        order.size(), [&order](std::size_t i) { return order[i]; },
        [](const Node& node, std::size_t) { return node.uid % 3 == 0; },
        [&changes](Node& node, std::size_t) {
            ++changes[static_cast<std::size_t>(node.uid)];
            node.title = "moved";
        });
    for (std::int64_t uid = 1; uid <= count; ++uid) {
        ASSERT_EQ(changes[static_cast<std::size_t>(uid)], uid % 3 == 0 ? 1 : 0) << uid;
        EXPECT_EQ(copy.lookup(uid)->title, uid % 3 == 0 ? "moved" : "t") << uid;
        EXPECT_EQ(bin.lookup(uid)->title, "t") << uid;
        EXPECT_EQ(copy.lookup(uid) == bin.lookup(uid), uid % 3 != 0) << uid;
    }
}

// A copy of a graph shares every node; an edit gives new storage only to the nodes it changes, and writing back
// an equal node keeps the storage the canvas compares by.
TEST(GraphSharing, EditsGiveNewStorageOnlyToChangedNodes)
{
    Graph original;
    Node root = titled(1, "n1");
    for (std::int64_t uid = 2; uid <= 500; ++uid) {
        original.setNode(titled(uid, "n" + std::to_string(uid), 1), uid);
        root.childrenUIDs.push_back(uid);
    }
    original.setNode(root, 1);

    Graph edited = original;
    EXPECT_EQ(edited.sharedNode(250), original.sharedNode(250));

    Node changed = *edited.node(250);
    changed.title = "changed";
    edited.updateNodes({changed, *edited.node(251)});
    Node stamped = *edited.node(252);
    stamped.modifiedTimestamp = 5.0;
    edited.storeNodes({stamped});
    EXPECT_EQ(edited.sharedNode(251), original.sharedNode(251)) << "an equal node written back keeps its storage";
    EXPECT_NE(edited.sharedNode(252), original.sharedNode(252)) << "the modification time counts as a change";
    edited.removeNodeKeepingChildren(*edited.node(1));

    EXPECT_EQ(original.node(250)->title, "n250");
    EXPECT_EQ(original.node(2)->parentUID, std::optional<std::int64_t>(1));
    EXPECT_EQ(original.count(), 500U);
    EXPECT_FALSE(edited.contains(1));

    EXPECT_NE(edited.sharedNode(250), original.sharedNode(250));
    EXPECT_EQ(edited.sharedNode(250)->title, "changed");
    EXPECT_NE(edited.sharedNode(300), original.sharedNode(300)) << "moved up to the root level";
    EXPECT_EQ(edited.sharedNode(1), nullptr);

    // Held storage is never changed in place, even when the graph holding it is the only graph left.
    const std::shared_ptr<const Node> heldRoot = original.sharedNode(1);
    edited = Graph();
    original.removeNodes({*original.node(2)});
    EXPECT_NE(original.sharedNode(1), heldRoot);
    EXPECT_EQ(original.node(1)->childrenUIDs.size(), 498U);
    EXPECT_EQ(heldRoot->childrenUIDs.size(), 499U);
}

// Overwriting moved nodes: a graph that shares the nodes keeps what it held, an unchanged node keeps its
// storage, a changed one this graph alone holds is written where it is, and an unknown one is added.
TEST(GraphSharing, OverwritingNodesKeepsCopiesAndUnchangedStorage)
{
    Graph graph;
    graph.storeNodes({titled(1, "one"), titled(2, "two"), titled(3, "three")});
    const Graph before = graph;
    Node moved = *graph.node(1);
    moved.center = {40, 50};
    graph.overwriteNodes({moved, *graph.node(2)});
    EXPECT_EQ(before.node(1)->center, (Point{0, 0}));
    EXPECT_EQ(graph.node(1)->center, (Point{40, 50}));
    EXPECT_EQ(graph.sharedNode(2), before.sharedNode(2));

    Graph alone;
    alone.storeNodes({titled(3, "three")});
    const Node* address = alone.findNode(3);
    Node renamed = *alone.node(3);
    renamed.title = "third";
    alone.overwriteNodes({renamed, titled(4, "four")});
    EXPECT_EQ(alone.findNode(3), address);
    EXPECT_EQ(alone.node(3)->title, "third");
    EXPECT_EQ(alone.node(4)->title, "four");
}
