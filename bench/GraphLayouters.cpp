// The tree layouters on generated maps of 1,000, 10,000 and 100,000 nodes: laying out a whole tree vertically
// and horizontally, and balancing the root's children, each as copies of the nodes and as new centres only. Two shapes: wide (every node has up to eight children,
// filled level by level) and deep (a spine as long as half the map, each spine node with one leaf beside the
// next spine node). Growing the map tenfold should cost about ten times as much, not a hundred; the growth
// cases measure that ratio for the layouts as new centres, with both sizes in turn.
#include <benchmark/benchmark.h>

#include "layout/HorizontalGraphLayouter.h"
#include "layout/VerticalGraphLayouter.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

using namespace velquine;

namespace {

enum Shape : std::int64_t { wide = 0, deep = 1 };

// Nodes 1..count under root 1, of a few sizes, underlined every third node so that the horizontal layouter
// lifts them and pushes subtrees apart.
Graph generatedTree(std::int64_t count, Shape shape)
{
    std::vector<Node> nodes;
    nodes.reserve(static_cast<std::size_t>(count));
    for (std::int64_t uid = 1; uid <= count; ++uid) {
        std::optional<std::int64_t> parent;
        if (uid > 1)
            parent = shape == wide ? (uid - 2) / 8 + 1 : (uid % 2 == 0 ? uid - 1 : uid - 2);
        Node node(uid, parent, NodeStyle());
        node.size = {60.0 + static_cast<double>(uid % 5) * 10.0, 20.0 + static_cast<double>(uid % 3) * 7.5};
        node.shape = uid % 3 == 0 ? NodeShape::underline : NodeShape::roundedRect;
        node.horizontalAffinity = uid % 2 == 0 ? HorizontalAffinity::left : HorizontalAffinity::right;
        node.verticalAffinity = uid % 2 == 0 ? VerticalAffinity::above : VerticalAffinity::below;
        nodes.push_back(std::move(node));
    }
    for (std::int64_t uid = 2; uid <= count; ++uid)
        nodes[static_cast<std::size_t>(*nodes[static_cast<std::size_t>(uid - 1)].parentUID - 1)].childrenUIDs.push_back(uid);
    Graph graph;
    graph.storeNodes(nodes);
    return graph;
}

// Runs the operation once per iteration, timing the call but not the freeing of what it hands back (that is
// the caller's business), and counts the map's nodes as the items processed.
template <typename Operation>
void measure(benchmark::State& state, const Operation& operation)
{
    for (auto _ : state) {
        auto result = operation();
        benchmark::DoNotOptimize(&result);
        state.PauseTiming();
        result = {};
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What each case runs on the layouter, over the root.
enum class Form { layout, balance, placement, balancePlacement };

// The vertical layouter grows top down, the horizontal one left to right; both balance when balancing.
std::unique_ptr<TreeGraphLayouter> layouterFor(bool vertical, Form form, Graph graph)
{
    const bool balancing = form == Form::balance || form == Form::balancePlacement;
    if (vertical) {
        using Subtype = VerticalGraphLayouter::LayoutSubtype;
        return std::make_unique<VerticalGraphLayouter>(graph, 10.0, balancing ? Subtype::balanced : Subtype::topDown,
                                                       false, 100.0);
    }
    using Subtype = HorizontalGraphLayouter::LayoutSubtype;
    return std::make_unique<HorizontalGraphLayouter>(graph, 60.0, balancing ? Subtype::balanced : Subtype::leftToRight,
                                                     false, 10.0);
}

template <bool vertical, Form form>
void run(benchmark::State& state)
{
    const auto layouter = layouterFor(vertical, form, generatedTree(state.range(0), Shape(state.range(1))));
    const Node root = *layouter->graph.findNode(1);
    const TreeGraphLayouter& l = *layouter;
    if constexpr (form == Form::layout)
        measure(state, [&l, &root] { return l.layoutNodeTree(root); });
    else if constexpr (form == Form::balance)
        measure(state, [&l, &root] { return l.balance(root); });
    else if constexpr (form == Form::placement)
        measure(state, [&l, &root] { return l.placeNodeTree(root); });
    else
        measure(state, [&l, &root] { return l.placeBalance(root); });
}

// How much longer a layout of 100,000 nodes takes than one of 10,000, as the two sizes alternate so that both
// meet the same load from the rest of the machine. Each iteration lays out the small map eleven times and the
// large one twice, and times all but the first of each (which stands in for the runs just before it when each
// size runs by itself, as above); the growth reported is the median over iterations of the large map's time
// over the small map's mean time.
template <bool vertical, Form form>
void growth(benchmark::State& state)
{
    const Shape shape = Shape(state.range(0));
    const auto small = layouterFor(vertical, form, generatedTree(10000, shape));
    const auto large = layouterFor(vertical, form, generatedTree(100000, shape));
    const Node smallRoot = *small->graph.findNode(1);
    const Node largeRoot = *large->graph.findNode(1);
    const auto layOut = [](const TreeGraphLayouter& layouter, const Node& root) {
        const auto start = std::chrono::steady_clock::now();
        auto result = [&] {
            if constexpr (form == Form::placement)
                return layouter.placeNodeTree(root);
            else
                return layouter.placeBalance(root);
        }();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        benchmark::DoNotOptimize(&result);
        return elapsed.count();
    };
    std::vector<double> growths;
    for (auto _ : state) {
        constexpr int smallRuns = 10;
        layOut(*small, smallRoot);
        double smallTime = 0;
        for (int i = 0; i < smallRuns; ++i)
            smallTime += layOut(*small, smallRoot);
        layOut(*large, largeRoot);
        growths.push_back(layOut(*large, largeRoot) / (smallTime / smallRuns));
    }
    std::nth_element(growths.begin(), growths.begin() + static_cast<std::ptrdiff_t>(growths.size() / 2), growths.end());
    state.counters["growth"] = growths[growths.size() / 2];
}

void shapes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"deep"});
    b->Args({wide});
    b->Args({deep});
    b->Unit(benchmark::kMillisecond);
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"nodes", "deep"});
    for (std::int64_t shape : {wide, deep}) {
        for (std::int64_t count : {1000, 10000, 100000})
            b->Args({count, shape});
    }
    b->Unit(benchmark::kMillisecond);
}

// Copies of every node of the tree with their new centres.
BENCHMARK(run<true, Form::layout>)->Name("verticalLayout")->Apply(sizes);
BENCHMARK(run<false, Form::layout>)->Name("horizontalLayout")->Apply(sizes);
BENCHMARK(run<true, Form::balance>)->Name("verticalBalance")->Apply(sizes);
BENCHMARK(run<false, Form::balance>)->Name("horizontalBalance")->Apply(sizes);
// The same layouts as new centres only (and the balanced children), as the document stores them.
BENCHMARK(run<true, Form::placement>)->Name("verticalPlacement")->Apply(sizes);
BENCHMARK(run<false, Form::placement>)->Name("horizontalPlacement")->Apply(sizes);
BENCHMARK(run<true, Form::balancePlacement>)->Name("verticalBalancePlacement")->Apply(sizes);
BENCHMARK(run<false, Form::balancePlacement>)->Name("horizontalBalancePlacement")->Apply(sizes);

// Growth of the same layouts from 10,000 to 100,000 nodes, in alternation.
BENCHMARK(growth<true, Form::placement>)->Name("verticalPlacementGrowth")->Apply(shapes);
BENCHMARK(growth<false, Form::placement>)->Name("horizontalPlacementGrowth")->Apply(shapes);
BENCHMARK(growth<true, Form::balancePlacement>)->Name("verticalBalancePlacementGrowth")->Apply(shapes);
BENCHMARK(growth<false, Form::balancePlacement>)->Name("horizontalBalancePlacementGrowth")->Apply(shapes);

// For reference: copying every node of the map, which any operation that hands back the nodes of a whole tree
// pays. Past the processor's caches this alone grows faster than the number of nodes.
void copyEveryNode(benchmark::State& state)
{
    const Graph graph = generatedTree(state.range(0), Shape(state.range(1)));
    measure(state, [&graph] { return graph.allNodes(); });
}

BENCHMARK(copyEveryNode)->Apply(sizes);

} // namespace
