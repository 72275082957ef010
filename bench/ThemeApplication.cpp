// Applying a theme from the document style pane to a map of 10,000 nodes: restyle, autosize and layout in
// one undoable step; and in an editor window, that document work and the canvas's work after it (refreshing
// its layers from the document's events and repainting the canvas) timed apart.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QStandardPaths>

#include "canvas/GraphView.h"
#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "inspector/DocumentStyleInspector.h"
#include "inspector/InspectorBarController.h"
#include "layout/VQProjectEdits.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

using namespace velquine;

namespace {

// A root with 20 main nodes, each heading a subtree of sub nodes, 10,000 nodes in all.
VQProject themedProject()
{
    VQProject project;
    Node root = insertRootNode(project, "Root", {0, 0});
    std::vector<Node> parents;
    for (int i = 0; i < 20; ++i)
        parents.push_back(insertChildNode(project, *project.graph.node(root.uid), "Main " + std::to_string(i), {0, 0}));
    for (std::size_t next = 0; project.graph.count() < 10000; ++next) {
        const Node parent = *project.graph.node(parents[next % parents.size()].uid);
        parents.push_back(
            insertChildNode(project, parent, "Sub node " + std::to_string(project.graph.count()), {0, 0}));
    }
    return project;
}

void applyThemeFromPane(benchmark::State& state)
{
    ScopedStandardUserDefaults settings;
    auto doc = std::make_shared<VQDocument>();
    doc->projectForLoading() = themedProject();
    DocumentStyleInspector pane;
    pane.setDocument(doc);
    pane.loadViewIfNeeded();
    pane.applyShapesCheckbox->setChecked(true);
    pane.autosizeNodesCheckbox->setChecked(state.range(0) != 0);
    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    std::size_t i = 0;
    for (auto _ : state)
        pane.applyTheme(styles[i++ % styles.size()]);
    benchmark::DoNotOptimize(doc->project().graph.count());
}
BENCHMARK(applyThemeFromPane)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole application of a theme in a shown editor window, until the canvas has painted the new look.
void applyThemeInWindow(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    ScopedStandardUserDefaults settings;
    auto doc = std::make_shared<VQDocument>();
    doc->projectForLoading() = themedProject();
    DocumentLayout(*doc).autoLayoutGraph(true);
    MindMapEditorWindowController window(doc, QStringLiteral("bench"));
    window.resize(1400, 900);
    window.show();
    RunLoop::drain();
    QApplication::processEvents();
    EditorContentViewController* content = window.contentViewController()->editorContentViewController();
    GraphView* canvas = content->graphView();
    auto* bar = static_cast<InspectorBarController*>(window.contentViewController()->inspectorBarController());
    auto* pane = static_cast<DocumentStyleInspector*>(bar->documentStyleInspector());
    pane->applyShapesCheckbox->setChecked(true);
    pane->autosizeNodesCheckbox->setChecked(true);
    canvas->repaint();
    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    std::size_t i = 0;
    double documentMs = 0, canvasMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        pane->applyTheme(styles[i++ % styles.size()]);
        documentMs += double(clock.nsecsElapsed()) / 1e6;
        clock.restart();
        RunLoop::drain();
        canvas->repaint();
        canvasMs += double(clock.nsecsElapsed()) / 1e6;
    }
    const double n = double(state.iterations());
    state.counters["document_ms"] = documentMs / n;
    state.counters["canvas_ms"] = canvasMs / n;
    benchmark::DoNotOptimize(doc->project().graph.count());
    window.close();
    RunLoop::drain();
}
BENCHMARK(applyThemeInWindow)->Unit(benchmark::kMillisecond)->Iterations(24);

} // namespace
