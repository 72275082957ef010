// Benchmark main: the allocator is set up as the program sets it up, and the Qt application object exists before
// any font, image or widget work.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/Application.h"
#include "platform/Heap.h"

int main(int argc, char** argv)
{
    velquine::keepLargeBlocksInHeap();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Canvases are widgets, even off screen.
    QApplication app(argc, argv);
    velquine::installEditorWindowHooks(); // editor windows get their menus and inspector as in the program
    ::benchmark::Initialize(&argc, argv);
    if (::benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
