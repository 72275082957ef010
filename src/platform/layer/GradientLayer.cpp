#include "platform/layer/GradientLayer.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace velquine {

void GradientLayer::draw(QPainter& painter) const
{
    if (colors_.empty())
        return;
    const Rect b = presentationBounds();
    auto at = [&](Point unit) {
        return QPointF(b.origin.x + unit.x * b.size.width, b.origin.y + unit.y * b.size.height);
    };
    QLinearGradient gradient(at(startPoint_), at(endPoint_));
    const bool placed = locations_.size() == colors_.size();
    for (std::size_t i = 0; i < colors_.size(); ++i) {
        const double even = colors_.size() == 1 ? 0.0 : double(i) / double(colors_.size() - 1);
        gradient.setColorAt(std::clamp(placed ? locations_[i] : even, 0.0, 1.0), colors_[i]);
    }
    const QRectF r(b.origin.x, b.origin.y, b.size.width, b.size.height);
    const double radius = std::clamp(cornerRadius(), 0.0, std::min(b.size.width, b.size.height) / 2);
    if (radius > 0) {
        QPainterPath rounded;
        rounded.addRoundedRect(r, radius, radius);
        painter.fillPath(rounded, gradient);
    } else {
        painter.fillRect(r, gradient);
    }
}

} // namespace velquine
