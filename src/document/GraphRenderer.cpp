#include "document/GraphRenderer.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace velquine {

namespace {

std::shared_ptr<const GraphRenderer>& installedRenderer()
{
    static std::shared_ptr<const GraphRenderer> renderer;
    return renderer;
}

} // namespace

GraphRenderOptions cutBetweenParts(GraphRenderOptions options, std::function<void()> cut)
{
    options.betweenParts = [cut = std::move(cut), then = std::move(options.betweenParts)] {
        cut();
        if (then)
            then();
    };
    return options;
}

void GraphRenderer::renderRows(const VQProject& project, const Rect& bounds, const QSize& pixels,
                               const GraphRenderOptions& options, int bandHeight,
                               const std::function<void(const QImage& band, int firstRow)>& deliver) const
{
    paintBands(bounds, pixels, bandHeight,
               [&](QPainter& painter, const QRectF& target, const Rect& part) { render(painter, target, project, part, options); },
               deliver);
}

void GraphRenderer::paintBands(const Rect& bounds, const QSize& pixels, int bandHeight,
                               const std::function<void(QPainter& painter, const QRectF& target, const Rect& part)>& paint,
                               const std::function<void(const QImage& band, int firstRow)>& deliver)
{
    const double pointsPerRow = bounds.height() / pixels.height();
    for (int first = 0; first < pixels.height(); first += std::max(1, bandHeight)) {
        const int rows = std::min(std::max(1, bandHeight), pixels.height() - first);
        QImage band(pixels.width(), rows, QImage::Format_ARGB32_Premultiplied);
        band.fill(Qt::transparent);
        {
            QPainter painter(&band);
            painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
            paint(painter, QRectF(0, 0, pixels.width(), rows),
                  Rect(bounds.minX(), bounds.minY() + first * pointsPerRow, bounds.width(), rows * pointsPerRow));
        }
        deliver(band, first);
    }
}

void GraphRenderer::install(std::shared_ptr<const GraphRenderer> renderer)
{
    installedRenderer() = std::move(renderer);
}

std::shared_ptr<const GraphRenderer> GraphRenderer::installed()
{
    return installedRenderer();
}

} // namespace velquine
