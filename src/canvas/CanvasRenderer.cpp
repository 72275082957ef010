#include "canvas/CanvasRenderer.h"

#include <QPaintEngine>
#include <QImage>
#include <QPainter>

#include <memory>

#include "canvas/GraphView.h"
#include "model/project/VQProject.h"
#include "platform/layer/Layer.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

// The canvas of printingView, its layers laid out by the caller's transaction.
std::unique_ptr<GraphView> makePrintingView(const VQProject& project, const Rect& bounds,
                                           const GraphRenderOptions& options)
{
    auto view = std::make_unique<GraphView>(Rect(0, 0, bounds.size.width, bounds.size.height));
    view->setPrintingMode(true);
    view->setBoundsRect(bounds);
    view->setBaseLayoutOptions(project.baseLayoutOptions);
    view->beginSyncLock();
    view->setGraph(project.graph);
    view->setProjectStyle(project.projectStyle);
    Grid grid = project.grid;
    if (!options.renderGrid)
        grid.type = GridType::noGrid;
    view->setGrid(grid);
    view->endSyncLock();
    view->backgroundLayer().setHidden(options.transparentBackground);
    return view;
}

// A canvas in printing mode over the project, its view coordinates the map's, showing bounds. With
// betweenParts, the labels of its nodes, which take as long to lay out as the layers to make, are laid out after
// the layers are made, in parts, with betweenParts called after each (unless a transaction around holds them).
std::unique_ptr<GraphView> printingView(const VQProject& project, const Rect& bounds, const GraphRenderOptions& options)
{
    std::vector<std::weak_ptr<Layer>> layouts;
    std::unique_ptr<GraphView> view;
    const bool inParts = options.betweenParts && Transaction::depth() == 0;
    {
        Transaction building;
        view = makePrintingView(project, bounds, options);
        if (inParts)
            layouts = Transaction::takeScheduledLayouts();
    }
    if (inParts) {
        options.betweenParts();
        Transaction::layOut(layouts, options.betweenParts);
    }
    return view;
}

bool drawable(const Rect& bounds)
{
    return bounds.size.isFinite() && bounds.size.width > 0 && bounds.size.height > 0;
}

} // namespace

void CanvasRenderer::render(QPainter& painter, const QRectF& target, const VQProject& project, const Rect& bounds,
                            const GraphRenderOptions& options) const
{
    if (!drawable(bounds) || target.isEmpty())
        return;
    std::unique_ptr<GraphView> view = printingView(project, bounds, options);
    // A big map's canvas takes long to build, draw and let go of: the windows repaint between those steps too
    // (and between the parts it is drawn in), so that no step adds to another's wait.
    const auto betweenSteps = [&options] {
        if (options.betweenParts)
            options.betweenParts();
    };
    betweenSteps();
    // PDF and printer output keep vector drawing; cached pictures are bitmaps.
    const QPaintEngine* engine = painter.paintEngine();
    const bool vector = engine && (engine->type() == QPaintEngine::Pdf || engine->type() == QPaintEngine::Picture);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    view->render(painter, target, bounds, vector, options.betweenParts);
    painter.restore();
    betweenSteps();
    view.reset();
    betweenSteps();
}

void CanvasRenderer::renderRows(const VQProject& project, const Rect& bounds, const QSize& pixels,
                                const GraphRenderOptions& options, int bandHeight,
                                const std::function<void(const QImage& band, int firstRow)>& deliver) const
{
    if (!drawable(bounds) || pixels.isEmpty())
        return;
    const std::unique_ptr<GraphView> view = printingView(project, bounds, options);
    paintBands(bounds, pixels, bandHeight,
               [&view](QPainter& painter, const QRectF& target, const Rect& part) { view->render(painter, target, part); },
               deliver);
}

void CanvasRenderer::install()
{
    GraphRenderer::install(std::make_shared<CanvasRenderer>());
}

} // namespace velquine
