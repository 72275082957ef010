// Applying a theme from the document style pane to a map of 10,000 nodes: restyle, autosize and layout in
// one undoable step.

#include <benchmark/benchmark.h>

#include <QCheckBox>

#include "document/VQDocument.h"
#include "inspector/DocumentStyleInspector.h"
#include "platform/UserDefaults.h"

using namespace velquine;

namespace {

// A root with 20 main nodes, each heading a subtree of sub nodes, 10,000 nodes in all.
VQProject themedProject()
{
    VQProject project;
    Node root = project.insertRootNode("Root", {0, 0});
    std::vector<Node> parents;
    for (int i = 0; i < 20; ++i)
        parents.push_back(project.insertChildNode(*project.graph.node(root.uid), "Main " + std::to_string(i), {0, 0}));
    for (std::size_t next = 0; project.graph.count() < 10000; ++next) {
        const Node parent = *project.graph.node(parents[next % parents.size()].uid);
        parents.push_back(project.insertChildNode(parent, "Sub node " + std::to_string(project.graph.count()), {0, 0}));
    }
    return project;
}

void applyThemeFromPane(benchmark::State& state)
{
    ScopedStandardUserDefaults settings;
    auto doc = std::make_shared<VQDocument>();
    doc->project = themedProject();
    DocumentStyleInspector pane;
    pane.setDocument(doc);
    pane.loadViewIfNeeded();
    pane.applyShapesCheckbox->setChecked(true);
    pane.autosizeNodesCheckbox->setChecked(state.range(0) != 0);
    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    std::size_t i = 0;
    for (auto _ : state)
        pane.applyTheme(styles[i++ % styles.size()]);
    benchmark::DoNotOptimize(doc->project.graph.count());
}
BENCHMARK(applyThemeFromPane)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
