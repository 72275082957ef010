#include "canvas/svg/SVGLayer.h"

#include <QStringList>

#include "platform/Log.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

std::optional<std::string> text(const SVGBezierPath& path, const std::string& key)
{
    return svgAttribute<std::string>(path.svgAttributes(), key);
}

std::optional<QColor> color(const SVGBezierPath& path, const std::string& key)
{
    if (const std::optional<SVGColor> c = svgAttribute<SVGColor>(path.svgAttributes(), key))
        return c->toQColor();
    return std::nullopt;
}

std::vector<double> dashes(const std::string& list)
{
    std::vector<double> pattern;
    for (const QString& part : QString::fromStdString(list).split(QLatin1Char(',')))
        pattern.push_back(part.trimmed().toDouble());
    return pattern;
}

} // namespace

SVGLayer::SVGLayer() { setName("svg"); }

SVGLayer::SVGLayer(const std::string& location) : SVGLayer() { setPaths(SVGBezierPath::pathsFromSVGAtURL(location)); }

void SVGLayer::setPaths(std::vector<SVGBezierPath> paths)
{
    paths_ = std::move(paths);
    for (const std::shared_ptr<ShapeLayer>& layer : shapeLayers_)
        layer->removeFromSuperlayer();
    shapeLayers_.clear();
    untouchedPaths_.clear();

    Transaction transaction(true);
    for (const SVGBezierPath& original : paths_) {
        if (text(original, "display") == "none")
            continue;
        SVGBezierPath path = original;
        if (const std::optional<QTransform> t = svgAttribute<QTransform>(path.svgAttributes(), "transform"))
            path.applyTransform(*t);
        auto layer = std::make_shared<ShapeLayer>();
        layer->setPath(path.CGPath());
        layer->setLineWidth(path.lineWidth());
        const std::optional<std::string> opacity = text(path, "opacity");
        layer->setOpacity(opacity ? QString::fromStdString(*opacity).toFloat() : 1.0);
        insertSublayer(layer, shapeLayers_.size());
        shapeLayers_.push_back(layer);
        untouchedPaths_.push_back(std::move(path));
    }
    setNeedsLayout();
}

void SVGLayer::setFillColor(const std::optional<QColor>& color)
{
    fillColor_ = color;
    if (color) {
        for (const std::shared_ptr<ShapeLayer>& layer : shapeLayers_)
            layer->setFillColor(*color);
    }
}

void SVGLayer::setStrokeColor(const std::optional<QColor>& color)
{
    strokeColor_ = color;
    if (color) {
        for (const std::shared_ptr<ShapeLayer>& layer : shapeLayers_)
            layer->setStrokeColor(*color);
    }
}

void SVGLayer::setScaleLineWidth(bool scale)
{
    scaleLineWidth_ = scale;
    setNeedsLayout();
}

Rect SVGLayer::viewBox() const { return paths_.empty() ? Rect(0, 0, 0, 0) : paths_.front().viewBox(); }

Size SVGLayer::preferredFrameSize() const
{
    Rect all(0, 0, 0, 0);
    for (const SVGBezierPath& path : untouchedPaths_)
        all = all.unionWith(path.bounds());
    return all.size;
}

void SVGLayer::styleShapeLayer(ShapeLayer& layer, const SVGBezierPath& path, double lineScale) const
{
    layer.setFillColor(fillColor_ ? *fillColor_ : color(path, "fill").value_or(QColor(Qt::black)));
    layer.setStrokeColor(strokeColor_ ? *strokeColor_ : color(path, "stroke").value_or(QColor()));
    if (scaleLineWidth_)
        layer.setLineWidth(path.lineWidth() * lineScale);
    layer.setFillRule(text(path, "fill-rule") == "evenodd" ? FillRule::evenOdd : FillRule::nonZero);
    const std::optional<std::string> cap = text(path, "stroke-linecap");
    layer.setLineCap(cap == "round" ? LineCap::round : cap == "square" ? LineCap::square : LineCap::butt);
    const std::optional<std::string> join = text(path, "stroke-linejoin");
    layer.setLineJoin(join == "round" ? LineJoin::round : join == "bevel" ? LineJoin::bevel : LineJoin::miter);
    if (const std::optional<std::string> limit = text(path, "stroke-miterlimit"))
        layer.setMiterLimit(QString::fromStdString(*limit).toDouble());
    const std::optional<std::string> dash = text(path, "stroke-dasharray");
    layer.setLineDashPattern(dash ? dashes(*dash) : std::vector<double>{});
}

void SVGLayer::layoutSublayers()
{
    if (shapeLayers_.size() != untouchedPaths_.size()) {
        VQ_LOG("layoutSublayers()", "Layer & Path count in SVG Image View does not match!");
        return;
    }
    Transaction transaction(true);
    const Size p = preferredFrameSize();
    const Rect r = contentsRect(contentsGravity(), bounds(), p);
    // Content without width or height is not stretched along that axis.
    const double sx = p.width > 0 ? r.size.width / p.width : 1.0;
    const double sy = p.height > 0 ? r.size.height / p.height : 1.0;
    const QTransform t = QTransform::fromScale(sx, sy) * QTransform::fromTranslate(r.origin.x, r.origin.y);
    for (std::size_t i = 0; i < shapeLayers_.size(); ++i) {
        const SVGBezierPath& path = untouchedPaths_[i];
        ShapeLayer& layer = *shapeLayers_[i];
        styleShapeLayer(layer, path, (sx + sy) / 2);
        const Rect pb = path.bounds();
        const QRectF frame = t.mapRect(QRectF(pb.origin.x, pb.origin.y, pb.size.width, pb.size.height));
        layer.setAnchorPoint({0, 0});
        layer.setFrame(Rect(frame.x(), frame.y(), frame.width(), frame.height()));
        layer.setPath((QTransform::fromTranslate(-pb.origin.x, -pb.origin.y) * QTransform::fromScale(sx, sy))
                          .map(path.CGPath()));
    }
}

} // namespace velquine
