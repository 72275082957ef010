// The document's editing path: committing a session on a large map (the whole-project snapshot) and posting a
// node update that every listener hears of.
#include <benchmark/benchmark.h>

#include <memory>

#include "document/VQDocument.h"
#include "platform/RunLoop.h"

using namespace velquine;

namespace {

// A root with 100 main nodes of 99 children each: 10,000 nodes.
std::unique_ptr<VQDocument> largeDocument(int nodeCount)
{
    auto document = std::make_unique<VQDocument>();
    std::vector<Node> nodes;
    nodes.reserve(static_cast<std::size_t>(nodeCount));
    Node root(1, std::nullopt, NodeStyle());
    root.title = "root";
    nodes.push_back(root);
    std::int64_t uid = 2;
    const int perBranch = 100;
    for (std::int64_t main = 0; uid <= nodeCount && main < perBranch; ++main) {
        const std::int64_t mainUID = uid++;
        Node m(mainUID, 1, NodeStyle());
        m.title = "main";
        m.center = {300.0, 50.0 * static_cast<double>(main)};
        nodes[0].childrenUIDs.push_back(mainUID);
        const std::size_t mainIndex = nodes.size();
        nodes.push_back(m);
        for (int i = 0; i < perBranch - 1 && uid <= nodeCount; ++i) {
            Node s(uid, mainUID, NodeStyle());
            s.title = "sub node with a title";
            s.center = {600.0 + 10.0 * i, 50.0 * static_cast<double>(main)};
            nodes[mainIndex].childrenUIDs.push_back(uid);
            nodes.push_back(s);
            ++uid;
        }
    }
    document->projectForLoading().graph.storeNodes(nodes);
    return document;
}

class NullListener : public VQDocumentEventListener {
public:
    void documentDidUpdateNodes(const std::vector<Node>& nodes, NodeUpdateOperation) override
    {
        benchmark::DoNotOptimize(nodes.data());
    }
};

// Open, change one title, commit: the snapshot copy of the whole project and the undo registration.
void commitSession(benchmark::State& state)
{
    auto document = largeDocument(static_cast<int>(state.range(0)));
    Node node = document->project().graph.node(2).value();
    for (auto _ : state) {
        document->beginEditingSession("Change Label");
        node.title += "x";
        document->updateNodes({node}, NodeUpdateOperation::title, false);
        document->commitEditingSession();
        state.PauseTiming();
        RunLoop::drain();
        document->undoManager()->removeAllActions(); // each step holds a project copy
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(commitSession)->Arg(10000)->Unit(benchmark::kMillisecond);

// Stores 1,000 nodes with notification on and delivers the event to ten listeners.
void postUpdate(benchmark::State& state)
{
    auto document = largeDocument(10000);
    std::vector<std::shared_ptr<NullListener>> listeners;
    for (int i = 0; i < 10; ++i) {
        listeners.push_back(std::make_shared<NullListener>());
        document->registerEventListener(listeners.back());
    }
    document->setSessionFlag(true);
    std::vector<Node> batch;
    for (std::int64_t uid = 2; uid < 2 + state.range(0); ++uid)
        batch.push_back(document->project().graph.node(uid).value());
    for (auto _ : state) {
        for (Node& node : batch)
            node.center.x += 1.0;
        benchmark::DoNotOptimize(document->updateNodes(batch, NodeUpdateOperation::fillColor, true));
        RunLoop::drain();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(postUpdate)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
