// Keeping the canvas's layers in line with the graph: one layer per node and per link, the lock, reloads that
// touch only what changed and still end where a full reload ends.
#include <gtest/gtest.h>

#include <QDir>

#include <QImage>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <random>

#include "GraphViewTestSupport.h"
#include "kit/ScrollView.h"
#include "layout/VQProjectEdits.h"
#include "platform/layer/Transaction.h"
#include "canvas/CanvasSync.h"

namespace velquine::testing {
namespace {

std::size_t edgeCount(const Graph& graph)
{
    std::size_t edges = 0;
    for (const auto& [uid, node] : graph.nodeBin())
        if (node.parentUID && graph.contains(*node.parentUID))
            ++edges;
    return edges;
}

void expectOneLayerPerNodeAndLink(GraphView& view)
{
    const Graph& graph = view.graph();
    ASSERT_EQ(view.nodeLayers().size(), graph.count());
    ASSERT_EQ(view.branchLayers().size(), edgeCount(graph));
    for (const auto& [uid, node] : graph.nodeBin()) {
        const NodeLayer* layer = view.nodeLayer(uid);
        ASSERT_NE(layer, nullptr) << uid;
        EXPECT_EQ(layer->node().uid, uid);
        EXPECT_EQ(layer->position(), node.center);
        EXPECT_EQ(layer->superlayer(), &view.viewLayer());
        if (node.parentUID && graph.contains(*node.parentUID)) {
            EXPECT_NE(view.branchLayer(*node.parentUID, uid), nullptr) << uid;
        }
    }
    // Node layers, branch layers, background, selection rectangle and badge: nothing else hangs on the view.
    EXPECT_EQ(view.viewLayer().sublayers().size(), graph.count() + edgeCount(graph) + 3);
}

TEST(GraphViewSync, GraphStyleAndGridEachGiveOneLayerPerNodeAndLink)
{
    VQProject project = sampleProject(2, 3, 2);
    GraphView view(Rect(0, 0, 2000, 800));
    view.setGraph(project.graph);
    expectOneLayerPerNodeAndLink(view);
    const NodeLayer* root = view.nodeLayer(project.graph.nodeBin().begin()->first);
    view.setProjectStyle(ProjectStyle::midnight());
    view.setGrid(Grid{GridType::dots, {16, 16}});
    expectOneLayerPerNodeAndLink(view);
    // Layers keep their identity across reloads.
    EXPECT_EQ(view.nodeLayer(project.graph.nodeBin().begin()->first), root);
    EXPECT_EQ(view.backgroundLayer().backgroundColor(), ProjectStyle::midnight().current.backgroundColor.toQColor());

    view.setGraph(Graph());
    EXPECT_TRUE(view.nodeLayers().empty());
    EXPECT_TRUE(view.branchLayers().empty());
    EXPECT_EQ(view.viewLayer().sublayers().size(), 3u);
}

TEST(GraphViewSync, TheLockHoldsEveryReloadUntilItEnds)
{
    VQProject project = sampleProject(1, 2, 1);
    GraphView view(Rect(0, 0, 800, 800));
    view.beginSyncLock();
    view.setGraph(project.graph);
    view.setProjectStyle(ProjectStyle::dark());
    view.setGrid(Grid{GridType::quad, {20, 20}});
    LayoutOptions vertical = view.baseLayoutOptions();
    vertical.layoutType = LayoutOptions::LayoutType::vertical;
    view.setBaseLayoutOptions(vertical);
    EXPECT_TRUE(view.nodeLayers().empty());
    EXPECT_NE(view.backgroundLayer().backgroundColor(), ProjectStyle::dark().current.backgroundColor.toQColor());
    view.endSyncLock();
    EXPECT_FALSE(view.sync().isSynclocked());
    expectOneLayerPerNodeAndLink(view);
    for (const auto& branch : view.branchLayers())
        EXPECT_EQ(branch->layoutType, LayoutOptions::LayoutType::vertical);

    // Base options alone change nothing until the next reload; endSyncLock reloads even when not locked.
    LayoutOptions horizontal = view.baseLayoutOptions();
    horizontal.layoutType = LayoutOptions::LayoutType::horizontal;
    view.setBaseLayoutOptions(horizontal);
    EXPECT_EQ(view.branchLayers().front()->layoutType, LayoutOptions::LayoutType::vertical);
    view.endSyncLock();
    EXPECT_EQ(view.branchLayers().front()->layoutType, LayoutOptions::LayoutType::horizontal);
}

TEST(GraphViewSync, OneChangedNodeTouchesOnlyItsLayerAndItsBranches)
{
    VQProject project = sampleProject(1, 4, 3);
    GraphView view(Rect(0, 0, 1200, 900));
    view.setGraph(project.graph);

    // A main node with a parent and children.
    const Node& main = *project.graph.findNode(project.graph.nodeBin().begin()->second.childrenUIDs[1]);
    std::unordered_map<const Layer*, std::uint64_t> revisions;
    for (const auto& layer : view.nodeLayers())
        revisions[layer.get()] = layer->contentRevision();
    for (const auto& layer : view.branchLayers())
        revisions[layer.get()] = layer->contentRevision();

    Node edited = main;
    edited.title = "Edited";
    edited.center.x += 40;
    project.graph.setNode(edited, edited.uid);
    view.setGraph(project.graph);

    std::size_t touchedNodes = 0, touchedBranches = 0;
    for (const auto& layer : view.nodeLayers())
        if (layer->contentRevision() != revisions[layer.get()]) {
            ++touchedNodes;
            EXPECT_EQ(layer->node().uid, main.uid);
        }
    for (const auto& layer : view.branchLayers())
        if (layer->contentRevision() != revisions[layer.get()]) {
            ++touchedBranches;
            EXPECT_TRUE(layer->parentNodeUID == main.uid || layer->childNodeUID == main.uid);
        }
    EXPECT_EQ(touchedNodes, 1u);
    EXPECT_EQ(touchedBranches, 1 + main.childrenUIDs.size());
    EXPECT_EQ(view.nodeLayer(main.uid)->node().title, "Edited");
    EXPECT_EQ(view.nodeLayer(main.uid)->position(), edited.center);
}

// Moves animate where they can be seen; far outside the visible area layers jump. A node that only moved
// keeps its laid-out title.
TEST(GraphViewSync, OnlyVisibleMovesAnimateAndMovesKeepTheTitle)
{
    VQProject project = sampleProject(2, 1, 0);
    GraphView view(Rect(0, 0, 800, 800));
    view.setGraph(project.graph);
    std::vector<Node> moved;
    for (const auto& [uid, node] : project.graph.nodeBin()) {
        Node copy = node;
        copy.center.x += 30;
        moved.push_back(copy);
    }
    const Node near = moved[0];
    const Node far = *std::find_if(moved.begin(), moved.end(), [](const Node& n) { return n.center.x > 1200; });
    const std::uint64_t titleRevision = view.nodeLayer(near.uid)->labelLayer()->contentRevision();
    project.graph.updateNodes(moved);
    view.setGraph(project.graph);
    EXPECT_TRUE(view.nodeLayer(near.uid)->hasAnimationForKey("position"));
    EXPECT_FALSE(view.nodeLayer(far.uid)->hasAnimationForKey("position"));
    EXPECT_EQ(view.nodeLayer(far.uid)->position(), far.center);
    EXPECT_EQ(view.nodeLayer(near.uid)->labelLayer()->contentRevision(), titleRevision);
    EXPECT_TRUE(view.branchLayer(near.uid, near.childrenUIDs.at(0))->hasAnimationForKey("path"));
    EXPECT_FALSE(view.branchLayer(far.uid, far.childrenUIDs.at(0))->hasAnimationForKey("path"));

    Node renamed = *project.graph.findNode(near.uid);
    renamed.title = "A much longer title that wraps onto more lines";
    project.graph.setNode(renamed, renamed.uid);
    view.setGraph(project.graph);
    EXPECT_NE(view.nodeLayer(near.uid)->labelLayer()->contentRevision(), titleRevision);
}

// Titles and branch lines made outside the visible area are measured and built only when they come into view,
// are asked for, or the canvas is drawn whole, and then are what they would have been at once.
TEST(GraphViewSync, TitlesAndLinesOutOfViewAreMadeWhenShownOrDrawn)
{
    VQProject project = sampleProject(2, 1, 0);
    GraphView small(Rect(0, 0, 700, 700));
    GraphView whole(Rect(0, 0, 3000, 1000));
    small.setGraph(project.graph);
    whole.setGraph(project.graph);
    std::vector<std::int64_t> far;
    for (const auto& [uid, node] : project.graph.nodeBin()) {
        const bool out = node.center.x > 900;
        EXPECT_EQ(small.nodeLayer(uid)->isLabelDeferred(), out) << uid;
        EXPECT_FALSE(whole.nodeLayer(uid)->isLabelDeferred());
        if (out)
            far.push_back(uid);
    }
    ASSERT_EQ(far.size(), 2u);
    // Asking for the frame places the title; asking for a line builds it.
    EXPECT_EQ(small.nodeLayer(far[0])->labelFrameInLayer(), whole.nodeLayer(far[0])->labelFrameInLayer());
    BranchLayer* farBranch = small.branchLayer(far[0], far[1]);
    ASSERT_NE(farBranch, nullptr);
    EXPECT_TRUE(farBranch->isPathDeferred());
    EXPECT_FALSE(small.branchLayer(project.graph.nodeBin().begin()->first,
                                   project.graph.nodeBin().begin()->second.childrenUIDs.at(0))
                     ->isPathDeferred());
    EXPECT_EQ(farBranch->path(), whole.branchLayer(far[0], far[1])->path());

    // Moved into view, a node's title is placed by the reload.
    Node moved = *project.graph.findNode(far[1]);
    moved.center = {300, 600};
    project.graph.setNode(moved, moved.uid);
    small.setGraph(project.graph);
    EXPECT_FALSE(small.nodeLayer(far[1])->isLabelDeferred());
    EXPECT_FALSE(small.branchLayer(far[0], far[1])->isPathDeferred());

    Node renamed = *project.graph.findNode(far[0]);
    renamed.title = "Renamed far away";
    project.graph.setNode(renamed, renamed.uid);
    small.setGraph(project.graph);
    whole.setGraph(project.graph);
    EXPECT_TRUE(small.nodeLayer(far[0])->isLabelDeferred());
    // Selected, a node out of view makes its ring and handles with its title.
    std::vector<std::int64_t> all;
    for (const auto& [uid, node] : project.graph.nodeBin())
        all.push_back(uid);
    for (GraphView* view : {&small, &whole}) {
        view->setSelectedNodeUIDs(all);
        view->reloadLayers();
    }
    EXPECT_TRUE(small.nodeLayer(far[1])->areHandlesShown());
    EXPECT_FALSE(small.nodeLayer(far[0])->hasHandleLayer() || small.nodeLayer(far[0])->hasFocusRingLayer());
    EXPECT_TRUE(small.nodeLayer(far[0])->showsSelectionLayers());
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    small.render(painter, QRectF(0, 0, 200, 200));
    EXPECT_FALSE(small.nodeLayer(far[0])->isLabelDeferred());
    EXPECT_EQ(small.nodeLayer(far[0])->labelLayer()->frame(), whole.nodeLayer(far[0])->labelLayer()->frame());
    EXPECT_TRUE(small.nodeLayer(far[0])->areHandlesShown() && small.nodeLayer(far[0])->isFocusRingShown());
    EXPECT_EQ(small.nodeLayer(far[0])->focusRingLayer().path(), whole.nodeLayer(far[0])->focusRingLayer().path());
}

// A node far from view that a layout nudges edit after edit stays filed once for its title and once for its
// line, not once more for every nudge.
TEST(GraphViewSync, NodesNudgedFarFromViewAreFiledOnce)
{
    VQProject project = sampleProject(2, 1, 0);
    GraphView small(Rect(0, 0, 700, 700));
    small.setGraph(project.graph);
    std::vector<std::int64_t> far;
    for (const auto& [uid, node] : project.graph.nodeBin())
        if (node.center.x > 900)
            far.push_back(uid);
    ASSERT_EQ(far.size(), 2u);
    for (int nudge = 1; nudge <= 20; ++nudge) {
        Node moved = *project.graph.findNode(far[1]);
        moved.center.y += nudge % 2 ? 3 : -2;
        project.graph.setNode(moved, moved.uid);
        small.setGraph(project.graph);
    }
    ASSERT_TRUE(small.nodeLayer(far[1])->isLabelDeferred());
    ASSERT_TRUE(small.branchLayer(far[0], far[1])->isPathDeferred());
    // Counted as the canvas looks at them: an entry in a cell its layer has left is dropped there. No drawing
    // shows a trail of entries, so the test reads the reload engine's count.
    const auto [titles, lines] = small.sync().lookAtWaitingEntries(far[1]);
    EXPECT_EQ(titles, 1u);
    EXPECT_EQ(lines, 1u);
}

// A node far from view that layouts push edit after edit across many cells of the waiting grid leaves no
// entries behind in the cells it crossed; shown, or removed, it leaves the grid (which then holds nothing,
// not even the storage of its layers, for a node that is gone).
TEST(GraphViewSync, NodesPushedAcrossTheGridShownOrRemovedLeaveNoEntriesBehind)
{
    for (const bool remove : {false, true}) {
        VQProject project = sampleProject(2, 1, 0);
        GraphView view(Rect(0, 0, 700, 700));
        view.setGraph(project.graph);
        std::vector<Node> right;
        for (const auto& [uid, node] : project.graph.nodeBin())
            if (node.center.x > 900)
                right.push_back(node);
        ASSERT_EQ(right.size(), 2u);
        const Node& far = right[1];
        // No drawing shows entries left in the grid: the test reads the reload engine's count.
        const auto entries = [&] { return view.sync().waitingEntryCount(); };
        const std::size_t before = entries();
        // 40 pushes of 300 points, about twelve cells down and back up now and then; each read settles them.
        for (int push = 1; push <= 40; ++push) {
            Node moved = *project.graph.findNode(far.uid);
            moved.center = moved.center + Point{0, push % 5 ? 300.0 : -200.0};
            project.graph.setNode(moved, moved.uid);
            view.setGraph(project.graph);
            ASSERT_TRUE(view.nodeLayer(far.uid)->isLabelDeferred());
            ASSERT_TRUE(view.branchLayer(*far.parentUID, far.uid)->isPathDeferred());
        }
        // A title and a line meet a few cells where they lie.
        const std::size_t away = entries();
        EXPECT_LE(away, before + 8);
        const std::weak_ptr<Layer> title = view.nodeLayer(far.uid)->shared_from_this();
        Node moved = *project.graph.findNode(far.uid);
        moved.center = {300, 300};
        remove ? project.graph.removeNodes({moved}) : project.graph.setNode(moved, moved.uid);
        view.setGraph(project.graph);
        EXPECT_EQ(title.expired(), remove);
        EXPECT_LE(entries(), away - 2) << "removed: " << remove;
    }
}

// Scrolling down a long column: what comes near the view gets its title and line, what lies far off keeps
// waiting, and a node moved while it waited is found where it went.
TEST(GraphViewSync, TitlesAndLinesComeAsTheViewScrollsToThem)
{
    NodeStyle style;
    std::vector<Node> nodes{Node(1, std::nullopt, style)};
    nodes[0].center = {100, 100};
    nodes[0].size = {120, 40};
    for (std::int64_t uid = 2; uid <= 400; ++uid) {
        Node child(uid, 1, style);
        child.title = "Child " + std::to_string(uid);
        child.center = {400 + 300.0 * (uid % 3), 60.0 * uid};
        child.size = {110, 24};
        nodes[0].childrenUIDs.push_back(uid);
        nodes.push_back(child);
    }
    Graph graph;
    graph.updateNodes(nodes);
    ScrollView scrollView;
    scrollView.resize(1000, 700);
    auto* view = new GraphView(Rect(0, 0, 1600, 25000));
    scrollView.setDocumentView(view);
    view->setGraph(graph);
    // Shown, the canvas follows the scroll view.
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    // A waiting node moved from far below to farther below by a reload.
    Node moved = *graph.findNode(300);
    moved.center = {700, 21000};
    graph.setNode(moved, moved.uid);
    view->setGraph(graph);
    const auto reaches = [](const Rect& a, const Rect& b) { return a.intersects(b); };
    for (double top = 0; top < 22000; top += 350) {
        scrollView.scrollToPoint({0, top});
        const Rect visible = view->visibleRect();
        const Rect near = visible.insetBy(-64, -64);
        const Rect far = visible.insetBy(-3000, -3000);
        for (const auto& [uid, node] : graph.nodeBin()) {
            const NodeLayer* layer = view->nodeLayer(uid);
            if (reaches(near, layer->frame())) {
                ASSERT_FALSE(layer->isLabelDeferred()) << uid << " at " << top;
            }
            if (!reaches(far, layer->frame()) && layer->frame().minY() > visible.maxY()) {
                ASSERT_TRUE(layer->isLabelDeferred()) << uid << " at " << top;
            }
            if (node.parentUID) {
                const BranchLayer* branch = view->branchLayer(1, uid);
                if (reaches(near, branch->dockArea())) {
                    ASSERT_FALSE(branch->isPathDeferred()) << uid << " at " << top;
                }
            }
        }
    }
}

// An underlined node out of view makes its underline when the canvas is drawn, as one in view has it at once.
TEST(GraphViewSync, UnderlinesOutOfViewAreMadeWhenDrawn)
{
    const VQProject project = sampleProject(2, 1, 1);
    const auto viewOf = [&project](Rect visible) {
        auto view = std::make_unique<GraphView>(visible);
        view->setGraph(project.graph);
        return view;
    };
    const auto small = viewOf(Rect(0, 0, 700, 700));
    const auto whole = viewOf(Rect(0, 0, 3000, 1000));
    std::vector<std::int64_t> underlined;
    for (const auto& [uid, node] : project.graph.nodeBin())
        if (node.shape == NodeShape::underline)
            underlined.push_back(uid);
    ASSERT_EQ(underlined.size(), 2u);
    const std::int64_t far = small->nodeLayer(underlined[0])->isLabelDeferred() ? underlined[0] : underlined[1];
    ASSERT_TRUE(small->nodeLayer(far)->isLabelDeferred());
    EXPECT_FALSE(small->nodeLayer(far)->hasUnderlineLayer());
    EXPECT_TRUE(whole->nodeLayer(far)->isUnderlineShown());
    QImage image(1500, 500, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    small->render(painter, QRectF(0, 0, 1500, 500), Rect(700, 0, 1500, 500));
    QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
    image.save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/underlines-made-when-drawn.png"));
    ASSERT_TRUE(small->nodeLayer(far)->isUnderlineShown());
    EXPECT_EQ(small->nodeLayer(far)->underlineLayer().frame(), whole->nodeLayer(far)->underlineLayer().frame());
    EXPECT_EQ(small->nodeLayer(far)->underlineLayer().path(), whole->nodeLayer(far)->underlineLayer().path());
}

// The canvas's node layers hold the graph's own nodes rather than copies of them, also where a node's stored
// sides of its parent are out of date (a horizontal layout keeps only the left or right side): the layer keeps
// the sides the node lies on beside it.
TEST(GraphViewSync, NodeLayersShareTheGraphsNodes)
{
    const VQProject project = sampleProject(1, 3, 2);
    GraphView view(Rect(0, 0, 1200, 900));
    view.setGraph(project.graph);
    std::size_t shared = 0, current = 0;
    for (const auto& [uid, node] : project.graph.nodeBin()) {
        const NodeLayer* layer = view.nodeLayer(uid);
        ASSERT_NE(layer, nullptr);
        EXPECT_EQ(layer->node().title, node.title);
        const Node* parent = node.parentUID ? project.graph.findNode(*node.parentUID) : nullptr;
        if (parent) {
            EXPECT_EQ(std::pair(layer->horizontalSide(), layer->verticalSide()), node.affinityTo(*parent));
        }
        current += !parent || node.hasAffinity(*parent);
        shared += &layer->node() == &node;
    }
    EXPECT_LT(current, project.graph.count()) << "no stored sides are out of date: the map does not test that";
    EXPECT_EQ(shared, project.graph.count());
}

TEST(GraphViewSync, ReparentingSwapsTheBranchInOneReload)
{
    VQProject project = sampleProject(1, 2, 1);
    GraphView view(Rect(0, 0, 1200, 900));
    view.setGraph(project.graph);
    const Node root = project.graph.nodeBin().begin()->second;
    Node first = *project.graph.findNode(root.childrenUIDs[0]);
    Node second = *project.graph.findNode(root.childrenUIDs[1]);
    const std::int64_t leaf = first.childrenUIDs[0];
    BranchLayer* old = view.branchLayer(first.uid, leaf);
    ASSERT_NE(old, nullptr);

    Node moved = *project.graph.findNode(leaf);
    moved.parentUID = second.uid;
    first.childrenUIDs.clear();
    second.childrenUIDs.push_back(leaf);
    project.graph.updateNodes({first, second, moved});
    view.setGraph(project.graph);
    EXPECT_EQ(view.branchLayer(first.uid, leaf), nullptr);
    EXPECT_NE(view.branchLayer(second.uid, leaf), nullptr);
    expectOneLayerPerNodeAndLink(view);
}

// Random edits reloaded by looking at the changed nodes only end where reloads that revisit every layer end.
TEST(GraphViewSync, EditsReloadedByChangeMatchFullReloads)
{
    VQProject project = sampleProject(2, 3, 2);
    GraphView live(Rect(0, 0, 2000, 900));
    GraphView full(Rect(0, 0, 2000, 900));
    live.setGraph(project.graph);
    full.setGraph(project.graph);
    std::mt19937 random(7);
    for (int step = 0; step < 150; ++step) {
        const std::vector<std::int64_t> uids = nodeUIDs(project.graph);
        const Node pick = *project.graph.findNode(uids[random() % uids.size()]);
        const unsigned kind = random() % 6;
        SCOPED_TRACE(kind);
        switch (kind) {
        case 0: {
            Node node = pick;
            node.center.y += 17;
            project.graph.setNode(node, node.uid);
            break;
        }
        case 1: {
            Node node = pick;
            node.title += "!";
            node.size.width += 8;
            project.graph.setNode(node, node.uid);
            break;
        }
        case 2:
            insertChildNode(project, pick, "New", {pick.center.x + 150, pick.center.y + 40});
            break;
        case 3:
            if (pick.parentUID)
                project.graph.removeNodes({pick});
            break;
        case 4: {
            const Node root = project.graph.rootAncestor(pick);
            Node node = root;
            LayoutOptions options;
            options.layoutType = (step % 2) ? LayoutOptions::LayoutType::vertical : LayoutOptions::LayoutType::horizontal;
            options.branchType = LayoutOptions::BranchType::angular;
            node.layoutOptions = options;
            project.graph.setNode(node, node.uid);
            break;
        }
        default:
            if (pick.parentUID)
                project.graph.removeNodeKeepingChildren(pick);
            break;
        }
        live.setSelectedNodeUIDs({uids[random() % uids.size()]});
        if (step % 3 == 0)
            for (GraphView* canvas : {&live, &full})
                sendMouse(*canvas, QEvent::MouseMove, pick.center, Qt::NoButton, Qt::NoButton);
        ASSERT_TRUE(reloadedAlike(live, full, project.graph)) << "after step " << step;
        expectOneLayerPerNodeAndLink(live);
    }
}

TEST(GraphViewSync, PrintingCanvasesHoverNothingAndSelectionFollowsThePush)
{
    VQProject project = sampleProject(1, 2, 0);
    const Node root = project.graph.nodeBin().begin()->second;
    GraphView view(Rect(0, 0, 1200, 900));
    sendMouse(view, QEvent::MouseMove, root.center, Qt::NoButton, Qt::NoButton);
    view.setGraph(project.graph);
    EXPECT_TRUE(view.nodeLayer(root.uid)->isHovered());
    GraphView printing(Rect(0, 0, 1200, 900));
    printing.setPrintingMode(true);
    sendMouse(printing, QEvent::MouseMove, root.center, Qt::NoButton, Qt::NoButton);
    printing.setGraph(project.graph);
    EXPECT_FALSE(printing.nodeLayer(root.uid)->isHovered());
    // The reload engine is asked directly: a printing canvas takes no pointer input that could ask it.
    printing.sync().setHoverButtonShown(*printing.nodeLayer(root.uid), true);
    EXPECT_FALSE(printing.nodeLayer(root.uid)->isHoverButtonShown());
    view.sync().setHoverButtonShown(*view.nodeLayer(root.uid), true);
    EXPECT_TRUE(view.nodeLayer(root.uid)->isHoverButtonShown());
    EXPECT_EQ(view.nodeLayer(root.uid)->hoverButtonLayer().documentColor(), project.projectStyle.current.backgroundColor);

    // A pushed selection marks the named layers only; unknown identifiers mark nothing.
    view.showSelection({root, Node(987654321, std::nullopt, NodeStyle())});
    for (const auto& layer : view.nodeLayers())
        EXPECT_EQ(layer->isSelected(), layer->node().uid == root.uid);
    EXPECT_TRUE(view.nodeLayer(root.uid)->areHandlesShown());
    view.setSelectedNodeUIDs({root.childrenUIDs[0]});
    view.reloadLayers();
    EXPECT_FALSE(view.nodeLayer(root.uid)->isSelected());
    EXPECT_TRUE(view.nodeLayer(root.childrenUIDs[0])->isSelected());
}

} // namespace
} // namespace velquine::testing

namespace velquine::testing {
namespace {

// A reload of the very graph shown (the document told the canvas of a change elsewhere) walks no node and
// touches no layer but the newly selected one; the next real change is found as before.
TEST(GraphViewSync, ReloadingTheGraphAsShownTouchesNoLayer)
{
    VQProject project = sampleProject(1, 4, 3);
    GraphView view(Rect(0, 0, 1200, 900));
    view.setGraph(project.graph);
    std::unordered_map<const Layer*, std::uint64_t> revisions;
    for (const auto& layer : view.nodeLayers())
        revisions[layer.get()] = layer->contentRevision();
    for (const auto& layer : view.branchLayers())
        revisions[layer.get()] = layer->contentRevision();

    const std::int64_t picked = project.graph.nodeBin().begin()->second.childrenUIDs[2];
    view.setSelectedNodeUIDs({picked});
    view.setGraph(Graph(project.graph));
    for (const auto& layer : view.nodeLayers()) {
        EXPECT_EQ(layer->isSelected(), layer->node().uid == picked);
        if (layer->node().uid != picked) {
            EXPECT_EQ(layer->contentRevision(), revisions[layer.get()]);
        }
    }
    for (const auto& layer : view.branchLayers())
        EXPECT_EQ(layer->contentRevision(), revisions[layer.get()]);

    Node moved = *project.graph.findNode(picked);
    moved.center.y += 30;
    project.graph.placeNodes({{picked, moved.center}});
    view.setGraph(project.graph);
    EXPECT_EQ(view.nodeLayer(picked)->position(), moved.center);
}

// On a map whose store spans many leaves, reloads that pass the runs of nodes shared with the shown store
// still end where full reloads end: moves of a few nodes as a layout makes them, new nodes splitting a run,
// removals, and going back to an earlier graph as undo does.
TEST(GraphViewSync, LargeMapReloadsByChangeMatchFullReloads)
{
    VQProject project = sampleProject(2, 6, 14);
    ASSERT_GT(project.graph.count(), 150u);
    GraphView live(Rect(0, 0, 1600, 900));
    GraphView full(Rect(0, 0, 1600, 900));
    live.setGraph(project.graph);
    full.setGraph(project.graph);
    std::vector<Graph> history{project.graph};
    std::mt19937 random(11);
    for (int step = 0; step < 80; ++step) {
        const std::vector<std::int64_t> uids = nodeUIDs(project.graph);
        const Node pick = *project.graph.findNode(uids[random() % uids.size()]);
        switch (random() % 4) {
        case 0: {
            std::vector<NodePlacement> moves;
            for (int i = 0; i < 3; ++i) {
                const Node& node = *project.graph.findNode(uids[random() % uids.size()]);
                moves.push_back({node.uid, {node.center.x + 13, node.center.y - 29}});
            }
            project.graph.placeNodes(moves);
            break;
        }
        case 1:
            insertChildNode(project, pick, "New", {pick.center.x + 150, pick.center.y + 40});
            break;
        case 2:
            if (pick.parentUID)
                project.graph.removeNodes({pick});
            break;
        default:
            project.graph = history[random() % history.size()];
            break;
        }
        history.push_back(project.graph);
        live.setSelectedNodeUIDs({pick.uid});
        ASSERT_TRUE(reloadedAlike(live, full, project.graph)) << "after step " << step;
    }
}

} // namespace
} // namespace velquine::testing
