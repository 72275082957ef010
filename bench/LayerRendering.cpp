// Painting a canvas-sized layer tree: 5,000 node-like layers (a rounded shape and a two-line label each,
// painted from cached pictures) and 5,000 branch paths on a 1600 × 1000 view, software raster.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

#include "canvas/layers/BranchLayer.h"
#include "platform/AttributedString.h"
#include "platform/layer/Animator.h"
#include "platform/layer/Layer.h"
#include "platform/layer/LayerBandPainter.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/TextLayer.h"
#include "platform/layer/Transaction.h"

using namespace velquine;

namespace {

constexpr int columns = 50, rows = 100;
constexpr double cellWidth = 128, cellHeight = 40, nodeWidth = 100, nodeHeight = 30;

std::shared_ptr<Layer> makeNode(int index, Point center)
{
    auto node = std::make_shared<Layer>();
    node->setFrame(Rect::centeredAt(center, {nodeWidth, nodeHeight}));
    node->setCachesPicture(true);
    auto shape = std::make_shared<ShapeLayer>();
    shape->setFrame({0, 0, nodeWidth, nodeHeight});
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, nodeWidth, nodeHeight), 6, 6);
    shape->setPath(outline);
    shape->setFillColor(QColor(220, 235, 250));
    shape->setStrokeColor(QColor(40, 90, 160));
    shape->setLineWidth(1.5);
    shape->setZPosition(-50);
    node->addSublayer(shape);
    auto label = std::make_shared<TextLayer>();
    label->setFrame({6, 1, nodeWidth - 12, nodeHeight - 2});
    label->setWrapped(true);
    label->setAlignmentMode(TextAlignment::center);
    TextAttributes attributes;
    attributes.font = Font::systemFont(11);
    label->setString(AttributedString("Node " + std::to_string(index) + "\nsecond line", attributes));
    label->setZPosition(10);
    node->addSublayer(label);
    return node;
}

std::shared_ptr<ShapeLayer> makeBranch(Point from, Point to)
{
    auto branch = std::make_shared<ShapeLayer>();
    branch->setFrame({0, 0, columns * cellWidth, rows * cellHeight});
    QPainterPath path;
    path.moveTo(from.x, from.y);
    path.cubicTo((from.x + to.x) / 2, from.y, (from.x + to.x) / 2, to.y, to.x, to.y);
    branch->setPath(path);
    branch->setFillColor(QColor());
    branch->setStrokeColor(QColor(90, 90, 90));
    branch->setLineWidth(2);
    branch->setZPosition(-20);
    return branch;
}

struct Canvas {
    std::shared_ptr<Layer> root = std::make_shared<Layer>();
    QImage image{1600, 1000, QImage::Format_ARGB32_Premultiplied};

    Canvas()
    {
        Transaction noActions(true);
        root->setAnchorPoint({0, 0});
        root->setBounds({0, 0, columns * cellWidth, rows * cellHeight});
        root->setBackgroundColor(Qt::white);
        for (int i = 0; i < columns * rows; ++i) {
            const Point center{(i % columns + 0.5) * cellWidth, (i / columns + 0.5) * cellHeight};
            const int parent = i % columns == 0 ? i : i - 1;
            const Point parentCenter{(parent % columns + 0.5) * cellWidth, (parent / columns + 0.5) * cellHeight};
            if (parent != i)
                root->addSublayer(makeBranch({parentCenter.x + nodeWidth / 2, parentCenter.y},
                                             {center.x - nodeWidth / 2, center.y}));
            root->addSublayer(makeNode(i, center));
        }
    }

    // The source rectangle of the document shown on the whole view.
    bool paint(const Rect& source, const Rect& exposed = Rect::null(), double rebuildBudget = -1)
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        LayerRenderOptions options;
        options.sourceRect = source;
        options.targetRect = QRectF(0, 0, 1600, 1000);
        if (!exposed.isNull()) {
            options.exposedRect = exposed;
            const double s = 1600 / source.size.width;
            painter.setClipRect(QRectF((exposed.origin.x - source.origin.x) * s, (exposed.origin.y - source.origin.y) * s,
                                       exposed.size.width * s, exposed.size.height * s));
        }
        options.pictureRebuildBudget = rebuildBudget;
        return LayerRenderer::render(painter, *root, options);
    }
};

Canvas& canvas()
{
    static Canvas instance;
    return instance;
}

const Rect zoomedOut{0, 0, 6400, 4000};  // magnification 0.25

void BM_FullRepaintZoomedOut(benchmark::State& state)
{
    Canvas& c = canvas();
    c.paint(zoomedOut);  // pictures cached at this scale
    for (auto _ : state)
        c.paint(zoomedOut);
    state.counters["pictures"] = double(LayerRenderer::statistics().picturesDrawn);
}
BENCHMARK(BM_FullRepaintZoomedOut)->Unit(benchmark::kMillisecond);

void BM_ExposedRectRepaintAtMagnification1(benchmark::State& state)
{
    Canvas& c = canvas();
    const Rect view{2400, 1500, 1600, 1000};
    const Rect exposed{3100, 1900, 200, 150};
    c.paint(view);
    for (auto _ : state)
        c.paint(view, exposed);
}
BENCHMARK(BM_ExposedRectRepaintAtMagnification1)->Unit(benchmark::kMillisecond);

// Every visible picture is rebuilt: the scale alternates between two zoom steps.
void BM_RebuildPicturesAfterZoomStep(benchmark::State& state)
{
    Canvas& c = canvas();
    bool other = false;
    std::size_t rebuilt = 0;
    for (auto _ : state) {
        other = !other;
        LayerRenderer::statistics() = {};
        c.paint(other ? Rect(0, 0, 6400 * 0.8, 4000 * 0.8) : zoomedOut);
        rebuilt += LayerRenderer::statistics().picturesRebuilt;
    }
    state.counters["rebuilt/iteration"] = double(rebuilt) / double(state.iterations());
}
BENCHMARK(BM_RebuildPicturesAfterZoomStep)->Unit(benchmark::kMillisecond);

// The first paint after a zoom step as the canvas widget does it: 8 ms of rebuilding, the rest resampled.
void BM_FirstPaintAfterZoomStepWithRebuildBudget(benchmark::State& state)
{
    Canvas& c = canvas();
    bool other = false;
    std::size_t resampled = 0;
    for (auto _ : state) {
        other = !other;
        LayerRenderer::statistics() = {};
        c.paint(other ? Rect(0, 0, 6400 * 0.8, 4000 * 0.8) : zoomedOut, Rect::null(), 0.008);
        resampled += LayerRenderer::statistics().picturesResampled;
    }
    state.counters["resampled/iteration"] = double(resampled) / double(state.iterations());
}
BENCHMARK(BM_FirstPaintAfterZoomStepWithRebuildBudget)->Unit(benchmark::kMillisecond);

// Moving every node once inside one transaction, while a host listens for changed areas as the canvas
// widget does (each area separately until 64, then one whole repaint and no more areas).
void BM_MoveEveryNodeWithAHostListening(benchmark::State& state)
{
    Canvas& c = canvas();
    int reported = 0;
    c.root->setDirtyAreaHandler([&](const Rect&) {
        if (++reported > 64)
            c.root->setReportsDirtyAreas(false);
    });
    double shift = 1;
    for (auto _ : state) {
        reported = 0;
        c.root->setReportsDirtyAreas(true);
        Transaction noActions(true);
        for (const auto& layer : c.root->sublayers())
            if (layer->cachesPicture())
                layer->setPosition(layer->position() + Point{shift, 0});
        shift = -shift;
    }
    c.root->setDirtyAreaHandler({});
}
BENCHMARK(BM_MoveEveryNodeWithAHostListening)->Unit(benchmark::kMillisecond);

void BM_FullRepaintZoomedOutWithoutPictures(benchmark::State& state)
{
    Canvas& c = canvas();
    for (auto _ : state) {
        QPainter painter(&c.image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        LayerRenderOptions options;
        options.sourceRect = zoomedOut;
        options.targetRect = QRectF(0, 0, 1600, 1000);
        options.usePictureCache = false;
        LayerRenderer::render(painter, *c.root, options);
    }
}
BENCHMARK(BM_FullRepaintZoomedOutWithoutPictures)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

double processSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The glide after a child is added at the end of a long list: every branch line of a node with many children
// morphs to its child's new place (half a row up) over a quarter of a second, painted frame after frame (sixty
// a second, on a clock stepped by hand) in bands on a 1600 x 1000 view centred on the parent, as the canvas
// widget paints it, with rows and lines as a pasted list shows them. Every line starts at the parent, so all of
// them cross the view. Reports the mean frame, the slowest, and the CPU time of all threads per frame; and,
// apart, the paint of a thin strip across the fan, as a scroll brings into view each frame.
void BM_GlideOfAWideFan(benchmark::State& state)
{
    const int children = int(state.range(0));
    constexpr double rowHeight = 54;
    const double height = children * rowHeight + 1000, parentY = height / 2;
    auto root = std::make_shared<Layer>();
    std::vector<std::shared_ptr<BranchLayer>> branches;
    double now = 0;
    Animator::shared().setTimeSource([&now] { return now; });
    {
        Transaction noActions(true);
        root->setAnchorPoint({0, 0});
        root->setBounds({0, 0, 1600, height});
        root->setBackgroundColor(Qt::white);
        for (int i = 0; i < children; ++i) {
            auto branch = std::make_shared<BranchLayer>();
            branch->setFrame({0, 0, 1600, height});
            branch->setStrokeColor(QColor(90, 90, 90));
            branch->setLineWidth(3.75);
            branch->parentNodeUID = 1;
            branch->childNodeUID = i + 2;
            root->addSublayer(branch);
            branches.push_back(branch);
        }
    }
    const auto placeChildren = [&](double shift) {
        for (int i = 0; i < children; ++i) {
            const double y = parentY + (i - children / 2) * rowHeight + shift;
            branches[std::size_t(i)]->setDockPoints({{700, parentY}, {900, y}, {760, parentY}, {840, y}});
            branches[std::size_t(i)]->updatePath();
        }
    };
    {
        Transaction noActions(true);
        placeChildren(0);
    }
    QImage image(1600, 1000, QImage::Format_ARGB32_Premultiplied);
    LayerBandPainter bands;
    LayerRenderOptions options;
    options.sourceRect = Rect(0, parentY - 500, 1600, 1000);
    options.targetRect = QRectF(0, 0, 1600, 1000);
    const auto paint = [&] {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        bands.render(painter, *root, options, image.rect(), [&](const QRect& part) {
            return Rect(part.x(), parentY - 500 + part.y(), part.width(), part.height());
        });
    };
    paint();
    // A strip a scroll brings into view, two pixels wide, just right of the parent: every line crosses it.
    QImage strip(2, 1000, QImage::Format_ARGB32_Premultiplied);
    LayerRenderOptions stripOptions;
    stripOptions.sourceRect = Rect(770, parentY - 500, 2, 1000);
    const auto paintStrip = [&] {
        QPainter painter(&strip);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        bands.render(painter, *root, stripOptions, strip.rect(), [&](const QRect& part) {
            return Rect(770 + part.x(), parentY - 500 + part.y(), part.width(), part.height());
        });
    };
    double slowest = 0, total = 0, tickTime = 0, slowestTick = 0, cpu = 0, stripTime = 0;
    int frames = 0;
    bool up = true;
    for (auto _ : state) {
        {
            Transaction glide;
            placeChildren(up ? -rowHeight / 2 : 0);
        }
        up = !up;
        const double end = now + Transaction::defaultAnimationDuration + 1.0 / 60;
        double glideTime = 0;
        while (now < end) {
            now += 1.0 / 60;
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = processSeconds();
            Animator::shared().tick();
            const double tickSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            tickTime += tickSeconds;
            slowestTick = std::max(slowestTick, tickSeconds);
            paint();
            // What the window's event loop does between frames.
            QCoreApplication::processEvents();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            slowest = std::max(slowest, seconds);
            cpu += processSeconds() - cpuStart;
            glideTime += seconds;
            ++frames;
            const auto stripStart = std::chrono::steady_clock::now();
            paintStrip();
            stripTime += std::chrono::duration<double>(std::chrono::steady_clock::now() - stripStart).count();
        }
        total += glideTime;
        state.SetIterationTime(glideTime);
    }
    state.counters["frame ms"] = total / std::max(1, frames) * 1000;
    state.counters["slowest ms"] = slowest * 1000;
    state.counters["CPU ms"] = cpu / std::max(1, frames) * 1000;
    state.counters["tick ms"] = tickTime / std::max(1, frames) * 1000;
    state.counters["slowest tick ms"] = slowestTick * 1000;
    state.counters["strip ms"] = stripTime / std::max(1, frames) * 1000;
    Animator::shared().setTimeSource({});
}
BENCHMARK(BM_GlideOfAWideFan)->Arg(2000)->Arg(20000)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);

} // namespace
