// Cost of building and rendering the typed SQL layer's statements, without touching a database.

#include "sql/Query.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <string>

using namespace velquine::sql;

namespace {

const Table nodes("nodes");
const Expression<std::int64_t> uid("uid");
const Expression<std::optional<std::int64_t>> parentUID("parent_uid");
const Expression<std::string> title("title");
const Expression<double> x("x");
const Expression<double> y("y");

void insertRow(benchmark::State& state)
{
    std::int64_t i = 0;
    for (auto _ : state) {
        ++i;
        Insert insert = nodes.insert(set(uid, i), set(parentUID, i - 1), set(title, "Node title"), set(x, 1.5), set(y, 2.5));
        benchmark::DoNotOptimize(insert);
    }
}
BENCHMARK(insertRow);

void selectWithClauses(benchmark::State& state)
{
    std::int64_t i = 0;
    for (auto _ : state) {
        ++i;
        Expression<void> e = nodes.select(uid, title).filter(uid > i && parentUID == std::nullopt).order(asc(title)).limit(10).expression();
        benchmark::DoNotOptimize(e);
    }
}
BENCHMARK(selectWithClauses);

void inlineDescription(benchmark::State& state)
{
    const Insert insert = nodes.insert(set(uid, 1), set(parentUID, std::nullopt), set(title, "it's \"quoted\"?"), set(x, 0.1), set(y, 1e20));
    for (auto _ : state) {
        std::string text = insert.description();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(inlineDescription);

} // namespace
