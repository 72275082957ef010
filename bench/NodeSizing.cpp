// Sizing nodes to their titles, and restyling a whole project: what a theme change or a paste of many
// nodes costs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "layout/NodeSizing.h"
#include "layout/VQProjectEdits.h"
#include "model/project/VQProject.h"

using namespace velquine;

namespace {

std::vector<Node> titledNodes(std::size_t count, bool multiLine)
{
    std::vector<Node> nodes;
    nodes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Node n(-1, std::nullopt, NodeStyle());
        n.style.font = Font::systemFont(i % 2 ? 16.0 : 14.0);
        n.title = multiLine ? "A longer node title number " + std::to_string(i) +
                                  " that wraps over several lines\nand has a second paragraph"
                            : "Node " + std::to_string(i);
        n.size = {98, 38};
        nodes.push_back(n);
    }
    return nodes;
}

void autosizeOneLine(benchmark::State& state)
{
    const std::vector<Node> nodes = titledNodes(std::size_t(state.range(0)), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(autosizeNodes(nodes));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(autosizeOneLine)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void autosizeMultiLine(benchmark::State& state)
{
    const std::vector<Node> nodes = titledNodes(std::size_t(state.range(0)), true);
    for (auto _ : state)
        benchmark::DoNotOptimize(autosizeNodes(nodes));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(autosizeMultiLine)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One title of 100,000 characters: words (0), or one unbroken word (1). Each time a title not measured just
// before, as when it is typed or pasted.
void autosizeVeryLongTitle(benchmark::State& state)
{
    std::string title;
    if (state.range(0) == 0) {
        for (int i = 0; title.size() < 100000; ++i)
            title += "word" + std::to_string(i % 97) + " ";
    } else {
        title = std::string(100000, 'a');
    }
    std::vector<Node> nodes;
    for (int k = 0; k < 8; ++k) {
        Node n(-1, std::nullopt, NodeStyle());
        n.style.font = Font::systemFont(16.0);
        n.title = std::string(std::size_t(k + 1), 'b') + title;
        nodes.push_back(n);
    }
    std::size_t next = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(autosizeNode(nodes[next++ % nodes.size()]));
}
BENCHMARK(autosizeVeryLongTitle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(4);

// A root with 20 main nodes, each heading a subtree of sub nodes, 10,000 nodes in all.
VQProject largeProject()
{
    VQProject project;
    Node root = insertRootNode(project, "Root", {0, 0});
    std::vector<Node> mains;
    for (int i = 0; i < 20; ++i)
        mains.push_back(insertChildNode(project, *project.graph.node(root.uid), "Main " + std::to_string(i), {0, 0}));
    std::vector<Node> parents = mains;
    std::size_t next = 0;
    while (project.graph.count() < 10000) {
        const Node parent = *project.graph.node(parents[next % parents.size()].uid);
        parents.push_back(
            insertChildNode(project, parent, "Sub node " + std::to_string(project.graph.count()), {0, 0}));
        ++next;
    }
    return project;
}

void applyStyle(benchmark::State& state)
{
    const VQProject base = largeProject();
    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    const bool autosize = state.range(0) != 0;
    std::size_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        VQProject project = base;
        state.ResumeTiming();
        applyStyle(project, styles[i++ % styles.size()], true, true, autosize);
        benchmark::DoNotOptimize(project.graph.count());
    }
}
BENCHMARK(applyStyle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
