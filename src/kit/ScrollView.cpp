#include "kit/ScrollView.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVariantAnimation>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <optional>

#include "kit/LayerHostWidget.h"
#include "platform/QtGeometry.h"

namespace velquine {

namespace {

// A scroll bar that, when only its value changes, repaints where the slider was and where it is, and nothing
// when the slider stays on the same pixels: an animated scroll sets a new value on every frame, and the
// whole bar painted again each time costs more than the strip of canvas the scroll brings into view.
class ScrollBar : public QScrollBar {
public:
    ScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QScrollBar::paintEvent(event);
        painted_ = look();
    }

    void sliderChange(SliderChange change) override
    {
        const Look now = look();
        // A bar that shows itself on changes, or whose arrows change, is repainted whole.
        if (change != SliderValueChange || !painted_ || painted_->size != now.size || painted_->atMinimum != now.atMinimum
            || painted_->atMaximum != now.atMaximum || style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this)) {
            QScrollBar::sliderChange(change);
            return;
        }
        // Styles draw the slider's edge lines just outside its rectangle (Fusion one pixel past each end): what
        // is repainted reaches a little beyond both rectangles, or the old edges stay in the groove.
        if (now.slider != painted_->slider)
            update(now.slider.united(painted_->slider).adjusted(-sliderEdge, -sliderEdge, sliderEdge, sliderEdge));
    }

private:
    static constexpr int sliderEdge = 3;
    struct Look {
        QSize size;
        QRect slider;
        bool atMinimum = false;
        bool atMaximum = false;
    };
    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {size(), style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
                value() == minimum(), value() == maximum()};
    }
    // What the last paint showed.
    std::optional<Look> painted_;
};

} // namespace

ScrollView::ScrollView(QWidget* parent) : QScrollArea(parent)
{
    setHorizontalScrollBar(new ScrollBar(Qt::Horizontal, this));
    setVerticalScrollBar(new ScrollBar(Qt::Vertical, this));
    setWidgetResizable(false);
    // A document smaller than the visible area stands in its middle along that axis.
    setAlignment(Qt::AlignCenter);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &ScrollView::boundsChanged);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ScrollView::boundsChanged);
}

ScrollView::~ScrollView() = default;

ScrollView* ScrollView::enclosingScrollView(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QWidget* viewport = w->parentWidget();
        if (!viewport)
            break;
        if (auto* scrollView = qobject_cast<ScrollView*>(viewport->parentWidget()))
            if (scrollView->documentView() == w)
                return scrollView;
    }
    return nullptr;
}

void ScrollView::setDocumentView(QWidget* view)
{
    if (view && !qobject_cast<LayerHostWidget*>(view))
        plainDocumentSize_ = {double(view->width()), double(view->height())};
    setWidget(view);
    layOutDocument();
}

Size ScrollView::documentSize() const
{
    if (const auto* host = qobject_cast<const LayerHostWidget*>(documentView()))
        return host->frameSize();
    return plainDocumentSize_;
}

Point ScrollView::documentBoundsOrigin() const
{
    if (const auto* host = qobject_cast<const LayerHostWidget*>(documentView()))
        return host->boundsRect().origin;
    return {};
}

void ScrollView::documentSizeChanged() { layOutDocument(); }

void ScrollView::settleScrollBars()
{
    QEvent settle(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(this, &settle);
}

void ScrollView::setBackgroundColor(const QColor& colour)
{
    QWidget* area = viewport();
    if (area->palette().isBrushSet(QPalette::Active, area->backgroundRole())
        && area->palette().color(area->backgroundRole()) == colour)
        return;
    QPalette palette = area->palette();
    palette.setColor(area->backgroundRole(), colour);
    area->setPalette(palette);
    area->setAutoFillBackground(true);
}

void ScrollView::layOutDocument()
{
    QWidget* view = documentView();
    if (!view)
        return;
    const Size size = documentSize();
    view->resize(int(std::lround(size.width * magnification_)), int(std::lround(size.height * magnification_)));
    emit boundsChanged();
}

void ScrollView::setMagnification(double magnification)
{
    const Rect visible = documentVisibleRect();
    setMagnification(magnification, visible.center());
}

void ScrollView::setMagnification(double magnification, Point centeredAt)
{
    if (!std::isfinite(magnification) || !centeredAt.isFinite())
        return;
    magnification = std::clamp(magnification, minMagnification_, maxMagnification_);
    if (magnification == magnification_)
        return;
    const QPointF onScreen = viewportPointFromDocument(centeredAt);
    magnification_ = magnification;
    layOutDocument();
    const Point origin = documentBoundsOrigin();
    horizontalScrollBar()->setValue(int(std::lround((centeredAt.x - origin.x) * magnification_ - onScreen.x())));
    verticalScrollBar()->setValue(int(std::lround((centeredAt.y - origin.y) * magnification_ - onScreen.y())));
    emit magnificationChanged(magnification_);
    emit boundsChanged();
}

void ScrollView::setMagnificationRange(double minimum, double maximum)
{
    if (!std::isfinite(minimum) || !std::isfinite(maximum) || minimum <= 0 || maximum < minimum)
        return;
    minMagnification_ = minimum;
    maxMagnification_ = maximum;
    setMagnification(std::clamp(magnification_, minimum, maximum));
}

QPointF ScrollView::viewportPointFromDocument(Point p) const
{
    const Point origin = documentBoundsOrigin();
    const QPoint widgetOffset = documentView() ? documentView()->pos() : QPoint();
    return {(p.x - origin.x) * magnification_ + widgetOffset.x(), (p.y - origin.y) * magnification_ + widgetOffset.y()};
}

Point ScrollView::documentPointFromViewport(QPointF p) const
{
    const Point origin = documentBoundsOrigin();
    const QPoint widgetOffset = documentView() ? documentView()->pos() : QPoint();
    return {(p.x() - widgetOffset.x()) / magnification_ + origin.x,
            (p.y() - widgetOffset.y()) / magnification_ + origin.y};
}

Rect ScrollView::documentVisibleRect() const
{
    const Point topLeft = documentPointFromViewport(QPointF(0, 0));
    return {topLeft, {viewport()->width() / magnification_, viewport()->height() / magnification_}};
}

Size ScrollView::largestVisibleSize() const
{
    const QSize pixels = maximumViewportSize();
    return {pixels.width() / magnification_, pixels.height() / magnification_};
}

void ScrollView::scrollToPoint(Point p)
{
    const Point origin = documentBoundsOrigin();
    horizontalScrollBar()->setValue(int(std::lround((p.x - origin.x) * magnification_)));
    verticalScrollBar()->setValue(int(std::lround((p.y - origin.y) * magnification_)));
    if (!onScreen())
        unshownCentre_ = documentVisibleRect().center();
}

Rect ScrollView::targetVisibleRect() const
{
    Rect visible = documentVisibleRect();
    if (isAnimatingScroll())
        visible.origin = toPoint(scrollAnimation_->endValue().toPointF());
    return visible;
}

bool ScrollView::holds(const Rect& rect) const
{
    return holds(targetVisibleRect(), rect, magnification_);
}

bool ScrollView::holds(const Rect& visible, const Rect& rect, double magnification)
{
    // A pixel's worth of points, and room for the rounding of working it out (a node whose edge lies a whole
    // pixel out at 125 % stands 0.8 points out, which sums of points do not always give exactly).
    const double pixel = 1 / magnification + 1e-9;
    return visible.insetBy(-pixel, -pixel).contains(rect);
}

Rect ScrollView::withRevealMargin(const Rect& rect, double reach, Size visible, double magnification)
{
    const double room = reach + revealMargin / magnification;
    const double dx = std::clamp((visible.width - rect.width()) / 2, 0.0, room);
    const double dy = std::clamp((visible.height - rect.height()) / 2, 0.0, room);
    return rect.insetBy(-dx, -dy);
}

void ScrollView::scrollRectToVisible(const Rect& rect, double animationDuration)
{
    const Rect r = rect.standardized();
    const Rect v = targetVisibleRect();
    if (r.isNull() || !r.origin.isFinite() || !r.size.isFinite())
        return;
    // As little as needed; a rectangle wider (taller) than the visible area ends on its far edge. Scroll
    // offsets are whole pixels: an edge brought into view is rounded into it, not half a pixel short.
    const Point origin = documentBoundsOrigin();
    const auto onPixel = [this](double documentOffset, bool up) {
        const double pixels = documentOffset * magnification_;
        const double whole = std::round(pixels);
        return (std::abs(pixels - whole) < 1e-6 ? whole : up ? std::ceil(pixels) : std::floor(pixels)) / magnification_;
    };
    double x = v.minX();
    if (r.minX() < x)
        x = origin.x + onPixel(r.minX() - origin.x, false);
    if (x + v.width() - r.width() < r.minX())
        x = origin.x + onPixel(r.minX() - v.width() + r.width() - origin.x, true);
    double y = v.minY();
    if (r.minY() < y)
        y = origin.y + onPixel(r.minY() - origin.y, false);
    if (y + v.height() - r.height() < r.minY())
        y = origin.y + onPixel(r.minY() - v.height() + r.height() - origin.y, true);
    if (isAnimatingScroll()) {
        if (x == v.minX() && y == v.minY())
            return;
        scrollAnimation_->stop();
    }
    // A view not yet on screen has nothing to glide from: its first frame shows where the scroll ends.
    if (!(animationDuration > 0) || !onScreen()) {
        scrollToPoint({x, y});
        return;
    }
    if (!scrollAnimation_) {
        scrollAnimation_ = new QVariantAnimation(this);
        connect(scrollAnimation_, &QVariantAnimation::valueChanged, this,
                [this](const QVariant& value) { scrollToPoint(toPoint(value.toPointF())); });
    }
    const Rect now = documentVisibleRect();
    {
        // A stopped animation stands at its end: each new value would be shown at once, scrolling the view to the
        // new end and back again as it starts, and every such jump repaints the whole view.
        const QSignalBlocker quiet(scrollAnimation_);
        scrollAnimation_->setStartValue(QPointF(now.minX(), now.minY()));
        scrollAnimation_->setEndValue(QPointF(x, y));
        scrollAnimation_->setDuration(int(std::lround(animationDuration * 1000)));
        scrollAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    }
    scrollAnimation_->start();
}

void ScrollView::centerOn(Point c, double animationDuration)
{
    if (!documentView())
        return;
    const double s = 1 / magnification_;
    // The viewport: scroll bars here take room from the visible area.
    const double fw = viewport()->width(), fh = viewport()->height();
    scrollRectToVisible({c.x - s * fw * 0.5, c.y - s * fh * 0.5, s * fw, s * fh}, animationDuration);
}

bool ScrollView::isAnimatingScroll() const
{
    return scrollAnimation_ && scrollAnimation_->state() == QAbstractAnimation::Running;
}

Size ScrollView::animatedScrollAhead(double seconds) const
{
    if (!isAnimatingScroll() || scrollAnimation_->duration() <= 0)
        return {0, 0};
    const QPointF from = scrollAnimation_->startValue().toPointF(), to = scrollAnimation_->endValue().toPointF();
    const auto at = [&](double ms) {
        const double progress = std::clamp(ms / scrollAnimation_->duration(), 0.0, 1.0);
        return from + (to - from) * scrollAnimation_->easingCurve().valueForProgress(progress);
    };
    const double now = scrollAnimation_->currentTime();
    const QPointF step = at(now + seconds * 1000) - at(now);
    return {std::abs(step.x()), std::abs(step.y())};
}

bool ScrollView::onScreen() const
{
    const QWindow* shown = window()->windowHandle();
    return shown && shown->isExposed();
}

void ScrollView::resizeEvent(QResizeEvent* event)
{
    // Until the window is on screen, the sizes its first layout brings keep the centre of what the view was
    // told to show, not its top-left corner: the first frame shows it centred.
    const std::optional<Point> centre = onScreen() ? std::nullopt : unshownCentre_;
    QScrollArea::resizeEvent(event);
    if (centre)
        centerOn(*centre);
    emit boundsChanged();
}

} // namespace velquine
