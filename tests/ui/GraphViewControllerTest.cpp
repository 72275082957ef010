// The canvas controller driven through the dispatcher with a real canvas in a shown window: each command's
// effect on the document, its undo step, its undo and redo, and the menu states.

#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "canvas/GraphView.h"
#include "editor/GraphViewController.h"
#include "kit/Beep.h"
#include "kit/ScrollView.h"
#include "layout/GraphCollisionResolver.h"
#include "platform/FontManager.h"
#include "platform/Pasteboard.h"
#include "platform/RunLoop.h"
#include "platform/Settings.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "ControllerEditor.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

using Editor = test::ControllerEditor;

TEST(GraphViewController, CreationKeepsItsSessionForTheTitleAndUndoesAsOneStep)
{
    Editor editor;
    auto nodes = editor.tree();
    editor.select({nodes[1]});
    ASSERT_TRUE(editor.send("newChildNode:"));
    ASSERT_TRUE(editor.document->isInEditingSession());
    EXPECT_EQ(editor.document->editingLabel(), "New Child Node");
    EXPECT_EQ(editor.titleEditorsStarted, 1);
    ASSERT_EQ(editor.document->project().selectedNodeUIDs.size(), 1u);
    Node child = editor.node(editor.document->project().selectedNodeUIDs.front());
    EXPECT_EQ(child.parentUID, nodes[1].uid);
    // Every command is disabled while the title is typed.
    EXPECT_FALSE(editor.validate("delete:").enabled);
    EXPECT_FALSE(editor.validate("autoLayoutGraph:").enabled);
    // The typed title joins the creation's session; the editor's end commits it.
    child.title = "Typed";
    editor.controller->editNodeTitle(child, false);
    editor.controller->editNodeTitle(child, true);
    RunLoop::drain();
    EXPECT_FALSE(editor.document->isInEditingSession());
    EXPECT_EQ(editor.undo().undoActionName(), "New Child Node");
    EXPECT_EQ(editor.graphView->graph().count(), 4u);
    ASSERT_TRUE(editor.undo().undo());
    RunLoop::drain();
    EXPECT_EQ(editor.graph().count(), 3u);
    EXPECT_EQ(editor.graphView->graph().count(), 3u);
    EXPECT_EQ(editor.undo().undoActionName(), "Build");
    ASSERT_TRUE(editor.undo().redo());
    EXPECT_EQ(editor.node(child.uid).title, "Typed");
    editor.send("centerSelectedNode:");
    EXPECT_EVENTUALLY(!editor.scrollView->isAnimatingScroll());
    test::saveScreenshot(&editor.window, "graph_view_controller_new_child");
}

TEST(GraphViewController, SiblingRootAndParentCommands)
{
    Editor editor;
    auto nodes = editor.tree();
    editor.select({nodes[1], nodes[2]});
    EXPECT_EQ(editor.validate("newSiblingNode:").title, "New Root Node");
    EXPECT_TRUE(editor.send("newSiblingNode:"));
    Node sibling = editor.node(editor.document->project().selectedNodeUIDs.front());
    EXPECT_EQ(sibling.parentUID, nodes[0].uid);
    editor.document->commitEditingSession();
    RunLoop::drain();
    EXPECT_EQ(editor.undo().undoActionName(), "New Sibling Node");

    editor.select({nodes[0]});
    EXPECT_EQ(editor.validate("newSiblingNode:").title, "New Sibling Node");
    editor.send("newSiblingNode:"); // a root's sibling is its child
    EXPECT_EQ(editor.document->editingLabel(), "New Child Node");
    editor.document->commitEditingSession();

    editor.select({});
    // A middle click at (500, 400) of the canvas: it starts no gesture, and a new root goes where it was.
    const QPointF at = editor.graphView->widgetRectFromLayer(Rect(500, 400, 0, 0)).topLeft();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, at, editor.graphView->mapToGlobal(at), Qt::MiddleButton,
                          type == QEvent::MouseButtonPress ? Qt::MiddleButton : Qt::NoButton, {});
        QApplication::sendEvent(editor.graphView, &click);
    }
    ASSERT_EQ(editor.graphView->lastClickLocation(), (Point{500, 400}));
    editor.send("newSiblingNode:");
    Node root = editor.node(editor.document->project().selectedNodeUIDs.front());
    EXPECT_FALSE(root.parentUID.has_value());
    EXPECT_EQ(editor.document->editingLabel(), "New Root Node");
    editor.document->commitEditingSession();

    editor.select({nodes[1]});
    editor.send("newParentNode:");
    EXPECT_EQ(editor.node(nodes[1].uid).parentUID, editor.document->project().selectedNodeUIDs.front());
    editor.document->commitEditingSession();
    EXPECT_EQ(editor.undo().undoActionName(), "Insert Parent Node");

    Beep::resetCount();
    editor.select({});
    editor.send("newChildNode:");
    EXPECT_EQ(Beep::count(), 1);
    EXPECT_FALSE(editor.document->isInEditingSession());
}

TEST(GraphViewController, DeleteChoosesTheNextSelectionAmongSurvivingNodes)
{
    Editor editor;
    auto nodes = editor.tree();
    editor.select({nodes[2]});
    editor.send("delete:");
    EXPECT_EQ(editor.document->project().selectedNodeUIDs, std::vector<std::int64_t>{nodes[1].uid});
    EXPECT_EQ(editor.undo().undoActionName(), "Delete");
    ASSERT_TRUE(editor.undo().undo());
    RunLoop::drain();
    EXPECT_EQ(editor.graph().count(), 3u);

    // A grandchild of A with A selected too: the sibling chosen for the grandchild goes with A's subtree.
    editor.document->beginEditingSession("Grandchild");
    Node grandchild = *editor.document->createChildNode(nodes[1], "G", std::nullopt, true, false);
    Node second = *editor.document->createChildNode(nodes[1], "H", std::nullopt, true, false);
    editor.document->commitEditingSession();
    editor.select({editor.node(grandchild.uid), editor.node(nodes[1].uid)});
    editor.send("delete:");
    EXPECT_FALSE(editor.graph().contains(second.uid));
    for (std::int64_t uid : editor.document->project().selectedNodeUIDs)
        EXPECT_TRUE(editor.graph().contains(uid)) << uid;

    editor.select({editor.node(nodes[0].uid)});
    editor.send("selecNodeTree:");
    EXPECT_EQ(editor.document->project().selectedNodeUIDs.size(), 2u);
    editor.send("deselectAll:");
    EXPECT_TRUE(editor.document->project().selectedNodeUIDs.empty());
    EXPECT_FALSE(editor.validate("delete:").enabled);

    // The root deleted alone, its child B kept as a root, then B with its tree: nothing gone stays selected.
    for (const auto& [uid, command] : {std::pair{nodes[0].uid, "deleteSingle:"}, std::pair{nodes[2].uid, "delete:"}}) {
        editor.select({editor.node(uid)});
        editor.send(command);
        EXPECT_EQ(editor.document->project().selectedNodeUIDs, std::vector<std::int64_t>{}) << command;
    }
    EXPECT_TRUE(editor.graph().isEmpty());
}

TEST(GraphViewController, AFailingCommandInsideAnotherSessionTakesBackOnlyItsOwnChanges)
{
    Editor editor;
    auto nodes = editor.tree();
    editor.document->beginEditingSession("Change Fill Color");
    Node a = nodes[1];
    a.title = "Recoloured";
    editor.document->updateNodes({a}, NodeUpdateOperation::title, false);
    editor.select({});
    Beep::resetCount();
    editor.controller->clipboard().cut(); // nothing selected: fails after joining
    RunLoop::drain();
    EXPECT_EQ(Beep::count(), 1);
    EXPECT_TRUE(editor.document->isInEditingSession());
    EXPECT_EQ(editor.document->editingLabel(), "Change Fill Color");
    EXPECT_EQ(editor.node(a.uid).title, "Recoloured");
    // A refused attach that joined: its dragged positions go, the other session's edit stays.
    Node dragged = editor.node(nodes[0].uid);
    dragged.center = {900, 900};
    editor.controller->graphViewWantsToAttachNode(dragged, editor.node(nodes[1].uid), {dragged});
    EXPECT_TRUE(editor.document->isInEditingSession());
    EXPECT_EQ(editor.node(nodes[0].uid).center, nodes[0].center);
    EXPECT_EQ(editor.node(a.uid).title, "Recoloured");
    editor.document->commitEditingSession();
    EXPECT_EQ(editor.undo().undoActionName(), "Change Fill Color");

    // Alone, the refused attach leaves no undo step.
    editor.controller->graphViewWantsToAttachNode(dragged, editor.node(nodes[1].uid), {dragged});
    EXPECT_FALSE(editor.document->isInEditingSession());
    EXPECT_EQ(editor.undo().undoActionName(), "Change Fill Color");
}

TEST(GraphViewController, FontVariantsFollowTheFirstNodeAndShowMixedStates)
{
    Editor editor;
    auto nodes = editor.tree();
    editor.select({nodes[1]});
    editor.send("toggleNodeBold:");
    EXPECT_EQ(editor.undo().undoActionName(), "Toggle Bold");
    editor.select({editor.node(nodes[1].uid), editor.node(nodes[2].uid)});
    EXPECT_EQ(editor.validate("toggleNodeBold:").state, ControlState::mixed);
    editor.send("toggleNodeBold:"); // first is bold: both lose it
    for (int i : {1, 2})
        EXPECT_FALSE(FontManager::traits(editor.node(nodes[i].uid).style.font) & FontTrait::bold);
    EXPECT_EQ(editor.validate("toggleNodeBold:").state, ControlState::off);
    editor.send("toggleNodeUnderline:");
    EXPECT_EQ(editor.validate("toggleNodeUnderline:").state, ControlState::on);
    EXPECT_EQ(editor.undo().undoActionName(), "Toggle Underlined");
    editor.undo().undo();
    EXPECT_FALSE(editor.node(nodes[1].uid).style.isUnderlined);

    editor.select({editor.node(nodes[1].uid)});
    EXPECT_EQ(editor.validate("autolayoutPartialTree:").title, "Layout only \"Root\" and Children");
    EXPECT_FALSE(editor.validate("autoLayoutSelectedNode:").hidden);
    editor.select({editor.node(nodes[0].uid)});
    EXPECT_TRUE(editor.validate("autoLayoutSelectedNode:").hidden);
    EXPECT_EQ(editor.validate("autolayoutPartialTree:").title, "Layout \"Root\" and Children");
    editor.send("autoLayoutGraph:");
    EXPECT_EQ(editor.undo().undoActionName(), "Auto Layout");
    editor.send("sortSelectedNodeChildren:", "Sort by Creation Date");
    EXPECT_EQ(editor.undo().undoActionName(), "Sort Children");
}

TEST(GraphViewController, NodesTravelBetweenTwoDocumentsThroughTheClipboard)
{
    Editor source;
    auto nodes = source.tree();
    source.select({nodes[1]});
    EXPECT_TRUE(source.send("copy:"));
    Editor target;
    ASSERT_TRUE(target.validate("paste:").enabled);
    EXPECT_TRUE(target.validate("pasteAsPlainText:").enabled);
    target.send("paste:");
    EXPECT_EQ(target.graph().count(), 1u);
    EXPECT_EQ(target.graph().allNodes().front().title, "A");
    EXPECT_EQ(target.undo().undoActionName(), "Paste");
    target.undo().undo();
    EXPECT_TRUE(target.graph().isEmpty());

    source.send("cut:");
    EXPECT_FALSE(source.graph().contains(nodes[1].uid));
    EXPECT_EQ(source.undo().undoActionName(), "Cut Nodes");

    source.select({nodes[0]});
    source.send("copyNodeStyle:");
    target.tree();
    target.select(target.graph().allNodes());
    ASSERT_TRUE(target.validate("pasteNodeStyle:").enabled);
    target.send("pasteNodeStyle:");
    EXPECT_EQ(target.undo().undoActionName(), "Paste Node Style");

    Pasteboard::general().clearContents();
    Beep::resetCount();
    target.send("paste:");
    EXPECT_EQ(Beep::count(), 1);
    EXPECT_FALSE(target.validate("paste:").enabled);
}

TEST(GraphViewController, CanvasEditsAreSingleUndoSteps)
{
    Editor editor;
    auto nodes = editor.tree();
    Node resized = nodes[1];
    resized.size = {300, 80};
    editor.controller->resizeNode(resized);
    EXPECT_FALSE(editor.node(resized.uid).autoSize);
    EXPECT_EQ(editor.undo().undoActionName(), "Resize Node");

    Node title = editor.node(nodes[2].uid);
    title.title = "Renamed";
    editor.controller->editNodeTitle(title, true);
    EXPECT_EQ(editor.undo().undoActionName(), "Edit Node Title");
    editor.undo().undo();
    EXPECT_EQ(editor.node(nodes[2].uid).title, "B");

    Node moved = editor.node(nodes[0].uid);
    moved.center = {200, 100};
    editor.controller->moveNodes({moved});
    EXPECT_EQ(editor.node(nodes[0].uid).center, moved.center);
    EXPECT_EQ(editor.undo().undoActionName(), "Move Nodes");

    QImage pixels(40, 20, QImage::Format_ARGB32);
    pixels.fill(Qt::red);
    editor.controller->newImageNodes({Image(pixels), Image(pixels)}, {50, 50});
    EXPECT_EQ(editor.graph().count(), 5u);
    EXPECT_EQ(editor.undo().undoActionName(), "New Image Node");
    editor.undo().undo();
    EXPECT_EQ(editor.graph().count(), 4u);
}

TEST(GraphViewController, SwitchingCollisionDetectionOnPartsOverlappingNodesInOneStep)
{
    ScopedStandardUserDefaults scope;
    setCollisionDetectionEnabled(false);
    Editor editor;
    editor.document->beginEditingSession("Build");
    const Node a = editor.document->createRootNode("A", {0, 0}, false);
    const Node b = editor.document->createRootNode("B", {600, 0}, false);
    editor.document->commitEditingSession();
    RunLoop::drain();
    editor.undo().removeAllActions();

    // Nodes apart: switching on leaves the map and the history alone.
    setCollisionDetectionEnabled(true);
    RunLoop::drain();
    EXPECT_FALSE(editor.undo().canUndo());
    EXPECT_EQ(editor.node(b.uid).center, (Point{600, 0}));

    // B put onto A while detection is off; switching it on parts them in one undoable step.
    setCollisionDetectionEnabled(false);
    Node dropped = editor.node(b.uid);
    dropped.center = {10, 5};
    editor.graph().setNode(dropped, dropped.uid);
    setCollisionDetectionEnabled(true);
    RunLoop::drain();
    EXPECT_EQ(editor.undo().undoActionName(), "Resolve Collisions");
    EXPECT_FALSE(GraphCollisionResolver::frame(editor.node(a.uid))
                     .intersects(GraphCollisionResolver::frame(editor.node(b.uid))));
}

TEST(GraphViewController, ZoomStepsGlideWithinTheScrollViewsRangeUnlessAnimationsAreOff)
{
    ScopedStandardUserDefaults settings;
    Editor editor;
    std::vector<double> shown;
    QObject::connect(editor.scrollView, &ScrollView::magnificationChanged, [&](double m) { shown.push_back(m); });
    // Four quick steps head for 2.0 together, through the magnifications between.
    for (int i = 0; i < 4; ++i)
        editor.send("zoomIn:");
    EXPECT_LT(editor.scrollView->magnification(), 2.0);
    EXPECT_EVENTUALLY_EQ(editor.scrollView->magnification(), 2.0);
    EXPECT_GE(std::count_if(shown.begin(), shown.end(), [](double m) { return m > 1.0 && m < 2.0; }), 1);

    // With animations off each step lands at once; the range holds either way.
    settings.defaults().set("disableAnimations", true);
    editor.send("zoomDefault:");
    EXPECT_DOUBLE_EQ(editor.scrollView->magnification(), 1.0);
    for (int i = 0; i < 5; ++i)
        editor.send("zoomOut:");
    EXPECT_DOUBLE_EQ(editor.scrollView->magnification(), ScrollView::defaultMinMagnification);
}

} // namespace
