// Focus mode, the rubber band and the overlay layers.
#include <gtest/gtest.h>

#include "GraphViewTestSupport.h"
#include "canvas/GridLayer.h"
#include "layout/VQProjectEdits.h"
#include "platform/layer/TextLayer.h"
#include "canvas/CanvasSync.h"

namespace velquine::testing {
namespace {

class SelectionRecorder : public GraphViewDelegate {
public:
    void selectNodes(const std::vector<Node>& nodes, bool revealSingle) override
    {
        calls.push_back(nodes);
        reveal = revealSingle;
    }
    std::vector<std::vector<Node>> calls;
    bool reveal = false;
};

std::vector<std::int64_t> uidsOf(const std::vector<Node>& nodes)
{
    std::vector<std::int64_t> uids;
    for (const Node& node : nodes)
        uids.push_back(node.uid);
    return uids;
}

TEST(GraphViewFocus, OutsideTheSubtreeFadesUntilFocusIsSwitchedOff)
{
    VQProject project = sampleProject(2, 2, 2);
    GraphView view(Rect(0, 0, 2000, 900));
    view.setGraph(project.graph);
    const Node root = project.graph.nodeBin().begin()->second;
    const Node main = *project.graph.findNode(root.childrenUIDs[0]);
    view.toggleFocusMode();  // nothing selected: stays off
    EXPECT_FALSE(view.isFocusModeOn());

    view.setSelectedNodeUIDs({987654321, main.uid, root.uid});
    view.toggleFocusMode();
    ASSERT_TRUE(view.isFocusModeOn());
    std::vector<std::int64_t> inside = uidsOf(project.graph.subtree(main));
    for (const auto& layer : view.nodeLayers()) {
        const bool in = std::count(inside.begin(), inside.end(), layer->node().uid) != 0;
        EXPECT_EQ(layer->isFaded(), !in) << layer->node().uid;
    }
    for (const auto& branch : view.branchLayers()) {
        const bool in = std::count(inside.begin(), inside.end(), branch->parentNodeUID)
            && std::count(inside.begin(), inside.end(), branch->childNodeUID);
        EXPECT_EQ(branch->isFaded, !in);
        EXPECT_EQ(branch->opacity(), in ? 1.0 : 0.25);
        EXPECT_EQ(branch->hasGrayFilter(), !in);
    }
    // The line from the focussed node to its parent fades too.
    EXPECT_TRUE(view.branchLayer(root.uid, main.uid)->isFaded);

    // A node added later is drawn normally, outside the subtree or not.
    const Node added = insertChildNode(project, root, "Added", {root.center.x, root.center.y + 300});
    view.setGraph(project.graph);
    EXPECT_FALSE(view.nodeLayer(added.uid)->isFaded());

    view.setSelectedNodeUIDs({});
    view.toggleFocusMode();
    EXPECT_FALSE(view.isFocusModeOn());
    for (const auto& layer : view.nodeLayers())
        EXPECT_FALSE(layer->isFaded());
    for (const auto& branch : view.branchLayers()) {
        EXPECT_FALSE(branch->isFaded);
        EXPECT_EQ(branch->opacity(), 1.0);
        EXPECT_FALSE(branch->hasGrayFilter());
    }
}

TEST(GraphViewRubberBand, SelectsWhatTheBandTouchesWhicheverWayItIsDragged)
{
    VQProject project = sampleProject(1, 4, 0);
    GraphView view(Rect(0, 0, 1200, 900));
    view.setGraph(project.graph);
    auto recorder = std::make_shared<SelectionRecorder>();
    view.setDelegate(recorder);
    const Node root = project.graph.nodeBin().begin()->second;
    const Rect rootFrame = view.nodeLayer(root.uid)->frame();
    const Point inside{rootFrame.midX(), rootFrame.midY()};
    const Point beyond{rootFrame.maxX() + 5, rootFrame.maxY() + 5};

    const Layer& band = *shownLayer(view, "selection");
    for (const auto& [from, to] : {std::pair{Point{beyond.x - rootFrame.size.width - 10, beyond.y - rootFrame.size.height - 10}, beyond},
                                   std::pair{beyond, Point{beyond.x - rootFrame.size.width - 10, beyond.y - rootFrame.size.height - 10}}}) {
        view.setSelectedNodeUIDs({root.childrenUIDs[0]});
        sendMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        EXPECT_TRUE(view.selectedNodeUIDs().empty());
        EXPECT_FALSE(band.isHidden());
        sendMouse(view, QEvent::MouseMove, inside, Qt::NoButton, Qt::LeftButton);
        sendMouse(view, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        EXPECT_TRUE(view.nodeLayer(root.uid)->isSelected());
        EXPECT_EQ(band.frame(), integralRect(Rect(from.x, from.y, to.x - from.x, to.y - from.y).standardized()));
        sendMouse(view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        EXPECT_FALSE(view.isGestureActive());
        EXPECT_TRUE(band.isHidden());
        EXPECT_EQ(band.frame(), Rect(0, 0, 0, 0));
    }
    ASSERT_EQ(recorder->calls.size(), 2u);
    EXPECT_EQ(uidsOf(recorder->calls[0]), std::vector<std::int64_t>{root.uid});
    EXPECT_EQ(uidsOf(recorder->calls[1]), std::vector<std::int64_t>{root.uid});
    EXPECT_TRUE(recorder->reveal);

    // A click on empty canvas selects nothing and makes no call.
    sendMouse(view, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(view, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(recorder->calls.size(), 2u);
}

TEST(GraphViewOverlays, SelectionRectangleAndBadgeAreSetUpHiddenAboveTheNodes)
{
    GraphView view(Rect(0, 0, 400, 300));
    const Layer& selection = *shownLayer(view, "selection");
    EXPECT_TRUE(selection.isHidden());
    EXPECT_EQ(selection.zPosition(), -5);
    EXPECT_EQ(selection.cornerRadius(), 4.0);
    EXPECT_EQ(selection.borderWidth(), 1.0);
    EXPECT_EQ(selection.borderColor(), QColor(146, 146, 146));
    EXPECT_EQ(selection.frame(), Rect(0, 0, 0, 0));
    const auto& badge = dynamic_cast<const TextLayer&>(*shownLayer(view, "attachBadge"));
    EXPECT_TRUE(badge.isHidden());
    EXPECT_EQ(badge.frame(), Rect(0, 0, 78, 24));
    EXPECT_EQ(badge.zPosition(), -5);
    EXPECT_EQ(badge.string().string(), "Attach");
    EXPECT_EQ(view.backgroundLayer().zPosition(), -100);
    EXPECT_EQ(view.gridLayer().zPosition(), -99);
    EXPECT_EQ(view.gridLayer().superlayer(), &view.backgroundLayer());
}

} // namespace
} // namespace velquine::testing

namespace velquine::testing {
namespace {

TEST(GraphViewGrid, TheGridRedrawsOnlyWhenItsTypeSpacingOrColourChanges)
{
    GraphView view(Rect(0, 0, 400, 300));
    view.setGrid(Grid{GridType::dots, {20, 20}});
    const auto revision = [&view] { return view.gridLayer().contentRevision(); };
    std::uint64_t before = revision();
    view.setGrid(Grid{GridType::dots, {20, 20}});
    view.reloadLayers();
    EXPECT_EQ(revision(), before);
    view.setGrid(Grid{GridType::quad, {20, 20}});
    EXPECT_GT(revision(), before);
    before = revision();
    view.setGrid(Grid{GridType::quad, {20, 24.5}});
    EXPECT_GT(revision(), before);
    before = revision();
    ProjectStyle style = view.projectStyle();
    style.current.backgroundColor = Color::deviceRGB(0.2, 0.2, 0.2);
    view.setProjectStyle(style);
    EXPECT_GT(revision(), before);
    EXPECT_EQ(view.gridLayer().documentBackgroundColor(), style.current.backgroundColor);
    // No actions: grid changes never animate.
    EXPECT_FALSE(view.gridLayer().actionForKey("position"));
}

} // namespace
} // namespace velquine::testing
