#include "canvas/GraphView.h"

#include <QPainter>
#include <QTimer>

#include <cmath>

#include "canvas/CanvasIndex.h"
#include "canvas/CanvasSync.h"
#include "canvas/DragInteraction.h"
#include "canvas/DropInteraction.h"
#include "canvas/FocusInteraction.h"
#include "canvas/GhostInteraction.h"
#include "canvas/NavigationInteraction.h"
#include "canvas/PointerInteraction.h"
#include "canvas/TitleEditingInteraction.h"
#include "canvas/GridLayer.h"
#include "canvas/NodeTitleEditor.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/ScrollView.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/TextLayer.h"
#include "platform/layer/Transaction.h"

namespace velquine {

GraphView::GraphView(QWidget* parent) : GraphView(Rect(0, 0, 0, 0), parent) {}

GraphView::GraphView(Rect frame, QWidget* parent)
    : LayerHostWidget(parent), projectStyle_(ProjectStyle::omaha()), backgroundLayer_(std::make_shared<Layer>()),
      gridLayer_(std::make_shared<GridLayer>()),
      sync_(std::make_unique<CanvasSync>(*this)), pointer_(std::make_unique<PointerInteraction>(*this)),
      drag_(std::make_unique<DragInteraction>(*this)), ghosts_(std::make_unique<GhostInteraction>(*this)),
      drop_(std::make_unique<DropInteraction>(*this)), navigation_(std::make_unique<NavigationInteraction>(*this)),
      titleEditing_(std::make_unique<TitleEditingInteraction>(*this)), focusMode_(std::make_unique<FocusInteraction>(*this))
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // Images, image files and text can be dropped on the canvas.
    setAcceptDrops(true);
    this->layer()->setName("view");
    if (frame.size.width > 0 || frame.size.height > 0) {
        move(static_cast<int>(frame.origin.x), static_cast<int>(frame.origin.y));
        setFrameSize(frame.size);
    }
    setUp();
}

GraphView::~GraphView()
{
    // The editor would report losing the focus while the view is half gone.
    if (titleEditing_->nodeEditor_) {
        titleEditing_->nodeEditor_->disconnect(this);
        delete titleEditing_->nodeEditor_;
    }
}

void GraphView::setUp()
{
    setupBackgroundLayer();
    setupGridLayer();
    pointer_->setUpSelectionLayer();
    drag_->setUpAttachBadgeLayer();
}

void GraphView::showEvent(QShowEvent* event)
{
    LayerHostWidget::showEvent(event);
    // The grid draws only what is visible, so it follows the scroll view that shows the canvas.
    ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    QObject::disconnect(scrollConnection_);
    QObject::disconnect(magnificationConnection_);
    if (!scrollView)
        return;
    scrollConnection_ = connect(scrollView, &ScrollView::boundsChanged, this, [this] { didChangeBounds(); });
    // Layers are given the new scale 0.1 s after the last change of a burst.
    if (!backingScaleTimer_) {
        backingScaleTimer_ = new QTimer(this);
        backingScaleTimer_->setSingleShot(true);
        backingScaleTimer_->setInterval(100);
        connect(backingScaleTimer_, &QTimer::timeout, this, [this] { updateContentsScale(); });
    }
    magnificationConnection_ =
        connect(scrollView, &ScrollView::magnificationChanged, backingScaleTimer_, qOverload<>(&QTimer::start));
}

Rect GraphView::visibleRect() const
{
    if (const ScrollView* scrollView = ScrollView::enclosingScrollView(this);
        scrollView && scrollView->documentView() == this)
        return scrollView->documentVisibleRect();
    return boundsRect();
}

void GraphView::didChangeBounds()
{
    gridLayer_->setNeedsDisplay();
    // A controller that resizes the canvas under the lock scrolls back before it ends: only where the view
    // comes to rest matters.
    if (isSynclocked_) {
        boundsChangedWhileLocked_ = true;
        return;
    }
    sync_->placeDeferredLabels(visibleRect());
}

void GraphView::paintEvent(QPaintEvent* event)
{
    // Titles coming into view without a scroll (the window grew, say) are placed before they are drawn.
    sync_->placeDeferredLabels(visibleRect());
    LayerHostWidget::paintEvent(event);
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
    if (boundsChangedWhileLocked_) {
        boundsChangedWhileLocked_ = false;
        sync_->placeDeferredLabels(visibleRect());
    }
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
    sync_->synchronize();
    if (titleEditing_->isNodeEditorActive_)
        titleEditing_->placeTitleEditor();
}

// ---- Layers ----

Layer& GraphView::viewLayer() const
{
    drag_->placeDragGroup();
    sync_->settleLayers();
    return *layer();
}

void GraphView::invalidateLayerState()
{
    sync_->invalidateLayerState();
}

const std::vector<std::shared_ptr<NodeLayer>>& GraphView::nodeLayers() const
{
    return sync_->nodeLayers();
}

NodeLayer* GraphView::nodeLayer(std::int64_t uid) const
{
    return sync_->nodeLayer(uid);
}

const std::vector<std::shared_ptr<BranchLayer>>& GraphView::branchLayers() const
{
    return sync_->branchLayers();
}

BranchLayer* GraphView::branchLayer(std::int64_t parentUID, std::int64_t childUID) const
{
    return sync_->branchLayer(parentUID, childUID);
}

// ---- Contents scale ----

void GraphView::updateContentsScale()
{
    const double scale = effectiveBackingScale();
    for (Layer* layer : {this->layer().get(), backgroundLayer_.get(), static_cast<Layer*>(gridLayer_.get()),
                         pointer_->selectionLayer_.get(), static_cast<Layer*>(drag_->attachBadgeLayer_.get())})
        layer->setContentsScale(scale);
    for (const auto& layer : sync_->rawNodeLayers())
        layer->setContentsScale(scale);
    for (const auto& layer : sync_->rawBranchLayers())
        layer->setContentsScale(scale);
    // Every layer has the scale now: the next reload need not revisit them for it.
    sync_->index().contentsScale = scale;
}

// ---- Drawing ----

void GraphView::render(QPainter& painter, const QRectF& target, std::optional<Rect> source, bool vector)
{
    drag_->placeDragGroup();
    sync_->placeDeferredLabels(std::nullopt);
    LayerRenderOptions options = renderOptions(target);
    options.sourceRect = source.value_or(boundsRect());
    options.usePictureCache = !vector;
    LayerRenderer::render(painter, *layer(), options);
}

// ---- Background and grid ----

void GraphView::setupBackgroundLayer()
{
    Layer& layer = *backgroundLayer_;
    layer.setName("background");
    layer.setBackgroundColor(projectStyle_.current.backgroundColor.toQColor());
    layer.setMasksToBounds(false);
    layer.setAnchorPoint({0, 0});
    layer.setFrame(boundsRect());
    layer.setAutoresizingMask(layerNotSizable);
    layer.setZPosition(backgroundZPosition);
    layer.setOpaque(true);
    layer.setContentsScale(effectiveBackingScale());
    layer.setBorderWidth(0);
    this->layer()->addSublayer(backgroundLayer_);
}

void GraphView::setupGridLayer()
{
    GridLayer& layer = *gridLayer_;
    layer.setName("grid");
    layer.setDocumentBackgroundColor(projectStyle_.current.backgroundColor);
    layer.setMasksToBounds(true);
    layer.setAnchorPoint({0, 0});
    layer.setFrame(Rect(0, 0, boundsRect().size.width, boundsRect().size.height));
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
    backgroundLayer_->setFrame(boundsRect());
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
