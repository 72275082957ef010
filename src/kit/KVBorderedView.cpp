#include "kit/KVBorderedView.h"

#include <QPainter>

#include "kit/WindowActions.h"
#include "platform/ActionDispatcher.h"
#include "platform/QtGeometry.h"

namespace velquine {

KVBorderedView::KVBorderedView(QWidget* parent) : KVView(parent) {}

void KVBorderedView::setShape(const QString& shape)
{
    shape_ = shape;
    update();
}

void KVBorderedView::setColor(const QColor& color)
{
    color_ = color;
    update();
}

void KVBorderedView::setStrokeWidth(long width)
{
    strokeWidth_ = width;
    update();
}

void KVBorderedView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QString shape = shape_.toLower();
    const double w = double(strokeWidth_);
    if (shape == QLatin1String("rect")) {
        if (w <= 0)
            return;
        // The line lies inside the pixel-aligned bounds.
        const Rect b = centerScanRect({0, 0, double(width()), double(height())});
        QPen pen(color_, w);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawRect(toQRectF(b).adjusted(w / 2, w / 2, -w / 2, -w / 2));
    } else if (shape == QLatin1String("line")) {
        painter.fillRect(toQRectF(centerScanRect({0, height() / 2.0 - w * 0.5, double(width()), w})), color_);
    }
}

void KVClickableBorderedView::mouseReleaseEvent(QMouseEvent* event)
{
    KVBorderedView::mouseReleaseEvent(event);
    if (action_.empty())
        return;
    ActionItem sender;
    sender.action = action_;
    sender.kind = ActionItemKind::other;
    sender.object = this;
    if (target_) {
        target_->perform(action_, &sender);
    } else if (WindowActions* actions = WindowActions::of(this)) {
        actions->dispatcher().sendAction(action_, &sender);
    }
}

} // namespace velquine
