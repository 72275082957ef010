// Reloads after a layout moved many nodes at once (parents with their children, as re-centring does): the
// layers that only follow their nodes end where a full reload puts them, mixed with nodes that changed more.
#include <gtest/gtest.h>

#include <random>

#include "GraphViewTestSupport.h"

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
            project.insertChildNode(pick, "Added", {pick.center.x + 120, pick.center.y});
        live.selectedNodeUIDs = {pick.uid};
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

} // namespace
} // namespace velquine::testing
