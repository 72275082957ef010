// The map stays in view in a real editor window: a saved map is opened as the program opens it, and after
// opening, Tab, Return, Undo, Redo, a layout switch and a theme change the selected node lies wholly inside
// the visible part of the canvas; when it already did, the map does not move. New nodes are made at the edge of
// the view and their titles typed at once, at magnifications of 1, 2 and 0.5.

#include <QComboBox>

#include "OpenedMapWindow.h"
#include "UiTestSupport.h"
#include "canvas/NodeTitleEditor.h"
#include "canvas/TitleEditingInteraction.h"
#include "inspector/DocumentStyleInspector.h"
#include "platform/UndoManager.h"

using namespace velquine;

namespace {

using OpenedMap = test::OpenedMapWindow;
using test::describeRect;

// Runs the step and checks where it leaves the view: the selected node wholly visible, and the visible part of
// the map where it was when the node was already inside it.
template <typename Step>
void expectInView(OpenedMap& map, const std::string& name, Step step)
{
    const Rect before = map.visible();
    step();
    map.settle();
    const Rect frame = map.selectedFrame();
    const Rect after = map.visible();
    EXPECT_TRUE(after.contains(frame)) << name << ": node " << describeRect(frame) << " visible " << describeRect(after);
    if (before.contains(frame)) {
        EXPECT_TRUE(after == before) << name << ": the map moved from " << describeRect(before) << " to "
                                     << describeRect(after);
    }
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
        QTest::keyClicks(map.canvas()->titleEditing().nodeEditor(), QStringLiteral("Car rental"));
        QTest::keyClick(map.canvas()->titleEditing().nodeEditor(), Qt::Key_Return);
    });
    // A sibling inside the view, whose title grows past its edge.
    scrollToRightEdge(map);
    expectInView(map, "return", [&] {
        QTest::keyClick(map.canvas(), Qt::Key_Return);
        map.settle();
        QTest::keyClicks(map.canvas()->titleEditing().nodeEditor(), QStringLiteral("Car rental at the airport"));
        QTest::keyClick(map.canvas()->titleEditing().nodeEditor(), Qt::Key_Return);
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

// A new, empty map in its window, as File ▸ New makes it.
struct NewMapWindow {
    ScopedStandardUserDefaults settings;
    std::shared_ptr<VQDocument> document;
    std::unique_ptr<MindMapEditorWindowController> window;

    NewMapWindow()
    {
        registerFactoryDefaults();
        document = DocumentFactory::makeUntitledDocument();
        window = std::make_unique<MindMapEditorWindowController>(document, QStringLiteral("Untitled"));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        settle();
    }
    GraphView* canvas() const { return window->contentViewController()->editorContentViewController()->graphView(); }
    ScrollView* scrollView() const
    {
        return window->contentViewController()->editorContentViewController()->scrollView();
    }
    void settle() const
    {
        EXPECT_TRUE(QTest::qWaitFor([this] {
            RunLoop::drain();
            return RunLoop::pendingCount() == 0 && !scrollView()->isAnimatingScroll();
        }));
        QApplication::processEvents();
        RunLoop::drain();
    }
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
