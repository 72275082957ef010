// Image and PDF export of maps of 1,000 and 10,000 nodes, laid out horizontally and balanced, drawn through
// the program's canvas renderer: rendering plus PNG encoding, and rendering into a PDF page. A map too large
// for a picture is refused before any drawing; the time to refuse is what is measured then (the "refused"
// counter says which happened).
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QTimer>

#include "canvas/CanvasRenderer.h"
#include "document/VQDocument.h"
#include "document/DocumentExport.h"
#include "layout/HorizontalGraphLayouter.h"

#include <cstdint>
#include <vector>

using namespace velquine;

namespace {

// A root with up to eight children per node, filled level by level, titled and sized like typed nodes, then
// laid out as a balanced horizontal tree.
Graph balancedMap(std::int64_t count)
{
    std::vector<Node> nodes;
    nodes.reserve(static_cast<std::size_t>(count));
    NodeStyle style;
    style.font = Font::systemFont(14);
    for (std::int64_t uid = 1; uid <= count; ++uid) {
        std::optional<std::int64_t> parent;
        if (uid > 1)
            parent = (uid - 2) / 8 + 1;
        Node node(uid, parent, style);
        node.title = uid == 1 ? "Central topic" : "Topic number " + std::to_string(uid);
        node.size = {130.0 + static_cast<double>(uid % 4) * 10.0, 30.0};
        node.shape = uid % 3 == 0 ? NodeShape::underline : NodeShape::roundedRect;
        nodes.push_back(std::move(node));
    }
    for (std::int64_t uid = 2; uid <= count; ++uid)
        nodes[static_cast<std::size_t>(*nodes[static_cast<std::size_t>(uid - 1)].parentUID - 1)].childrenUIDs.push_back(uid);
    Graph graph;
    graph.storeNodes(nodes);
    const HorizontalGraphLayouter balancer(graph, 60.0, HorizontalGraphLayouter::LayoutSubtype::balanced, false, 10.0);
    graph.updateNodes(balancer.balance(*graph.findNode(1)));
    const HorizontalGraphLayouter layouter(graph, 60.0, HorizontalGraphLayouter::LayoutSubtype::balanced, false, 10.0);
    graph.updateNodes(layouter.layoutNodeTree(*graph.findNode(1)));
    return graph;
}

VQDocument& documentOf(std::int64_t count)
{
    static std::int64_t madeFor = 0;
    static VQDocument document;
    if (madeFor != count) {
        document.projectForLoading().graph = balancedMap(count);
        madeFor = count;
    }
    return document;
}

// Runs the export; a refusal (a thrown error) counts as done, and is reported in the "refused" counter.
template <typename Export>
void measure(benchmark::State& state, const Export& exportOnce)
{
    CanvasRenderer::install();
    const VQDocument& document = documentOf(state.range(0));
    const Rect area = DocumentExport::renderRect(document.project().graph);
    bool refused = false;
    std::size_t bytes = 0;
    for (auto _ : state) {
        try {
            bytes = exportOnce(document);
        } catch (const std::exception&) {
            refused = true;
        }
    }
    state.counters["refused"] = refused ? 1 : 0;
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["width"] = area.width();
    state.counters["height"] = area.height();
}

void BM_ExportPNG(benchmark::State& state)
{
    measure(state, [](const VQDocument& document) {
        const std::optional<Bytes> png = DocumentExport(document).renderPNG(GraphRenderOptions{});
        return png ? png->size() : 0;
    });
}
BENCHMARK(BM_ExportPNG)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole picture drawn at once, without encoding: what holding the picture in memory costs.
void BM_RenderOnly(benchmark::State& state)
{
    measure(state, [](const VQDocument& document) {
        return DocumentExport(document).renderImage(GraphRenderOptions{}).bitmap().sizeInBytes();
    });
}
BENCHMARK(BM_RenderOnly)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportPDF(benchmark::State& state)
{
    measure(state,
            [](const VQDocument& document) { return DocumentExport(document).renderPDF(GraphRenderOptions{}).size(); });
}
BENCHMARK(BM_ExportPDF)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The PDF export as the export window runs it, in parts with the main loop let run between them: "longest_ms" is
// the longest the main thread went without running its loop (a timer ticks whenever it runs), what a window
// waits for at most meanwhile.
void BM_ExportPDFInParts(benchmark::State& state)
{
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    const auto mark = [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    };
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, mark);
    int parts = 0;
    measure(state, [&](const VQDocument& document) {
        GraphRenderOptions options;
        options.betweenParts = [&] {
            ++parts;
            mark();
        };
        ticker.start();
        clock.start();
        last = 0;
        const std::size_t size = DocumentExport(document).renderPDF(options).size();
        mark();
        ticker.stop();
        return size;
    });
    state.counters["longest_ms"] = double(longest);
    state.counters["parts"] = double(parts) / double(state.iterations());
}
BENCHMARK(BM_ExportPDFInParts)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
