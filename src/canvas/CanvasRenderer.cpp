#include "canvas/CanvasRenderer.h"

#include <QPaintEngine>
#include <QPainter>

#include "canvas/GraphView.h"
#include "model/project/VQProject.h"
#include "platform/layer/Layer.h"

namespace velquine {

void CanvasRenderer::render(QPainter& painter, const QRectF& target, const VQProject& project, const Rect& bounds,
                            const GraphRenderOptions& options) const
{
    if (!bounds.size.isFinite() || !(bounds.size.width > 0) || !(bounds.size.height > 0) || target.isEmpty())
        return;
    GraphView view(Rect(0, 0, bounds.size.width, bounds.size.height));
    view.printingMode = true;
    view.setBoundsRect(bounds);
    view.baseLayoutOptions = project.baseLayoutOptions;
    view.beginSyncLock();
    view.setGraph(project.graph);
    view.setProjectStyle(project.projectStyle);
    Grid grid = project.grid;
    if (!options.renderGrid)
        grid.type = GridType::noGrid;
    view.setGrid(grid);
    view.endSyncLock();
    view.backgroundLayer().setHidden(options.transparentBackground);
    // PDF and printer output keep vector drawing; cached pictures are bitmaps.
    const QPaintEngine* engine = painter.paintEngine();
    const bool vector = engine && (engine->type() == QPaintEngine::Pdf || engine->type() == QPaintEngine::Picture);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    view.render(painter, target, bounds, vector);
    painter.restore();
}

void CanvasRenderer::install()
{
    GraphRenderer::install(std::make_shared<CanvasRenderer>());
}

} // namespace velquine
