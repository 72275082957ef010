// The canvas's reload: building every layer for a graph, and bringing the layers in line after one node
// changed (the graph shares every other node with the one shown).
#include <benchmark/benchmark.h>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"

using namespace velquine;

namespace {

// A root with main nodes of 99 children each, laid out in columns; titles of two to four words.
Graph largeGraph(int nodeCount)
{
    Graph graph;
    std::vector<Node> nodes;
    NodeStyle style;
    style.font = Font::systemFont(14);
    Node root(1, std::nullopt, style);
    root.title = "Central topic";
    root.center = {0, 0};
    root.size = {160, 48};
    nodes.push_back(root);
    std::int64_t uid = 2;
    for (std::int64_t main = 0; uid <= nodeCount; ++main) {
        const std::int64_t mainUID = uid++;
        Node m(mainUID, 1, style);
        m.title = "Main topic " + std::to_string(main);
        m.center = {300.0 + 700.0 * static_cast<double>(main / 40), 60.0 * static_cast<double>(main % 40) * 100};
        m.size = {120, 38};
        nodes[0].childrenUIDs.push_back(mainUID);
        const std::size_t mainIndex = nodes.size();
        nodes.push_back(m);
        for (int i = 0; i < 99 && uid <= nodeCount; ++i) {
            Node s(uid, mainUID, style);
            s.title = "Sub topic number " + std::to_string(i);
            s.center = {m.center.x + 250, m.center.y + 60.0 * i};
            s.size = {150, 30};
            nodes[mainIndex].childrenUIDs.push_back(uid);
            nodes.push_back(s);
            ++uid;
        }
    }
    graph.updateNodes(nodes);
    return graph;
}

void BM_FullReload(benchmark::State& state)
{
    const Graph graph = largeGraph(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        GraphView view(Rect(0, 0, 1600, 1000));
        view.setGraph(graph);
        benchmark::DoNotOptimize(view.nodeLayers().size());
        state.PauseTiming();
        view.setGraph(Graph());
        state.ResumeTiming();
    }
    state.counters["nodes"] = static_cast<double>(graph.count());
}
BENCHMARK(BM_FullReload)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);

// How each reload runs: as the canvas runs it, revisiting every layer (as it would without the reload plan),
// or settling at once every layer it leaves behind (as it would without leaving layers behind).
enum class ReloadKind { planned, revisitingAll, settlingAll };

// Times reloads of the canvas between the two graphs, by turns.
void timeReloadsBetween(benchmark::State& state, const Graph& before, const Graph& after,
                        ReloadKind kind = ReloadKind::planned)
{
    GraphView view(Rect(0, 0, 1600, 1000));
    view.setGraph(before);
    bool flip = false;
    for (auto _ : state) {
        if (kind == ReloadKind::revisitingAll)
            view.sync().invalidateLayerState();
        view.setGraph(flip ? before : after);
        if (kind == ReloadKind::settlingAll)
            view.sync().settleLayers();
        flip = !flip;
    }
}

void reloadOneChangedNode(benchmark::State& state, ReloadKind kind)
{
    const Graph before = largeGraph(static_cast<int>(state.range(0)));
    Graph after = before;
    Node changed = *after.findNode(state.range(0) / 2);
    changed.title += " (edited)";
    changed.center.x += 12;
    after.setNode(changed, changed.uid);
    timeReloadsBetween(state, before, after, kind);
}
void BM_ReloadOneChangedNode(benchmark::State& state) { reloadOneChangedNode(state, ReloadKind::planned); }
BENCHMARK(BM_ReloadOneChangedNode)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);
// The same edit with every layer revisited: what the reload plan spares.
void BM_ReloadOneChangedNodeRevisitingAll(benchmark::State& state)
{
    reloadOneChangedNode(state, ReloadKind::revisitingAll);
}
BENCHMARK(BM_ReloadOneChangedNodeRevisitingAll)->Arg(20000)->Unit(benchmark::kMicrosecond);

// A layout that moved every node a little, as adding a child moves the side of a balanced map it joins: most
// nodes go from one place out of view to another.
void reloadEveryNodeMoved(benchmark::State& state, ReloadKind kind)
{
    const Graph before = largeGraph(static_cast<int>(state.range(0)));
    Graph after = before;
    std::vector<NodePlacement> placements;
    for (const auto& [uid, node] : before.nodeBin())
        placements.push_back({uid, {node.center.x, node.center.y + 24}});
    after.placeNodes(placements);
    timeReloadsBetween(state, before, after, kind);
}
void BM_ReloadEveryNodeMoved(benchmark::State& state) { reloadEveryNodeMoved(state, ReloadKind::planned); }
BENCHMARK(BM_ReloadEveryNodeMoved)->Arg(10000)->Unit(benchmark::kMicrosecond);
// The same layout with every layer left behind settled at once: what leaving them behind spares.
void BM_ReloadEveryNodeMovedSettlingAll(benchmark::State& state)
{
    reloadEveryNodeMoved(state, ReloadKind::settlingAll);
}
BENCHMARK(BM_ReloadEveryNodeMovedSettlingAll)->Arg(10000)->Unit(benchmark::kMicrosecond);

// A pasted list: one node with that many children in a column, which a child added at its end moves half a
// row down, or whose children it moves half a row up (as a Tab there does). The view shows the first children:
// every other line from the node waits, filed by an area that reaches from the node to its child, far from
// view, until the view comes near the node, which brings them all in at once (as a scroll there does). With
// atNode the view shows the node itself, as when a Tab is pressed there: every line crosses the view, and each
// is docked, built and set gliding in the reload itself.
void reloadWideList(benchmark::State& state, bool childrenMove, bool atNode = false)
{
    const std::int64_t children = state.range(0);
    NodeStyle style;
    const double middle = 19.5 * double(children);
    Node root(1, std::nullopt, style);
    root.center = {0, middle};
    root.size = {120, 40};
    Node list(2, 1, style);
    list.center = {300, middle};
    list.size = {120, 30};
    root.childrenUIDs.push_back(2);
    std::vector<Node> nodes{root, list};
    for (std::int64_t i = 0; i < children; ++i) {
        Node child(3 + i, 2, style);
        child.title = "item " + std::to_string(i);
        child.center = {600, 39.0 * double(i)};
        child.size = {100, 28};
        nodes[1].childrenUIDs.push_back(child.uid);
        nodes.push_back(child);
    }
    Graph before;
    before.updateNodes(nodes);
    Graph after = before;
    std::vector<NodePlacement> moves{{2, {300, middle + 19.5}}};
    if (childrenMove) {
        moves.clear();
        for (std::size_t i = 2; i < nodes.size(); ++i)
            moves.push_back({nodes[i].uid, {600, nodes[i].center.y - 19.5}});
    }
    after.placeNodes(moves);
    GraphView view(Rect(0, 0, 1600, 1000));
    if (atNode)
        view.setBoundsRect(Rect(0, middle - 500, 1600, 1000));
    view.setGraph(before);
    bool flip = false;
    for (auto _ : state) {
        view.setGraph(flip ? before : after);
        view.sync().placeDeferredLabels(Rect(0, middle - 500, 1600, 1000));
        flip = !flip;
    }
}

void BM_ReloadWideListMoved(benchmark::State& state) { reloadWideList(state, false); }
BENCHMARK(BM_ReloadWideListMoved)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ReloadWideListChildrenMoved(benchmark::State& state) { reloadWideList(state, true); }
BENCHMARK(BM_ReloadWideListChildrenMoved)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ReloadWideListChildrenMovedAtNode(benchmark::State& state) { reloadWideList(state, true, true); }
BENCHMARK(BM_ReloadWideListChildrenMovedAtNode)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace
