// Opening large outlines as new maps: plain text and OPML of 10,000 and 100,000 lines in three shapes
// (flat: every line a tree of its own; wide: one root with every other line its child; deep: chains of
// 10,000 levels), each from the file through parsing, insertion, layout and placement. The cost should
// grow linearly with the number of lines.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <fstream>
#include <string>

#include "document/VQDocument.h"
#include "model/graph/NodeUID.h"

using namespace velquine;

namespace {

enum Shape { flat, wide, deep };
constexpr std::size_t chainLength = 10000;

// The depth of line i of a shape.
std::size_t depthOf(Shape shape, std::size_t i)
{
    switch (shape) {
    case flat:
        return 0;
    case wide:
        return i == 0 ? 0 : 1;
    case deep:
        return i % chainLength;
    }
    return 0;
}

std::string plainText(Shape shape, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += std::string(depthOf(shape, i), '\t') + "Node " + std::to_string(i) + "\n";
    return text;
}

std::string opmlText(Shape shape, std::size_t count)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"1.0\"><head><title>Large</title>"
                       "</head><body>\n";
    std::size_t open = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t depth = depthOf(shape, i);
        for (; open > depth; --open)
            text += "</outline>";
        text += "<outline text=\"Node " + std::to_string(i) + "\">\n";
        ++open;
    }
    for (; open > 0; --open)
        text += "</outline>";
    return text + "</body></opml>\n";
}

void readFile(benchmark::State& state, const std::string& bytes, const std::string& name)
{
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    for (auto _ : state) {
        resetNodeUIDCounterForTesting(0);
        VQDocument document;
        document.read(path, "");
        benchmark::DoNotOptimize(document.project().graph.count());
    }
    state.SetComplexityN(state.range(0));
}

template <Shape shape> void importPlainText(benchmark::State& state)
{
    readFile(state, plainText(shape, static_cast<std::size_t>(state.range(0))), "outline.txt");
}

template <Shape shape> void importOPML(benchmark::State& state)
{
    readFile(state, opmlText(shape, static_cast<std::size_t>(state.range(0))), "outline.opml");
}

#define LARGE_IMPORT(function)                                                                                       \
    BENCHMARK(function)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN)->Iterations(1)

LARGE_IMPORT(importPlainText<flat>);
LARGE_IMPORT(importPlainText<wide>);
LARGE_IMPORT(importOPML<flat>);
LARGE_IMPORT(importOPML<wide>);
LARGE_IMPORT(importOPML<deep>);
// A plain-text chain of 10,000 levels holds 50 million tabs; 10,000 lines of it are enough.
BENCHMARK(importPlainText<deep>)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
