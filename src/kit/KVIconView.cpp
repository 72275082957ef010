#include "kit/KVIconView.h"

#include <QPainter>

#include "kit/SystemColors.h"
#include "platform/AssetColors.h"

namespace velquine {

void KVIconView::setIcon(std::optional<QImage> icon)
{
    icon_ = std::move(icon);
    update();
}

void KVIconView::paintEvent(QPaintEvent*)
{
    if (!icon_ || icon_->isNull())
        return;
    QPainter painter(this);
    const QSizeF size = icon_->deviceIndependentSize();
    painter.drawImage(QRectF(QPointF(0, height() - size.height()), size), *icon_);
}

QColor dividerColor(bool dark) { return assetColor("dividerColor", dark).value_or(QColor(128, 128, 128)); }

QColor labelTextColor(bool dark) { return SystemColors::label(dark); }

AttributedString titleText(const QString& title, double pointSize, const QColor& color)
{
    TextAttributes attributes;
    attributes.font = Font::systemFont(pointSize);
    attributes.foregroundColor = Color::sRGB(color.redF(), color.greenF(), color.blueF(), color.alphaF());
    return AttributedString(title.toStdString(), attributes);
}

} // namespace velquine
