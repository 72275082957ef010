// Node drags, attaching, re-ordering, resizing, hover-button drags with their ghost and right-button panning,
// driven by mouse events on a canvas in a real window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

#include "GraphViewTestSupport.h"
#include "canvas/layers/BranchLayer.h"
#include "document/VQDocument.h"
#include "kit/ScrollView.h"
#include "layout/NodeSizing.h"
#include "platform/Log.h"
#include "platform/layer/Animator.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/TextLayer.h"
#include "support/QtWait.h"
#include "canvas/CanvasSync.h"

namespace velquine::testing {
namespace {

std::vector<std::int64_t> uidsOf(const std::vector<Node>& nodes)
{
    std::vector<std::int64_t> uids;
    for (const Node& node : nodes)
        uids.push_back(node.uid);
    return uids;
}

// The node layers a drag under way moves, read from the view's own layer: reading them through the canvas
// would put them in place, where the tests watch the drag draw them as one piece.
std::vector<NodeLayer*> draggedLayersOf(GraphView& view)
{
    std::vector<NodeLayer*> dragged;
    for (const auto& sublayer : view.layer()->sublayers())
        if (auto* node = dynamic_cast<NodeLayer*>(sublayer.get()); node && node->isDragged())
            dragged.push_back(node);
    return dragged;
}

// The ghost of a hover-button drag: the node and the branch layer on the canvas that are none of the canvas's
// own node and branch layers; null when there is none.
template <typename L>
std::shared_ptr<L> ghostLayer(GraphView& view, const std::vector<std::shared_ptr<L>>& own)
{
    for (const auto& sublayer : view.layer()->sublayers())
        if (auto layer = std::dynamic_pointer_cast<L>(sublayer);
            layer && std::find(own.begin(), own.end(), layer) == own.end())
            return layer;
    return nullptr;
}
std::shared_ptr<NodeLayer> ghostNodeLayer(GraphView& view) { return ghostLayer(view, view.nodeLayers()); }
std::shared_ptr<BranchLayer> ghostBranchLayer(GraphView& view) { return ghostLayer(view, view.branchLayers()); }

class DragDelegate : public GraphViewDelegate {
public:
    void abandonTitleEdit() override
    {
        if (doc && doc->isInEditingSession())
            doc->cancelEditingSession();
    }
    void selectNodes(const std::vector<Node>& nodes, bool) override { calls.push_back("select"); selected = nodes; }
    void pointerDidSelectNodes(const std::vector<Node>& nodes) override
    {
        if (!doc)
            return;
        doc->setSelectedNodes(nodes);
        doc->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeSelection(); });
    }
    void moveNodes(std::vector<Node> nodes) override { calls.push_back("move"); moved = std::move(nodes); }
    void moveDraggedNodes(const Node& parent, const std::vector<Node>& dragged,
                          const std::vector<std::int64_t>& order) override
    {
        calls.push_back("reorder");
        reorderParent = parent.uid;
        moved = dragged;
        newOrder = order;
    }
    void resizeNode(const Node& node) override { calls.push_back("resize"); resized = node; }
    void graphViewWantsToAttachNode(const Node& node, const Node& attachTo, const std::vector<Node>& dragged) override
    {
        calls.push_back("attach");
        attached = {node.uid, attachTo.uid};
        moved = dragged;
    }
    void insertChildNode(const Node& parent, std::optional<Point> position) override
    {
        calls.push_back("insert");
        insertedUnder = parent.uid;
        insertedAt = position;
    }
    VQDocument* doc = nullptr;
    std::vector<std::string> calls;
    std::vector<Node> selected, moved;
    std::int64_t reorderParent = 0, insertedUnder = 0;
    std::vector<std::int64_t> newOrder;
    std::pair<std::int64_t, std::int64_t> attached;
    std::optional<Node> resized;
    std::optional<Point> insertedAt;
};

struct DragWindow {
    explicit DragWindow(const VQProject& project, bool scrolled = false)
    {
        document.projectForLoading() = project;
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        view = new GraphView(Rect(0, 0, scrolled ? 4000 : 1600, scrolled ? 3000 : 900));
        if (scrolled) {
            scrollView = new ScrollView;
            scrollView->setDocumentView(view);
            layout->addWidget(scrollView);
        } else {
            layout->addWidget(view);
        }
        view->setGraph(project.graph);
        delegate->doc = &document;
        view->setDelegate(delegate);
        window.resize(1600, 900);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        view->setFocus();
    }
    QPoint at(Point point) const { return view->widgetRectFromLayer(Rect(point.x, point.y, 0, 0)).topLeft().toPoint(); }
    QPoint center(std::int64_t uid) const { return at(view->nodeLayer(uid)->node().center); }
    void select(const std::vector<std::int64_t>& uids) { view->showSelection(view->graph().nodes(uids)); }
    // Mouse events as the window system delivers them, with the buttons held and the modifiers down.
    void send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
              Qt::KeyboardModifiers modifiers = {})
    {
        QMouseEvent event(type, QPointF(at), QPointF(view->mapToGlobal(at)), button, held, modifiers);
        QApplication::sendEvent(view, &event);
    }
    void press(QPoint at, Qt::KeyboardModifiers modifiers = {}, Qt::MouseButton button = Qt::LeftButton)
    {
        send(QEvent::MouseButtonPress, at, button, button, modifiers);
    }
    void move(QPoint at, Qt::MouseButtons held = Qt::LeftButton, Qt::KeyboardModifiers modifiers = {})
    {
        send(QEvent::MouseMove, at, Qt::NoButton, held, modifiers);
    }
    void release(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        send(QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    }
    // Press at from, move there in steps, release at the last point.
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {}, bool andRelease = true)
    {
        press(from, modifiers);
        for (int step = 1; step <= 4; ++step)
            move(from + (to - from) * step / 4, Qt::LeftButton, modifiers);
        if (andRelease)
            release(to);
    }
    std::vector<std::string>& calls() { return delegate->calls; }
    std::vector<NodeLayer*> draggedLayers() { return draggedLayersOf(*view); }
    // Hovers beside the node's right edge, presses the "+" button shown there and drags by the offset, without
    // releasing; where the press was.
    QPoint dragHoverButton(std::int64_t uid, QPoint by)
    {
        NodeLayer& layer = *view->nodeLayer(uid);
        const Rect frame = layer.frame();
        move(at({frame.maxX() + 20, frame.midY()}), Qt::NoButton);
        EXPECT_TRUE(layer.isHoverButtonShown());
        const Rect button = layer.hoverButtonLayer().frame().offsetBy(frame.origin.x, frame.origin.y);
        const QPoint pressed = at({button.midX(), button.midY()});
        drag(pressed, pressed + by, {}, false);
        return pressed;
    }
    QWidget window;
    GraphView* view = nullptr;
    ScrollView* scrollView = nullptr;
    VQDocument document;
    std::shared_ptr<DragDelegate> delegate = std::make_shared<DragDelegate>();
};

struct Tree {
    explicit Tree(const VQProject& project)
    {
        const Node& r = project.graph.nodeBin().begin()->second;
        root = r.uid;
        right = r.childrenUIDs.at(0);
        // None in a map whose root has a single child.
        left = r.childrenUIDs.size() > 1 ? r.childrenUIDs[1] : 0;
        subs = project.graph.findNode(right)->childrenUIDs;
    }
    std::int64_t root = 0, right = 0, left = 0;
    std::vector<std::int64_t> subs;
};

TEST(GraphViewDrag, DraggingMovesTheSelectedSubtreesAndReleaseSendsOneMove)
{
    const VQProject project = sampleProject(1, 2, 2);
    DragWindow canvas(project);
    const Tree tree(project);
    const Node main = *project.graph.findNode(tree.right);

    // Press on the node, drag it down into empty canvas: its subtree follows, raised above the other nodes.
    const QPoint from = canvas.center(tree.right), to = from + QPoint(300, 40);
    canvas.drag(from, to, {}, false);
    EXPECT_TRUE(canvas.view->isGestureActive());
    ASSERT_EQ(canvas.draggedLayers().size(), 3u);
    for (NodeLayer* layer : canvas.draggedLayers()) {
        EXPECT_TRUE(layer->isDragged());
        EXPECT_EQ(layer->zPosition(), -5);
        EXPECT_EQ(layer->shadowOpacity(), 0.3);
        EXPECT_FALSE(layer->areHandlesShown());
    }
    EXPECT_EQ(canvas.view->nodeLayer(tree.root)->zPosition(), -5); // the parent comes forward too
    EXPECT_EQ(canvas.view->nodeLayer(tree.subs[0])->frame().origin.y,
              project.graph.findNode(tree.subs[0])->center.y + 40 - project.graph.findNode(tree.subs[0])->size.height / 2);
    EXPECT_TRUE(shownLayer(*canvas.view, "attachBadge")->isHidden());
    // While dragging, the view paints the still rest and the moving subtree from pictures: the same pixels
    // as a paint of every layer.
    const QImage shown = canvas.view->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QImage full(shown.size(), QImage::Format_ARGB32);
    full.fill(Qt::transparent);
    {
        QPainter painter(&full);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        canvas.view->render(painter, QRectF(full.rect()));
    }
    // Pictures composed onto transparency round a channel by one here and there.
    const auto apart = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2 || std::abs(qBlue(a) - qBlue(b)) > 2;
    };
    int differing = 0;
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x)
            differing += apart(shown.pixel(x, y), full.pixel(x, y));
    EXPECT_LT(differing, 50);
    EXPECT_TRUE(shown.save(artefactPath("canvas-drag-subtree.png")));

    canvas.release(to);
    EXPECT_EQ(canvas.delegate->calls, (std::vector<std::string>{"move"}));
    EXPECT_EQ(uidsOf(canvas.delegate->moved), (std::vector<std::int64_t>{tree.right, tree.subs[0], tree.subs[1]}));
    EXPECT_EQ(canvas.delegate->moved[0].center, (Point{main.center.x + 300, main.center.y + 40}));
    for (const auto& layer : canvas.view->nodeLayers()) {
        EXPECT_EQ(layer->zPosition(), -10);
        EXPECT_FALSE(layer->isDragged());
    }
    EXPECT_EQ(canvas.view->branchLayer(tree.root, tree.right)->zPosition(), -11);
    EXPECT_TRUE(canvas.draggedLayers().empty());
    EXPECT_FALSE(canvas.view->isGestureActive());

    // The canvas never wrote the graph: a reload of the unchanged graph puts the layers back.
    canvas.view->setGraph(project.graph);
    EXPECT_EQ(canvas.view->nodeLayer(tree.subs[1])->node().center, project.graph.findNode(tree.subs[1])->center);
    EXPECT_EQ(canvas.view->nodeLayer(tree.subs[1])->position(), project.graph.findNode(tree.subs[1])->center);

    // Alt drags the selected node alone.
    canvas.delegate->calls.clear();
    canvas.drag(canvas.center(tree.right), canvas.center(tree.right) + QPoint(260, 0), Qt::AltModifier);
    EXPECT_EQ(uidsOf(canvas.delegate->moved), std::vector<std::int64_t>{tree.right});

    // The grabbed node's centre never leaves the visible area.
    canvas.view->setGraph(project.graph);
    canvas.drag(canvas.center(tree.right), QPoint(1590, 30) + QPoint(400, -300), Qt::AltModifier);
    const Rect visible = canvas.view->visibleRect();
    EXPECT_EQ(canvas.delegate->moved.front().center, (Point{visible.maxX(), visible.minY()}));
}

// A column of children far taller than one picture may be: the whole tree is dragged by its root.
TEST(GraphViewDrag, ATreeTallerThanAPictureMovesAsOnePiece)
{
    NodeStyle style;
    style.font = Font::systemFont(13);
    std::vector<Node> nodes{Node(1, std::nullopt, style)};
    nodes[0].title = "Root";
    nodes[0].center = {200, 300};
    nodes[0].size = {120, 40};
    for (std::int64_t uid = 2; uid <= 600; ++uid) {
        Node child(uid, 1, style);
        child.title = "Child " + std::to_string(uid);
        child.center = {420, 20.0 + 30 * uid};
        child.size = {110, 24};
        nodes[0].childrenUIDs.push_back(uid);
        nodes.push_back(child);
    }
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scrollView = new ScrollView;
    auto* view = new GraphView(Rect(0, 0, 3000, 20000));
    scrollView->setDocumentView(view);
    layout->addWidget(scrollView);
    view->setGraph([&] {
        Graph graph;
        graph.updateNodes(nodes);
        return graph;
    }());
    auto delegate = std::make_shared<DragDelegate>();
    view->setDelegate(delegate);
    window.resize(1200, 800);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // While anything animates, every layer is painted as it is at that instant.
    ASSERT_TRUE(QTest::qWaitFor([] { return !Animator::shared().isRunning(); }, 10000));
    const auto at = [&](Point point) { return view->widgetRectFromLayer(Rect(point.x, point.y, 0, 0)).topLeft().toPoint(); };
    const auto send = [&](QEvent::Type type, QPoint to, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(to), QPointF(view->mapToGlobal(to)), button, held, {});
        QApplication::sendEvent(view, &event);
    };

    // The steps after the first paint the tree from its picture: no layer of it is painted again.
    const QPoint from = at(nodes[0].center);
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, from + QPoint(10, 10), Qt::NoButton, Qt::LeftButton);
    scrollView->viewport()->repaint();
    // Read from the view's own layer: reading the canvas's layers would place the group the test watches drawn
    // as one piece.
    ASSERT_EQ(draggedLayersOf(*view).size(), nodes.size());
    LayerRenderer::statistics() = {};
    for (int step = 2; step <= 40; ++step) {
        send(QEvent::MouseMove, from + QPoint(10 * step, 5 * step), Qt::NoButton, Qt::LeftButton);
        scrollView->viewport()->repaint();
    }
    EXPECT_LT(LayerRenderer::statistics().layersPainted, 40u);

    // What is shown is what a paint of every layer where the drag has taken it shows.
    const QImage shown = view->grab(view->visibleRegion().boundingRect()).toImage().convertToFormat(QImage::Format_ARGB32);
    QImage full(shown.size(), QImage::Format_ARGB32);
    full.fill(Qt::transparent);
    {
        QPainter painter(&full);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        view->render(painter, QRectF(full.rect()), view->visibleRect());
    }
    int differing = 0;
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x) {
            const QRgb a = shown.pixel(x, y), b = full.pixel(x, y);
            differing += std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2
                || std::abs(qBlue(a) - qBlue(b)) > 2;
        }
    EXPECT_LT(differing, 50);
    EXPECT_TRUE(shown.save(artefactPath("canvas-drag-tall-tree.png")));

    // One move of every node by the whole way, the last child's branch docked where it went.
    send(QEvent::MouseButtonRelease, from + QPoint(400, 200), Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(delegate->calls, (std::vector<std::string>{"move"}));
    ASSERT_EQ(delegate->moved.size(), nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i)
        EXPECT_EQ(delegate->moved[i].center, (nodes[i].center + Point{400, 200}));
    EXPECT_EQ(view->nodeLayer(600)->position(), (nodes.back().center + Point{400, 200}));
    EXPECT_EQ(view->branchLayer(1, 600)->childDockPoint.x, view->nodeLayer(600)->frame().minX());
}

TEST(GraphViewDrag, AttachOffersOtherNodesButNeverTheOwnParent)
{
    const VQProject project = sampleProject(1, 2, 2);
    DragWindow canvas(project);
    const Tree tree(project);

    // A sub node dragged over the other main node: badge at pointer + (8, 8), the target highlighted.
    const QPoint target = canvas.center(tree.left);
    canvas.drag(canvas.center(tree.subs[1]), target, {}, false);
    const Point pointer = canvas.view->pointerLocation();
    const Layer& badge = *shownLayer(*canvas.view, "attachBadge");
    EXPECT_FALSE(badge.isHidden());
    EXPECT_EQ(badge.frame().origin, (Point{std::trunc(pointer.x + 8.5), std::trunc(pointer.y + 8.5)}));
    EXPECT_EQ(badge.zPosition(), -4);
    EXPECT_TRUE(canvas.view->nodeLayer(tree.left)->isHighlighted());
    EXPECT_EQ(canvas.view->nodeLayer(tree.left)->shadowOpacity(), 0.5);
    EXPECT_EQ(canvas.draggedLayers().front()->opacity(), 0.8);
    canvas.view->repaint();
    EXPECT_TRUE(canvas.window.grab().save(artefactPath("canvas-drag-attach.png")));

    // Moving on into empty canvas takes the offer back.
    canvas.move(target + QPoint(0, 400));
    EXPECT_TRUE(badge.isHidden());
    EXPECT_FALSE(canvas.view->nodeLayer(tree.left)->isHighlighted());
    EXPECT_EQ(canvas.draggedLayers().front()->opacity(), 1.0);
    canvas.move(target);
    canvas.release(target);
    EXPECT_EQ(canvas.delegate->calls, (std::vector<std::string>{"attach"}));
    EXPECT_EQ(canvas.delegate->attached, std::make_pair(tree.subs[1], tree.left));
    EXPECT_FALSE(canvas.view->nodeLayer(tree.left)->isHighlighted());
    EXPECT_TRUE(badge.isHidden());

    // Released over its own parent: no badge, and no attach request either (the drag is a plain move).
    canvas.view->setGraph(project.graph);
    canvas.delegate->calls.clear();
    canvas.select({});
    canvas.drag(canvas.center(tree.subs[0]), canvas.center(tree.right), {}, false);
    EXPECT_TRUE(badge.isHidden());
    canvas.release(canvas.center(tree.right));
    ASSERT_EQ(canvas.delegate->calls.size(), 1u);
    EXPECT_NE(canvas.delegate->calls.front(), "attach");
}

TEST(GraphViewDrag, ReleasingAboveASiblingReordersTheChildren)
{
    const VQProject project = sampleProject(1, 2, 3);
    DragWindow canvas(project);
    const Tree tree(project);

    // The last sub dragged above the first (the pointer stays on the dragged node).
    const QPoint from = canvas.center(tree.subs[2]);
    canvas.drag(from, from - QPoint(0, 80));
    EXPECT_EQ(canvas.delegate->calls, (std::vector<std::string>{"reorder"}));
    EXPECT_EQ(canvas.delegate->reorderParent, tree.right);
    EXPECT_EQ(canvas.delegate->newOrder, (std::vector<std::int64_t>{tree.subs[2], tree.subs[0], tree.subs[1]}));
    EXPECT_EQ(canvas.delegate->moved.front().horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(canvas.delegate->moved.front().verticalAffinity, VerticalAffinity::above);

    // Order unchanged: a plain move.
    canvas.view->setGraph(project.graph);
    canvas.delegate->calls.clear();
    canvas.drag(canvas.center(tree.subs[2]), canvas.center(tree.subs[2]) + QPoint(30, 5));
    EXPECT_EQ(canvas.delegate->calls, (std::vector<std::string>{"move"}));
}

TEST(GraphViewDrag, ResizingMovesTheGrabbedCornerAndKeepsTheTitleRoom)
{
    const VQProject project = sampleProject(1, 1, 0);
    DragWindow canvas(project);
    const Tree tree{project};
    const Node root = *project.graph.findNode(tree.root);
    canvas.select({root.uid});
    NodeLayer& layer = *canvas.view->nodeLayer(root.uid);
    const Rect frame = layer.frame();
    const Point corner{frame.maxX(), frame.maxY()};

    // Hovering the bottom-right handle shows the diagonal cursor; dragging it grows the node from the top-left.
    canvas.move(canvas.at(corner), Qt::NoButton);
    EXPECT_EQ(canvas.view->cursor().shape(), Qt::BitmapCursor);
    canvas.drag(canvas.at(corner), canvas.at(corner + Point{40, 20}));
    ASSERT_EQ(canvas.delegate->calls, (std::vector<std::string>{"resize"}));
    const Node& resized = *canvas.delegate->resized;
    EXPECT_EQ(resized.size, (Size{root.size.width + 40, root.size.height + 20}));
    EXPECT_EQ(resized.center, (Point{root.center.x + 20, root.center.y + 10}));
    EXPECT_FALSE(canvas.view->isGestureActive());

    // Dragging the top-left corner far inward stops at the size the title needs; the opposite corner stays.
    canvas.view->setGraph(project.graph);
    canvas.delegate->calls.clear();
    const Size minimum = measureTitle(root);
    canvas.drag(canvas.at(frame.origin), canvas.at(frame.origin + Point{400, 300}));
    ASSERT_EQ(canvas.delegate->calls, (std::vector<std::string>{"resize"}));
    EXPECT_EQ(canvas.delegate->resized->size, minimum);
    EXPECT_DOUBLE_EQ(canvas.delegate->resized->center.x + minimum.width / 2, frame.maxX());
    EXPECT_DOUBLE_EQ(canvas.delegate->resized->center.y + minimum.height / 2, frame.maxY());
}

TEST(GraphViewDrag, ResizingFollowsThePointerAtOtherMagnifications)
{
    const VQProject project = sampleProject(1, 1, 0);
    DragWindow canvas(project, true);
    canvas.scrollView->setMagnification(2.0);
    canvas.scrollView->scrollToPoint({0, 0});
    const Tree tree{project};
    canvas.select({tree.root});
    const Node root = *project.graph.findNode(tree.root);
    const Rect frame = canvas.view->nodeLayer(tree.root)->frame();
    // 60 x 40 pixels on screen are 30 x 20 points at twice the size.
    const QPoint corner = canvas.at({frame.maxX(), frame.maxY()});
    canvas.drag(corner, corner + QPoint(60, 40));
    ASSERT_EQ(canvas.calls(), (std::vector<std::string>{"resize"}));
    EXPECT_EQ(canvas.delegate->resized->size, (Size{root.size.width + 30, root.size.height + 20}));
}

TEST(GraphViewDrag, HoverButtonDragShowsAGhostAndInsertsAChildWhereReleased)
{
    const VQProject project = sampleProject(1, 1, 0);
    DragWindow canvas(project);
    const Tree tree{project};
    NodeLayer& layer = *canvas.view->nodeLayer(tree.right);

    // Hovering beside the node shows its button; pressing it and dragging shows the ghost.
    const Rect frame = layer.frame();
    canvas.move(canvas.at({frame.maxX() + 20, frame.midY()}), Qt::NoButton);
    ASSERT_TRUE(layer.isHovered());
    ASSERT_TRUE(layer.isHoverButtonShown());
    const Rect button = layer.hoverButtonLayer().frame().offsetBy(frame.origin.x, frame.origin.y);
    EXPECT_EQ(button.minX(), frame.maxX() + 1); // on the side of the pointer
    const QPoint press = canvas.at({button.midX(), button.midY()});
    const QPoint release = press + QPoint(150, 60);
    canvas.drag(press, release, {}, false);
    // The ghost's layers are the hover-button drag's own, no node or branch layers of the canvas.
    const std::shared_ptr<NodeLayer> ghostNode = ghostNodeLayer(*canvas.view);
    const std::shared_ptr<BranchLayer> ghostBranch = ghostBranchLayer(*canvas.view);
    ASSERT_TRUE(ghostNode && ghostBranch);
    const NodeLayer& ghost = *ghostNode;
    EXPECT_EQ(ghost.opacity(), 0.5);
    EXPECT_EQ(ghostBranch->opacity(), 0.5);
    EXPECT_EQ(ghost.node().size, (Size{98, 38}));
    EXPECT_TRUE(ghost.node().title.empty());
    EXPECT_EQ(ghost.position(), canvas.view->pointerLocation());
    // Right of its parent in a horizontal layout: the branch docks on the ghost's left edge.
    EXPECT_EQ(ghostBranch->childDockPoint.x, ghost.frame().minX());
    EXPECT_FALSE(layer.isHoverButtonShown());
    canvas.view->repaint();
    EXPECT_TRUE(canvas.window.grab().save(artefactPath("canvas-drag-ghost.png")));

    canvas.release(release);
    EXPECT_EQ(canvas.delegate->calls, (std::vector<std::string>{"insert"}));
    EXPECT_EQ(canvas.delegate->insertedUnder, tree.right);
    EXPECT_EQ(canvas.delegate->insertedAt, canvas.view->lastClickLocation());
    EXPECT_FALSE(ghostNodeLayer(*canvas.view));
    EXPECT_FALSE(ghostBranchLayer(*canvas.view));
    for (const auto& sublayer : canvas.view->viewLayer().sublayers())
        EXPECT_NE(sublayer.get(), static_cast<const Layer*>(&ghost));

    // A click on the button without moving inserts a child without a position.
    canvas.move(canvas.at({frame.maxX() + 20, frame.midY()}), Qt::NoButton);
    canvas.calls().clear();
    canvas.press(press);
    canvas.release(press);
    EXPECT_EQ(canvas.delegate->calls, (std::vector<std::string>{"insert"}));
    EXPECT_FALSE(canvas.delegate->insertedAt);
}

TEST(GraphViewDrag, GhostTakesThePaletteColourOfItsRankAndIsMadeOnce)
{
    VQProject project = sampleProject(1, 3, 1);
    ProjectStyle style = ProjectStyle::omaha();
    style.current.palette.resize(5);
    for (int i = 0; i < 5; ++i)
        style.current.palette[i] = PaletteEntry{Color::sRGB(0.1 * i, 0, 0), Color::sRGB(0, 0.1 * i, 0)};
    DragWindow canvas(project);
    canvas.view->setProjectStyle(style);
    const Tree tree(project);

    // The ghost is made by the hover-button drag itself, for each rank and parent.
    for (bool dynamic : {false, true}) {
        style.current.dynamicMainNodeColors = dynamic;
        canvas.view->setProjectStyle(style);
        // The root has three children: the ghost takes entry 3.
        const QPoint pressed = canvas.dragHoverButton(tree.root, QPoint(120, 40));
        const std::shared_ptr<NodeLayer> ghost = ghostNodeLayer(*canvas.view);
        ASSERT_TRUE(ghost);
        EXPECT_EQ(ghost->node().style.borderColor, style.current.palette[3].strokeColor);
        EXPECT_EQ(ghost->node().style.branchColor, style.current.palette[3].strokeColor);
        EXPECT_EQ(ghost->node().style.fillColor,
                  dynamic ? style.current.palette[3].fillColor : style.current.mainNodeStyle.fillColor);
        canvas.release(pressed + QPoint(120, 40));
    }
    // Under a sub node the parent's own colours.
    Node sub = *project.graph.findNode(tree.subs[0]);
    sub.style.borderColor = Color::sRGB(0.5, 0.5, 0);
    sub.childrenShouldInheritShape = true;
    sub.shape = NodeShape::diamond;
    project.graph.updateNodes({sub});
    canvas.view->setGraph(project.graph);
    LogCapture log;
    const QPoint pressed = canvas.dragHoverButton(sub.uid, QPoint(100, 30));
    const std::shared_ptr<NodeLayer> ghost = ghostNodeLayer(*canvas.view);
    ASSERT_TRUE(ghost);
    EXPECT_EQ(ghost->node().style.borderColor, sub.style.borderColor);
    EXPECT_EQ(ghost->node().shape, NodeShape::diamond);

    // Every further step of the drag moves the ghost made at its first: none is made again.
    for (int step = 1; step <= 3; ++step)
        canvas.move(pressed + QPoint(100 + 20 * step, 30), Qt::LeftButton);
    EXPECT_EQ(ghostNodeLayer(*canvas.view), ghost);
    EXPECT_TRUE(log.lines().empty());
    canvas.release(pressed + QPoint(160, 30));
    EXPECT_FALSE(ghost->superlayer());
    EXPECT_FALSE(ghostNodeLayer(*canvas.view));
}

TEST(GraphViewDrag, RightDragPansAndOnlyATwoAxisMoveCountsAsAPan)
{
    const VQProject project = sampleProject(1, 1, 0);
    DragWindow canvas(project, true);
    canvas.scrollView->scrollToPoint({1000, 1000});
    const Point before = canvas.scrollView->documentVisibleRect().origin;

    const QPoint start = canvas.at(before + Point{400, 300});
    // A move along one axis pans, yet the release is still a right click: it selects (the menu would pop up).
    canvas.press(start, {}, Qt::RightButton);
    canvas.move(start + QPoint(50, 0), Qt::RightButton);
    EXPECT_EQ(canvas.scrollView->documentVisibleRect().origin, (before - Point{50, 0}));
    canvas.release(start + QPoint(50, 0), Qt::RightButton);
    EXPECT_EQ(canvas.calls(), (std::vector<std::string>{"select"}));
    canvas.calls().clear();

    // The view moved under the pointer: (30, 40) from here is a screen move of (30, 40) from the last one, a pan.
    const Point moved = canvas.scrollView->documentVisibleRect().origin;
    canvas.press(start, {}, Qt::RightButton);
    canvas.move(start + QPoint(30, 40), Qt::RightButton);
    EXPECT_EQ(canvas.scrollView->documentVisibleRect().origin, (moved - Point{30, 40}));
    canvas.release(start, Qt::RightButton);
    EXPECT_TRUE(canvas.calls().empty());
    EXPECT_EQ(canvas.view->cursor().shape(), Qt::ArrowCursor);
}

} // namespace
} // namespace velquine::testing
