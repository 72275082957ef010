// What one edit costs on maps of 10,000 and 50,000 nodes, through the document's own paths: an editing session
// that changes one title, its undo, the memory its undo step keeps, adding a child with automatic layout,
// adding children one by one to a parent with many, copying a leaf and the whole map to the clipboard, placing
// pasted flat lines, and parting one overlapping node on a laid-out map. A small edit should cost what it
// changes, not what the map holds.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "document/DocumentClipboard.h"
#include "layout/GraphCollisionResolver.h"
#include "platform/Pasteboard.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"

using namespace velquine;

namespace {

// One horizontal tree of count nodes, eight children to a node filled level by level, titled and sized like
// fresh nodes, laid out by the document before anything is measured.
std::unique_ptr<VQDocument> laidOutMap(std::int64_t count)
{
    auto document = std::make_unique<VQDocument>();
    std::vector<Node> nodes;
    nodes.reserve(static_cast<std::size_t>(count));
    for (std::int64_t uid = 1; uid <= count; ++uid) {
        const std::optional<std::int64_t> parent = uid > 1 ? std::optional((uid - 2) / 8 + 1) : std::nullopt;
        Node node(uid, parent, NodeStyle());
        node.title = "node " + std::to_string(uid);
        node.size = uid == 1 ? VQProject::newRootNodeSize : VQProject::newChildNodeSize;
        node.shape = NodeShape::roundedRect;
        nodes.push_back(std::move(node));
    }
    for (std::int64_t uid = 2; uid <= count; ++uid)
        nodes[static_cast<std::size_t>(*nodes[static_cast<std::size_t>(uid - 1)].parentUID - 1)].childrenUIDs.push_back(uid);
    document->projectForLoading().graph.storeNodes(nodes);
    document->beginEditingSession("Layout");
    DocumentLayout(*document).autoLayoutGraph(true);
    document->commitEditingSession();
    document->undoManager()->removeAllActions();
    RunLoop::drain();
    return document;
}

const std::vector<std::int64_t> mapSizes{10000, 50000};

// Undoes the step just committed and forgets the history, outside the timing.
void takeBackUntimed(benchmark::State& state, VQDocument& document)
{
    state.PauseTiming();
    RunLoop::drain();
    document.undoManager()->undo();
    RunLoop::drain();
    document.undoManager()->removeAllActions();
    state.ResumeTiming();
}

void changeTitle(VQDocument& document, std::int64_t uid, int round)
{
    document.beginEditingSession("Change Label");
    Node node = *document.project().graph.findNode(uid);
    node.title = "renamed " + std::to_string(round);
    document.updateNodes({node}, NodeUpdateOperation::title, false);
    document.commitEditingSession();
}

// Begin a session, change one title, commit.
void editOneTitle(benchmark::State& state)
{
    auto document = laidOutMap(state.range(0));
    int round = 0;
    for (auto _ : state) {
        changeTitle(*document, state.range(0) / 2, ++round);
        state.PauseTiming();
        RunLoop::drain();
        if (round % 100 == 0)
            document->undoManager()->removeAllActions();
        state.ResumeTiming();
    }
}
BENCHMARK(editOneTitle)->ArgsProduct({mapSizes})->Unit(benchmark::kMillisecond);

// Undo of one title change.
void undoOneTitle(benchmark::State& state)
{
    auto document = laidOutMap(state.range(0));
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        changeTitle(*document, state.range(0) / 2, ++round);
        RunLoop::drain();
        state.ResumeTiming();
        document->undoManager()->undo();
        state.PauseTiming();
        RunLoop::drain();
        document->undoManager()->removeAllActions();
        state.ResumeTiming();
    }
}
BENCHMARK(undoOneTitle)->ArgsProduct({mapSizes})->Unit(benchmark::kMillisecond);

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The heap kept by the undo history per title change, over a hundred changes of different nodes.
void memoryPerEdit(benchmark::State& state)
{
    auto document = laidOutMap(state.range(0));
    const int edits = 100;
    double perEdit = 0;
    for (auto _ : state) {
        document->undoManager()->removeAllActions();
        RunLoop::drain();
        const std::size_t before = heapInUse();
        for (int i = 0; i < edits; ++i) {
            changeTitle(*document, 2 + (i * 397) % (state.range(0) - 1), i);
            RunLoop::drain();
        }
        perEdit = (static_cast<double>(heapInUse()) - static_cast<double>(before)) / edits;
    }
    state.counters["KBPerEdit"] = perEdit / 1024.0;
}
BENCHMARK(memoryPerEdit)->ArgsProduct({mapSizes})->Iterations(3)->Unit(benchmark::kMillisecond);

// A new child of a leaf with its tree laid out, in an editing session.
void addChildWithLayout(benchmark::State& state)
{
    auto document = laidOutMap(state.range(0));
    const Node parent = *document->project().graph.findNode(state.range(0) - 7);
    for (auto _ : state) {
        document->beginEditingSession("Add Child");
        benchmark::DoNotOptimize(document->createChildNode(parent, "new", std::nullopt, true, false));
        document->commitEditingSession();
        takeBackUntimed(state, *document);
    }
}
BENCHMARK(addChildWithLayout)->ArgsProduct({mapSizes})->Unit(benchmark::kMillisecond);

// Laying out the whole tree once.
void layoutWholeTree(benchmark::State& state)
{
    auto document = laidOutMap(state.range(0));
    const Node root = *document->project().graph.findNode(1);
    document->beginEditingSession("Layout");
    for (auto _ : state)
        DocumentLayout(*document).autolayoutWholeNodeTree(root, true);
    document->commitEditingSession();
    RunLoop::drain();
}
BENCHMARK(layoutWholeTree)->ArgsProduct({mapSizes})->Unit(benchmark::kMillisecond);

// 200 children added one by one, without layout, to one parent of the map.
void addManyChildren(benchmark::State& state)
{
    auto document = laidOutMap(state.range(0));
    for (auto _ : state) {
        document->beginEditingSession("Add Children");
        const Node parent = *document->project().graph.findNode(3);
        for (int i = 0; i < 200; ++i)
            benchmark::DoNotOptimize(document->createChildNode(parent, "child", std::nullopt, false, false));
        document->commitEditingSession();
        takeBackUntimed(state, *document);
    }
}
BENCHMARK(addManyChildren)->ArgsProduct({mapSizes})->Unit(benchmark::kMillisecond);

// Copies one leaf, then the whole map, with every text form the clipboard writes.
void copyToClipboard(benchmark::State& state)
{
    ScopedStandardUserDefaults defaults;
    UserDefaults::standard().set("copyRichTextToPasteboard", true);
    auto document = laidOutMap(state.range(0));
    const Node node = *document->project().graph.findNode(state.range(1) ? 1 : state.range(0));
    Pasteboard board;
    for (auto _ : state)
        benchmark::DoNotOptimize(DocumentClipboard(*document).copyNodesToPasteBoard({node}, board));
}
BENCHMARK(copyToClipboard)->ArgNames({"nodes", "wholeMap"})->ArgsProduct({mapSizes, {0, 1}})->Unit(benchmark::kMillisecond);

// Pastes 100 flat lines as new roots beside the map (each one laid out and given a free place).
void pasteFlatLines(benchmark::State& state)
{
    ScopedStandardUserDefaults defaults;
    auto document = laidOutMap(state.range(0));
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "line " + std::to_string(i) + "\n";
    Pasteboard board;
    board.setString(text, std::string(Pasteboard::stringType));
    for (auto _ : state) {
        document->projectForLoading().selectedNodeUIDs.clear();
        document->beginEditingSession("Paste");
        benchmark::DoNotOptimize(DocumentClipboard(*document).pasteFromPasteBoard({0, -5000}, false, board));
        document->commitEditingSession();
        takeBackUntimed(state, *document);
    }
}
BENCHMARK(pasteFlatLines)->ArgsProduct({mapSizes})->Unit(benchmark::kMillisecond);

// The nodes whose rounded bodies (frames widened by 20 points on every side) reach another node's.
std::size_t nodesWithinRoundingOfAnother(const std::vector<Node>& nodes)
{
    std::vector<Node> widened = nodes;
    for (Node& node : widened)
        node.size = {node.size.width + 40, node.size.height + 40};
    std::vector<char> touching(nodes.size(), 0);
    // Each node against the same list without it: a node touches another when the list with it overlaps.
    std::vector<std::size_t> order(nodes.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return widened[a].center.x - widened[a].size.width / 2 < widened[b].center.x - widened[b].size.width / 2;
    });
    for (std::size_t k = 0; k < order.size(); ++k) {
        const Rect a = GraphCollisionResolver::frame(widened[order[k]]);
        for (std::size_t l = k + 1; l < order.size(); ++l) {
            const Rect b = GraphCollisionResolver::frame(widened[order[l]]);
            if (b.minX() > a.maxX())
                break;
            if (b.minY() < a.maxY() && a.minY() < b.maxY())
                touching[order[k]] = touching[order[l]] = 1;
        }
    }
    return static_cast<std::size_t>(std::count(touching.begin(), touching.end(), 1));
}

// One leaf dropped halfway onto its neighbour on a laid-out map, then parted by the resolver.
void resolveOneOverlap(benchmark::State& state)
{
    auto document = laidOutMap(state.range(0));
    Node moved = *document->project().graph.findNode(state.range(0) - 1);
    const Node neighbour = *document->project().graph.findNode(state.range(0));
    moved.center = {neighbour.center.x + 10, neighbour.center.y + 10};
    document->projectForLoading().graph.setNode(moved, moved.uid);
    const std::vector<Node> nodes = document->project().graph.allNodes();
    std::size_t movedCount = 0;
    bool overlapsAfter = false;
    for (auto _ : state) {
        const std::vector<Node> result = GraphCollisionResolver().resolve(nodes);
        state.PauseTiming();
        overlapsAfter = GraphCollisionResolver::hasOverlap(result);
        movedCount = 0;
        for (std::size_t i = 0; i < nodes.size(); ++i)
            movedCount += result[i].center.x != nodes[i].center.x || result[i].center.y != nodes[i].center.y;
        state.ResumeTiming();
    }
    state.counters["moved"] = static_cast<double>(movedCount);
    state.counters["inContact"] = static_cast<double>(nodesWithinRoundingOfAnother(nodes));
    state.counters["overlapsAfter"] = overlapsAfter ? 1 : 0;
}
BENCHMARK(resolveOneOverlap)->ArgsProduct({mapSizes})->Iterations(1)->Unit(benchmark::kMillisecond);

// The edits of a long session in the window, through the commands' document calls: odd ones add a child to
// the selected node and title it, even ones rename the selected node, every tenth starts from the root; each
// lays out its tree and resolves collisions, as the window's commands do. Counted per edit: the heap the
// session leaves taken, and of it what the undo history holds (given back when the history is cleared).
void sessionMemory(benchmark::State& state)
{
    ScopedStandardUserDefaults defaults;
    UserDefaults::standard().set("isCollisionDetectionEnabled", true);
    auto document = laidOutMap(state.range(0));
    const int edits = 200;
    double heapPerEdit = 0, undoPerEdit = 0;
    for (auto _ : state) {
        document->undoManager()->removeAllActions();
        RunLoop::drain();
        const std::size_t before = heapInUse();
        std::int64_t selected = 1;
        for (int edit = 1; edit <= edits; ++edit) {
            if (edit % 10 == 0)
                selected = 1;
            const std::string title = (edit % 2 ? "t" : "r") + std::to_string(edit);
            document->beginEditingSession(edit % 2 ? "New Child Node" : "Edit Node Title");
            if (edit % 2) {
                const std::optional<Node> child =
                    document->createChildNode(*document->project().graph.findNode(selected), "", std::nullopt, true, true);
                selected = child->uid;
            }
            Node node = *document->project().graph.findNode(selected);
            node.title = title;
            const std::vector<Node> stored = document->updateNodes({node}, NodeUpdateOperation::title, true);
            DocumentLayout(*document).autolayoutWholeNodeTree(stored.front(), false);
            DocumentLayout(*document).resolveCollisions();
            document->commitEditingSession();
            RunLoop::drain();
        }
        const std::size_t after = heapInUse();
        document->undoManager()->removeAllActions();
        RunLoop::drain();
        heapPerEdit = (static_cast<double>(after) - static_cast<double>(before)) / edits;
        undoPerEdit = (static_cast<double>(after) - static_cast<double>(heapInUse())) / edits;
    }
    state.counters["heapKBPerEdit"] = heapPerEdit / 1024.0;
    state.counters["undoKBPerEdit"] = undoPerEdit / 1024.0;
}
BENCHMARK(sessionMemory)->ArgsProduct({mapSizes})->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
