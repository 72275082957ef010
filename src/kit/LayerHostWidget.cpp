#include "kit/LayerHostWidget.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPointer>

#include <cmath>
#include <limits>

#include "kit/ScrollView.h"
#include "platform/QtGeometry.h"
#include "platform/RunLoop.h"
#include "platform/layer/Animator.h"
#include "platform/layer/Layer.h"

namespace velquine {

namespace {
// Only changes in view count; a line that crosses the view reports it piece by piece.
constexpr int maxSeparateUpdates = 256;
constexpr int maxSeparatePaintRects = 8;
// Regions of more rectangles than this are painted as their bounding rectangle.
constexpr int maxMergedPaintRects = 64;
// Neighbours whose joint rectangle adds at most this many pixels to theirs are painted as one: every paint
// visits the layers near its area, and where many lines meet (a node with thousands of children) that costs
// more than the few pixels between them.
constexpr qint64 joinedPaintSlack = 128 * 128;
constexpr double pictureRebuildBudget = 0.008;  // seconds per paint

// At most maxSeparatePaintRects rectangles, apart from each other, that cover the region: neighbours whose
// joint rectangle adds the least area are joined first (with every rectangle it then meets), and then those
// whose joint rectangle adds little. A strip that came into view and a few changes far from it stay apart,
// where one rectangle round them all would cover most of the view. (Each pixel is painted once: translucent
// layers over a translucent background must not be drawn twice.)
std::vector<QRect> paintRects(const QRegion& region)
{
    std::vector<QRect> rects(region.begin(), region.end());
    if (int(rects.size()) > maxMergedPaintRects)
        return {region.boundingRect()};
    const auto area = [](const QRect& r) { return qint64(r.width()) * r.height(); };
    while (rects.size() > 1) {
        std::size_t bestA = 0, bestB = 1;
        qint64 bestCost = std::numeric_limits<qint64>::max();
        for (std::size_t a = 0; a < rects.size(); ++a)
            for (std::size_t b = a + 1; b < rects.size(); ++b) {
                const qint64 cost = area(rects[a].united(rects[b])) - area(rects[a]) - area(rects[b]);
                if (cost < bestCost) {
                    bestCost = cost;
                    bestA = a;
                    bestB = b;
                }
            }
        if (int(rects.size()) <= maxSeparatePaintRects && bestCost > joinedPaintSlack)
            break;
        QRect joined = rects[bestA].united(rects[bestB]);
        rects.erase(rects.begin() + std::ptrdiff_t(bestB));
        rects.erase(rects.begin() + std::ptrdiff_t(bestA));
        for (bool grew = true; grew;) {
            grew = false;
            for (auto it = rects.begin(); it != rects.end();)
                if (it->intersects(joined)) {
                    joined = joined.united(*it);
                    it = rects.erase(it);
                    grew = true;
                } else {
                    ++it;
                }
        }
        rects.push_back(joined);
    }
    return rects;
}
} // namespace

LayerHostWidget::LayerHostWidget(QWidget* parent) : KVView(parent), root_(std::make_shared<Layer>())
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    root_->setAnchorPoint({0, 0});
    root_->setDirtyAreaHandler([this](const Rect& area) { layerAreaChanged(area); });
    frameStartKey_ = Animator::shared().addFrameStartHandler([this] { frameStarting(); });
}

LayerHostWidget::~LayerHostWidget()
{
    Animator::shared().removeFrameStartHandler(frameStartKey_);
    root_->setDirtyAreaHandler({});
}

void LayerHostWidget::setFrameSize(Size size)
{
    if (!size.isFinite() || size.width < 0 || size.height < 0)
        return;
    frameSize_ = size;
    setRootBounds({root_->bounds().origin, size});
    sizeToFrame();
    update();
}

void LayerHostWidget::sizeToFrame()
{
    if (ScrollView* scrollView = ScrollView::enclosingScrollView(this); scrollView && scrollView->documentView() == this)
        scrollView->documentSizeChanged();
    else
        resize(int(std::lround(frameSize_.width)), int(std::lround(frameSize_.height)));
}

void LayerHostWidget::setFrameRect(const Rect& rect)
{
    if (!rect.origin.isFinite() || !rect.size.isFinite() || rect.size.width < 0 || rect.size.height < 0)
        return;
    const QTransform before = layerToWidget();
    frameSize_ = rect.size;
    setRootBounds(rect);
    // Resized as a widget whose pixels stay where they are: Qt paints only the part it gains.
    const bool wasStatic = testAttribute(Qt::WA_StaticContents);
    setAttribute(Qt::WA_StaticContents);
    sizeToFrame();
    setAttribute(Qt::WA_StaticContents, wasStatic);
    // The pixels painted are moved to where their layers are now, and so are the areas waiting to be painted
    // (scroll() moves both, and marks what it uncovers).
    const QTransform after = layerToWidget();
    const QPointF shift = after.map(QPointF(0, 0)) - before.map(QPointF(0, 0));
    const QPoint pixels = shift.toPoint();
    const bool translated = before.type() <= QTransform::TxScale && after.type() <= QTransform::TxScale
        && after.m11() == before.m11() && after.m22() == before.m22();
    if (!translated || std::abs(shift.x() - pixels.x()) > 1e-6 || std::abs(shift.y() - pixels.y()) > 1e-6)
        update();
    else if (!pixels.isNull())
        scroll(pixels.x(), pixels.y());
}

Rect LayerHostWidget::boundsRect() const { return root_->bounds(); }

void LayerHostWidget::setBoundsRect(const Rect& bounds)
{
    setRootBounds(bounds);
    update();
}

void LayerHostWidget::setRootBounds(const Rect& bounds)
{
    // The caller has the widget painted again where needed: the area the layers cover (every layer's extent) is
    // not worked out.
    const bool reports = root_->reportsDirtyAreas();
    root_->setReportsDirtyAreas(false);
    root_->setBounds(bounds);
    root_->setReportsDirtyAreas(reports);
    updateShownArea();
}

QTransform LayerHostWidget::layerToWidget() const
{
    return LayerRenderer::rootTransform(boundsRect(), QRectF(rect()), !isFlipped());
}

Point LayerHostWidget::layerPointFromWidget(QPointF widgetPoint) const
{
    return toPoint(layerToWidget().inverted().map(widgetPoint));
}

QRectF LayerHostWidget::widgetRectFromLayer(const Rect& layerRect) const
{
    return layerToWidget().mapRect(toQRectF(layerRect));
}

Rect LayerHostWidget::layerRectFromWidget(const QRectF& widgetRect) const
{
    return toRect(layerToWidget().inverted().mapRect(widgetRect));
}

LayerRenderOptions LayerHostWidget::renderOptions(const QRectF& target) const
{
    LayerRenderOptions options;
    options.sourceRect = boundsRect();
    options.targetRect = target;
    options.flipped = !isFlipped();
    return options;
}

void LayerHostWidget::layerAreaChanged(const Rect& area)
{
    if (wholeUpdatePending_)
        return;
    // What lies out of view is left: it is painted when it comes into view, and it must not count towards
    // repainting the whole view (a big map's layers mostly change out of view).
    if (!shownArea_)
        updateShownArea();
    if (!area.intersects(*shownArea_))
        return;
    // A pixel more on each side for anti-aliased edges; of an area reaching far out of view (a node placed
    // millions of points away, or as wide), only what lies in view counts.
    const QRect changed = widgetRectFromLayer(area.intersection(*shownArea_)).toAlignedRect().adjusted(-1, -1, 1, 1);
    if (++pendingUpdates_ > maxSeparateUpdates) {
        updateWhole();
        return;
    }
    update(changed);
}

void LayerHostWidget::updateWhole()
{
    // Until the paint, layers need not work out what they cover.
    wholeUpdatePending_ = true;
    root_->setReportsDirtyAreas(false);
    update();
}

void LayerHostWidget::frameStarting()
{
    ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    if (wholeUpdatePending_ || !scrollView || scrollView->documentView() != this || !scrollView->isAnimatingScroll())
        return;
    // The scroll's step in this frame, from its last one a frame of a 60 Hz display ago.
    const Size step = scrollView->animatedScrollAhead(1.0 / 60);
    const QRect shown = shownRect();
    const double scale = scrollView->magnification();
    if (step.width * scale >= shown.width() || step.height * scale >= shown.height())
        updateWhole();
}

void LayerHostWidget::updateShownArea()
{
    shownArea_ = layerRectFromWidget(QRectF(shownRect().adjusted(-2, -2, 2, 2)));
    // Long lines work out the pieces they paint only where they cross it.
    root_->setDirtyAreaFocus(shownArea_);
}

QRect LayerHostWidget::shownRect() const
{
    // The widget's rectangle cut by each ancestor's, up to the window.
    QRect shown = rect();
    QPoint offset;
    for (const QWidget* widget = this; !widget->isWindow() && widget->parentWidget(); widget = widget->parentWidget()) {
        offset += widget->pos();
        shown &= widget->parentWidget()->rect().translated(-offset);
    }
    return shown;
}

void LayerHostWidget::moveEvent(QMoveEvent* event)
{
    KVView::moveEvent(event);
    updateShownArea();
}

void LayerHostWidget::focusInEvent(QFocusEvent* event) { event->accept(); }

void LayerHostWidget::focusOutEvent(QFocusEvent* event) { event->accept(); }

void LayerHostWidget::paintEvent(QPaintEvent* event)
{
    // Worked out again for the changes after this paint: the scroll view may have grown since.
    updateShownArea();
    pendingUpdates_ = 0;
    wholeUpdatePending_ = false;
    root_->setReportsDirtyAreas(true);
    if (boundsRect().isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    const QRegion& region = event->region();
    const std::vector<QRect> rects = paintRects(region);
    LayerRenderOptions options = renderOptions(QRectF(rect()));
    // After a zoom step pictures are rebuilt a few milliseconds' worth per paint, the rest resampled, so
    // zooming never stalls; the next paints refine them.
    options.pictureRebuildBudget = pictureRebuildBudget;
    if (!liveSublayers_.empty()) {
        paintLive(painter, rects, options);
        return;
    }
    const std::size_t rebuiltBefore = LayerRenderer::statistics().picturesRebuilt;
    bool complete = true;
    // A large area is painted in bands on several threads; each part takes what it shows, a pixel more on
    // each side for anti-aliased edges.
    const auto exposedOf = [this](const QRect& part) { return layerRectFromWidget(QRectF(part).adjusted(-1, -1, 1, 1)); };
    for (const QRect& r : rects)
        complete = bandPainter_.render(painter, *root_, options, r, exposedOf) && complete;
    // Pictures drawn resampled are refined by the paints that follow, each rebuilding some. A paint that
    // rebuilt none would only be followed by the same paint again, without end.
    if (!complete && LayerRenderer::statistics().picturesRebuilt != rebuiltBefore)
        RunLoop::post([host = QPointer<LayerHostWidget>(this), area = region.boundingRect()] {
            if (host)
                host->update(area);
        });
}

void LayerHostWidget::resizeEvent(QResizeEvent* event)
{
    KVView::resizeEvent(event);
    updateShownArea();
    // Outside a scroll view the widget's size is its frame.
    if (ScrollView* scrollView = ScrollView::enclosingScrollView(this); scrollView && scrollView->documentView() == this)
        return;
    frameSize_ = {double(width()), double(height())};
    root_->setBounds({root_->bounds().origin, frameSize_});
}

} // namespace velquine
