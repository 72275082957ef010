// Opening a saved map until its editor window has painted it: reading the file, building the window, and the
// first paint, each timed as a counter, with the process's peak memory. Maps of 10,000 and 50,000 nodes with
// titles of 10 to 40 characters and a note on every seventh node, laid out as a wide tree.

#include "document/DocumentFactory.h"
#include "document/VQDocument.h"
#include "document/VQDocumentFiles.h"
#include "files/Database.h"
#include "files/ProjectLoader.h"
#include "files/QXZipArchive.h"
#include "editor/MindMapEditorWindowController.h"
#include "model/graph/Graph.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "support/GeneratedMaps.h"
#include "support/OpenedWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <stdexcept>
#include <string>

using namespace velquine;

namespace {

// A generated map saved in a temporary folder, with private settings, for as long as the object lives.
struct SavedMap {
    ScopedStandardUserDefaults settings;
    QTemporaryDir folder;
    std::string path;

    explicit SavedMap(int count) : path(folder.path().toStdString() + "/bench.velquine")
    {
        VQDocument document;
        document.projectForLoading() = generatedWideTree(count);
        std::optional<std::string> error;
        if (!document.writeToURL(path, std::string(VQDocument::documentType), &error))
            throw std::runtime_error(error.value_or("save failed"));
    }
};

void BM_OpenMapUntilPainted(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    const SavedMap saved(int(state.range(0)));
    const std::string& path = saved.path;
    // What making and saving the map took is no part of opening it.
    const double setupMegabytes = bench::peakMegabytes();
    double openMs = 0, windowMs = 0, paintMs = 0;
    double readMegabytes = 0; // the peak once the first reading is done
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto document = DocumentFactory::makeDocumentForURL(path, std::string(VQDocument::documentType));
        openMs += clock.nsecsElapsed() / 1e6;
        if (readMegabytes == 0)
            readMegabytes = bench::peakMegabytes();
        const bench::WindowTimes times = bench::showUntilPainted(state, document);
        windowMs += times.windowMs;
        paintMs += times.paintMs;
    }
    const double n = double(state.iterations());
    state.counters["open_ms"] = openMs / n;
    state.counters["window_ms"] = windowMs / n;
    state.counters["paint_ms"] = paintMs / n;
    state.counters["peak_MB"] = bench::peakMegabytes();
    state.counters["setup_peak_MB"] = setupMegabytes;
    state.counters["read_peak_MB"] = readMegabytes;
}

// The steps of reading the file on their own: extracting the archive, opening its database with the checks
// of a file from outside, and loading the project from it.
void BM_ReadMapPhases(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    const SavedMap saved(int(state.range(0)));
    const std::string& path = saved.path;
    state.counters["file_MB"] = double(QFileInfo(QString::fromStdString(path)).size()) / (1024.0 * 1024.0);
    double unzipMs = 0, checkMs = 0, loadMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const VQDocumentFiles::HeldScratchFolder scratch;
        if (!QXZipArchive::unzipFileAtPath(path, scratch.path()))
            throw std::runtime_error("unzip failed");
        unzipMs += clock.nsecsElapsed() / 1e6;
        clock.restart();
        Database database =
            Database::openForReading(scratch.path() + "/" + std::string(VQDocumentFiles::databaseFileName));
        checkMs += clock.nsecsElapsed() / 1e6;
        clock.restart();
        VQProject project;
        loadProjectFrom(project, database);
        loadMs += clock.nsecsElapsed() / 1e6;
        benchmark::DoNotOptimize(project.graph.count());
    }
    const double n = double(state.iterations());
    state.counters["unzip_ms"] = unzipMs / n;
    state.counters["open_check_ms"] = checkMs / n;
    state.counters["load_ms"] = loadMs / n;
}

} // namespace

BENCHMARK(BM_ReadMapPhases)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OpenMapUntilPainted)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(3);
