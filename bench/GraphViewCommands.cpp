// Commands as a user triggers them in an editor: a new child through the canvas controller with its title
// typed into the title editor and committed, the tree's layout, the canvas brought in line and the visible area repainted; and the undo of
// one edit on a large map with the canvas following. One command of each of the controller's other groups too
// (style, layout and view, clipboard), each with the canvas brought in line and repainted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include "canvas/GraphView.h"
#include "canvas/NodeTitleEditor.h"
#include "canvas/layers/NodeLayer.h"
#include "document/DocumentLayout.h"
#include "editor/GraphViewController.h"
#include "kit/ScrollView.h"
#include "platform/RunLoop.h"
#include "platform/FontManager.h"
#include "platform/UndoManager.h"
#include "platform/layer/Animator.h"
#include "platform/layer/LayerRenderer.h"
#include "canvas/CanvasSync.h"

using namespace velquine;

namespace {

// A root whose main nodes carry up to 99 children each, laid out.
std::shared_ptr<VQDocument> largeDocument(int nodeCount)
{
    auto document = std::make_shared<VQDocument>();
    NodeStyle style;
    style.font = Font::systemFont(14);
    std::vector<Node> nodes;
    Node root(1, std::nullopt, style);
    root.title = "Central topic";
    root.size = {160, 48};
    nodes.push_back(root);
    std::int64_t uid = 2;
    std::size_t mainIndex = 0;
    for (int i = 1; i < nodeCount; ++i, ++uid) {
        bool isMain = (i - 1) % 100 == 0;
        Node node(uid, isMain ? 1 : nodes[mainIndex].uid, style);
        node.title = (isMain ? "Main " : "Topic ") + std::to_string(i);
        node.center = {isMain ? 300.0 : 600.0, 40.0 * i};
        node.size = {120, 30};
        nodes[isMain ? 0 : mainIndex].childrenUIDs.push_back(uid);
        if (isMain)
            mainIndex = nodes.size();
        nodes.push_back(node);
    }
    document->projectForLoading().graph.updateNodes(nodes);
    // Laid out as the editor leaves every map it saves, outside the history.
    document->beginEditingSession("Layout");
    DocumentLayout(*document).autoLayoutGraph(true);
    document->commitEditingSession();
    document->undoManager()->removeAllActions();
    return document;
}

struct Editor {
    std::shared_ptr<VQDocument> document;
    QWidget window;
    ScrollView* scrollView = new ScrollView(&window);
    GraphView* graphView = new GraphView;
    std::shared_ptr<GraphViewController> controller;

    explicit Editor(int nodeCount) : document(largeDocument(nodeCount))
    {
        window.resize(1200, 800);
        scrollView->resize(1200, 800);
        scrollView->setDocumentView(graphView);
        window.show();
        // Until the window system has shown the window, repaint() paints nothing.
        QApplication::processEvents();
        controller = GraphViewController::create(document, graphView, scrollView);
        RunLoop::drain();
    }
    void settle()
    {
        RunLoop::drain();
        scrollView->viewport()->repaint();
    }
    // The title typed into the editor a new node opened, then Return; false when no editor opened.
    bool nameNewNode()
    {
        if (!graphView->titleEditor())
            return false;
        graphView->titleEditor()->setPlainText(QStringLiteral("New topic"));
        graphView->endEditingTitle(true);
        return true;
    }
};

void BM_NewChildCommand(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    const Node parent = *editor.document->project().graph.node(std::int64_t{2});
    LayerRenderer::statistics() = {};
    int added = 0;
    for (auto _ : state) {
        // Tab, then the title typed into the editor that opens, then Return.
        editor.controller->insertChildNode(parent, std::nullopt);
        editor.settle();
        if (!editor.nameNewNode()) {
            state.SkipWithError("no title editor opened");
            break;
        }
        editor.settle();
        ++added;
    }
    state.counters["nodes"] = static_cast<double>(editor.document->project().graph.count());
    state.counters["added"] = added;
    // Parts of the view painted on several threads, per command.
    state.counters["bands"] = double(LayerRenderer::statistics().sharedPaints) / std::max(1, 2 * added);
    if (editor.document->project().graph.node(editor.document->project().selectedNodeUIDs.front())->title
        != "New topic")
        state.SkipWithError("the typed title did not reach the document");
}
BENCHMARK(BM_NewChildCommand)->Arg(10000)->Iterations(1000)->Unit(benchmark::kMillisecond);

// Tab as the window runs it: the new child, its title editor, and every frame of the animations that follow
// (the scroll that reveals the child, the layers that move) with their paints, until the window is quiet.
// Wall time includes the animations' own length; CPU time (all threads) is the work.
void BM_NewChildWithAnimationFrames(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    const Node parent = *editor.document->project().graph.node(std::int64_t{2});
    int frames = 0;
    for (auto _ : state) {
        editor.controller->insertChildNode(parent, std::nullopt);
        const auto scrolling = [&] {
            const auto* animation = editor.scrollView->findChild<QVariantAnimation*>();
            return animation && animation->state() == QAbstractAnimation::Running;
        };
        // The event loop runs as the window's does: it sleeps until the next timer or event.
        const auto runEvents = [] {
            QEventLoop loop;
            QTimer::singleShot(2, &loop, &QEventLoop::quit);
            loop.exec();
            RunLoop::drain();
        };
        do {
            runEvents();
            ++frames;
        } while (!editor.graphView->isEditingTitle() || scrolling() || Animator::shared().isRunning());
        editor.scrollView->viewport()->repaint();
        state.PauseTiming();
        if (!editor.nameNewNode()) {
            state.SkipWithError("no title editor opened");
            break;
        }
        editor.settle();
        while (scrolling() || Animator::shared().isRunning())
            runEvents();
        state.ResumeTiming();
    }
    state.counters["nodes"] = static_cast<double>(editor.document->project().graph.count());
    state.counters["loops"] = double(frames) / std::max<double>(1, double(state.iterations()));
}
BENCHMARK(BM_NewChildWithAnimationFrames)->Arg(10000)->Arg(50000)->Iterations(20)->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// The same two commands without the repaints: the document, the layout and the canvas's layers alone.
void BM_NewChildCommandOutsidePaint(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    const Node parent = *editor.document->project().graph.node(std::int64_t{2});
    for (auto _ : state) {
        editor.controller->insertChildNode(parent, std::nullopt);
        RunLoop::drain();
        if (!editor.nameNewNode()) {
            state.SkipWithError("no title editor opened");
            break;
        }
        RunLoop::drain();
    }
    state.counters["nodes"] = static_cast<double>(editor.document->project().graph.count());
}
BENCHMARK(BM_NewChildCommandOutsidePaint)->Arg(10000)->Iterations(300)->Unit(benchmark::kMillisecond);

// The two repaints that follow the commands alone: what the layers moved by the layout, and any animation
// they started, cost the first paints after a command.
void BM_RepaintAfterNewChild(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    const Node parent = *editor.document->project().graph.node(std::int64_t{2});
    LayerRenderer::statistics() = {};
    std::size_t animating = 0;
    for (auto _ : state) {
        state.PauseTiming();
        editor.controller->insertChildNode(parent, std::nullopt);
        RunLoop::drain();
        animating += Animator::shared().animatingLayerCount();
        state.ResumeTiming();
        editor.scrollView->viewport()->repaint();
        state.PauseTiming();
        if (!editor.nameNewNode()) {
            state.SkipWithError("no title editor opened");
            break;
        }
        RunLoop::drain();
        animating += Animator::shared().animatingLayerCount();
        state.ResumeTiming();
        editor.scrollView->viewport()->repaint();
    }
    const double paints = 2.0 * double(state.iterations());
    const LayerRenderer::Statistics& counts = LayerRenderer::statistics();
    state.counters["layers"] = double(counts.layersPainted) / paints;
    state.counters["rebuilt"] = double(counts.picturesRebuilt) / paints;
    state.counters["animating"] = double(animating) / paints;
}
BENCHMARK(BM_RepaintAfterNewChild)->Arg(10000)->Iterations(300)->Unit(benchmark::kMillisecond);

// The repaint once the animations a command started have ended: the lines that moved are still again.
void BM_RepaintAfterAnimationsEnd(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    const Node parent = *editor.document->project().graph.node(std::int64_t{2});
    double clock = Animator::shared().now();
    Animator::shared().setTimeSource([&clock] { return clock; });
    for (auto _ : state) {
        state.PauseTiming();
        editor.controller->insertChildNode(parent, std::nullopt);
        RunLoop::drain();
        if (!editor.nameNewNode()) {
            state.SkipWithError("no title editor opened");
            break;
        }
        editor.settle();
        clock += 1;
        Animator::shared().tick();
        if (Animator::shared().isRunning()) {
            state.SkipWithError("animations still running");
            break;
        }
        state.ResumeTiming();
        editor.scrollView->viewport()->repaint();
    }
    Animator::shared().setTimeSource({});
}
BENCHMARK(BM_RepaintAfterAnimationsEnd)->Arg(10000)->Iterations(100)->Unit(benchmark::kMillisecond);

// A full repaint of the busy view alone: the root's long branches fan out across the whole area.
void BM_RepaintBusyView(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    LayerRenderer::statistics() = {};
    for (auto _ : state) {
        editor.graphView->update();
        editor.scrollView->viewport()->repaint();
    }
    state.counters["bands"] = double(LayerRenderer::statistics().sharedPaints) / double(state.iterations());
    state.counters["layers"] = double(LayerRenderer::statistics().layersPainted) / double(state.iterations());
}
BENCHMARK(BM_RepaintBusyView)->Arg(10000)->Iterations(200)->Unit(benchmark::kMillisecond);

// The first paint of a drag on the busy view: the still layers painted into two pictures of the visible
// area (the layer host's backdrop), then the dragged node over them.
void BM_PaintBusyViewBackdrop(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    GraphView& view = *editor.graphView;
    view.setLiveSublayers({view.nodeLayer(std::int64_t{2})});
    for (auto _ : state) {
        view.invalidateBackdrop();
        view.update();
        editor.scrollView->viewport()->repaint();
    }
    view.setLiveSublayers({});
}
BENCHMARK(BM_PaintBusyViewBackdrop)->Arg(10000)->Iterations(50)->Unit(benchmark::kMillisecond);

// Times the undo of the editor's last edit, with the canvas following it; the redo between turns is not timed.
void timeUndo(benchmark::State& state, Editor& editor)
{
    UndoManager& undo = *editor.document->undoManager();
    for (auto _ : state) {
        undo.undo();
        editor.settle();
        state.PauseTiming();
        undo.redo();
        editor.settle();
        state.ResumeTiming();
    }
    state.counters["nodes"] = static_cast<double>(editor.document->project().graph.count());
}

void BM_UndoOneEdit(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    Node node = *editor.document->project().graph.node(std::int64_t{3});
    node.title = "Renamed";
    editor.controller->editNodeTitle(node, true);
    editor.settle();
    timeUndo(state, editor);
}
BENCHMARK(BM_UndoOneEdit)->Arg(50000)->Iterations(10)->Unit(benchmark::kMillisecond);

// Undo of a new child, whose layout moved the nodes around it: the canvas follows every node moved back.
void BM_UndoNewChild(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    const Graph before = editor.document->project().graph;
    editor.controller->insertChildNode(*before.node(std::int64_t{2}), std::nullopt);
    editor.settle();
    editor.graphView->endEditingTitle(true);
    editor.settle();
    // The nodes the command moved, which the undo moves back.
    std::size_t moved = 0;
    for (const auto& [uid, node] : before.nodeBin())
        if (const Node* now = editor.document->project().graph.findNode(uid); now && !(now->center == node.center))
            ++moved;
    timeUndo(state, editor);
    state.counters["moved"] = static_cast<double>(moved);
}
BENCHMARK(BM_UndoNewChild)->Arg(50000)->Iterations(10)->Unit(benchmark::kMillisecond);

// The selection of one node, as a click leaves it, the canvas settled.
void selectOnly(Editor& editor, std::int64_t uid)
{
    editor.controller->selectNodes({*editor.document->project().graph.node(uid)}, false);
    editor.settle();
}

// Times one command and the settling of the canvas; the undo between turns is not timed. Counts the nodes the
// first command moved, and the nodes of the map it left.
void timeCommandThenUndo(benchmark::State& state, Editor& editor, const std::function<void()>& command)
{
    const Graph before = editor.document->project().graph;
    std::size_t moved = 0, nodes = 0;
    for (auto _ : state) {
        command();
        editor.settle();
        state.PauseTiming();
        nodes = editor.document->project().graph.count();
        if (moved == 0)
            for (const auto& [uid, node] : before.nodeBin())
                if (const Node* now = editor.document->project().graph.findNode(uid); now && !(now->center == node.center))
                    ++moved;
        editor.document->undoManager()->undo();
        editor.settle();
        state.ResumeTiming();
    }
    state.counters["moved"] = static_cast<double>(moved);
    state.counters["nodes"] = static_cast<double>(nodes);
}

// Style: bold on a main node, which grows it and lays out its tree around it.
void BM_ToggleBoldCommand(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    selectOnly(editor, 2);
    timeCommandThenUndo(state, editor, [&] {
        editor.controller->style().toggleFontTrait(FontTrait::bold, FontTrait::unbold, "Toggle Bold");
    });
}
BENCHMARK(BM_ToggleBoldCommand)->Arg(10000)->Arg(50000)->Iterations(20)->Unit(benchmark::kMillisecond);

// Layout and view: the root's children balanced on both sides, which moves about half the map.
void BM_BalanceRootCommand(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    selectOnly(editor, 1);
    timeCommandThenUndo(state, editor, [&] { editor.controller->layoutView().balanceSelectedNode(); });
}
BENCHMARK(BM_BalanceRootCommand)->Arg(10000)->Arg(50000)->Iterations(10)->Unit(benchmark::kMillisecond);

// Clipboard: a main node and its children copied, then pasted into the map.
void BM_CopyPasteCommand(benchmark::State& state)
{
    Editor editor(static_cast<int>(state.range(0)));
    selectOnly(editor, 2);
    timeCommandThenUndo(state, editor, [&] {
        editor.controller->clipboard().copy();
        editor.controller->clipboard().paste(true);
    });
}
BENCHMARK(BM_CopyPasteCommand)->Arg(10000)->Arg(50000)->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace
