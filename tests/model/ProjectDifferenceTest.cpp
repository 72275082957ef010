// A project difference over a map deep enough for several levels of storage blocks: it names exactly the
// nodes that changed, and rebuilding gives back the earlier project field for field.

#include "model/project/ProjectDifference.h"

#include <gtest/gtest.h>

using namespace velquine;

namespace {

Node numbered(std::int64_t uid)
{
    Node node(uid, std::nullopt, NodeStyle());
    node.title = "n" + std::to_string(uid);
    node.center = Point{double(uid), 0};
    return node;
}

// Every node equal in every field, counted; the project texts and selection too.
void expectSame(const VQProject& a, const VQProject& b)
{
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.selectedNodeUIDs, b.selectedNodeUIDs);
    ASSERT_EQ(a.graph.count(), b.graph.count());
    for (const auto& [uid, node] : a.graph.nodeBin()) {
        const Node* other = b.graph.findNode(uid);
        ASSERT_NE(other, nullptr) << uid;
        EXPECT_FALSE(node.differs(*other)) << uid;
        EXPECT_EQ(node.modifiedTimestamp, other->modifiedTimestamp) << uid;
    }
}

} // namespace

TEST(ProjectDifferenceTest, NamesOnlyChangedNodesOfADeepMapAndRebuildsTheEarlierProject)
{
    VQProject earlier;
    for (std::int64_t uid = 1; uid <= 20000; ++uid)
        earlier.graph.storeNode(numbered(uid));
    earlier.graph.boundingRect();

    VQProject later = earlier;
    later.title = "later";
    later.selectedNodeUIDs = {5};
    Node moved = *later.graph.node(std::int64_t{7000});
    moved.center.x += 3;
    moved.horizontalAffinity = HorizontalAffinity::left;
    Node stamped = *later.graph.node(std::int64_t{9000});
    stamped.center.y = -40000;
    stamped.modifiedTimestamp = 12;
    Node renamed = *later.graph.node(std::int64_t{15000});
    renamed.title = "renamed";
    later.graph.storeNodes({moved, stamped, renamed});
    later.graph.setNode(std::nullopt, 12);
    for (std::int64_t uid = 30000; uid < 30100; ++uid) // splits blocks at the end
        later.graph.storeNode(numbered(uid));

    const ProjectDifference back(earlier, later);
    EXPECT_EQ(back.nodeCount(), 3u + 1u + 100u);
    const VQProject rebuilt = back.earlierFrom(later);
    expectSame(rebuilt, earlier);
    EXPECT_EQ(rebuilt.graph.boundingRect(), earlier.graph.boundingRect()) << "the extent follows the rebuild";
    EXPECT_EQ(rebuilt.graph.sharedNode(15000), earlier.graph.sharedNode(15000)) << "a changed node comes back shared";
    EXPECT_EQ(rebuilt.graph.sharedNode(10), later.graph.sharedNode(10)) << "an untouched node keeps the later storage";

    const ProjectDifference forth(rebuilt, earlier);
    EXPECT_EQ(forth.nodeCount(), 0u) << "equal nodes in other storage are named only when they differ";
    const ProjectDifference again(later, rebuilt);
    expectSame(again.earlierFrom(rebuilt), later);
}
