// Benchmark main: the Qt application object exists before any font, image or widget work.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/Application.h"

int main(int argc, char** argv)
{
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
