#include "canvas/GraphView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWindow>

#include <cmath>

#include "canvas/GraphViewIndex.h"
#include "canvas/GridLayer.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "platform/Log.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/TextLayer.h"
#include "platform/layer/Transaction.h"

namespace velquine {

GraphView::GraphView(QWidget* parent) : GraphView(Rect(0, 0, 0, 0), parent) {}

GraphView::GraphView(Rect frame, QWidget* parent)
    : QWidget(parent), projectStyle_(ProjectStyle::omaha()), viewLayer_(std::make_shared<Layer>()),
      backgroundLayer_(std::make_shared<Layer>()), gridLayer_(std::make_shared<GridLayer>()),
      selectionLayer_(std::make_shared<Layer>()), attachBadgeLayer_(std::make_shared<TextLayer>()),
      index_(std::make_unique<GraphViewIndex>())
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    if (frame.size.width > 0 || frame.size.height > 0) {
        move(static_cast<int>(frame.origin.x), static_cast<int>(frame.origin.y));
        resize(static_cast<int>(std::ceil(frame.size.width)), static_cast<int>(std::ceil(frame.size.height)));
        bounds_ = Rect(0, 0, frame.size.width, frame.size.height);
    }
    viewLayer_->setName("view");
    viewLayer_->setAnchorPoint({0, 0});
    viewLayer_->setBounds(bounds());
    viewLayer_->setPosition({0, 0});
    setUp();
}

void GraphView::setRepaintsChangedAreas(bool repaints)
{
    if (!repaints) {
        viewLayer_->setDirtyAreaHandler(nullptr);
        return;
    }
    viewLayer_->setDirtyAreaHandler([this](const Rect& area) {
        update(canvasToWidget().mapRect(QRectF(area.origin.x, area.origin.y, area.size.width, area.size.height))
                   .toAlignedRect()
                   .adjusted(-1, -1, 1, 1));
    });
}

void GraphView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setRepaintsChangedAreas(true);
    update();
}

void GraphView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Hidden and off-screen canvases are drawn on request only; nobody needs their changed areas.
    setRepaintsChangedAreas(false);
}

GraphView::~GraphView() = default;

void GraphView::setUp()
{
    setupBackgroundLayer();
    setupGridLayer();
    setUpSelectionLayer();
    setUpAttachBadgeLayer();
}

// ---- Geometry ----

Rect GraphView::bounds() const
{
    if (bounds_)
        return *bounds_;
    return Rect(0, 0, width(), height());
}

void GraphView::setBounds(const Rect& bounds)
{
    bounds_ = bounds;
    viewLayer_->setBounds(bounds);
    update();
}

Rect GraphView::visibleRect() const
{
    return bounds();
}

void GraphView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!bounds_)
        viewLayer_->setBounds(bounds());
}

QTransform GraphView::canvasToWidget() const
{
    return LayerRenderer::rootTransform(bounds(), QRectF(0, 0, width(), height()), !isFlipped());
}

// ---- Displayed values and the lock ----

void GraphView::setGraph(const Graph& graph)
{
    graph_ = graph;
    reloadLayers();
}

void GraphView::setGrid(const Grid& grid)
{
    grid_ = grid;
    reloadLayers();
}

void GraphView::setProjectStyle(const ProjectStyle& style)
{
    projectStyle_ = style;
    reloadLayers();
}

void GraphView::beginSyncLock()
{
    isSynclocked_ = true;
}

void GraphView::endSyncLock()
{
    isSynclocked_ = false;
    reloadLayers();
}

void GraphView::reloadLayers()
{
    if (isSynclocked_)
        return;
    {
        Transaction transaction(true);
        updateBackgroundLayer();
    }
    updateGridLayer();
    Transaction transaction;
    synchronize();
}

// ---- Contents scale ----

double GraphView::effectiveBackingScale() const
{
    double scale = 1.0;
    if (const QWidget* top = window(); top && top->windowHandle())
        scale = top->windowHandle()->devicePixelRatio();
    return scale * magnification();
}

void GraphView::updateContentsScale()
{
    const double scale = effectiveBackingScale();
    for (Layer* layer : {viewLayer_.get(), backgroundLayer_.get(), static_cast<Layer*>(gridLayer_.get()),
                         selectionLayer_.get(), static_cast<Layer*>(attachBadgeLayer_.get())})
        layer->setContentsScale(scale);
    for (const auto& layer : nodeLayers_)
        layer->setContentsScale(scale);
    for (const auto& layer : branchLayers_)
        layer->setContentsScale(scale);
}

// ---- Drawing ----

void GraphView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    LayerRenderOptions options;
    options.sourceRect = bounds();
    options.targetRect = QRectF(0, 0, width(), height());
    options.flipped = !isFlipped();
    const QRectF exposed = canvasToWidget().inverted().mapRect(QRectF(event->rect()));
    options.exposedRect = Rect(exposed.x(), exposed.y(), exposed.width(), exposed.height());
    LayerRenderer::render(painter, *viewLayer_, options);
}

void GraphView::render(QPainter& painter, const QRectF& target, std::optional<Rect> source, bool vector)
{
    LayerRenderOptions options;
    options.sourceRect = source.value_or(bounds());
    options.targetRect = target;
    options.flipped = !isFlipped();
    options.usePictureCache = !vector;
    LayerRenderer::render(painter, *viewLayer_, options);
}

QImage GraphView::snapshotImage(double scale)
{
    return snapshotImage(0, 0, scale);
}

QImage GraphView::snapshotImage(double dx, double dy, double scale)
{
    const Rect area = bounds();
    const QSize pixels(static_cast<int>(std::ceil(area.size.width * scale)),
                       static_cast<int>(std::ceil(area.size.height * scale)));
    if (pixels.isEmpty() || !(scale > 0))
        return QImage();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(dx, dy);
    render(painter, QRectF(0, 0, area.size.width, area.size.height));
    painter.end();
    return image;
}

// ---- Background and grid ----

void GraphView::setupBackgroundLayer()
{
    Layer& layer = *backgroundLayer_;
    layer.setName("background");
    layer.setBackgroundColor(projectStyle_.current.backgroundColor.toQColor());
    layer.setMasksToBounds(false);
    layer.setAnchorPoint({0, 0});
    layer.setFrame(bounds());
    layer.setAutoresizingMask(layerNotSizable);
    layer.setZPosition(backgroundZPosition);
    layer.setOpaque(true);
    layer.setContentsScale(effectiveBackingScale());
    layer.setBorderWidth(0);
    viewLayer_->addSublayer(backgroundLayer_);
}

void GraphView::setupGridLayer()
{
    GridLayer& layer = *gridLayer_;
    layer.setName("grid");
    layer.setDocumentBackgroundColor(projectStyle_.current.backgroundColor);
    layer.setMasksToBounds(true);
    layer.setAnchorPoint({0, 0});
    layer.setFrame(Rect(0, 0, bounds().size.width, bounds().size.height));
    layer.setAutoresizingMask(layerNotSizable);
    layer.setZPosition(gridZPosition);
    layer.setOpaque(false);
    layer.setContentsScale(effectiveBackingScale());
    layer.setBackgroundColor(QColor());
    layer.setBorderWidth(0);
    layer.parentView = this;
    backgroundLayer_->addSublayer(gridLayer_);
}

void GraphView::updateBackgroundLayer()
{
    backgroundLayer_->setBackgroundColor(projectStyle_.current.backgroundColor.toQColor());
    backgroundLayer_->setFrame(bounds());
}

void GraphView::updateGridLayer()
{
    Transaction transaction(true);
    GridLayer& layer = *gridLayer_;
    layer.setDocumentBackgroundColor(projectStyle_.current.backgroundColor);
    layer.setGrid(grid_);
    const Rect background = backgroundLayer_->bounds();
    layer.setFrame(Rect(0, 0, background.size.width, background.size.height));
}

} // namespace velquine
