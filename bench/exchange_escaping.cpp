// HTML character escaping and unescaping of node titles: cost per title and per byte of text.
#include <benchmark/benchmark.h>

#include "exchange/HTMLEscaping.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> titles(std::size_t count)
{
    std::vector<std::string> result;
    result.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        result.push_back("Node " + std::to_string(i) + ": Tom & Jerry's <plan> for \"Café\" — 日本 {x}");
    return result;
}

void escapeUnicode(benchmark::State& state)
{
    const auto input = titles(static_cast<std::size_t>(state.range(0)));
    std::size_t bytes = 0;
    for (const auto& t : input)
        bytes += t.size();
    for (auto _ : state) {
        for (const auto& t : input)
            benchmark::DoNotOptimize(velquine::addingUnicodeEntities(t));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(escapeUnicode)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);

void escapeASCII(benchmark::State& state)
{
    const auto input = titles(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        for (const auto& t : input)
            benchmark::DoNotOptimize(velquine::addingASCIIEntities(t));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(escapeASCII)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);

void unescape(benchmark::State& state)
{
    auto input = titles(static_cast<std::size_t>(state.range(0)));
    for (auto& t : input)
        t = velquine::addingUnicodeEntities(t) + " &amp; &eacute; &#x1F600; &unknown;";
    for (auto _ : state) {
        for (const auto& t : input)
            benchmark::DoNotOptimize(velquine::removingHTMLEntities(t));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(unescape)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);

} // namespace
