// The document's clipboard on large maps: copying a subtree with its text forms, pasting it back, and
// inserting a pasted text outline as new trees.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "document/DocumentInsertion.h"
#include "document/VQDocument.h"
#include "document/DocumentClipboard.h"
#include "exchange/PlainTextImporter.h"
#include "platform/Pasteboard.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

using namespace velquine;

namespace {

// A root with main nodes of 99 children each.
std::unique_ptr<VQDocument> largeDocument(int nodeCount)
{
    auto document = std::make_unique<VQDocument>();
    std::vector<Node> nodes;
    Node root(1, std::nullopt, NodeStyle());
    root.title = "root";
    nodes.push_back(root);
    std::int64_t uid = 2;
    for (int main = 0; uid <= nodeCount; ++main) {
        const std::int64_t mainUID = uid++;
        Node m(mainUID, 1, NodeStyle());
        m.title = "main";
        m.center = {300.0, 50.0 * main};
        nodes[0].childrenUIDs.push_back(mainUID);
        const std::size_t mainIndex = nodes.size();
        nodes.push_back(m);
        for (int i = 0; i < 99 && uid <= nodeCount; ++i, ++uid) {
            Node s(uid, mainUID, NodeStyle());
            s.title = "sub node with a title";
            s.center = {600.0 + 10.0 * i, 50.0 * main};
            nodes[mainIndex].childrenUIDs.push_back(uid);
            nodes.push_back(s);
        }
    }
    document->projectForLoading().graph.storeNodes(nodes);
    return document;
}

// Copies the whole tree: node list, marker, rich text, plain text and OPML.
void copyTree(benchmark::State& state)
{
    ScopedStandardUserDefaults defaults;
    UserDefaults::standard().set("copyRichTextToPasteboard", true);
    auto document = largeDocument(static_cast<int>(state.range(0)));
    const Node root = document->project().graph.node(1).value();
    Pasteboard board;
    for (auto _ : state)
        benchmark::DoNotOptimize(DocumentClipboard(*document).copyNodesToPasteBoard({root}, board));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(copyTree)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Pastes the copied tree into a fresh document keeping its styles (decoding, renumbering, storing).
void pasteTree(benchmark::State& state)
{
    ScopedStandardUserDefaults defaults;
    auto source = largeDocument(static_cast<int>(state.range(0)));
    Pasteboard board;
    DocumentClipboard(*source).copyNodesToPasteBoard({source->project().graph.node(1).value()}, board);
    for (auto _ : state) {
        VQDocument target;
        target.beginEditingSession("Paste");
        benchmark::DoNotOptimize(DocumentClipboard(target).pasteNodesFromPasteBoard({0, 0}, true, board));
        target.commitEditingSession();
        state.PauseTiming();
        RunLoop::drain();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(pasteTree)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Inserts a text outline of ten-line trees: every node created, sized, laid out and placed.
void insertOutline(benchmark::State& state)
{
    ScopedStandardUserDefaults defaults;
    std::string text;
    for (int i = 0; i < state.range(0); ++i)
        text += (i % 10 == 0 ? "Top " : "\tchild ") + std::to_string(i) + "\n";
    for (auto _ : state) {
        state.PauseTiming();
        const std::vector<Node> nodes = PlainTextImporter::importNodes(text);
        VQDocument target;
        target.beginEditingSession("Import");
        state.ResumeTiming();
        benchmark::DoNotOptimize(DocumentInsertion(target).insertNodes(nodes, {0, 0}));
        state.PauseTiming();
        target.commitEditingSession();
        RunLoop::drain();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(insertOutline)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace
