#include "canvas/GraphView.h"

#include <QPainter>
#include <QRegion>
#include <QTimer>

#include <cmath>

#include "canvas/CanvasGestures.h"
#include "canvas/CanvasSync.h"
#include "canvas/GridLayer.h"
#include "canvas/NodeTitleEditor.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/ScrollView.h"
#include "platform/QtGeometry.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/TextLayer.h"
#include "platform/layer/Transaction.h"

namespace velquine {

GraphView::GraphView(QWidget* parent) : GraphView(Rect(0, 0, 0, 0), parent) {}

GraphView::GraphView(Rect frame, QWidget* parent)
    : LayerHostWidget(parent), backgroundLayer_(std::make_shared<Layer>()),
      gridLayer_(std::make_shared<GridLayer>()),
      sync_(std::make_unique<CanvasSync>(*this)), gestures_(std::make_unique<CanvasGestures>(*this, *sync_))
{
    setActiveGesture(nullptr);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // Images, image files and text can be dropped on the canvas.
    setAcceptDrops(true);
    this->layer()->setName("view");
    if (frame.size.width > 0 || frame.size.height > 0) {
        move(static_cast<int>(frame.origin.x), static_cast<int>(frame.origin.y));
        setFrameSize(frame.size);
    }
    Layer& background = *backgroundLayer_;
    background.setName("background");
    background.setBackgroundColor(shown_.projectStyle.current.backgroundColor.toQColor());
    background.setMasksToBounds(false);
    background.setAnchorPoint({0, 0});
    background.setFrame(boundsRect());
    background.setAutoresizingMask(layerNotSizable);
    background.setZPosition(CanvasZPosition::background);
    background.setOpaque(true);
    background.setContentsScale(effectiveBackingScale());
    // An opaque background covers every pixel of the view: Qt then moves the painted pixels when the scroll
    // view scrolls and asks only for what came into view, with nothing painted below the view first.
    setAttribute(Qt::WA_OpaquePaintEvent, shown_.projectStyle.current.backgroundColor.toQColor().alpha() == 255);
    background.setBorderWidth(0);
    this->layer()->addSublayer(backgroundLayer_);
    GridLayer& grid = *gridLayer_;
    grid.setName("grid");
    grid.setDocumentBackgroundColor(shown_.projectStyle.current.backgroundColor);
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
    gestures_->rubberBand.setUpSelectionLayer();
    gestures_->drag.setUpAttachBadgeLayer();
}

GraphView::~GraphView()
{
    // The editor would report losing the focus while the view is half gone.
    gestures_->titleEditing.deleteTitleEditor();
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
    sync_->didChangeBounds();
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
    shown_.baseLayoutOptions = options;
}

void GraphView::setSelectedNodeUIDs(std::vector<std::int64_t> uids)
{
    shown_.selectedNodeUIDs = std::move(uids);
}

void GraphView::setPrintingMode(bool printingMode)
{
    shown_.printingMode = printingMode;
}

void GraphView::setDelegate(std::weak_ptr<GraphViewDelegate> delegate)
{
    delegate_ = std::move(delegate);
}

void GraphView::setGraph(const Graph& graph)
{
    shown_.graph = graph;
    reloadLayers();
}

void GraphView::setGrid(const Grid& grid)
{
    shown_.grid = grid;
    reloadLayers();
}

void GraphView::setProjectStyle(const ProjectStyle& style)
{
    shown_.projectStyle = style;
    reloadLayers();
}

void GraphView::beginSyncLock()
{
    sync_->setSynclocked(true);
}

void GraphView::endSyncLock()
{
    sync_->setSynclocked(false);
    reloadLayers();
    sync_->didChangeBounds(true);
}

void GraphView::reloadLayers()
{
    if (sync_->isSynclocked())
        return;
    updateBackdrop();
    Transaction transaction;
    sync_->synchronize();
}

// ---- Layers ----

Layer& GraphView::viewLayer()
{
    gestures_->active().placeLayers({});
    sync_->settleLayers();
    return *layer();
}

NodeLayer* GraphView::nodeLayer(std::int64_t uid)
{
    return sync_->settledNodeLayer(uid);
}

BranchLayer* GraphView::branchLayer(std::int64_t parentUID, std::int64_t childUID)
{
    return sync_->settledBranchLayer(parentUID, childUID);
}

const std::vector<std::shared_ptr<NodeLayer>>& GraphView::nodeLayers()
{
    return sync_->settledNodeLayers();
}

const std::vector<std::shared_ptr<BranchLayer>>& GraphView::branchLayers()
{
    return sync_->settledBranchLayers();
}

void GraphView::showSelection(const std::vector<Node>& nodes)
{
    shown_.selectedNodeUIDs.clear();
    for (const Node& node : nodes)
        shown_.selectedNodeUIDs.push_back(node.uid);
    sync_->showSelection();
}

// ---- Gestures, title editing and focus mode ----

void GraphView::setActiveGesture(CanvasGesture* gesture)
{
    gestures_->setActive(gesture);
}

bool GraphView::isGestureActive() const
{
    return !gestures_->isPointerActive();
}

Point GraphView::pointerLocation() const
{
    return gestures_->pointerLocation();
}

Point GraphView::lastClickLocation() const
{
    return gestures_->lastClickLocation();
}

void GraphView::setContextMenus(QMenu* nodeMenu, QMenu* documentMenu)
{
    gestures_->pointer.setContextMenus(nodeMenu, documentMenu);
}

void GraphView::beginEditingSelectedTitles(bool commitEvenIfTitleDoesntChange, std::function<void()> completionHandler)
{
    gestures_->titleEditing.beginEditingSelectedTitles(commitEvenIfTitleDoesntChange, std::move(completionHandler));
}

bool GraphView::isEditingTitle() const
{
    return gestures_->titleEditing.isNodeEditorActive();
}

NodeTitleEditor* GraphView::titleEditor()
{
    return gestures_->titleEditing.nodeEditor();
}

void GraphView::endEditingTitle(bool commit)
{
    gestures_->titleEditing.endEditingTitle(commit);
}

void GraphView::toggleFocusMode()
{
    gestures_->focus.applyFocus();
}

bool GraphView::isFocusModeOn() const
{
    return gestures_->focus.focusContext().has_value();
}

// ---- Contents scale ----

void GraphView::updateContentsScale()
{
    const double scale = effectiveBackingScale();
    for (Layer* layer : {this->layer().get(), backgroundLayer_.get(), static_cast<Layer*>(gridLayer_.get()),
                         &gestures_->rubberBand.selectionLayer(), static_cast<Layer*>(&gestures_->drag.attachBadgeLayer())})
        layer->setContentsScale(scale);
    sync_->setContentsScale(scale);
}

// ---- Drawing ----

void GraphView::render(QPainter& painter, const QRectF& target, std::optional<Rect> source, bool vector,
                       const std::function<void()>& betweenParts)
{
    gestures_->active().placeLayers({});
    sync_->placeDeferredLabels(std::nullopt);
    LayerRenderOptions options = renderOptions(target);
    options.sourceRect = source.value_or(boundsRect());
    options.usePictureCache = !vector;
    if (!betweenParts) {
        LayerRenderer::render(painter, *layer(), options);
        return;
    }
    betweenParts();
    layer()->layoutIfNeeded();
    betweenParts();
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


void GraphView::updateBackdrop()
{
    Transaction transaction(true);
    const QColor background = shown_.projectStyle.current.backgroundColor.toQColor();
    backgroundLayer_->setBackgroundColor(background);
    // An opaque background covers every pixel of the view: Qt then moves the painted pixels when the scroll
    // view scrolls and asks only for what came into view, with nothing painted below the view first.
    setAttribute(Qt::WA_OpaquePaintEvent, background.alpha() == 255);
    GridLayer& grid = *gridLayer_;
    grid.setDocumentBackgroundColor(shown_.projectStyle.current.backgroundColor);
    grid.setGrid(shown_.grid);
    // The background and the grid cover the canvas: a new canvas rectangle changes their pixels only in what
    // it gained or lost (the grid lies where it does on the canvas). Reported as a whole, they would repaint
    // the whole view.
    const Rect before = backgroundLayer_->frame();
    const Rect canvas = boundsRect();
    if (before == canvas)
        return;
    const bool reports = layer()->reportsDirtyAreas();
    layer()->setReportsDirtyAreas(false);
    backgroundLayer_->setFrame(canvas);
    grid.setFrame(Rect(0, 0, canvas.size.width, canvas.size.height));
    layer()->setReportsDirtyAreas(reports);
    // A rectangle further out than pixels count (the canvas of an export of a map reaching that far) has the
    // background drawn again whole.
    constexpr double pixelReach = 1 << 30;
    const auto countable = [](const Rect& r) {
        return std::fabs(r.minX()) < pixelReach && std::fabs(r.maxX()) < pixelReach && std::fabs(r.minY()) < pixelReach
            && std::fabs(r.maxY()) < pixelReach;
    };
    if (!countable(before) || !countable(canvas)) {
        backgroundLayer_->setNeedsDisplay();
        return;
    }
    const QRegion changed = QRegion(toQRectF(before).toAlignedRect()).xored(toQRectF(canvas).toAlignedRect());
    for (const QRect& part : changed)
        backgroundLayer_->setNeedsDisplay(toRect(QRectF(part)).offsetBy(-canvas.origin.x, -canvas.origin.y));
}

} // namespace velquine
