// The map stays in view in a real editor window: a saved map is opened as the program opens it, and after
// opening, Tab, Return, Undo, Redo, a layout switch and a theme change the selected node lies wholly inside
// the visible part of the canvas; when it already did, the map does not move. New nodes are made at the edge of
// the view and their titles typed at once, at magnifications of 1, 2 and 0.5.

#include <QComboBox>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <cmath>

#include "DrawnNode.h"
#include "OpenedMapWindow.h"
#include "ScreenCheck.h"
#include "UiTestSupport.h"
#include "canvas/NodeTitleEditor.h"
#include "inspector/DocumentStyleInspector.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"

using namespace velquine;

namespace {

using OpenedMap = test::OpenedMapWindow;
using test::describeRect;

// Runs the step and checks where it leaves the view: the selected node wholly visible, and the visible part of
// the map where it was when the node, as drawn with its ring and handles, was already inside it.
template <typename Step>
void expectInView(OpenedMap& map, const std::string& name, Step step)
{
    const Rect before = map.visible();
    step();
    map.settle();
    const Rect frame = map.selectedFrame();
    const Rect after = map.visible();
    EXPECT_TRUE(after.contains(frame)) << name << ": node " << describeRect(frame) << " visible " << describeRect(after);
    if (before.contains(frame.insetBy(-selectionReach, -selectionReach))) {
        EXPECT_TRUE(after == before) << name << ": the map moved from " << describeRect(before) << " to "
                                     << describeRect(after);
    }
}

// Zooms out to 25 % with the window's zoom pop-up, the view at rest.
ScrollView* zoomOutToAQuarter(OpenedMap& map)
{
    map.window->zoomLevelSelectorButton()->setCurrentIndex(0);
    map.window->changeZoomLevel();
    map.settle();
    return map.scrollView();
}

// Clicks the node, which selects it, and presses Ctrl+0 (Actual Size); true once the view is at rest at 100 %.
bool clickThenActualSize(OpenedMap& map, const Node& node)
{
    QTest::mouseClick(map.canvas(), Qt::LeftButton, {},
                      map.canvas()->widgetRectFromLayer(Rect(node.center.x, node.center.y, 0, 0)).topLeft().toPoint());
    map.settle();
    EXPECT_EQ(map.document->project().selectedNodeUIDs, std::vector<std::int64_t>{node.uid});
    QTest::keyClick(map.canvas(), Qt::Key_0, Qt::ControlModifier);
    return QTest::qWaitFor([&] {
        return map.scrollView()->magnification() == 1.0 && test::windowAtRest(map.window.get(), map.canvas(), map.scrollView());
    });
}

// A root with three branches of eleven items, laid out; the last item selected.
VQProject tripWithThreeBranches()
{
    VQDocument document;
    document.beginEditingSession("Build");
    const Node root = document.createRootNode("Trip to Lisbon", {0, 0}, false);
    std::optional<Node> last;
    for (const char* branch : {"Before", "Days", "After"}) {
        const Node made = *document.createChildNode(root.uid, branch);
        for (int item = 1; item <= 11; ++item)
            last = document.createChildNode(made.uid, std::string(branch) + " " + std::to_string(item));
    }
    DocumentLayout(document).autoLayoutGraph(true);
    document.projectForLoading().setSelectedNodes({*document.project().graph.node(last->uid)});
    document.commitEditingSession();
    return document.project();
}

// Puts the selected node at the right edge of the visible part.
void scrollToRightEdge(OpenedMap& map)
{
    const Rect frame = map.selectedFrame();
    const Rect visible = map.visible();
    map.scrollView()->scrollToPoint({frame.maxX() - visible.width(), frame.center().y - visible.height() / 2});
    map.settle();
}

void runSequence(int count, double magnification)
{
    OpenedMap map(count);
    const QString name = QStringLiteral("map-in-view-%1").arg(count);
    test::saveScreenshot(map.window.get(), name + QStringLiteral("-opened"));
    expectInView(map, "opened", [] {});
    // A map that fits in the view is shown whole, though its selected node stands at its edge.
    const Rect whole = map.document->project().graph.boundingRect();
    if (whole.width() <= map.visible().width() && whole.height() <= map.visible().height())
        EXPECT_TRUE(map.visible().contains(whole)) << "map " << describeRect(whole) << " visible " << describeRect(map.visible());
    else
        EXPECT_GT(count, 10) << "a map of ten nodes fits in the window";
    // Zoomed with the window's zoom pop-up.
    const auto& factors = MindMapEditorWindowController::zoomFactors;
    const auto factor = std::find(std::begin(factors), std::end(factors), magnification);
    ASSERT_NE(factor, std::end(factors));
    map.window->zoomLevelSelectorButton()->setCurrentIndex(int(factor - std::begin(factors)));
    map.window->changeZoomLevel();
    EXPECT_EQ(map.scrollView()->magnification(), magnification);
    expectInView(map, "zoomed", [] {});
    map.canvas()->setFocus();

    // A child beyond the edge is centred, while its title is typed at once and grows the map.
    scrollToRightEdge(map);
    expectInView(map, "tab", [&] {
        QTest::keyClick(map.canvas(), Qt::Key_Tab);
        RunLoop::drain();
        QTest::keyClicks(map.canvas()->titleEditor(), QStringLiteral("Car rental"));
        QTest::keyClick(map.canvas()->titleEditor(), Qt::Key_Return);
    });
    // A sibling inside the view, whose title grows past its edge.
    scrollToRightEdge(map);
    expectInView(map, "return", [&] {
        QTest::keyClick(map.canvas(), Qt::Key_Return);
        map.settle();
        QTest::keyClicks(map.canvas()->titleEditor(), QStringLiteral("Car rental at the airport"));
        QTest::keyClick(map.canvas()->titleEditor(), Qt::Key_Return);
    });
    test::saveScreenshot(map.window.get(), name + QStringLiteral("-return"));
    expectInView(map, "undo", [&] { QTest::keyClick(map.canvas(), Qt::Key_Z, Qt::ControlModifier); });
    EXPECT_EQ(map.document->undoManager()->redoActionName(), "New Sibling Node");
    expectInView(map, "redo", [&] { QTest::keyClick(map.canvas(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); });
    EXPECT_EQ(map.document->undoManager()->undoActionName(), "New Sibling Node");

    auto* pane = map.window->findChild<DocumentStyleInspector*>();
    ASSERT_NE(pane, nullptr);
    pane->loadViewIfNeeded();
    expectInView(map, "layout", [&] {
        const int vertical = pane->layoutTypeSelector->findText(QStringLiteral("Vertical"));
        pane->layoutTypeSelector->setCurrentIndex(vertical);
        emit pane->layoutTypeSelector->activated(vertical);
    });
    test::saveScreenshot(map.window.get(), name + QStringLiteral("-vertical"));
    expectInView(map, "theme", [&] { pane->applyTheme(ProjectStyle::cyber()); });
    test::saveScreenshot(map.window.get(), name + QStringLiteral("-theme"));
}

} // namespace

TEST(MapStaysInView, TenNodes) { runSequence(10, 1.0); }
TEST(MapStaysInView, ThreeHundredNodesZoomedIn) { runSequence(300, 2.0); }
TEST(MapStaysInView, FiveThousandNodesZoomedOut) { runSequence(5000, 0.5); }

namespace {

// A new, empty map in its window, as File ▸ New makes it, driven by keys and clicks.
struct NewMapWindow : test::OpenedMapWindow {
    // Keys go where the window sends them: the canvas, or the title editor while a title is typed.
    void press(int key)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        settle();
    }
    void type(const QString& text)
    {
        QTest::keyClicks(QApplication::focusWidget(), text);
        settle();
    }
    void click(QPoint viewportPoint)
    {
        QWidget* viewport = scrollView()->viewport();
        QTest::mouseClick(canvas(), Qt::LeftButton, {}, canvas()->mapFrom(viewport, viewportPoint));
        settle();
    }
    // The nodes wholly in view, by title.
    std::vector<std::string> shown() const
    {
        std::vector<std::string> titles;
        const Rect visible = scrollView()->documentVisibleRect();
        for (const auto& [uid, node] : document->project().graph.nodeBin())
            if (visible.contains(test::frameOfNode(node)))
                titles.push_back(node.title);
        std::sort(titles.begin(), titles.end());
        return titles;
    }
};

} // namespace

// A new root made at an empty spot near the right edge of the view, its title typed and committed: the map
// stays in view, the new root with it.
TEST(MapStaysInView, ANewRootNearTheRightEdgeKeepsTheMapInView)
{
    NewMapWindow map;
    QWidget* viewport = map.scrollView()->viewport();
    map.click(viewport->rect().center());
    map.press(Qt::Key_Return);
    map.type(QStringLiteral("Centre"));
    map.press(Qt::Key_Return);
    map.press(Qt::Key_Tab);
    map.type(QStringLiteral("Right one"));
    map.press(Qt::Key_Return);
    map.press(Qt::Key_Return);
    map.type(QStringLiteral("Left one"));
    map.press(Qt::Key_Return);
    map.press(Qt::Key_Escape);
    ASSERT_EQ(map.shown(), (std::vector<std::string>{"Centre", "Left one", "Right one"}));

    map.click({viewport->width() - 40, viewport->height() / 2});
    map.press(Qt::Key_Return);
    test::saveScreenshot(map.window.get(), QStringLiteral("new-root-at-edge-created"));
    EXPECT_EQ(map.shown(), (std::vector<std::string>{"", "Centre", "Left one", "Right one"}));
    map.type(QStringLiteral("Edge"));
    map.press(Qt::Key_Return);
    test::saveScreenshot(map.window.get(), QStringLiteral("new-root-at-edge-titled"));
    EXPECT_EQ(map.shown(), (std::vector<std::string>{"Centre", "Edge", "Left one", "Right one"}));
    // Tab makes a child of the new root: the map, now wider than the view, stays in view with the child.
    map.press(Qt::Key_Tab);
    map.type(QStringLiteral("Below the edge"));
    map.press(Qt::Key_Return);
    EXPECT_EQ(map.shown(), (std::vector<std::string>{"Below the edge", "Centre", "Edge", "Right one"}));
}

// A map a little wider than the view, its root at the left end, opened with nothing selected: the root is
// selected and shown, and the view shows as much of the map as it holds, not an empty half beside the root.
// Zoomed out until the map fits, the view shows it whole.
TEST(MapStaysInView, AMapWiderThanTheViewOpensFillingTheViewFromItsRoot)
{
    VQProject project;
    {
        VQDocument document;
        document.beginEditingSession("Build");
        LayoutOptions options = document.project().baseLayoutOptions;
        options.layoutDirection = LayoutOptions::LayoutDirection::ascending;
        document.projectForLoading().baseLayoutOptions = options;
        const Node root = document.createRootNode("Plan for the café at the old harbour, with everyone who helps", {0, 0}, false);
        document.createChildNode(root.uid, "Research the market");
        document.createChildNode(root.uid, "Write a business plan");
        const Node launch = *document.createChildNode(root.uid, "Launch");
        document.createChildNode(launch.uid, "Party for everyone who helped, at the harbour, with music and food");
        document.createChildNode(root.uid, "Find investors");
        DocumentLayout(document).autoLayoutGraph(true);
        document.commitEditingSession();
        project = document.project();
    }
    ASSERT_EQ(project.graph.count(), 6u);
    OpenedMap map(project);
    const Rect whole = map.document->project().graph.boundingRect();
    const Rect visible = map.visible();
    ASSERT_GT(whole.width(), visible.width());
    ASSERT_LT(whole.width(), visible.width() / 0.75);
    test::saveScreenshot(map.window.get(), QStringLiteral("map-wider-than-view-opened"));
    EXPECT_FALSE(map.document->project().graph.node(map.document->project().selectedNodeUIDs.at(0))->parentUID);
    EXPECT_TRUE(visible.contains(map.selectedFrame())) << describeRect(map.selectedFrame()) << " in " << describeRect(visible);
    // Nothing of the view lies left of the map, but the root's ring and handles and the view's margin, while the
    // map runs on past its right edge.
    const double room = selectionReach + ScrollView::revealMargin / map.scrollView()->magnification();
    EXPECT_GE(visible.minX(), whole.minX() - room - 1) << describeRect(whole) << " in " << describeRect(visible);
    // The map fits at 75 %.
    map.window->zoomLevelSelectorButton()->setCurrentIndex(2);
    map.window->changeZoomLevel();
    map.settle();
    EXPECT_EQ(map.scrollView()->magnification(), 0.75);
    EXPECT_TRUE(map.visible().contains(whole)) << describeRect(whole) << " in " << describeRect(map.visible());
}

// With the view zoomed out and a node at its edge selected, Ctrl+0 (Actual Size) keeps that node in view.
TEST(MapStaysInView, ActualSizeKeepsTheSelectedNodeInView)
{
    OpenedMap map(300);
    map.window->zoomLevelSelectorButton()->setCurrentIndex(1);
    map.window->changeZoomLevel();
    map.settle();
    ASSERT_EQ(map.scrollView()->magnification(), 0.5);
    // The node nearest to the view's top-left corner, wholly in view, is clicked.
    const Rect visible = map.visible();
    std::optional<Node> corner;
    for (const auto& [uid, node] : map.document->project().graph.nodeBin())
        if (visible.contains(test::frameOfNode(node))
            && (!corner || node.center.x + node.center.y < corner->center.x + corner->center.y))
            corner = node;
    ASSERT_TRUE(corner);
    EXPECT_TRUE(clickThenActualSize(map, *corner));
    EXPECT_TRUE(map.visible().contains(map.selectedFrame()))
        << describeRect(map.selectedFrame()) << " in " << describeRect(map.visible());
}

// Two nodes a little narrower together than the view without scroll bars, seen whole at 25 %, the left one
// selected: at 100 % the scroll bars come back and narrow the view, which still shows the selected node.
TEST(MapStaysInView, ZoomingInKeepsTheSelectedNodeInViewWhenScrollBarsComeBack)
{
    VQProject project;
    {
        VQDocument document;
        document.beginEditingSession("Build");
        const Node left = document.createRootNode("Left", {0, 0}, false);
        Node right = document.createRootNode("Right", {0, 0}, false);
        document.commitEditingSession();
        document.beginEditingSession("Place");
        right.center.x = 800 - (left.size.width + right.size.width) / 2;
        document.updateNodes({right}, NodeUpdateOperation::position, false);
        document.projectForLoading().setSelectedNodes({*document.project().graph.node(left.uid)});
        document.commitEditingSession();
        project = document.project();
    }
    OpenedMap map(project);
    zoomOutToAQuarter(map);
    const int viewportWidth = map.scrollView()->viewport()->width();
    const Rect whole = map.document->project().graph.boundingRect();
    ASSERT_LT(whole.width(), viewportWidth);
    QTest::keyClick(map.canvas(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return map.scrollView()->magnification() == 1.0 && test::windowAtRest(map.window.get(), map.canvas(), map.scrollView());
    }));
    ASSERT_LT(map.scrollView()->viewport()->width(), viewportWidth);
    ASSERT_GT(whole.width(), map.visible().width());
    EXPECT_TRUE(map.visible().contains(map.selectedFrame()))
        << describeRect(map.selectedFrame()) << " in " << describeRect(map.visible());
}

// With nothing selected, a view that shows part of the map goes on showing some: the layout switches the map
// away from it, a zoom narrows it to nothing, and an undo that shrinks the map from under it.
TEST(MapStaysInView, AViewThatShowsPartOfTheMapKeepsShowingSome)
{
    {
        OpenedMap map(300);
        QTest::keyClick(map.canvas(), Qt::Key_Escape);
        map.settle();
        ASSERT_TRUE(map.document->project().selectedNodeUIDs.empty());
        auto* pane = map.window->findChild<DocumentStyleInspector*>();
        ASSERT_NE(pane, nullptr);
        pane->loadViewIfNeeded();
        const int vertical = pane->layoutTypeSelector->findText(QStringLiteral("Vertical"));
        pane->layoutTypeSelector->setCurrentIndex(vertical);
        emit pane->layoutTypeSelector->activated(vertical);
        map.settle();
        EXPECT_TRUE(map.visible().intersects(map.document->project().graph.boundingRect()))
            << "layout: " << describeRect(map.visible()) << " and the map "
            << describeRect(map.document->project().graph.boundingRect());
    }
    {
        // The top of the view holds the map's bottom edge; zooming in twice would keep only what lies below it.
        OpenedMap map(10);
        QTest::keyClick(map.canvas(), Qt::Key_Escape);
        const Rect whole = map.document->project().graph.boundingRect();
        map.scrollView()->scrollToPoint({map.visible().minX(), whole.maxY() - 20});
        map.settle();
        ASSERT_TRUE(map.visible().intersects(whole));
        for (const double magnification : {1.25, 1.5}) {
            map.triggerMenuItem(QStringLiteral("Zoom &In"));
            EXPECT_TRUE(QTest::qWaitFor([&] { return map.scrollView()->magnification() == magnification; }));
            map.settle();
        }
        EXPECT_TRUE(map.visible().intersects(whole)) << "zoom: " << describeRect(map.visible()) << " and the map "
                                                     << describeRect(whole);
    }
    {
        // A new root just below the map, the view scrolled down as far as the canvas goes, then the root undone:
        // the canvas keeps the ground the view stands on.
        OpenedMap map(10);
        QTest::keyClick(map.canvas(), Qt::Key_Escape);
        const Rect whole = map.document->project().graph.boundingRect();
        const Point spot{whole.midX(), whole.maxY() + 40};
        QTest::mouseClick(map.canvas(), Qt::LeftButton, {},
                          map.canvas()->widgetRectFromLayer(Rect(spot.x, spot.y, 0, 0)).topLeft().toPoint());
        QTest::keyClick(map.canvas(), Qt::Key_Return);
        map.settle();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Below"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        map.settle();
        QTest::keyClick(map.canvas(), Qt::Key_Escape);
        const Rect canvas = map.canvas()->boundsRect();
        map.scrollView()->scrollToPoint({map.visible().minX(), canvas.maxY() - map.visible().height()});
        map.settle();
        const Rect before = map.visible();
        ASSERT_TRUE(before.intersects(whole));
        QTest::keyClick(map.canvas(), Qt::Key_Z, Qt::ControlModifier);
        map.settle();
        ASSERT_EQ(map.document->project().graph.count(), 10u);
        EXPECT_EQ(map.visible(), before) << "undo: " << describeRect(map.visible());
    }
}

// Zoomed out to 25 %, a node far below the rest makes the canvas taller than the view and one far to the right
// wider. With the view at the canvas's top and right edges, the node below is deleted: the vertical scroll bar
// goes away and the view grows to the right, where it stands, not pushed back from the canvas's right edge.
TEST(MapStaysInView, AScrollBarThatGoesAwayLeavesTheViewWhereItStands)
{
    OpenedMap map(1);
    ScrollView* scroll = zoomOutToAQuarter(map);
    ASSERT_EQ(scroll->magnification(), 0.25);
    QScrollBar* verticalBar = scroll->verticalScrollBar();
    // The largest view, without scroll bars.
    const Size largest = scroll->largestVisibleSize();
    // The canvas reaches half a screen beyond the map on every side: Below stands low enough to take it past the
    // view's bottom edge, and high enough for the view at the canvas's top to hold it.
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const Node below = [&] {
        VQDocument& document = *map.document;
        document.beginEditingSession("Place");
        Node made = document.createRootNode("Below", {0, map.visible().maxY() - screen.height() / 2 + 200}, true);
        document.createRootNode("Far right", {largest.width - screen.width() + 200, 0}, true);
        document.commitEditingSession();
        return made;
    }();
    map.settle();
    const Rect canvas = map.canvas()->boundsRect();
    scroll->scrollToPoint({canvas.maxX() - map.visible().width(), canvas.minY()});
    map.settle();
    ASSERT_TRUE(verticalBar->isVisible());
    ASSERT_TRUE(map.visible().contains(map.document->project().graph.boundingRect()))
        << describeRect(map.document->project().graph.boundingRect()) << " in " << describeRect(map.visible());
    const Rect before = map.visible();
    QTest::mouseClick(map.canvas(), Qt::LeftButton, {},
                      map.canvas()->widgetRectFromLayer(Rect(below.center.x, below.center.y, 0, 0)).topLeft().toPoint());
    map.settle();
    ASSERT_EQ(map.document->project().selectedNodeUIDs, std::vector<std::int64_t>{below.uid});
    QTest::keyClick(map.canvas(), Qt::Key_Delete);
    map.settle();
    ASSERT_EQ(map.document->project().graph.count(), 2u);
    ASSERT_FALSE(verticalBar->isVisible());
    EXPECT_EQ(map.visible().origin, before.origin) << describeRect(before) << " became " << describeRect(map.visible());
    test::saveScreenshot(map.window.get(), QStringLiteral("scroll-bar-gone"));
}

// Zoomed out to 25 %, a map seen whole grows a little past the view's left edge while a node moved far down makes
// the canvas taller: the vertical scroll bar that comes narrows the view below the map's new width. The map no longer
// fits, and the view, which still holds the selected node, stays where it stands (it moved to show the map whole
// by the width it had before the scroll bar came).
TEST(MapStaysInView, AMapThatNoLongerFitsOnceAScrollBarComesLeavesTheViewWhereItStands)
{
    OpenedMap map(1);
    ScrollView* scroll = zoomOutToAQuarter(map);
    ASSERT_EQ(scroll->magnification(), 0.25);
    QScrollBar* verticalBar = scroll->verticalScrollBar();
    const double bar = verticalBar->sizeHint().width() / 0.25;
    VQDocument& document = *map.document;
    const Rect view = map.visible();
    ASSERT_FALSE(verticalBar->isVisible());
    // Two roots spanning all the view but a scroll bar and a margin.
    const Rect root = map.selectedFrame();
    const double y = view.midY();
    document.beginEditingSession("Place");
    const Node left = document.createRootNode("Left", {view.minX() + root.width(), y}, true);
    const Node right = document.createRootNode("Right", {view.maxX() - bar - 20 - root.width(), y}, true);
    const Node below = document.createRootNode("Below", {view.midX(), y + 2 * root.height()}, true);
    document.commitEditingSession();
    map.settle();
    QTest::mouseClick(map.canvas(), Qt::LeftButton, {},
                      map.canvas()->widgetRectFromLayer(Rect(right.center.x, right.center.y, 0, 0)).topLeft().toPoint());
    map.settle();
    ASSERT_EQ(document.project().selectedNodeUIDs, std::vector<std::int64_t>{right.uid});
    const Rect whole = document.project().graph.boundingRect();
    scroll->scrollToPoint({whole.minX() - 10, view.minY()});
    map.settle();
    const Rect before = map.visible();
    ASSERT_TRUE(before.contains(whole)) << describeRect(whole) << " in " << describeRect(before);
    // A canvas no taller than the view shows no vertical scroll bar.
    EXPECT_LE(map.canvas()->boundsRect().height(), before.height());
    EXPECT_FALSE(verticalBar->isVisible());

    // Left moves out past the view's edge, the map a little narrower than the view without a scroll bar.
    const double widest = scroll->largestVisibleSize().width;
    ASSERT_EQ(whole.minX(), test::frameOfNode(document.project().graph.node(left.uid).value()).minX());
    document.beginEditingSession("Move");
    Node moved = document.project().graph.node(left.uid).value();
    moved.center.x -= widest - bar / 2 - whole.width();
    Node down = document.project().graph.node(below.uid).value();
    down.center.y += scroll->largestVisibleSize().height - QGuiApplication::primaryScreen()->size().height();
    document.updateNodes({moved, down}, NodeUpdateOperation::position, false);
    document.commitEditingSession();
    map.settle();
    const Rect grown = document.project().graph.boundingRect();
    ASSERT_TRUE(verticalBar->isVisible());
    ASSERT_GT(grown.width(), map.visible().width());
    ASSERT_LE(grown.width(), widest);
    EXPECT_EQ(map.visible().origin, before.origin) << describeRect(before) << " became " << describeRect(map.visible());
}

// A title typed on a new child at the right of a map shown whole grows the map past the view, then wraps and
// narrows it again: the view follows the growing node while the map does not fit, and shows the whole map again
// once it does, instead of staying where the widest title took it.
TEST(MapStaysInView, ATitleThatWrapsBringsTheWholeMapBackIntoView)
{
    OpenedMap map(1);
    ScrollView* scroll = map.scrollView();
    const QString title = QStringLiteral("Write a business planWrite a business plan");
    // The map's width at its widest while the title is typed, and once it is typed.
    const auto typeTitle = [&] {
        QTest::keyClick(map.canvas(), Qt::Key_Home);
        QTest::keyClick(map.canvas(), Qt::Key_Tab);
        map.settle();
        double widest = 0;
        for (const QChar letter : title) {
            QTest::keyClicks(map.canvas()->titleEditor(), letter);
            RunLoop::drain();
            widest = std::max(widest, map.document->project().graph.boundingRect().width());
        }
        map.settle();
        return std::pair{widest, map.document->project().graph.boundingRect().width()};
    };
    const auto [widest, typed] = typeTitle();
    ASSERT_GT(widest, typed + 10);
    QTest::keyClick(map.canvas()->titleEditor(), Qt::Key_Escape);
    map.settle();
    ASSERT_EQ(map.document->project().graph.count(), 1u);
    // Magnified so that the view is wider than the typed map and narrower than the widest.
    scroll->setMagnification(scroll->viewport()->width() / ((widest + typed) / 2));
    map.settle();
    const Rect whole = map.document->project().graph.boundingRect();
    scroll->scrollToPoint({whole.minX() - 1, whole.center().y - map.visible().height() / 2});
    map.settle();
    ASSERT_GT(map.visible().width(), typed);
    ASSERT_LT(map.visible().width(), widest);
    typeTitle();
    const Rect grown = map.document->project().graph.boundingRect();
    const double pixel = 1 / scroll->magnification();
    EXPECT_TRUE(map.visible().insetBy(-pixel, -pixel).contains(grown))
        << describeRect(grown) << " in " << describeRect(map.visible());
    test::saveScreenshot(map.window.get(), QStringLiteral("title-wrapped-map-whole"));
}

// The window narrowed until the map's right edge stands two pixels inside the view's: the view, which still
// holds the map and its selected node, does not move to make room for a margin beside them.
TEST(MapStaysInView, ANarrowedViewThatStillHoldsTheMapStaysWhereItStands)
{
    OpenedMap map(10);
    ScrollView* scroll = map.scrollView();
    ASSERT_EQ(scroll->magnification(), 1.0);
    const QSize size = map.window->size();
    const auto viewportWidth = [scroll] { return scroll->viewport()->width(); };
    // How much narrower the view gets with the window.
    const int wide = viewportWidth();
    map.window->resize(size.width() - 40, size.height());
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewportWidth() != wide; }));
    map.settle();
    const int narrowed = wide - viewportWidth();
    map.window->resize(size);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewportWidth() == wide; }));
    map.settle();

    const Rect whole = map.document->project().graph.boundingRect();
    scroll->scrollToPoint({std::ceil(whole.maxX()) + 2 - (wide - narrowed), map.visible().minY()});
    map.settle();
    ASSERT_TRUE(map.visible().contains(whole)) << describeRect(whole) << " in " << describeRect(map.visible());
    const Rect before = map.visible();
    map.window->resize(size.width() - 40, size.height());
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewportWidth() == wide - narrowed; }));
    map.settle();
    EXPECT_EQ(map.visible().origin, before.origin) << describeRect(before) << " became " << describeRect(map.visible());
    EXPECT_TRUE(map.visible().contains(map.selectedFrame()));
}

// A scroll under way that brings the selected node in from beyond the view's right edge, and the view narrowing
// before the scroll ends (a scroll bar that comes, a window made narrower): the node still ends wholly in view.
TEST(MapStaysInView, AViewThatNarrowsDuringAScrollKeepsTheNodeItBringsIn)
{
    OpenedMap map(10);
    ScrollView* scroll = map.scrollView();
    const Rect node = map.selectedFrame();
    const Size size = map.visible().size;
    scroll->scrollToPoint({node.minX() - size.width - 100, map.visible().minY()});
    map.settle();
    ASSERT_FALSE(map.visible().intersects(node)) << describeRect(node) << " in " << describeRect(map.visible());
    scroll->scrollRectToVisible(Rect(node.maxX() - size.width, map.visible().minY(), size.width, size.height), 0.5);
    ASSERT_TRUE(scroll->isAnimatingScroll());
    const QSize windowSize = map.window->size();
    map.window->resize(windowSize.width() - 40, windowSize.height());
    ASSERT_TRUE(QTest::qWaitFor([&] { return map.visible().width() < size.width; }));
    map.settle();
    EXPECT_TRUE(map.visible().contains(node)) << describeRect(node) << " in " << describeRect(map.visible());
}

// Zoomed out to 50 %, the rightmost node in view that has children is selected; at Actual Size (Ctrl+0) it
// stands in view with room for its selection ring, its children beside it, not pushed to the view's edge.
TEST(MapStaysInView, ActualSizeFromHalfBringsTheSelectedNodeInWithItsRingAndChildren)
{
    OpenedMap map(300);
    map.window->zoomLevelSelectorButton()->setCurrentIndex(1);
    map.window->changeZoomLevel();
    map.settle();
    ASSERT_EQ(map.scrollView()->magnification(), 0.5);
    const Graph& graph = map.document->project().graph;
    const auto subtreeFrame = [&graph](const Node& node) {
        Rect frame = test::frameOfNode(node);
        for (const Node& child : graph.nodes(node.childrenUIDs))
            frame = frame.unionWith(test::frameOfNode(child));
        return frame;
    };
    std::optional<Node> picked;
    for (const auto& [uid, node] : graph.nodeBin())
        if (!node.childrenUIDs.empty() && map.visible().contains(subtreeFrame(node))
            && (!picked || node.center.x > picked->center.x))
            picked = node;
    ASSERT_TRUE(picked);
    EXPECT_TRUE(clickThenActualSize(map, *picked));
    const Rect ringed = map.selectedFrame().insetBy(-8, -8);
    ASSERT_LT(subtreeFrame(*picked).width(), map.visible().width() / 2);
    EXPECT_TRUE(map.visible().contains(ringed)) << describeRect(ringed) << " in " << describeRect(map.visible());
    EXPECT_TRUE(map.visible().contains(subtreeFrame(*picked)))
        << describeRect(subtreeFrame(*picked)) << " in " << describeRect(map.visible());
    test::saveScreenshot(map.window.get(), QStringLiteral("actual-size-from-half"));
}

// A saved map of 37 nodes, a root with a branch of eleven items above it on the right, one to the left and one
// below on the right, its last item selected, is opened at 100 %: it does not fit, and the view stands over the
// lower branch. Zoomed out twice, to 50 %, the map fits and is shown whole and centred, not cut at its top branch
// with the lower part of the view empty.
TEST(MapStaysInView, ZoomingOutUntilAMapFitsShowsItWholeAndCentred)
{
    const VQProject project = tripWithThreeBranches();
    ASSERT_EQ(project.graph.count(), 37u);
    OpenedMap map(project);
    const Rect whole = map.document->project().graph.boundingRect();
    ASSERT_GT(whole.height(), map.visible().height());
    ASSERT_GT(map.visible().center().y, whole.center().y + 100)
        << describeRect(map.visible()) << " on " << describeRect(whole);
    for (const double magnification : {0.75, 0.5}) {
        map.triggerMenuItem(QStringLiteral("Zoom &Out"));
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return map.scrollView()->magnification() == magnification
                && test::windowAtRest(map.window.get(), map.canvas(), map.scrollView());
        }));
    }
    test::saveScreenshot(map.window.get(), QStringLiteral("zoomed-out-until-the-map-fits"));
    const Rect visible = map.visible();
    // A pixel is 2 points at 50 %.
    EXPECT_TRUE(visible.insetBy(-2, -2).contains(whole)) << describeRect(whole) << " in " << describeRect(visible);
    for (const double off : {visible.center().x - whole.center().x, visible.center().y - whole.center().y})
        EXPECT_LE(std::abs(off), 2) << describeRect(whole) << " in " << describeRect(visible);
}

namespace {

// The part of the canvas visible when the canvas is first painted.
struct FirstPaint : QObject {
    explicit FirstPaint(ScrollView* scroll) : scroll(scroll) { scroll->documentView()->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !visible)
            visible = scroll->documentVisibleRect();
        return false;
    }
    ScrollView* scroll;
    std::optional<Rect> visible;
};

} // namespace

// A new window on an empty map: the canvas is the map's rectangle on the 4-point grid, with no room kept for a
// horizontal scroll bar that cannot go away (the canvas is wider than the view); the view comes to rest centred.
TEST(MapStaysInView, ANewWindowOpensCentredOnACanvasOfTheMapsSize)
{
    ScopedStandardUserDefaults settings;
    registerFactoryDefaults();
    const std::shared_ptr<VQDocument> document = DocumentFactory::makeUntitledDocument();
    MindMapEditorWindowController window(document, QStringLiteral("map"));
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    EditorContentViewController* content = window.contentViewController()->editorContentViewController();
    ScrollView* scroll = content->scrollView();
    FirstPaint firstPaint(scroll);
    std::optional<Rect>& firstPainted = firstPaint.visible;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The window's own event loop runs the deferred calls, as the program's does.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return firstPainted && RunLoop::pendingCount() == 0 && !scroll->isAnimatingScroll(); }));
    QApplication::processEvents();
    const Rect canvas = content->graphView()->boundsRect();
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const Rect needed = document->project().graph.canvasRect(Size{double(screen.width()), double(screen.height())});
    ASSERT_GT(canvas.width(), scroll->largestVisibleSize().width);
    EXPECT_TRUE(canvas.contains(needed) && canvas.insetBy(4, 4).size.height < needed.height()
                && canvas.insetBy(4, 4).size.width < needed.width())
        << describeRect(canvas) << " for " << describeRect(needed);
    const Rect rest = scroll->documentVisibleRect();
    EXPECT_TRUE(rest.insetBy(rest.width() / 4, rest.height() / 4).contains(Point{0, 0})) << describeRect(rest);
    // The first frame already shows it there: the view does not start elsewhere and glide to the centre.
    ASSERT_TRUE(firstPainted);
    EXPECT_LT(std::hypot(firstPainted->center().x - rest.center().x, firstPainted->center().y - rest.center().y), 2.0)
        << "first painted " << describeRect(*firstPainted) << ", at rest " << describeRect(rest);
}

namespace {

// Between a node a command brings into view, as the canvas draws it (its ring, handles and the hover button's
// stub with it), and each edge of the visible part stand at least this many pixels of the view.
constexpr double marginPixels = 12;

// The selected node as the canvas draws it, in canvas points.
Rect drawnSelection(const OpenedMap& map)
{
    const auto& selection = map.document->project().selectedNodeUIDs;
    EXPECT_EQ(selection.size(), 1u);
    return selection.empty() ? Rect::null() : test::drawnNode(map.canvas(), selection.front());
}

// Whether the visible part shows the rectangle with the margin around it.
::testing::AssertionResult showsWithMargin(const OpenedMap& map, const Rect& shown)
{
    const Rect visible = map.visible();
    const double margin = marginPixels / map.scrollView()->magnification();
    if (visible.insetBy(margin, margin).contains(shown))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << describeRect(shown) << " is not " << marginPixels
                                         << " px inside the visible " << describeRect(visible);
}

// Whether the map lies in the middle of the visible part along each axis where it fits, to a pixel.
::testing::AssertionResult centresWhereItFits(const OpenedMap& map)
{
    const Rect visible = map.visible();
    const Rect whole = map.document->project().graph.boundingRect();
    const double pixel = 1 / map.scrollView()->magnification();
    if (whole.width() <= visible.width() && std::abs(visible.midX() - whole.midX()) > pixel)
        return ::testing::AssertionFailure() << "across: " << describeRect(whole) << " in " << describeRect(visible);
    if (whole.height() <= visible.height() && std::abs(visible.midY() - whole.midY()) > pixel)
        return ::testing::AssertionFailure() << "down: " << describeRect(whole) << " in " << describeRect(visible);
    return ::testing::AssertionSuccess();
}

// Zooms with the window's zoom pop-up to the magnification, the view at rest.
void zoomWithPopUp(OpenedMap& map, double magnification)
{
    const auto& factors = MindMapEditorWindowController::zoomFactors;
    const auto factor = std::find(std::begin(factors), std::end(factors), magnification);
    ASSERT_NE(factor, std::end(factors));
    map.window->zoomLevelSelectorButton()->setCurrentIndex(int(factor - std::begin(factors)));
    map.window->changeZoomLevel();
    ASSERT_TRUE(test::waitForRest(map.window.get(), map.canvas(), map.scrollView()));
    ASSERT_EQ(map.scrollView()->magnification(), magnification);
}

} // namespace

// Zoomed out to 50 %, the nodes at the map's far left, far right and bottom in turn are clicked, and Actual Size
// (Ctrl+0) is pressed: each stands in view as the canvas draws it, with a margin, not at the view's edge.
TEST(MapStaysInView, ActualSizeShowsANodeAtTheMapsEdgeWithAMargin)
{
    OpenedMap map(300);
    const Graph& graph = map.document->project().graph;
    const auto extreme = [&graph](auto better) {
        std::optional<Node> found;
        for (const auto& [uid, node] : graph.nodeBin())
            if (!found || better(node, *found))
                found = node;
        return *found;
    };
    using test::frameOfNode;
    const std::vector<std::pair<const char*, Node>> edges{
        {"far left", extreme([](const Node& a, const Node& b) { return frameOfNode(a).minX() < frameOfNode(b).minX(); })},
        {"far right", extreme([](const Node& a, const Node& b) { return frameOfNode(a).maxX() > frameOfNode(b).maxX(); })},
        {"bottom", extreme([](const Node& a, const Node& b) { return frameOfNode(a).maxY() > frameOfNode(b).maxY(); })}};
    for (const auto& [where, node] : edges) {
        SCOPED_TRACE(where);
        zoomWithPopUp(map, 0.5);
        map.scrollView()->scrollRectToVisible(test::frameOfNode(node).insetBy(-100, -100));
        map.settle();
        EXPECT_TRUE(clickThenActualSize(map, node));
        test::saveScreenshot(map.window.get(),
                             QStringLiteral("actual-size-edge-%1").arg(QString(where).replace(' ', '-')));
        EXPECT_TRUE(showsWithMargin(map, drawnSelection(map)));
    }
}

// A child made with Tab of a node near the view's right edge, its long title typed and committed with Return:
// the new node stands in view with its handles and a margin.
TEST(MapStaysInView, ANewNodeNearTheRightEdgeComesWithItsHandlesAndAMargin)
{
    OpenedMap map(10);
    const Rect frame = map.selectedFrame();
    const Rect visible = map.visible();
    map.scrollView()->scrollToPoint({frame.maxX() + 150 - visible.width(), frame.midY() - visible.height() / 2});
    map.settle();
    map.canvas()->setFocus();
    QTest::keyClick(map.canvas(), Qt::Key_Tab);
    map.settle();
    QTest::keyClicks(map.canvas()->titleEditor(), QStringLiteral("Car rental at the airport"));
    QTest::keyClick(map.canvas()->titleEditor(), Qt::Key_Return);
    ASSERT_TRUE(test::waitForRest(map.window.get(), map.canvas(), map.scrollView()));
    test::saveScreenshot(map.window.get(), QStringLiteral("new-node-near-the-right-edge"));
    EXPECT_EQ(map.document->project().graph.count(), 11u);
    EXPECT_TRUE(showsWithMargin(map, drawnSelection(map)));
}

// A map saved with its selection at the bottom, opened: the selected node stands in view with its handles and a
// margin, above the horizontal scroll bar.
TEST(MapStaysInView, AMapSavedWithItsSelectionAtTheBottomOpensShowingItWithAMargin)
{
    VQProject project = test::makeTreeMap(300);
    std::optional<Node> lowest;
    for (const auto& [uid, node] : project.graph.nodeBin())
        if (!lowest || node.center.y + node.size.height / 2 > lowest->center.y + lowest->size.height / 2)
            lowest = node;
    project.setSelectedNodes({*lowest});
    OpenedMap map(project);
    ASSERT_TRUE(test::waitForRest(map.window.get(), map.canvas(), map.scrollView()));
    test::saveScreenshot(map.window.get(), QStringLiteral("opened-with-the-selection-at-the-bottom"));
    ASSERT_TRUE(map.scrollView()->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(showsWithMargin(map, drawnSelection(map)));
}

// Zoomed out to 25 %, a map that fits stands in the middle of the view, down as well as across.
TEST(MapStaysInView, ZoomingOutToAQuarterCentresAMapThatFits)
{
    OpenedMap map(tripWithThreeBranches());
    zoomWithPopUp(map, 0.25);
    test::saveScreenshot(map.window.get(), QStringLiteral("zoomed-out-to-a-quarter"));
    const Rect whole = map.document->project().graph.boundingRect();
    ASSERT_TRUE(map.visible().contains(whole)) << describeRect(whole) << " in " << describeRect(map.visible());
    EXPECT_TRUE(centresWhereItFits(map));
}

// A tall map a little wider than the view, opened at 100 % on a node at its right side, zoomed out to 50 %: it
// then fits across but not down, and stands in the middle across, its left titles in view.
TEST(MapStaysInView, ZoomingOutCentresAMapThatFitsAcrossButNotDown)
{
    VQDocument document;
    document.beginEditingSession("Build");
    const Node root = document.createRootNode("Plan for the café at the old harbour", {0, 0}, false);
    for (int item = 1; item <= 60; ++item)
        document.createChildNode(root.uid, "Step " + std::to_string(item) + " of the plan, with everyone who helps");
    DocumentLayout(document).autoLayoutGraph(true);
    const Graph& graph = document.project().graph;
    document.projectForLoading().setSelectedNodes({graph.nodes(graph.node(root.uid)->childrenUIDs).at(0)});
    document.commitEditingSession();
    OpenedMap map(document.project());
    const Rect whole = map.document->project().graph.boundingRect();
    ASSERT_GT(map.visible().midX(), whole.midX() + 100);
    ASSERT_GT(whole.height(), map.visible().height() * 2);
    zoomWithPopUp(map, 0.5);
    test::saveScreenshot(map.window.get(), QStringLiteral("zoomed-out-fitting-across"));
    ASSERT_LE(whole.width(), map.visible().width());
    EXPECT_TRUE(centresWhereItFits(map));
    EXPECT_TRUE(showsWithMargin(map, drawnSelection(map)));
}
