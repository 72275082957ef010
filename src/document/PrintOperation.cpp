#include "document/PrintOperation.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <functional>

#include "document/GraphRenderer.h"
#include "document/VQDocument.h"
#include "platform/LongWork.h"
#include "platform/PictureParts.h"

namespace velquine {

Rect printBounds(const Graph& graph, Size paperSize)
{
    const double ratio = paperSize.height > 0 ? paperSize.width / paperSize.height : 1.0;
    Rect rect = graph.printRect(ratio);
    if (rect.size.height < paperSize.height)
        rect.size.height = paperSize.height;
    if (rect.size.width < paperSize.width)
        rect.size.width = paperSize.width;
    return rect;
}

PrintOperation::PrintOperation(QPageLayout pageLayout, VQProject project,
                               std::shared_ptr<const GraphRenderer> renderer)
    : pageLayout_(std::move(pageLayout)), project_(std::move(project)), renderer_(std::move(renderer))
{
    const QRectF paper = pageLayout_.fullRect(QPageLayout::Point);
    paperSize_ = Size{paper.width(), paper.height()};
    viewBounds_ = printBounds(project_.graph, paperSize_);
}

bool PrintOperation::paintPage(QPainter& painter, const QRectF& pageRect) const
{
    return paintPage(painter, pageRect, {});
}

bool PrintOperation::paintPage(QPainter& painter, const QRectF& pageRect, std::function<void()> betweenParts) const
{
    if (!renderer_ || paperSize_.width <= 0 || paperSize_.height <= 0 || pageRect.isEmpty())
        return false;
    // The view's frame is the paper; it is fitted onto the page, centred both ways.
    const double scale = std::min(pageRect.width() / paperSize_.width, pageRect.height() / paperSize_.height);
    const QSizeF frame(paperSize_.width * scale, paperSize_.height * scale);
    const QRectF target(pageRect.center().x() - frame.width() / 2, pageRect.center().y() - frame.height() / 2,
                        frame.width(), frame.height());
    GraphRenderOptions options;
    options.renderGrid = true;
    options.betweenParts = std::move(betweenParts);
    painter.save();
    renderer_->render(painter, target, project_, viewBounds_, options);
    painter.restore();
    return true;
}

bool PrintOperation::run(QPagedPaintDevice& device) const
{
    if (!renderer_)
        return false;
    device.setPageLayout(pageLayout_);
    const QRectF page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    const QRectF pageRect(0, 0, page.width(), page.height());
    // The map is drawn here in parts, recorded, and played onto the device on a worker while the next part is
    // drawn: the device's own work (a PDF page compressed, a print job made) keeps no window waiting.
    bool opened = false;
    bool painted = false;
    recordWhilePlaying(
        pageRect.size().toSize(),
        [&](QPainter& painter, const std::function<void()>& cut) {
            painted = paintPage(painter, pageRect, [&cut] {
                cut();
                LongWork::letLoopRun();
            });
        },
        [&](PictureQueue& parts) {
            QPainter painter;
            opened = painter.begin(&device);
            if (opened)
                playParts(painter, parts);
        });
    return opened && painted;
}

std::unique_ptr<PrintOperation> printOperation(VQDocument& document)
{
    QPageLayout& printInfo = document.printInfo;
    printInfo.setOrientation(QPageLayout::Landscape);
    printInfo.setUnits(QPageLayout::Point);
    // Margins below a printer's minimum are kept only in full-page mode.
    printInfo.setMode(QPageLayout::FullPageMode);
    printInfo.setMargins(QMarginsF(0, 0, 0, 0));
    return std::make_unique<PrintOperation>(printInfo, document.project(), GraphRenderer::installed());
}

} // namespace velquine
