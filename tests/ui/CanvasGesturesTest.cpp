// Mouse gestures and drops on the canvas carried through the canvas controller into the document: each a
// single undo step, and a refused attach leaving map and undo stack as they were.

#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "canvas/GraphView.h"
#include "canvas/layers/NodeLayer.h"
#include "editor/GraphViewController.h"
#include "kit/ScrollView.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"
#include "UiTestSupport.h"
#include "canvas/CanvasSync.h"

using namespace velquine;

namespace {

struct GestureEditor {
    std::shared_ptr<VQDocument> document = std::make_shared<VQDocument>();
    QWidget window;
    ScrollView* scrollView = new ScrollView;
    GraphView* view = new GraphView;
    std::shared_ptr<GraphViewController> controller;
    std::int64_t root = 0, a = 0, b = 0, grandchild = 0;

    GestureEditor()
    {
        window.resize(1200, 800);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(scrollView);
        scrollView->setDocumentView(view);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        controller = GraphViewController::create(document, view, scrollView);
        // A root with children A and B, and a child under A, all in one step.
        document->beginEditingSession("Build");
        const Node rootNode = document->createRootNode("Root", {600, 400}, false);
        root = rootNode.uid;
        a = document->createChildNode(rootNode, "A", std::nullopt, true, false)->uid;
        b = document->createChildNode(rootNode, "B", std::nullopt, true, false)->uid;
        grandchild = document->createChildNode(node(a), "Grandchild", std::nullopt, true, false)->uid;
        document->commitEditingSession();
        settle();
        // The view comes to rest on the map before the gestures start.
        EXPECT_TRUE(QTest::qWaitFor([this] { return !scrollView->isAnimatingScroll(); }));
        settle();
    }
    void settle()
    {
        RunLoop::drain();
        QApplication::processEvents();
        RunLoop::drain();
    }
    Node node(std::int64_t uid) { return *document->project().graph.node(uid); }
    UndoManager& undo() { return *document->undoManager(); }
    QPoint at(Point point) const { return view->widgetRectFromLayer(Rect(point.x, point.y, 0, 0)).topLeft().toPoint(); }
    QPoint center(std::int64_t uid) const { return at(view->nodeLayer(uid)->node().center); }
    void send(QEvent::Type type, QPoint point, Qt::MouseButton button, Qt::MouseButtons held,
              Qt::KeyboardModifiers modifiers = {})
    {
        QMouseEvent event(type, QPointF(point), QPointF(view->mapToGlobal(point)), button, held, modifiers);
        QApplication::sendEvent(view, &event);
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {})
    {
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, modifiers);
        for (int step = 1; step <= 4; ++step)
            send(QEvent::MouseMove, from + (to - from) * step / 4, Qt::NoButton, Qt::LeftButton, modifiers);
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, modifiers);
        settle();
    }
};

TEST(CanvasGestures, DraggingOntoAnotherNodeAttachesAndOntoADescendantChangesNothing)
{
    GestureEditor editor;
    const Graph before = editor.document->project().graph;

    // A dragged alone (Alt) onto its own child: the attach is refused, logged and leaves no trace.
    const Point startA = editor.view->nodeLayer(editor.a)->position();
    LogCapture log;
    editor.drag(editor.center(editor.a), editor.center(editor.grandchild), Qt::AltModifier);
    EXPECT_TRUE(log.contains("attach failed"));
    EXPECT_EQ(editor.undo().undoActionName(), "Build");
    EXPECT_FALSE(editor.undo().canRedo());
    EXPECT_FALSE(editor.document->isInEditingSession());
    EXPECT_EQ(editor.node(editor.a).center, before.findNode(editor.a)->center);
    EXPECT_EQ(editor.node(editor.grandchild).parentUID, std::optional<std::int64_t>(editor.a));
    EXPECT_EQ(editor.view->nodeLayer(editor.a)->position(), startA); // the layer went back
    EXPECT_EQ(editor.view->nodeLayer(editor.a)->node().center, startA);

    // B with its subtree onto A: B becomes A's child in one undoable step.
    editor.drag(editor.center(editor.b), editor.center(editor.a));
    EXPECT_EQ(editor.node(editor.b).parentUID, std::optional<std::int64_t>(editor.a));
    EXPECT_EQ(editor.undo().undoActionName(), "Attach Node");
    editor.undo().undo();
    editor.settle();
    EXPECT_EQ(editor.node(editor.b).parentUID, std::optional<std::int64_t>(editor.root));
    EXPECT_EQ(editor.undo().undoActionName(), "Build");
}

TEST(CanvasGestures, MovingResizingAndTheHoverButtonAreSingleSteps)
{
    GestureEditor editor;

    // The whole tree dragged by its root keeps the new place.
    const Point rootBefore = editor.node(editor.root).center;
    editor.drag(editor.center(editor.root), editor.center(editor.root) + QPoint(-60, 40));
    EXPECT_EQ(editor.node(editor.root).center, (rootBefore + Point{-60, 40}));
    EXPECT_EQ(editor.undo().undoActionName(), "Move Nodes");

    // The selected root's bottom-right handle: the node grows and stops sizing itself.
    const Node root = editor.node(editor.root);
    const Rect frame = editor.view->nodeLayer(editor.root)->frame();
    editor.drag(editor.at({frame.maxX(), frame.maxY()}), editor.at({frame.maxX() + 50, frame.maxY() + 30}));
    EXPECT_EQ(editor.node(editor.root).size, (Size{root.size.width + 50, root.size.height + 30}));
    EXPECT_FALSE(editor.node(editor.root).autoSize);
    EXPECT_EQ(editor.undo().undoActionName(), "Resize Node");

    // Hover beside B, press its "+" button and drag: a new child of B, the ghost gone afterwards.
    NodeLayer& layer = *editor.view->nodeLayer(editor.b);
    const Rect bFrame = layer.frame();
    const QPoint beside = editor.at({bFrame.maxX() + 16, bFrame.midY()});
    editor.send(QEvent::MouseMove, beside, Qt::NoButton, Qt::NoButton);
    ASSERT_TRUE(layer.isHoverButtonShown());
    const Rect button = layer.hoverButtonLayer().frame().offsetBy(bFrame.origin.x, bFrame.origin.y);
    const std::size_t count = editor.document->project().graph.count();
    editor.drag(editor.at({button.midX(), button.midY()}), editor.at({button.midX() + 120, button.midY() + 50}));
    EXPECT_EQ(editor.document->project().graph.count(), count + 1);
    EXPECT_EQ(editor.node(editor.b).childrenUIDs.size(), 1u);
    // The ghost's layers are the hover-button drag's own, shown nowhere once it ends: the canvas's own node
    // layers are the only ones on it.
    for (const auto& sublayer : editor.view->layer()->sublayers()) {
        if (auto* node = dynamic_cast<NodeLayer*>(sublayer.get())) {
            EXPECT_EQ(editor.view->nodeLayer(node->node().uid), node);
        }
    }
}

TEST(CanvasGestures, AnImageDroppedOnANodeBecomesItsImage)
{
    GestureEditor editor;
    QImage pixels(4000, 1000, QImage::Format_ARGB32);
    pixels.fill(Qt::darkGreen);
    QMimeData data;
    data.setImageData(pixels);
    const QPoint point = editor.center(editor.b);
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(editor.view, &enter);
    QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(editor.view, &move);
    QDropEvent drop(QPointF(point), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(editor.view, &drop);
    editor.settle();
    EXPECT_EQ(editor.document->project().graph.count(), 4u);
    ASSERT_TRUE(editor.node(editor.b).image());
    EXPECT_EQ(editor.node(editor.b).image()->size(), (Size{1024, 256}));
    EXPECT_EQ(editor.undo().undoActionName(), "Set Node Image");
    EXPECT_EQ(editor.document->project().selectedNodeUIDs, std::vector<std::int64_t>{editor.b});
}

} // namespace
