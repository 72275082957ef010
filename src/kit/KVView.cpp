#include "kit/KVView.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cmath>

#include "kit/ScrollView.h"
#include "kit/SystemColors.h"

namespace velquine {

KVView::KVView(QWidget* parent) : QWidget(parent) {}

double KVView::effectiveBackingScale(const QWidget* widget)
{
    double scale = 1.0;
    if (const QWindow* window = widget->window()->windowHandle())
        scale = window->devicePixelRatio();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        scale = screen->devicePixelRatio();
    if (const ScrollView* scrollView = ScrollView::enclosingScrollView(widget))
        scale *= scrollView->magnification();
    return scale;
}

bool KVView::isDarkAppearance(const QWidget* widget)
{
    const QWidget* window = widget->window();
    if (!window->windowHandle())
        return false;
    return SystemColors::isDark(window->palette());
}

Rect KVView::centerScanRect(const Rect& rect) const
{
    const double scale = devicePixelRatioF();
    const Rect r = rect.standardized();
    const double x0 = std::floor(r.minX() * scale + 0.5) / scale, y0 = std::floor(r.minY() * scale + 0.5) / scale;
    const double x1 = std::ceil(r.maxX() * scale - 0.5) / scale, y1 = std::ceil(r.maxY() * scale - 0.5) / scale;
    return {x0, y0, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0)};
}

void KVView::setFrame(const Rect& frame)
{
    const Rect r = frame.standardized();
    if (r.isNull() || !r.origin.isFinite() || !r.size.isFinite())
        return;
    // Widgets sit on whole logical pixels: the edges are rounded, so the size follows them.
    const int left = int(std::lround(r.minX())), top = int(std::lround(r.minY()));
    setGeometry(left, top, int(std::lround(r.maxX())) - left, int(std::lround(r.maxY())) - top);
}

void KVView::scrollRectToVisible(const Rect& rect, double animationDuration)
{
    ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    if (!scrollView || rect.isNull())
        return;
    Rect inDocument = rect;
    if (scrollView->documentView() != this) {
        // A plain view inside the document: its pixels are document points × magnification.
        const QPoint offset = mapTo(scrollView->documentView(), QPoint(0, 0));
        const double m = scrollView->magnification();
        const Point origin = scrollView->documentBoundsOrigin();
        inDocument = {(rect.origin.x + offset.x()) / m + origin.x, (rect.origin.y + offset.y()) / m + origin.y,
                      rect.size.width / m, rect.size.height / m};
    }
    scrollView->scrollRectToVisible(inDocument, animationDuration);
}

QImage KVView::snapshotImage(double dx, double dy) { return snapshotImage(this, dx, dy); }

QImage KVView::snapshotImage(QWidget* widget, double dx, double dy)
{
    const double scale = widget->devicePixelRatioF();
    QImage image(widget->size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    const bool hidden = widget->isHidden();
    QPainter painter(&image);
    painter.translate(dx, dy);
    widget->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    if (hidden && !widget->isHidden())
        widget->hide();
    return image;
}

KVVisualEffectView::KVVisualEffectView(QWidget* parent) : KVView(parent) {}

void KVVisualEffectView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor window = palette().color(QPalette::Window);
    painter.fillRect(rect(), SystemColors::isDark(palette()) ? window.lighter(112) : window.darker(104));
}

} // namespace velquine
