#include "canvas/svg/SVGImageView.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QResizeEvent>

#include <cmath>

#include "canvas/svg/SVGError.h"
#include "platform/layer/LayerRenderer.h"

namespace velquine {

SVGImageView::SVGImageView(QWidget* parent) : QWidget(parent), svgLayer_(std::make_shared<SVGLayer>())
{
    svgLayer_->setAnchorPoint({0, 0});
    svgLayer_->setFrame(Rect(0, 0, width(), height()));
    svgLayer_->setDirtyAreaHandler([this](const Rect&) { update(); });
}

SVGImageView::SVGImageView(const std::string& location, QWidget* parent) : SVGImageView(parent)
{
    loadSVG(location);
}

void SVGImageView::loadSVG(const std::string& location)
{
    svgLayer_->setPaths(SVGBezierPath::pathsFromSVGAtURL(location));
    update();
}

void SVGImageView::setSvgName(const QString& name)
{
    QString path = QStringLiteral(":/") + name + QStringLiteral(".svg");
    if (name.isEmpty()) {
        const QStringList found = QDir(QStringLiteral(":/")).entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
        path = found.isEmpty() ? QString() : QStringLiteral(":/") + found.front();
    }
    if (path.isEmpty() || !QFile::exists(path))
        throw SVGError::invalidParameter("url");
    svgName_ = name;
    loadSVG(path.toStdString());
}

void SVGImageView::setPaths(std::vector<SVGBezierPath> paths)
{
    svgLayer_->setPaths(std::move(paths));
    update();
}

void SVGImageView::setFillColor(const std::optional<QColor>& color)
{
    svgLayer_->setFillColor(color);
    update();
}

void SVGImageView::setStrokeColor(const std::optional<QColor>& color)
{
    svgLayer_->setStrokeColor(color);
    update();
}

void SVGImageView::setScaleLineWidth(bool scale)
{
    scaleLineWidth_ = scale;
    svgLayer_->setScaleLineWidth(scale);
    update();
}

QSize SVGImageView::sizeThatFits(QSize) const
{
    const Size size = svgLayer_->preferredFrameSize();
    return {int(std::ceil(size.width)), int(std::ceil(size.height))};
}

QSize SVGImageView::sizeHint() const { return sizeThatFits(QSize()); }

void SVGImageView::sizeToFit() { resize(sizeThatFits(size())); }

void SVGImageView::resizeEvent(QResizeEvent* event)
{
    svgLayer_->setFrame(Rect(0, 0, event->size().width(), event->size().height()));
    QWidget::resizeEvent(event);
}

void SVGImageView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    LayerRenderer::render(painter, *svgLayer_);
}

} // namespace velquine
