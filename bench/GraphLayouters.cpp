// The tree layouters on generated maps of 1,000, 10,000 and 100,000 nodes: laying out a whole tree vertically
// and horizontally, and balancing the root's children. Two shapes: wide (every node has up to eight children,
// filled level by level) and deep (a spine as long as half the map, each spine node with one leaf beside the
// next spine node). Growing the map tenfold should cost about ten times as much, not a hundred.
#include <benchmark/benchmark.h>

#include "layout/HorizontalGraphLayouter.h"
#include "layout/VerticalGraphLayouter.h"

#include <cstdint>
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

// Runs the operation once per iteration, timing the call but not the freeing of the nodes it hands back (that
// is the caller's business), and counts the map's nodes as the items processed.
template <typename Operation>
void measure(benchmark::State& state, const Operation& operation)
{
    for (auto _ : state) {
        std::vector<Node> result = operation();
        benchmark::DoNotOptimize(result.data());
        state.PauseTiming();
        result = {};
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void verticalLayout(benchmark::State& state)
{
    const VerticalGraphLayouter layouter(generatedTree(state.range(0), Shape(state.range(1))), 10.0,
                                         VerticalGraphLayouter::LayoutSubtype::topDown, false, 100.0);
    const Node root = *layouter.graph.findNode(1);
    measure(state, [&layouter, &root] { return layouter.layoutNodeTree(root); });
}

void horizontalLayout(benchmark::State& state)
{
    const HorizontalGraphLayouter layouter(generatedTree(state.range(0), Shape(state.range(1))), 60.0,
                                           HorizontalGraphLayouter::LayoutSubtype::leftToRight, false, 10.0);
    const Node root = *layouter.graph.findNode(1);
    measure(state, [&layouter, &root] { return layouter.layoutNodeTree(root); });
}

void verticalBalance(benchmark::State& state)
{
    const VerticalGraphLayouter layouter(generatedTree(state.range(0), Shape(state.range(1))), 10.0,
                                         VerticalGraphLayouter::LayoutSubtype::balanced, false, 100.0);
    const Node root = *layouter.graph.findNode(1);
    measure(state, [&layouter, &root] { return layouter.balance(root); });
}

void horizontalBalance(benchmark::State& state)
{
    const HorizontalGraphLayouter layouter(generatedTree(state.range(0), Shape(state.range(1))), 60.0,
                                           HorizontalGraphLayouter::LayoutSubtype::balanced, false, 10.0);
    const Node root = *layouter.graph.findNode(1);
    measure(state, [&layouter, &root] { return layouter.balance(root); });
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

BENCHMARK(verticalLayout)->Apply(sizes);
BENCHMARK(horizontalLayout)->Apply(sizes);
BENCHMARK(verticalBalance)->Apply(sizes);
BENCHMARK(horizontalBalance)->Apply(sizes);

// For reference: copying every node of the map, which any operation that hands back the nodes of a whole tree
// pays. Past the processor's caches this alone grows faster than the number of nodes.
void copyEveryNode(benchmark::State& state)
{
    const Graph graph = generatedTree(state.range(0), Shape(state.range(1)));
    measure(state, [&graph] { return graph.allNodes(); });
}

BENCHMARK(copyEveryNode)->Apply(sizes);

} // namespace
