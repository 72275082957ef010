// A canvas much larger than its window, whose nodes a layout keeps moving far from view: the layers out of view
// catch up with their nodes when the view scrolls to them, when a click lands on them and when they are read,
// and then show what a canvas reloaded from scratch shows.
#include "support/QtWait.h"
#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <random>

#include "GraphViewTestSupport.h"
#include "kit/ScrollView.h"
#include "canvas/WaitingLayers.h"
#include "canvas/CanvasSync.h"

namespace velquine::testing {
namespace {

Rect frameOf(const Node& node)
{
    return Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                node.size.height);
}

// The node layers whose frames differ from their nodes', read from the layer tree as it is (nothing settled).
std::vector<std::int64_t> layersAwayFromTheirNodes(const GraphView& view, const Graph& graph, const Rect& within)
{
    std::vector<std::int64_t> away;
    for (const auto& sublayer : view.layer()->sublayers())
        if (const auto* layer = dynamic_cast<const NodeLayer*>(sublayer.get()))
            if (const Node* node = graph.findNode(layer->node().uid);
                node && frameOf(*node).intersects(within) && !(layer->position() == node->center))
                away.push_back(node->uid);
    return away;
}

// Moves every node of the tree by the offset.
void shiftTree(Graph& graph, std::int64_t rootUID, Point by)
{
    for (Node node : graph.subtree(*graph.findNode(rootUID))) {
        node.center = {node.center.x + by.x, node.center.y + by.y};
        graph.setNode(node, node.uid);
    }
}

TEST(GraphViewLeftBehind, LayersMovedOutOfViewCatchUpWhenScrolledToClickedOrRead)
{
    VQProject project = sampleProject(3, 6, 8);
    std::vector<std::int64_t> roots;
    for (const auto& [uid, node] : project.graph.nodeBin())
        if (!node.parentUID)
            roots.push_back(uid);
    ScrollView scrollView;
    scrollView.resize(640, 480);
    auto* live = new GraphView(Rect(0, 0, 3200, 1400));
    live->setGraph(project.graph);
    scrollView.setDocumentView(live);
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    GraphView full(Rect(0, 0, 3200, 1400));

    // The trees on the right swing back and forth far from view; the one in view moves a little.
    for (int step = 0; step < 6; ++step) {
        const double swing = step % 2 ? -310 : 330;
        shiftTree(project.graph, roots[1], {swing, 20});
        shiftTree(project.graph, roots[2], {swing, -15});
        shiftTree(project.graph, roots[0], {4, 3});
        live->setGraph(project.graph);
    }
    const Rect everywhere(0, 0, 3200, 1400);
    EXPECT_FALSE(layersAwayFromTheirNodes(*live, project.graph, everywhere).empty())
        << "nothing was left behind: the map is not large enough for this test";
    EXPECT_TRUE(layersAwayFromTheirNodes(*live, project.graph, live->visibleRect()).empty());

    // Scrolled to the third tree, every layer in view is where its node is.
    const Node far = *project.graph.findNode(roots[2]);
    scrollView.scrollToPoint({far.center.x - 320, far.center.y - 240});
    EXPECT_EVENTUALLY(live->visibleRect().contains(far.center));
    const Rect visible = live->visibleRect();
    ASSERT_TRUE(visible.contains(far.center));
    EXPECT_TRUE(layersAwayFromTheirNodes(*live, project.graph, visible).empty());
    scrollView.grab().save(artefactPath(QStringLiteral("graphview_left_behind_scrolled.png")));

    // A click where a node of that tree now is selects it.
    const std::vector<Node> tree = project.graph.subtree(far);
    const auto shown = std::find_if(tree.begin() + 1, tree.end(),
                                    [&](const Node& node) { return visible.insetBy(8, 8).contains(frameOf(node)); });
    ASSERT_NE(shown, tree.end());
    const Node main = *shown;
    QTest::mouseClick(live, Qt::LeftButton, {},
                      live->widgetRectFromLayer(Rect(main.center.x, main.center.y, 0, 0)).topLeft().toPoint());
    EXPECT_TRUE(live->nodeLayer(main.uid)->isSelected());

    // Another swing, then read through the canvas: everything matches a canvas reloaded from scratch.
    shiftTree(project.graph, roots[1], {-290, 10});
    live->setSelectedNodeUIDs({main.uid});
    live->setGraph(project.graph);
    full.setSelectedNodeUIDs({main.uid});
    sendMouse(full, QEvent::MouseMove, live->pointerLocation(), Qt::NoButton, Qt::NoButton);
    full.setGraph(project.graph);
    EXPECT_TRUE(sameLayers(*live, full));
    EXPECT_TRUE(layersAwayFromTheirNodes(*live, project.graph, everywhere).empty());
}

// A long list whose node is in view, its children moved half a row up: their layers out of view stay behind,
// while every line, in view where it leaves the node, is docked at once to where its child goes. Read through
// the canvas, layers and lines then match a canvas reloaded from scratch; sizes that are not whole pixels
// make a line docked to a frame other than the one its child settles at show.
TEST(GraphViewLeftBehind, LinesInViewDockWhereChildrenLeftBehindGo)
{
    NodeStyle style;
    Node list(1, std::nullopt, style);
    list.title = "List";
    list.center = {300, 19.5 * 400};
    list.size = {120.4, 30.3};
    std::vector<Node> nodes{list};
    for (std::int64_t i = 0; i < 400; ++i) {
        Node child(2 + i, 1, style);
        child.title = std::to_string(i);
        child.center = {600, 39.0 * double(i)};
        child.size = {100.4, 28.3};
        nodes[0].childrenUIDs.push_back(child.uid);
        nodes.push_back(child);
    }
    Graph graph;
    graph.updateNodes(nodes);
    ScrollView scrollView;
    scrollView.resize(900, 600);
    auto* live = new GraphView(Rect(0, -100, 1200, 16000));
    live->setGraph(graph);
    scrollView.setDocumentView(live);
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    scrollView.centerOn(list.center);
    EXPECT_EVENTUALLY(live->visibleRect().contains(list.center));

    std::vector<NodePlacement> moves;
    for (std::size_t i = 1; i < nodes.size(); ++i)
        moves.push_back({nodes[i].uid, {600, nodes[i].center.y - 19.5}});
    graph.placeNodes(moves);
    live->setGraph(graph);
    EXPECT_GT(layersAwayFromTheirNodes(*live, graph, Rect(0, -100, 1200, 16000)).size(), 350u);
    EXPECT_TRUE(layersAwayFromTheirNodes(*live, graph, live->visibleRect()).empty());
    scrollView.grab().save(artefactPath(QStringLiteral("graphview_list_children_left_behind.png")));

    GraphView full(Rect(0, -100, 1200, 16000));
    full.setGraph(graph);
    EXPECT_TRUE(sameLayers(*live, full));
}

// The list of layers left behind finds what reaches an area by looking near it: after any mix of entries
// made, nudged, moved across the map and removed, one by one or all at once, small or wider than a cell, at the
// origin's corners too, it finds exactly what a look at every entry finds, each once.
TEST(GraphViewLeftBehind, TheListOfLayersLeftBehindFindsWhatEveryEntryReaches)
{
    struct Waiting : std::enable_shared_from_this<Waiting> {
        std::size_t unsettledSlot = 0;
    };
    UnsettledList<Waiting> list;
    std::vector<std::shared_ptr<Waiting>> layers;
    for (int i = 0; i < 1200; ++i)
        layers.push_back(std::make_shared<Waiting>());
    std::mt19937 random(7);
    const auto place = [&random] {
        const double x = std::uniform_real_distribution<>(-6000, 6000)(random);
        const double y = std::uniform_real_distribution<>(-6000, 6000)(random);
        const bool wide = random() % 8 == 0;
        return Rect(x, y, wide ? 1500 + random() % 4000 : random() % 300, wide ? 900 : random() % 1100);
    };
    for (int round = 0; round < 40; ++round) {
        // Once, everything is settled at once, as a read of every layer does.
        if (round == 20) {
            list.forgetFiling();
            while (!list.entries.empty())
                list.remove(*list.entries.front().layer);
        }
        for (int change = 0; change < 600; ++change) {
            Waiting& layer = *layers[random() % layers.size()];
            const Unsettled* was = list.find(layer);
            if (random() % 4 == 0)
                list.remove(layer);
            else if (was && random() % 2 == 0) // nudged, mostly within the cells it was filed in
                list.set(layer, {was->from, was->to.offsetBy(double(random() % 9) - 4, double(random() % 9) - 4)});
            else
                list.set(layer, {place(), place()});
        }
        for (int look = 0; look < 20; ++look) {
            const Rect area = look == 0 ? Rect(-1, -1, 2, 2) : place().insetBy(-800, -500);
            std::vector<Waiting*> found, expected;
            list.visit(area, [&found](const std::shared_ptr<Waiting>& layer) { found.push_back(layer.get()); });
            for (const auto& entry : list.entries)
                if (entry.places.reaches(area))
                    expected.push_back(entry.layer.get());
            std::sort(found.begin(), found.end());
            std::sort(expected.begin(), expected.end());
            ASSERT_EQ(found, expected) << "round " << round << ", look " << look;
        }
    }
    list.clear();
    EXPECT_TRUE(std::all_of(layers.begin(), layers.end(), [](const auto& layer) { return layer->unsettledSlot == 0; }));
}

} // namespace
} // namespace velquine::testing
