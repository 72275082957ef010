// Importing an indented outline of N lines as nodes; the cost should grow linearly with N.
#include <benchmark/benchmark.h>

#include "exchange/PlainTextImporter.h"
#include "model/graph/NodeUID.h"

#include <string>

namespace {

std::string outlineText(std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += std::string(i % 6, '\t') + (i % 3 ? "- " : "• ") + "Node " + std::to_string(i) + " with a title\n";
    return text;
}

void importOutline(benchmark::State& state)
{
    const std::string text = outlineText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        velquine::resetNodeUIDCounterForTesting(0);
        benchmark::DoNotOptimize(velquine::PlainTextImporter::importNodes(text));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(importOutline)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

} // namespace
