// Pointer input on a large map in a shown 1600 x 1000 canvas at magnification 1: one drag step with 100
// dragged nodes, and one hover move, each with the repaint that follows; and on a 50,000-node map in an
// editor, a drag step of the whole map (its root grabbed) or of a leaf, and the drop that stores the move.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWidget>

#include "canvas/GraphView.h"
#include "canvas/layers/NodeLayer.h"
#include "document/VQDocument.h"
#include "editor/GraphViewController.h"
#include "kit/ScrollView.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"
#include "platform/layer/LayerRenderer.h"
#include "canvas/CanvasSync.h"

using namespace velquine;

namespace {

// Two 5,000-node maps, each a root with main nodes of 99 descendants, in a grid of columns. Fan: every main
// node has 99 children stacked 30 points apart, so hundreds of long branches cross the view. Balanced: every
// main node has 9 children with 10 children each, as a mind map usually grows.
Graph largeGraph(int nodeCount, bool balanced)
{
    std::vector<Node> nodes;
    NodeStyle style;
    style.font = Font::systemFont(14);
    Node root(1, std::nullopt, style);
    root.title = "Central topic";
    root.center = {100, 500};
    root.size = {160, 48};
    nodes.push_back(root);
    std::int64_t uid = 2;
    const auto add = [&](std::size_t parentIndex, Point center, const std::string& title, Size size) {
        Node node(uid, nodes[parentIndex].uid, style);
        node.title = title;
        node.center = center;
        node.size = size;
        nodes[parentIndex].childrenUIDs.push_back(uid++);
        nodes.push_back(node);
        return nodes.size() - 1;
    };
    for (int main = 0; uid <= nodeCount; ++main) {
        const Point at{300.0 + 700.0 * (main % 8), 40.0 + 3000.0 * (main / 8)};
        const std::size_t mainIndex = add(0, at, "Main topic " + std::to_string(main), {120, 38});
        for (int i = 0; i < (balanced ? 9 : 99) && uid <= nodeCount; ++i) {
            if (!balanced) {
                add(mainIndex, {at.x + 200 + 10.0 * (i % 2), at.y + 30.0 * i}, "Sub topic number " + std::to_string(i),
                    {150, 26});
                continue;
            }
            const Point childAt{at.x + 180, at.y + 300.0 * i + 135};
            const std::size_t child = add(mainIndex, childAt, "Topic " + std::to_string(i), {120, 30});
            for (int j = 0; j < 10 && uid <= nodeCount; ++j)
                add(child, {childAt.x + 190, childAt.y - 135 + 30.0 * j}, "Detail " + std::to_string(j), {130, 26});
        }
    }
    Graph graph;
    graph.updateNodes(nodes);
    return graph;
}

struct Canvas {
    QWidget window;
    ScrollView* scrollView = new ScrollView;
    GraphView* view = new GraphView(Rect(0, 0, 6000, 60000));
    std::shared_ptr<VQDocument> document;
    std::shared_ptr<GraphViewController> controller;

    Canvas(int nodeCount, bool balanced)
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(scrollView);
        scrollView->setDocumentView(view);
        window.resize(1600, 1000);
        view->setGraph(largeGraph(nodeCount, balanced));
        window.show();
        QApplication::processEvents();
        scrollView->viewport()->repaint();
    }
    // The map in a document edited through the canvas's controller, as in the editor window.
    explicit Canvas(int nodeCount) : document(std::make_shared<VQDocument>())
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(scrollView);
        scrollView->setDocumentView(view);
        window.resize(1600, 1000);
        document->projectForLoading().graph = largeGraph(nodeCount, true);
        window.show();
        QApplication::processEvents();
        controller = GraphViewController::create(document, view, scrollView);
        settle();
    }
    void settle()
    {
        RunLoop::drain();
        repaint();
    }
    void send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, QPointF(at), QPointF(view->mapToGlobal(at)), button, held, {});
        QApplication::sendEvent(view, &event);
    }
    QPoint at(Point point) const { return view->widgetRectFromLayer(Rect(point.x, point.y, 0, 0)).topLeft().toPoint(); }
    void repaint() { scrollView->viewport()->repaint(); }
};

// The node layers the drag under way moves.
std::size_t draggedNodeLayers(Canvas& canvas)
{
    std::size_t count = 0;
    for (const auto& sublayer : canvas.view->layer()->sublayers())
        if (auto* node = dynamic_cast<NodeLayer*>(sublayer.get()); node && node->isDragged())
            ++count;
    return count;
}

void BM_DragStepWith100Nodes(benchmark::State& state)
{
    Canvas canvas(static_cast<int>(state.range(0)), state.range(1) != 0);
    // Press on the first main node: it and its 99 children are dragged.
    const QPoint start = canvas.at(canvas.view->nodeLayer(2)->node().center);
    canvas.send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    int step = 0;
    LayerRenderer::statistics() = {};
    for (auto _ : state) {
        const QPoint to = start + QPoint(3 * (step % 40), 2 * (step % 40));
        ++step;
        canvas.send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        canvas.repaint();
    }
    const auto& stats = LayerRenderer::statistics();
    const double steps = std::max(1, step);
    state.counters["painted"] = static_cast<double>(stats.layersPainted) / steps;
    state.counters["rebuilt"] = static_cast<double>(stats.picturesRebuilt) / steps;
    state.counters["dragged"] = static_cast<double>(draggedNodeLayers(canvas));
    state.counters["nodes"] = static_cast<double>(canvas.view->graph().count());
    canvas.send(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
}
void BM_DragStepWithoutRepaint(benchmark::State& state)
{
    Canvas canvas(static_cast<int>(state.range(0)), state.range(1) != 0);
    const QPoint start = canvas.at(canvas.view->nodeLayer(2)->node().center);
    canvas.send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        ++step;
        canvas.send(QEvent::MouseMove, start + QPoint(3 * (step % 40), 2 * (step % 40)), Qt::NoButton, Qt::LeftButton);
    }
    canvas.send(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
}
void BM_FullRepaint(benchmark::State& state)
{
    Canvas canvas(static_cast<int>(state.range(0)), state.range(1) != 0);
    LayerRenderer::statistics() = {};
    int n = 0;
    for (auto _ : state) {
        canvas.view->update();
        canvas.repaint();
        ++n;
    }
    state.counters["painted"] = static_cast<double>(LayerRenderer::statistics().layersPainted) / std::max(1, n);
}
BENCHMARK(BM_FullRepaint)->Args({5000, 0})->Args({5000, 1})->Unit(benchmark::kMillisecond);

BENCHMARK(BM_DragStepWithoutRepaint)->Args({5000, 0})->Args({5000, 1})->Unit(benchmark::kMillisecond);

BENCHMARK(BM_DragStepWith100Nodes)->Args({5000, 0})->Args({5000, 1})->Unit(benchmark::kMillisecond);

void BM_HoverMove(benchmark::State& state)
{
    Canvas canvas(static_cast<int>(state.range(0)), state.range(1) != 0);
    // Back and forth between two nodes' hover zones: each move hovers one node and leaves another.
    const Node& first = canvas.view->nodeLayer(3)->node();
    const Node& second = canvas.view->nodeLayer(4)->node();
    const QPoint a = canvas.at({first.center.x + first.size.width / 2 + 10, first.center.y});
    const QPoint b = canvas.at({second.center.x + second.size.width / 2 + 10, second.center.y + 3});
    bool flip = false;
    for (auto _ : state) {
        canvas.send(QEvent::MouseMove, flip ? a : b, Qt::NoButton, Qt::NoButton);
        flip = !flip;
        canvas.repaint();
    }
    state.counters["nodes"] = static_cast<double>(canvas.view->graph().count());
}
BENCHMARK(BM_HoverMove)->Args({5000, 0})->Args({5000, 1})->Unit(benchmark::kMillisecond);

// The grabbed node of the editor's map: the root (the whole map is dragged) or a leaf.
QPoint grab(Canvas& canvas, bool whole)
{
    const std::int64_t uid = whole ? 1 : 4;
    canvas.scrollView->scrollToPoint({0, 0});
    canvas.settle();
    return canvas.at(canvas.view->nodeLayer(uid)->node().center);
}

// One drag step with the repaint that follows.
void BM_EditorDragStep(benchmark::State& state)
{
    Canvas canvas(static_cast<int>(state.range(0)));
    const QPoint start = grab(canvas, state.range(1) != 0);
    canvas.send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        ++step;
        canvas.send(QEvent::MouseMove, start + QPoint(3 * (step % 40), 2 * (step % 40)), Qt::NoButton, Qt::LeftButton);
        canvas.repaint();
    }
    state.counters["dragged"] = static_cast<double>(draggedNodeLayers(canvas));
    canvas.send(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
}
BENCHMARK(BM_EditorDragStep)->Args({50000, 1})->Args({50000, 0})->Unit(benchmark::kMillisecond);

// The release of a drag (the first step moved the nodes) until the document holds the move, the canvas follows
// and the window is painted; undone outside the timing.
void BM_EditorDrop(benchmark::State& state)
{
    Canvas canvas(static_cast<int>(state.range(0)));
    const bool whole = state.range(1) != 0;
    std::size_t rebuilt = 0, painted = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QPoint start = grab(canvas, whole);
        canvas.send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        for (int step = 1; step <= 3; ++step)
            canvas.send(QEvent::MouseMove, start + QPoint(20 * step, 10 * step), Qt::NoButton, Qt::LeftButton);
        canvas.repaint();
        LayerRenderer::statistics() = {};
        state.ResumeTiming();
        canvas.send(QEvent::MouseButtonRelease, start + QPoint(60, 30), Qt::LeftButton, Qt::NoButton);
        canvas.settle();
        state.PauseTiming();
        rebuilt += LayerRenderer::statistics().picturesRebuilt;
        painted += LayerRenderer::statistics().layersPainted;
        canvas.document->undoManager()->undo();
        canvas.settle();
        state.ResumeTiming();
    }
    // Per drop: pictures made again and layers painted in the paint that follows.
    state.counters["rebuilt"] = double(rebuilt) / std::max<double>(1, double(state.iterations()));
    state.counters["painted"] = double(painted) / std::max<double>(1, double(state.iterations()));
}
BENCHMARK(BM_EditorDrop)->Args({50000, 1})->Args({50000, 0})->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
