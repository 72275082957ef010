// The map stays in view in a real editor window: a saved map is opened as the program opens it, and after
// opening, Tab, Return, Undo, Redo, a layout switch and a theme change the selected node lies wholly inside
// the visible part of the canvas; when it already did, the map does not move. New nodes are made at the edge of
// the view and their titles typed at once, at magnifications of 1, 2 and 0.5.

#include "document/DocumentFactory.h"
#include "document/DocumentLayout.h"
#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include "canvas/GraphView.h"
#include "canvas/NodeTitleEditor.h"
#include "document/VQDocument.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "inspector/DocumentStyleInspector.h"
#include "kit/ScrollView.h"
#include "model/project/FactorySettings.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "UiTestSupport.h"
#include "canvas/TitleEditingInteraction.h"

using namespace velquine;

namespace {

// A map of count nodes, ten children per node, laid out; its last node selected.
VQProject makeMap(int count)
{
    VQDocument document;
    document.beginEditingSession("Build");
    std::vector<Node> nodes{document.createRootNode("Trip to Lisbon", {0, 0}, false)};
    static const char* const words[] = {"Hotel", "Shopping", "Flights", "Museum", "Car rental", "Budget", "Tram 28",
                                        "Castle", "Beach day", "Fado night"};
    for (int i = 1; i < count; ++i) {
        const Node& parent = nodes[std::size_t((i - 1) / 10)];
        nodes.push_back(*document.createChildNode(parent.uid, std::string(words[i % 10]) + " " + std::to_string(i)));
    }
    DocumentLayout(document).autoLayoutGraph(true);
    document.projectForLoading().setSelectedNodes({*document.project().graph.node(nodes.back().uid)});
    document.commitEditingSession();
    return document.project();
}

struct OpenedMap {
    ScopedStandardUserDefaults settings;
    QTemporaryDir folder;
    std::shared_ptr<VQDocument> document;
    std::unique_ptr<MindMapEditorWindowController> window;

    explicit OpenedMap(int count)
    {
        registerFactoryDefaults();
        const std::string path = folder.path().toStdString() + "/map.velquine";
        {
            VQDocument saved;
            saved.projectForLoading() = makeMap(count);
            std::optional<std::string> error;
            EXPECT_TRUE(saved.writeToURL(path, std::string(VQDocument::documentType), &error));
        }
        // As the program opens a file: the document read, its window made and shown.
        document = DocumentFactory::makeDocumentForURL(path, std::string(VQDocument::documentType));
        window = std::make_unique<MindMapEditorWindowController>(document, QStringLiteral("map"));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        window->raise();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        settle();
    }
    GraphView* canvas() const { return window->contentViewController()->editorContentViewController()->graphView(); }
    ScrollView* scrollView() const
    {
        return window->contentViewController()->editorContentViewController()->scrollView();
    }
    // Deferred calls run and scrolling come to rest.
    void settle() const
    {
        EXPECT_TRUE(QTest::qWaitFor([this] {
            RunLoop::drain();
            return RunLoop::pendingCount() == 0 && !scrollView()->isAnimatingScroll();
        }));
        QApplication::processEvents();
        RunLoop::drain();
    }
    Rect visible() const { return scrollView()->documentVisibleRect(); }
    Rect selectedFrame() const
    {
        const auto& selection = document->project().selectedNodeUIDs;
        EXPECT_EQ(selection.size(), 1u);
        const Node node = *document->project().graph.node(selection.front());
        return Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                    node.size.height);
    }
};

std::string describe(const Rect& r)
{
    char text[128];
    std::snprintf(text, sizeof text, "(%.1f, %.1f, %.1f x %.1f)", r.origin.x, r.origin.y, r.size.width,
                  r.size.height);
    return text;
}

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
    EXPECT_TRUE(after.contains(frame)) << name << ": node " << describe(frame) << " visible " << describe(after);
    if (before.contains(frame)) {
        EXPECT_TRUE(after == before) << name << ": the map moved from " << describe(before) << " to "
                                     << describe(after);
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
        EXPECT_TRUE(map.visible().contains(whole)) << "map " << describe(whole) << " visible " << describe(map.visible());
    else
        EXPECT_GT(count, 10) << "a map of ten nodes fits in the window";
    map.scrollView()->setMagnification(magnification);
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
