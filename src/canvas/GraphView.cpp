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
      titleEditing_(std::make_unique<TitleEditingInteraction>(*this)),
      focusMode_(std::make_unique<FocusInteraction>(*this))
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
    Layer& background = *backgroundLayer_;
    background.setName("background");
    background.setBackgroundColor(projectStyle_.current.backgroundColor.toQColor());
    background.setMasksToBounds(false);
    background.setAnchorPoint({0, 0});
    background.setFrame(boundsRect());
    background.setAutoresizingMask(layerNotSizable);
    background.setZPosition(CanvasZPosition::background);
    background.setOpaque(true);
    background.setContentsScale(effectiveBackingScale());
    updateOpaquePaint();
    background.setBorderWidth(0);
    this->layer()->addSublayer(backgroundLayer_);
    GridLayer& grid = *gridLayer_;
    grid.setName("grid");
    grid.setDocumentBackgroundColor(projectStyle_.current.backgroundColor);
    grid.setMasksToBounds(true);
    grid.setAnchorPoint({0, 0});
    grid.setFrame(Rect(0, 0, boundsRect().size.width, boundsRect().size.height));
    grid.setAutoresizingMask(layerNotSizable);
    grid.setZPosition(CanvasZPosition::grid);
    grid.setOpaque(false);
    grid.setContentsScale(effectiveBackingScale());
    grid.setBackgroundColor(QColor());
    grid.setBorderWidth(0);
    grid.parentView = this;
    backgroundLayer_->addSublayer(gridLayer_);
    pointer_->setUpSelectionLayer();
    drag_->setUpAttachBadgeLayer();
}

void GraphView::showEvent(QShowEvent* event)
{
    LayerHostWidget::showEvent(event);
    // The grid draws only what is visible, so it follows the scroll view that shows the canvas.
    ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    for (const QMetaObject::Connection& connection : scrollViewConnections_)
        QObject::disconnect(connection);
    if (!scrollView)
        return;
    scrollViewConnections_[0] = connect(scrollView, &ScrollView::boundsChanged, this, [this] { didChangeBounds(); });
    // Layers are given the new scale 0.1 s after the last change of a burst.
    if (!backingScaleTimer_) {
        backingScaleTimer_ = new QTimer(this);
        backingScaleTimer_->setSingleShot(true);
        backingScaleTimer_->setInterval(100);
        connect(backingScaleTimer_, &QTimer::timeout, this, [this] { updateContentsScale(); });
    }
    scrollViewConnections_[1] =
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
    // Scrolled, the view keeps the pixels it painted and paints only what came into view, grid included: the
    // grid is drawn where it lies on the canvas. A zoom or a new size repaints the whole view anyway.
    // A controller that resizes the canvas under the lock scrolls back before it ends: only where the view
    // comes to rest matters.
    if (sync_->synclocked_) {
        sync_->boundsChangedWhileLocked_ = true;
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

void GraphView::setBaseLayoutOptions(const LayoutOptions& options)
{
    baseLayoutOptions_ = options;
}

void GraphView::setSelectedNodeUIDs(std::vector<std::int64_t> uids)
{
    selectedNodeUIDs_ = std::move(uids);
}

void GraphView::setPrintingMode(bool printingMode)
{
    printingMode_ = printingMode;
}

void GraphView::setDelegate(std::weak_ptr<GraphViewDelegate> delegate)
{
    delegate_ = std::move(delegate);
}

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
    sync_->synclocked_ = true;
}

void GraphView::endSyncLock()
{
    sync_->synclocked_ = false;
    reloadLayers();
    if (sync_->boundsChangedWhileLocked_) {
        sync_->boundsChangedWhileLocked_ = false;
        sync_->placeDeferredLabels(visibleRect());
    }
}

void GraphView::reloadLayers()
{
    if (sync_->synclocked_)
        return;
    updateBackdrop();
    Transaction transaction;
    sync_->synchronize();
    if (titleEditing_->isNodeEditorActive())
        titleEditing_->placeTitleEditor();
}

// ---- Layers ----

Layer& GraphView::viewLayer() const
{
    drag_->placeDragGroup();
    sync_->settleLayers();
    return *layer();
}

// ---- Contents scale ----

void GraphView::updateContentsScale()
{
    const double scale = effectiveBackingScale();
    for (Layer* layer : {this->layer().get(), backgroundLayer_.get(), static_cast<Layer*>(gridLayer_.get()),
                         &pointer_->selectionLayer(), static_cast<Layer*>(&drag_->attachBadgeLayer())})
        layer->setContentsScale(scale);
    for (const auto& layer : sync_->rawNodeLayers())
        layer->setContentsScale(scale);
    for (const auto& layer : sync_->rawBranchLayers())
        layer->setContentsScale(scale);
    // Every layer has the scale now: the next reload need not revisit them for it.
    sync_->index().contentsScale = scale;
}

// ---- Drawing ----

void GraphView::render(QPainter& painter, const QRectF& target, std::optional<Rect> source, bool vector,
                       const std::function<void()>& betweenParts)
{
    drag_->placeDragGroup();
    sync_->placeDeferredLabels(std::nullopt);
    LayerRenderOptions options = renderOptions(target);
    options.sourceRect = source.value_or(boundsRect());
    options.usePictureCache = !vector;
    if (!betweenParts) {
        LayerRenderer::render(painter, *layer(), options);
        return;
    }
    // About twenty parts, each a run of the layers in drawing order: the root's own drawing comes with the first.
    const std::size_t partSize = std::max<std::size_t>(1000, layer()->sublayers().size() / 20);
    bool more = true;
    for (std::size_t part = 0; more; ++part) {
        more = false;
        std::size_t visited = 0;
        LayerRenderOptions slice = options;
        slice.paintsRoot = part == 0;
        slice.sublayerFilter = [&](const Layer&) {
            const std::size_t index = visited++;
            more = more || index >= (part + 1) * partSize;
            return index >= part * partSize && index < (part + 1) * partSize;
        };
        LayerRenderer::render(painter, *layer(), slice);
        if (more)
            betweenParts();
    }
}

// ---- Background and grid ----

void GraphView::updateOpaquePaint()
{
    // An opaque background covers every pixel of the view: Qt then moves the painted pixels when the scroll
    // view scrolls and asks only for what came into view, with nothing painted below the view first.
    setAttribute(Qt::WA_OpaquePaintEvent, projectStyle_.current.backgroundColor.toQColor().alpha() == 255);
}

void GraphView::updateBackdrop()
{
    Transaction transaction(true);
    backgroundLayer_->setBackgroundColor(projectStyle_.current.backgroundColor.toQColor());
    backgroundLayer_->setFrame(boundsRect());
    updateOpaquePaint();
    GridLayer& layer = *gridLayer_;
    layer.setDocumentBackgroundColor(projectStyle_.current.backgroundColor);
    layer.setGrid(grid_);
    const Rect background = backgroundLayer_->bounds();
    layer.setFrame(Rect(0, 0, background.size.width, background.size.height));
}

} // namespace velquine
