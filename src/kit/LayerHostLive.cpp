// Painting a layer host while a few of its layers change on every frame: the still layers come from two
// images of the visible area (below and above the split depth), the rigid group from one image of its own,
// and only the other live layers are painted each time.

#include "kit/LayerHostWidget.h"

#include <QPainter>

#include <cmath>
#include <optional>

#include "platform/layer/Animator.h"
#include "platform/layer/Layer.h"

namespace velquine {

namespace {

// The largest group picture, in device pixels.
constexpr qint64 maxRigidPixels = qint64(4096) * 4096;

QImage blankImage(QSize size, qreal ratio)
{
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

void prepare(QPainter& painter, QPoint origin)
{
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter.translate(-origin);
}

} // namespace

void LayerHostWidget::setLiveSublayers(const std::vector<const Layer*>& layers, const std::vector<const Layer*>& rigid,
                                       double splitDepth)
{
    std::unordered_set<const Layer*> live(layers.begin(), layers.end());
    if (rigid != rigidSublayers_) {
        rigidSublayers_ = rigid;
        rigidSet_ = std::unordered_set<const Layer*>(rigid.begin(), rigid.end());
        rigidValid_ = false;
        rigidImage_ = QImage();
    }
    if (live == liveSublayers_ && splitDepth == splitDepth_)
        return;
    // A layer that stops being live is missing from the images, one that becomes live is in them.
    liveSublayers_ = std::move(live);
    splitDepth_ = splitDepth;
    backdropValid_ = false;
    if (liveSublayers_.empty()) {
        backdropBelow_ = backdropAbove_ = QImage();
        update();
    }
}

void LayerHostWidget::paintBackdrop(const QRect& visible)
{
    const qreal ratio = devicePixelRatioF();
    // The images are painted like a large paint of the widget, in bands on several threads, each in its own
    // coordinates: the widget's moved to the visible area's corner.
    LayerRenderOptions options = renderOptions(QRectF(rect()).translated(-visible.topLeft()));
    const QRect area(QPoint(0, 0), visible.size());
    const auto exposedOf = [this, &visible](const QRect& part) {
        return layerRectFromWidget(QRectF(part.translated(visible.topLeft())).adjusted(-1, -1, 1, 1));
    };
    backdropBelow_ = blankImage(visible.size(), ratio);
    {
        QPainter painter(&backdropBelow_);
        prepare(painter, {});
        options.sublayerFilter = [this](const Layer& layer) {
            return !liveSublayers_.count(&layer) && layer.zPosition() < splitDepth_;
        };
        backdropBands_[0].render(painter, *root_, options, area, exposedOf);
    }
    backdropAbove_ = blankImage(visible.size(), ratio);
    {
        QPainter painter(&backdropAbove_);
        prepare(painter, {});
        options.sublayerFilter = [this](const Layer& layer) {
            return !liveSublayers_.count(&layer) && layer.zPosition() >= splitDepth_;
        };
        options.paintsRoot = false;
        backdropBands_[1].render(painter, *root_, options, area, exposedOf);
    }
    backdropRect_ = visible;
    backdropTransform_ = layerToWidget();
    backdropValid_ = !Animator::shared().isRunning();
}

bool LayerHostWidget::prepareRigidImage()
{
    if (rigidSublayers_.empty() || Animator::shared().isRunning())
        return false;
    const qreal ratio = devicePixelRatioF();
    if (rigidValid_ && rigidImage_.devicePixelRatio() == ratio && rigidTransform_ == layerToWidget())
        return !rigidImage_.isNull();
    rigidValid_ = true;
    rigidImage_ = QImage();
    Rect extent = Rect::null();
    for (const Layer* layer : rigidSublayers_)
        if (const Rect bounds = layer->visualBounds(); !bounds.isNull())
            extent = extent.isNull() ? bounds : extent.unionWith(bounds);
    if (extent.isNull())
        return false;
    const QRect area = widgetRectFromLayer(extent).toAlignedRect().adjusted(-1, -1, 1, 1);
    // A group too large for one picture is painted layer by layer.
    if (qint64(area.width() * ratio) * qint64(area.height() * ratio) > maxRigidPixels)
        return false;
    rigidImage_ = blankImage(area.size(), ratio);
    QPainter painter(&rigidImage_);
    prepare(painter, area.topLeft());
    LayerRenderOptions options = renderOptions(QRectF(rect()));
    options.exposedRect = layerRectFromWidget(QRectF(area));
    options.sublayerFilter = [this](const Layer& layer) { return rigidSet_.count(&layer) != 0; };
    options.paintsRoot = false;
    LayerRenderer::render(painter, *root_, options);
    rigidRect_ = area;
    rigidTransform_ = layerToWidget();
    rigidOrigin_ = rigidSublayers_.front()->presentationFrame().origin;
    return true;
}

void LayerHostWidget::paintLive(QPainter& painter, const std::vector<QRect>& rects, LayerRenderOptions options)
{
    const QRect visible = visibleRegion().boundingRect();
    if (!backdropValid_ || backdropRect_ != visible || backdropBelow_.devicePixelRatio() != devicePixelRatioF()
        || backdropTransform_ != layerToWidget())
        paintBackdrop(visible);
    std::optional<QPointF> rigidAt;
    if (prepareRigidImage()) {
        // The group moved by whole device pixels since its picture was made.
        const Point now = rigidSublayers_.front()->presentationFrame().origin;
        const QPointF moved = widgetRectFromLayer(Rect(now.x, now.y, 0, 0)).topLeft()
            - widgetRectFromLayer(Rect(rigidOrigin_.x, rigidOrigin_.y, 0, 0)).topLeft();
        const qreal ratio = devicePixelRatioF();
        rigidAt = QPointF(rigidRect_.topLeft())
            + QPointF(std::round(moved.x() * ratio) / ratio, std::round(moved.y() * ratio) / ratio);
    }
    const bool groupPictured = rigidAt.has_value();
    const auto paintedLive = [this, groupPictured](const Layer& layer) {
        return liveSublayers_.count(&layer) && !(groupPictured && rigidSet_.count(&layer));
    };
    LayerRenderOptions below = options, above = options;
    below.paintsRoot = above.paintsRoot = false;
    below.sublayerFilter = [&](const Layer& layer) { return paintedLive(layer) && layer.zPosition() < splitDepth_; };
    above.sublayerFilter = [&](const Layer& layer) { return paintedLive(layer) && layer.zPosition() >= splitDepth_; };
    for (const QRect& r : rects) {
        below.exposedRect = above.exposedRect = layerRectFromWidget(QRectF(r).adjusted(-1, -1, 1, 1));
        painter.save();
        painter.setClipRect(r);
        painter.drawImage(backdropRect_.topLeft(), backdropBelow_);
        LayerRenderer::render(painter, *root_, below);
        painter.drawImage(backdropRect_.topLeft(), backdropAbove_);
        if (rigidAt)
            painter.drawImage(*rigidAt, rigidImage_);
        LayerRenderer::render(painter, *root_, above);
        painter.restore();
    }
}

} // namespace velquine
