#include "canvas/layers/HoverButtonLayer.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "kit/SymbolImages.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

constexpr double plusPointSize = 24.0;

QColor withAlpha(const Color& color, double alpha)
{
    QColor c = color.toQColor();
    c.setAlphaF(float(alpha));
    return c;
}

} // namespace

HoverButtonLayer::HoverButtonLayer()
    : fillLayer_(std::make_shared<GradientLayer>()), plusLayer_(std::make_shared<Layer>()),
      connectionLayer_(std::make_shared<Layer>())
{
    setName("hoverButton");
    setMasksToBounds(true);

    fillLayer_->setStartPoint({0.5, 0});
    fillLayer_->setEndPoint({0.5, 1});
    fillLayer_->setColors({Qt::red, Qt::green});
    fillLayer_->setBounds(Rect(0, 0, 21, 21));
    fillLayer_->setCornerRadius(4.0);
    fillLayer_->setZPosition(0);

    plusLayer_->setCornerRadius(0);
    plusLayer_->setBounds(Rect(0, 0, plusPointSize, plusPointSize));
    plusLayer_->setBorderWidth(0);
    plusLayer_->setZPosition(2);
    plusLayer_->setAnchorPoint({0.5, 0.5});
    plusLayer_->setContentsGravity(ContentsGravity::resizeAspect);
    addSublayer(plusLayer_);

    connectionLayer_->setBounds(Rect(0, 0, 6, 4));
    connectionLayer_->setBackgroundColor(withAlpha(Color::lightGray(), 0.8));
    connectionLayer_->setMasksToBounds(true);
    connectionLayer_->setZPosition(1);
    connectionLayer_->setAnchorPoint({0, 0.5});
    addSublayer(connectionLayer_);
}

void HoverButtonLayer::setWhereToDrawConnectionLayer(DockPointLocation side)
{
    side_ = side;
    updateConnectionLayerGeometry();
}

void HoverButtonLayer::updateConnectionLayerGeometry()
{
    if (side_ == DockPointLocation::left || side_ == DockPointLocation::right) {
        connectionLayer_->setBounds(Rect(0, 0, 6, 4));
        connectionLayer_->setAnchorPoint({0, 0.5});
    } else {
        connectionLayer_->setBounds(Rect(0, 0, 4, 7));
        connectionLayer_->setAnchorPoint({0.5, 0});
    }
    setNeedsLayout();
}

void HoverButtonLayer::layoutSublayers()
{
    Transaction transaction(true);
    const Rect b = bounds();
    fillLayer_->setPosition(b.center());
    plusLayer_->setPosition(b.center());
    const Rect stub = connectionLayer_->frame();
    switch (side_) {
    case DockPointLocation::left:
        connectionLayer_->setPosition({b.maxX() - stub.width(), b.midY()});
        break;
    case DockPointLocation::right:
        connectionLayer_->setPosition({0, b.midY()});
        break;
    case DockPointLocation::top:
        connectionLayer_->setPosition({b.midX(), b.maxY() - stub.height()});
        break;
    case DockPointLocation::bottom:
        connectionLayer_->setPosition({b.midX(), 0});
        break;
    }
}

void HoverButtonLayer::updatePlusImage()
{
    static const QString symbol = QStringLiteral("plus.circle.fill");
    const double scale = contentsScale() > 0 ? contentsScale() : 1.0;
    const QColor tint = withAlpha(tintColor_, isActive_ ? 1.0 : 0.8);
    QImage image;
    if (SymbolImages::exists(symbol)) {
        image = SymbolImages::render(symbol, QSizeF(plusPointSize, plusPointSize), scale, tint,
                                     documentColor_.toQColor());
    } else {
        image = plusSymbolImage(std::max(1, int(std::lround(scale * plusPointSize))), tint, documentColor_.toQColor());
        image.setDevicePixelRatio(scale);
    }
    plusLayer_->setContents(image);
    connectionLayer_->setBackgroundColor(withAlpha(tintColor_, 0.8));
}

QImage HoverButtonLayer::plusSymbolImage(int size, const QColor& tint, const QColor& document)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const double radius = s * 0.42;
    const QPointF centre(s / 2, s / 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tint);
    painter.drawEllipse(centre, radius, radius);
    QPen pen(document, s * 0.09, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    const double arm = radius * 0.5;
    painter.drawLine(QPointF(centre.x() - arm, centre.y()), QPointF(centre.x() + arm, centre.y()));
    painter.drawLine(QPointF(centre.x(), centre.y() - arm), QPointF(centre.x(), centre.y() + arm));
    return image;
}

void HoverButtonLayer::setContentsScale(double scale)
{
    const bool changed = scale != contentsScale();
    Layer::setContentsScale(scale);
    fillLayer_->setContentsScale(scale);
    plusLayer_->setContentsScale(scale);
    connectionLayer_->setContentsScale(scale);
    // The symbol is a picture: draw it again for the new scale.
    if (changed && !plusLayer_->contents().isNull())
        updatePlusImage();
}

} // namespace velquine
