#include "inspector/ThemePreviewView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVariantAnimation>
#include <QWheelEvent>

#include "canvas/ThemePreview.h"
#include "inspector/ThemeGalleryViewController.h"
#include "kit/Popover.h"
#include "platform/Clock.h"
#include "platform/Image.h"
#include "platform/UserDefaults.h"

#include <cmath>

namespace velquine {

std::optional<std::size_t> indexOfTheme(const std::string& name, const std::vector<ProjectStyle>& styles)
{
    const QString wanted = QString::fromStdString(name).toLower();
    for (std::size_t i = 0; i < styles.size(); ++i)
        if (QString::fromStdString(styles[i].name).toLower() == wanted)
            return i;
    return std::nullopt;
}

ThemePreviewView::ThemePreviewView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("themePreview"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(120);
    slide_ = new QVariantAnimation(this);
    slide_->setDuration(slideDuration);
    slide_->setEasingCurve(QEasingCurve::InOutQuad);
    // Polls for the end of a resize the user is dragging.
    liveResizeEnd_ = new QTimer(this);
    liveResizeEnd_->setInterval(100);
    connect(liveResizeEnd_, &QTimer::timeout, this, [this] {
        if (QGuiApplication::mouseButtons() != Qt::NoButton)
            return;
        liveResizeEnd_->stop();
        renderBackingImage();
    });
    connect(slide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        previewOffset_ = value.toDouble();
        update();
    });
}

ThemePreviewView::~ThemePreviewView() = default;

void ThemePreviewView::layoutPreview()
{
    placePreview(!overflow);
}

void ThemePreviewView::placePreview(bool animated)
{
    const double target = -double(width()) * selectedStyleIndex;
    const bool sliding = isSliding();
    if (sliding && slide_->endValue().toDouble() == target)
        return;
    if (!sliding && previewOffset_ == target)
        return;
    slide_->stop();
    if (!animated || !isVisible() || UserDefaults::standard().boolForKey("disableAnimations")) {
        setPreviewOffset(target);
        return;
    }
    slide_->setStartValue(previewOffset_);
    slide_->setEndValue(target);
    slide_->start();
}

void ThemePreviewView::setPreviewOffset(double offset)
{
    previewOffset_ = offset;
    update();
}

bool ThemePreviewView::isSliding() const
{
    return slide_->state() == QAbstractAnimation::Running;
}

void ThemePreviewView::renderBackingImage()
{
    if (!isVisible()) {
        renderWhenShown_ = true;
        backingImage_ = QImage();
        return;
    }
    renderWhenShown_ = false;
    const int w = width();
    const int h = height();
    const int n = int(availableStyles.size());
    if (w <= 0 || h <= 0 || n == 0) {
        backingImage_ = QImage();
        update();
        return;
    }
    QImage image = Image::lazilyBackedBitmap(w * n * 2, h * 2);
    image.setDevicePixelRatio(2.0);
    backingImage_ = std::move(image);
    previewDrawn_.assign(std::size_t(n), false);
    previewSize_ = Size{double(w), double(h)};
    layoutPreview();
    update();
}

bool ThemePreviewView::isPreviewDrawn(int index) const
{
    return index >= 0 && std::size_t(index) < previewDrawn_.size() && previewDrawn_[std::size_t(index)];
}

void ThemePreviewView::drawPreviewsBetween(double fromX, double toX)
{
    const int n = int(previewDrawn_.size());
    if (backingImage_.isNull() || n == 0)
        return;
    const double tileWidth = double(backingImage_.width()) / n;
    const int first = std::max(0, int(std::floor(fromX / tileWidth)));
    const int last = std::min(n - 1, int(std::ceil(toX / tileWidth)) - 1);
    for (int i = first; i <= last; ++i) {
        if (previewDrawn_[std::size_t(i)] || std::size_t(i) >= availableStyles.size())
            continue;
        previewDrawn_[std::size_t(i)] = true;
        const Rect tile{previewSize_.width * i, 0, previewSize_.width, previewSize_.height};
        QPainter painter(&backingImage_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setClipRect(QRectF(tile.origin.x, tile.origin.y, tile.size.width, tile.size.height));
        drawThemePreview(availableStyles[std::size_t(i)], painter, tile);
    }
}

void ThemePreviewView::selectNext()
{
    const int n = int(availableStyles.size());
    if (n == 0)
        return;
    overflow = selectedStyleIndex >= n - 1;
    selectedStyleIndex = overflow ? 0 : selectedStyleIndex + 1;
    layoutPreview();
    updateIndicator();
}

void ThemePreviewView::selectPrevious()
{
    const int n = int(availableStyles.size());
    if (n == 0)
        return;
    overflow = selectedStyleIndex < 1;
    selectedStyleIndex = overflow ? n - 1 : selectedStyleIndex - 1;
    layoutPreview();
    updateIndicator();
}

void ThemePreviewView::select(const std::string& name, bool notify, bool animated)
{
    selectedStyleIndex = int(indexOfTheme(name, availableStyles).value_or(0));
    placePreview(animated && !overflow);
    updateIndicator();
    if (notify)
        notifyDelegate();
}

void ThemePreviewView::notifyDelegate()
{
    if (delegate && selectedStyleIndex >= 0 && std::size_t(selectedStyleIndex) < availableStyles.size())
        delegate->didSelectTheme(availableStyles[std::size_t(selectedStyleIndex)]);
}

QPointF ThemePreviewView::indicatorDotCenter(int index) const
{
    const int n = std::max<int>(1, int(availableStyles.size()));
    const double stripWidth = width() / 2.0;
    const double left = (width() - stripWidth) / 2.0;
    const double slot = stripWidth / n;
    // The strip is 8 points high with its bottom edge 8 points above the view's bottom.
    return {left + slot * (index + 0.5), height() - 8.0 - 4.0};
}

void ThemePreviewView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), 4, 4);
    painter.setClipPath(clip);
    if (!backingImage_.isNull()) {
        // Only the part of the row of previews that lies in the strip is drawn. While a resize is under way
        // the previews keep the size they were drawn at and are stretched to the strip.
        const double dpr = backingImage_.devicePixelRatio();
        const double drawnWidth = backingImage_.width() / std::max<std::size_t>(1, availableStyles.size());
        const double scale = width() > 0 ? drawnWidth / (width() * dpr) : 1.0;
        const QRectF source(-previewOffset_ * dpr * scale, 0, drawnWidth, backingImage_.height());
        drawPreviewsBetween(source.left(), source.right());
        painter.drawImage(QRectF(rect()), backingImage_, source);
    }
    for (int i = 0; i < int(availableStyles.size()); ++i) {
        const bool selected = i == selectedStyleIndex;
        painter.setPen(QPen(selected ? Qt::black : Qt::white, 1));
        painter.setBrush(selected ? Qt::white : Qt::black);
        painter.drawEllipse(indicatorDotCenter(i), 2.5, 2.5);
    }
    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
}

void ThemePreviewView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    slide_->stop();
    setPreviewOffset(-double(width()) * selectedStyleIndex);
    // Drawing every preview again takes a while: while the user drags a divider the old ones are stretched,
    // and they are drawn anew once the mouse button is up.
    if (QGuiApplication::mouseButtons() != Qt::NoButton && !backingImage_.isNull()) {
        liveResizeEnd_->start();
        return;
    }
    liveResizeEnd_->stop();
    renderBackingImage();
}

void ThemePreviewView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (renderWhenShown_)
        renderBackingImage();
}

bool ThemePreviewView::isInLiveResize() const
{
    return liveResizeEnd_->isActive();
}

void ThemePreviewView::mousePressEvent(QMouseEvent* event)
{
    if (availableStyles.empty())
        return QWidget::mousePressEvent(event);
    if (event->button() == Qt::RightButton)
        return showGallery();
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const double x = event->position().x();
    if (x < clickZoneWidth) {
        selectPrevious();
        notifyDelegate();
    } else if (x >= width() - clickZoneWidth) {
        selectNext();
        notifyDelegate();
    } else {
        showGallery();
    }
}

void ThemePreviewView::showGallery()
{
    if (!galleryPopover_) {
        galleryPopover_ = std::make_unique<Popover>();
        auto* controller = new ThemeGalleryViewController;
        controller->setOwner(this);
        galleryPopover_->setContentWidget(controller);
        galleryController_ = controller;
    } else if (galleryPopover_->isShown()) {
        galleryPopover_->close();
        return;
    }
    galleryPopover_->show(rect(), this, Popover::Edge::left);
}

void ThemePreviewView::keyPressEvent(QKeyEvent* event)
{
    if (availableStyles.empty() || (event->key() != Qt::Key_Left && event->key() != Qt::Key_Right))
        return QWidget::keyPressEvent(event);
    event->key() == Qt::Key_Left ? selectPrevious() : selectNext();
    notifyDelegate();
}

void ThemePreviewView::wheelEvent(QWheelEvent* event)
{
    // A fling's coasting events are dropped, and at most one step is taken per interval; an event with no
    // movement still starts a new interval.
    if (event->phase() == Qt::ScrollMomentum || availableStyles.empty())
        return;
    const double now = Clock::now();
    if (lastScrollTime_ >= now - minimumScrollInterval)
        return;
    lastScrollTime_ = now;
    const QPoint delta = event->angleDelta().isNull() ? event->pixelDelta() : event->angleDelta();
    // Turning the wheel down (or right) steps back, up (or left) steps on; a diagonal event does both.
    if (delta.x() < 0 || delta.y() < 0) {
        selectPrevious();
        notifyDelegate();
    }
    if (delta.x() > 0 || delta.y() > 0) {
        selectNext();
        notifyDelegate();
    }
}

} // namespace velquine
