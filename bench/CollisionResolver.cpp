// Pushing overlapping nodes apart: the pre-test every call runs, and the simulation when nodes overlap.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "layout/GraphCollisionResolver.h"

using namespace velquine;

namespace {

// Nodes of 100 by 40 points in columns of 50, 10 points apart across and 60 points between columns, the way a
// laid-out map places them.
std::vector<Node> columns(int count)
{
    std::vector<Node> nodes;
    nodes.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Node node(i + 1, std::nullopt, NodeStyle());
        node.center = {(i / 50) * 160.0, (i % 50) * 50.0};
        node.size = {100, 40};
        nodes.push_back(std::move(node));
    }
    return nodes;
}

// The same columns with every hundredth node dropped halfway onto its neighbour below.
std::vector<Node> columnsWithSomeOverlaps(int count)
{
    std::vector<Node> nodes = columns(count);
    for (std::size_t i = 0; i < nodes.size(); i += 100)
        nodes[i].center.y += 25;
    return nodes;
}

// Nodes scattered at random over a field where most overlap some other.
std::vector<Node> scattered(int count)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> x(0, 40.0 * count);
    std::uniform_real_distribution<double> y(0, 60.0 * 10);
    std::vector<Node> nodes = columns(count);
    for (Node& node : nodes)
        node.center = {x(random), y(random)};
    return nodes;
}

void resolveApart(benchmark::State& state)
{
    const std::vector<Node> nodes = columns(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(GraphCollisionResolver().resolve(nodes));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(resolveApart)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

// Resolves the nodes and reports what the simulation did: its steps, the bodies it simulated over them (what
// the steps cost, bounded by GraphCollisionResolver::maxBodySteps for a few hundred overlaps), whether it settled,
// and the nodes it moved.
void resolveAndCount(benchmark::State& state, const std::vector<Node>& nodes)
{
    GraphCollisionResolver::Settling settling;
    std::vector<Node> result;
    for (auto _ : state)
        result = GraphCollisionResolver().resolve(nodes, {}, &settling);
    std::size_t moved = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i)
        moved += result[i].center != nodes[i].center ? 1 : 0;
    state.counters["steps"] = settling.steps;
    state.counters["bodySteps"] = static_cast<double>(settling.bodySteps);
    state.counters["settled"] = settling.settled ? 1 : 0;
    state.counters["moved"] = static_cast<double>(moved);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// On a big map the motion of the dropped nodes spreads from body to body through the packed columns: the bound
// on the work keeps 50,000 nodes to the cost of 5,000.
void resolveSomeOverlaps(benchmark::State& state)
{
    resolveAndCount(state, columnsWithSomeOverlaps(static_cast<int>(state.range(0))));
}
BENCHMARK(resolveSomeOverlaps)->Arg(1000)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

void resolveScattered(benchmark::State& state)
{
    resolveAndCount(state, scattered(static_cast<int>(state.range(0))));
}
BENCHMARK(resolveScattered)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// The pre-test alone on one long column, where a sweep over x alone would compare every pair.
void overlapTestOneColumn(benchmark::State& state)
{
    std::vector<Node> nodes = columns(static_cast<int>(state.range(0)));
    for (std::size_t i = 0; i < nodes.size(); ++i)
        nodes[i].center = {0, static_cast<double>(i) * 50.0};
    for (auto _ : state)
        benchmark::DoNotOptimize(GraphCollisionResolver::hasOverlap(nodes));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(overlapTestOneColumn)->Arg(1000)->Arg(5000)->Arg(50000)->Unit(benchmark::kMicrosecond);

} // namespace
