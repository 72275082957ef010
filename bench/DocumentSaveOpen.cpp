// Saving a document of 10,000 nodes to a file and opening it again, end to end: scratch folders, the
// working database, the archive, the rename into place; then extraction, the engine's check and the
// seven loaders.

#include "document/DocumentFactory.h"
#include "document/VQDocument.h"
#include "model/graph/Graph.h"
#include "platform/RunLoop.h"

#include <benchmark/benchmark.h>

#include <QStandardPaths>
#include <QTemporaryDir>

#include <stdexcept>
#include <string>

using namespace velquine;

namespace {

// A tree with four children per node, with titles, positions, a note on every fifth node and the
// project style's level styles.
VQProject makeProject(int count)
{
    VQProject project;
    project.title = "Benchmark map";
    for (int i = 1; i <= count; ++i) {
        std::optional<std::int64_t> parent;
        if (i > 1)
            parent = (i - 2) / 4 + 1;
        const NodeStyle& style = i == 1 ? project.projectStyle.current.rootNodeStyle
                                 : i <= 5 ? project.projectStyle.current.mainNodeStyle
                                          : project.projectStyle.current.subNodeStyle;
        Node node(i, parent, style);
        node.title = "Node " + std::to_string(i);
        if (i % 5 == 0)
            node.note = "A note on node " + std::to_string(i) + ".";
        node.center = {i * 2.0, i * -1.0};
        node.size = {110.0, 36.0};
        for (int c = 0; c < 4; ++c) {
            const std::int64_t child = static_cast<std::int64_t>(i - 1) * 4 + 2 + c;
            if (child <= count)
                node.childrenUIDs.push_back(child);
        }
        project.graph.setNode(node, i);
    }
    project.selectedNodeUIDs = {1};
    return project;
}

constexpr const char* ownType = "io.kelvarn.velquine.mindmap";

void BM_SaveDocument(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/bench.radovudo";
    VQDocument document;
    document.projectForLoading() = makeProject(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::optional<std::string> error;
        if (!document.writeToURL(path, ownType, &error))
            throw std::runtime_error(error.value_or("save failed"));
        RunLoop::drain();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_OpenDocument(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/bench.radovudo";
    {
        VQDocument document;
        document.projectForLoading() = makeProject(static_cast<int>(state.range(0)));
        std::optional<std::string> error;
        if (!document.writeToURL(path, ownType, &error))
            throw std::runtime_error(error.value_or("save failed"));
    }
    for (auto _ : state) {
        auto opened = DocumentFactory::makeDocumentForURL(path, ownType);
        benchmark::DoNotOptimize(opened->project().graph.count());
        RunLoop::drain();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_SaveDocument)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenDocument)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
