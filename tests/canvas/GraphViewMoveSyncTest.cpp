// Reloads after a layout moved many nodes at once (parents with their children, as re-centring does): the
// layers that only follow their nodes end where a full reload puts them, mixed with nodes that changed more.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "GraphViewTestSupport.h"
#include "canvas/CanvasSync.h"

namespace velquine::testing {
namespace {

// Moves the node and everything below it by the offset.
void shiftSubtree(Graph& graph, const Node& top, Point by)
{
    for (Node node : graph.subtree(top)) {
        node.center = {node.center.x + by.x, node.center.y + by.y};
        graph.setNode(node, node.uid);
    }
}

TEST(GraphViewMoveSync, SubtreesMovedTogetherMatchFullReloads)
{
    VQProject project = sampleProject(2, 4, 3);
    GraphView live(Rect(0, 0, 1600, 900));
    GraphView full(Rect(0, 0, 1600, 900));
    live.setGraph(project.graph);
    full.setGraph(project.graph);
    std::mt19937 random(11);
    for (int step = 0; step < 80; ++step) {
        const std::vector<std::int64_t> uids = nodeUIDs(project.graph);
        const Node pick = *project.graph.findNode(uids[random() % uids.size()]);
        // Far enough, now and then, that a child crosses to the other side of its parent.
        const Point by{double(int(random() % 601) - 300), double(int(random() % 201) - 100)};
        shiftSubtree(project.graph, project.graph.rootAncestor(pick), {by.x / 3, by.y / 3});
        shiftSubtree(project.graph, pick, by);
        if (step % 4 == 1) {
            Node restyled = *project.graph.findNode(pick.uid);
            restyled.style.branchWidth = step % 8 == 1 ? StrokeThickness::thick : StrokeThickness::thin;
            restyled.title += "+";
            project.graph.setNode(restyled, restyled.uid);
        }
        if (step % 5 == 2)
            insertChildNode(project, pick, "Added", {pick.center.x + 120, pick.center.y});
        live.setSelectedNodeUIDs({pick.uid});
        ASSERT_TRUE(reloadedAlike(live, full, project.graph)) << "after step " << step;
        // The drawing order kept up to date as layers change depth matches one sorted afresh.
        std::vector<const Layer*> kept(live.layer()->sublayersInDrawingOrder().begin(),
                                       live.layer()->sublayersInDrawingOrder().end());
        std::vector<const Layer*> sorted;
        for (const auto& sublayer : live.layer()->sublayers())
            sorted.push_back(sublayer.get());
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const Layer* a, const Layer* b) { return a->zPosition() < b->zPosition(); });
        ASSERT_EQ(kept, sorted) << "after step " << step;
    }
}

// The same nodes under identifiers far apart and on both sides of zero, as maps merged from elsewhere have them.
Graph spreadOut(const Graph& graph)
{
    const auto spread = [](std::int64_t uid) { return uid * 1'000'003 - 40'000'000; };
    std::vector<Node> nodes;
    for (const auto& [uid, node] : graph.nodeBin()) {
        Node copy = node;
        copy.uid = spread(uid);
        if (copy.parentUID)
            copy.parentUID = spread(*copy.parentUID);
        for (std::int64_t& child : copy.childrenUIDs)
            child = spread(child);
        nodes.push_back(copy);
    }
    Graph spreadGraph;
    spreadGraph.updateNodes(nodes);
    return spreadGraph;
}

TEST(GraphViewMoveSync, MovesAndNewParentsUnderSpreadIdentifiersMatchFullReloads)
{
    VQProject project = sampleProject(2, 4, 3);
    project.graph = spreadOut(project.graph);
    GraphView live(Rect(0, 0, 1600, 900));
    GraphView full(Rect(0, 0, 1600, 900));
    live.setGraph(project.graph);
    full.setGraph(project.graph);
    std::mt19937 random(5);
    for (int step = 0; step < 60; ++step) {
        const std::vector<std::int64_t> uids = nodeUIDs(project.graph);
        const Node pick = *project.graph.findNode(uids[random() % uids.size()]);
        const Node root = project.graph.rootAncestor(pick);
        // Whole trees move, mostly between places out of view, as a layout re-centring them does.
        shiftSubtree(project.graph, root, {double(int(random() % 1201) - 600), double(int(random() % 401) - 200)});
        const Node other = *project.graph.findNode(uids[random() % uids.size()]);
        const std::vector<Node> below = project.graph.subtree(pick);
        const bool inside = std::any_of(below.begin(), below.end(), [&](const Node& n) { return n.uid == other.uid; });
        if (step % 3 == 0 && pick.parentUID && !inside && *pick.parentUID != other.uid) {
            // The picked node moves under another parent in the same reload.
            Node oldParent = *project.graph.findNode(*pick.parentUID);
            Node newParent = *project.graph.findNode(other.uid);
            Node moved = *project.graph.findNode(pick.uid);
            std::erase(oldParent.childrenUIDs, pick.uid);
            newParent.childrenUIDs.push_back(pick.uid);
            moved.parentUID = newParent.uid;
            project.graph.updateNodes({oldParent, newParent, moved});
        } else if (step % 3 == 1) {
            insertChildNode(project, other, "Added", {other.center.x + 140, other.center.y + 20});
        } else if (step % 7 == 2 && pick.parentUID) {
            project.graph.removeNodeKeepingChildren(pick);
        }
        live.setSelectedNodeUIDs({other.uid});
        ASSERT_TRUE(reloadedAlike(live, full, project.graph)) << "after step " << step;
        for (const auto& layer : live.nodeLayers())
            ASSERT_EQ(live.nodeLayer(layer->node().uid), layer.get()) << "after step " << step;
    }
}

} // namespace
} // namespace velquine::testing
