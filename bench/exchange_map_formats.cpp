// Exporting a map of N nodes in every text format and importing the text formats back; each cost
// should grow linearly with N.
#include <benchmark/benchmark.h>

#include "exchange/MarkdownExporter.h"
#include "exchange/OPMLExporter.h"
#include "exchange/OPMLImporter.h"
#include "exchange/PlainTextExporter.h"
#include "exchange/PlainTextImporter.h"
#include "exchange/RichTextExporter.h"
#include "exchange/YAMLExporter.h"
#include "model/graph/NodeUID.h"

#include <string>

namespace {

// A tree of N nodes, eight children to a node, in breadth-first identifiers.
velquine::Graph mapOf(std::int64_t count)
{
    std::vector<velquine::Node> nodes;
    nodes.reserve(static_cast<std::size_t>(count));
    for (std::int64_t uid = 0; uid < count; ++uid) {
        const std::optional<std::int64_t> parent = uid == 0 ? std::nullopt : std::optional<std::int64_t>((uid - 1) / 8);
        velquine::Node node(uid, parent, velquine::NodeStyle());
        node.title = "Node " + std::to_string(uid) + " & <more> — Café";
        for (std::int64_t child = uid * 8 + 1; child <= uid * 8 + 8 && child < count; ++child)
            node.childrenUIDs.push_back(child);
        nodes.push_back(std::move(node));
    }
    velquine::Graph graph;
    graph.updateNodes(nodes);
    return graph;
}

template <typename MakeText>
void exportBenchmark(benchmark::State& state, MakeText makeText)
{
    const velquine::Graph graph = mapOf(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(makeText(graph));
    state.SetComplexityN(state.range(0));
}

void exportPlainText(benchmark::State& state)
{
    exportBenchmark(state, [](const velquine::Graph& g) { return velquine::PlainTextExporter(g).exportData(); });
}
void exportMarkdown(benchmark::State& state)
{
    exportBenchmark(state, [](const velquine::Graph& g) { return velquine::MarkdownExporter(g).exportData(); });
}
void exportYAML(benchmark::State& state)
{
    exportBenchmark(state, [](const velquine::Graph& g) { return velquine::YAMLExporter(g).exportData(); });
}
void exportOPML(benchmark::State& state)
{
    exportBenchmark(state, [](const velquine::Graph& g) { return velquine::OPMLExporter(g, "Map").exportData(); });
}
void exportRTF(benchmark::State& state)
{
    exportBenchmark(state, [](const velquine::Graph& g) { return velquine::RichTextExporter(g).rtfData(); });
}

void importPlainText(benchmark::State& state)
{
    const std::string text = *velquine::PlainTextExporter(mapOf(state.range(0))).exportData();
    for (auto _ : state) {
        velquine::resetNodeUIDCounterForTesting(0);
        benchmark::DoNotOptimize(velquine::PlainTextImporter::importNodes(text));
    }
    state.SetComplexityN(state.range(0));
}

void importOPML(benchmark::State& state)
{
    const std::string text = *velquine::OPMLExporter(mapOf(state.range(0)), "Map").exportData();
    for (auto _ : state) {
        velquine::OPMLImporter importer;
        importer.parseData(text);
        benchmark::DoNotOptimize(importer.graph.count());
    }
    state.SetComplexityN(state.range(0));
}

#define MAP_BENCHMARK(name) BENCHMARK(name)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN)
MAP_BENCHMARK(exportPlainText);
MAP_BENCHMARK(exportMarkdown);
MAP_BENCHMARK(exportYAML);
MAP_BENCHMARK(exportOPML);
MAP_BENCHMARK(exportRTF);
MAP_BENCHMARK(importPlainText);
MAP_BENCHMARK(importOPML);

} // namespace
