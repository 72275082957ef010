#pragma once

// What the benchmarks that open a map in an editor window share: the peak resident size so far, and the
// window shown and painted for a document, timed, then closed with the clock stopped.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <memory>

#include "document/VQDocument.h"
#include "editor/MindMapEditorWindowController.h"
#include "platform/RunLoop.h"

namespace velquine::bench {

// The process's peak resident size so far, in megabytes.
inline double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct WindowTimes {
    double windowMs = 0; // the window made and shown
    double paintMs = 0;  // deferred work run and the first paint
    double windowPeakMegabytes = 0; // the peak once the window is shown
};

// Shows the document in an editor window until it is painted, then closes the window and lets the document go
// with the benchmark's clock paused.
inline WindowTimes showUntilPainted(benchmark::State& state, std::shared_ptr<VQDocument>& document)
{
    WindowTimes times;
    QElapsedTimer clock;
    clock.start();
    auto* window = new MindMapEditorWindowController(document, QStringLiteral("bench"));
    window->show();
    times.windowMs = clock.nsecsElapsed() / 1e6;
    times.windowPeakMegabytes = peakMegabytes();
    clock.restart();
    RunLoop::drain();
    QApplication::processEvents();
    window->repaint();
    times.paintMs = clock.nsecsElapsed() / 1e6;
    state.PauseTiming();
    window->close();
    delete window;
    document.reset();
    RunLoop::drain();
    state.ResumeTiming();
    return times;
}

} // namespace velquine::bench
