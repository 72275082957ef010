// The canvas's node and branch layers: making the layers of a large map, a layout pass that changes no
// content, and a full repaint of real node and branch layers zoomed out on a 1600 × 1000 view.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <memory>
#include <vector>

#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/Transaction.h"

using namespace velquine;

namespace {

constexpr int columns = 50;
constexpr double cellWidth = 128, cellHeight = 48;

Node nodeAt(int index)
{
    Node node(-1, std::nullopt, NodeStyle());
    node.title = "Node " + std::to_string(index);
    node.shape = NodeShape::roundedRect;
    node.style.font = Font::systemFont(12);
    node.size = {100, 36};
    node.center = {(index % columns + 0.5) * cellWidth, (index / columns + 0.5) * cellHeight};
    return node;
}

std::shared_ptr<NodeLayer> makeLayer(const Node& node, Layer& root)
{
    auto layer = std::make_shared<NodeLayer>();
    layer->setBounds(Rect({0, 0}, node.size));
    layer->setPosition(node.center);
    layer->setNode(node);
    layer->updateContents();
    root.addSublayer(layer);
    return layer;
}

struct Map {
    std::shared_ptr<Layer> root = std::make_shared<Layer>();
    std::vector<std::shared_ptr<NodeLayer>> nodes;

    explicit Map(int count)
    {
        Transaction noActions(true);
        root->setAnchorPoint({0, 0});
        root->setBounds({0, 0, columns * cellWidth, (count / columns + 1) * cellHeight});
        root->setBackgroundColor(Qt::white);
        for (int i = 0; i < count; ++i)
            nodes.push_back(makeLayer(nodeAt(i), *root));
        for (int i = 0; i < count; ++i) {
            if (i % columns == 0)
                continue;
            auto branch = std::make_shared<BranchLayer>();
            branch->setAnchorPoint({0, 0});
            branch->setFrame(root->bounds());
            branch->parentNodeUID = i;
            branch->childNodeUID = i + 1;
            branch->setLineWidth(2.25);
            branch->horizontalDockPoints(*nodes[std::size_t(i - 1)], *nodes[std::size_t(i)],
                                         LayoutOptions::BranchType::rounded);
            branch->updatePath();
            root->addSublayer(branch);
        }
        root->layoutIfNeeded();
    }
};

// Layers made, filled and laid out, as a reload of a new map does.
void BM_MakeNodeLayers(benchmark::State& state)
{
    const int count = int(state.range(0));
    std::vector<Node> nodes;
    for (int i = 0; i < count; ++i)
        nodes.push_back(nodeAt(i));
    std::size_t sublayers = 0;
    for (auto _ : state) {
        auto root = std::make_shared<Layer>();
        {
            Transaction noActions(true);
            for (const Node& node : nodes)
                makeLayer(node, *root);
        }
        root->layoutIfNeeded();
        sublayers = 0;
        for (const auto& layer : root->sublayers())
            sublayers += layer->sublayers().size();
    }
    state.counters["sublayers/node"] = double(sublayers) / count;
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_MakeNodeLayers)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

// Every node lays out again (as after its hover button moved) without its content changing.
void BM_LayoutPassWithoutContentChange(benchmark::State& state)
{
    static Map map(5000);
    for (auto _ : state) {
        Transaction noActions(true);
        for (const auto& layer : map.nodes)
            layer->setNeedsLayout();
        map.root->layoutIfNeeded();
    }
}
BENCHMARK(BM_LayoutPassWithoutContentChange)->Unit(benchmark::kMillisecond);

void BM_FullRepaintZoomedOut(benchmark::State& state)
{
    static Map map(5000);
    QImage image(1600, 1000, QImage::Format_ARGB32_Premultiplied);
    LayerRenderOptions options;
    options.sourceRect = Rect(0, 0, 6400, 4000);
    options.targetRect = QRectF(0, 0, 1600, 1000);
    auto paint = [&] {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        LayerRenderer::render(painter, *map.root, options);
    };
    paint();
    for (auto _ : state)
        paint();
}
BENCHMARK(BM_FullRepaintZoomedOut)->Unit(benchmark::kMillisecond);

} // namespace
