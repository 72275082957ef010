// Painting a layer host while a few of its layers change on every frame: the still layers come from two
// images of the visible area (below and above the split depth), the rigid group from one image of its own
// (of the part in view when the group is large) drawn at the group's offset, and only the other live layers
// are painted each time.

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
    if (rigid != rigidSublayers_) {
        rigidSublayers_ = rigid;
        rigidSet_ = FlatHashSet<const Layer*, LayerHash>(rigid.size());
        for (const Layer* layer : rigid)
            rigidSet_.insert(layer);
        rigidValid_ = false;
        rigidExtentValid_ = false;
        rigidImage_ = QImage();
    }
    if (layers.empty())
        rigidOffset_ = {0, 0};
    if (layers == liveList_ && splitDepth == splitDepth_)
        return;
    // A layer that stops being live is missing from the images, one that becomes live is in them.
    liveList_ = layers;
    liveSublayers_ = FlatHashSet<const Layer*, LayerHash>(layers.size());
    for (const Layer* layer : layers)
        liveSublayers_.insert(layer);
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
            return !liveSublayers_.contains(&layer) && layer.zPosition() < splitDepth_;
        };
        backdropBands_[0].render(painter, *root_, options, area, exposedOf);
    }
    backdropAbove_ = blankImage(visible.size(), ratio);
    {
        QPainter painter(&backdropAbove_);
        prepare(painter, {});
        options.sublayerFilter = [this](const Layer& layer) {
            return !liveSublayers_.contains(&layer) && layer.zPosition() >= splitDepth_;
        };
        options.paintsRoot = false;
        backdropBands_[1].render(painter, *root_, options, area, exposedOf);
    }
    backdropRect_ = visible;
    backdropTransform_ = layerToWidget();
    backdropValid_ = !Animator::shared().isRunning();
}

void LayerHostWidget::setRigidOffset(Point offset)
{
    if (offset == rigidOffset_)
        return;
    // Where the group is drawn before and after, once its extent is known; else everything.
    const auto drawn = [this] {
        return widgetRectFromLayer(rigidExtent_).translated(rigidShiftSincePicture()).toAlignedRect().adjusted(-2, -2, 2, 2);
    };
    const bool known = rigidExtentValid_ && !rigidExtent_.isNull();
    const QRect before = known ? drawn() : QRect();
    rigidOffset_ = offset;
    if (known)
        update(before.united(drawn()));
    else
        update();
}

QPointF LayerHostWidget::rigidShift() const
{
    return widgetRectFromLayer(Rect(rigidOffset_.x, rigidOffset_.y, 0, 0)).topLeft()
        - widgetRectFromLayer(Rect(0, 0, 0, 0)).topLeft();
}

QPointF LayerHostWidget::rigidShiftSincePicture() const
{
    QPointF shift = rigidShift();
    if (!rigidImage_.isNull()) {
        // The group may also have moved by its layers since its picture was made.
        const Point now = rigidSublayers_.front()->presentationFrame().origin;
        shift += widgetRectFromLayer(Rect(now.x, now.y, 0, 0)).topLeft()
            - widgetRectFromLayer(Rect(rigidOrigin_.x, rigidOrigin_.y, 0, 0)).topLeft();
    }
    return shift;
}

bool LayerHostWidget::prepareRigidImage(const QRect& visible)
{
    if (rigidSublayers_.empty() || Animator::shared().isRunning())
        return false;
    const qreal ratio = devicePixelRatioF();
    const auto pixels = [ratio](const QRect& r) { return qint64(r.width() * ratio) * qint64(r.height() * ratio); };
    // What the visible area shows of the group, in widget pixels where its layers stood for the picture.
    const auto neededOf = [&](QPointF shift, QRect& whole) {
        if (!rigidExtentValid_) {
            rigidExtent_ = Rect::null();
            for (const Layer* layer : rigidSublayers_)
                if (const Rect bounds = layer->visualBounds(); !bounds.isNull())
                    rigidExtent_ = rigidExtent_.isNull() ? bounds : rigidExtent_.unionWith(bounds);
            rigidExtentValid_ = true;
        }
        if (rigidExtent_.isNull())
            return QRect();
        whole = widgetRectFromLayer(rigidExtent_).toAlignedRect().adjusted(-1, -1, 1, 1);
        return whole.intersected(QRectF(visible).translated(-shift).toAlignedRect());
    };
    QRect whole;
    if (rigidValid_ && !rigidImage_.isNull() && rigidImage_.devicePixelRatio() == ratio
        && rigidTransform_ == layerToWidget()) {
        const QRect needed = neededOf(rigidShiftSincePicture(), whole);
        if (needed.isEmpty() || rigidRect_.contains(needed))
            return !needed.isEmpty();
    }
    // Made again from the layers as they stand now.
    rigidExtentValid_ = false;
    rigidImage_ = QImage();
    const QRect needed = neededOf(rigidShift(), whole);
    if (needed.isEmpty())
        return false;
    // The whole group when it fits one picture, else what is in view with room to move on every side.
    QRect area = whole;
    if (pixels(area) > maxRigidPixels)
        area = needed.adjusted(-visible.width() / 2, -visible.height() / 2, visible.width() / 2, visible.height() / 2)
                   .intersected(whole);
    if (pixels(area) > maxRigidPixels)
        area = needed;
    rigidValid_ = true;
    if (pixels(area) > maxRigidPixels)
        return false;
    rigidImage_ = blankImage(area.size(), ratio);
    QPainter painter(&rigidImage_);
    prepare(painter, area.topLeft());
    LayerRenderOptions options = renderOptions(QRectF(rect()));
    options.exposedRect = layerRectFromWidget(QRectF(area));
    options.sublayerFilter = [this](const Layer& layer) { return rigidSet_.contains(&layer); };
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
    // The rigid group is drawn at its offset, on whole device pixels from its picture.
    const QPointF shift = rigidShift();
    std::optional<QPointF> rigidAt;
    if (prepareRigidImage(visible)) {
        const qreal ratio = devicePixelRatioF();
        const QPointF moved = rigidShiftSincePicture();
        rigidAt = QPointF(rigidRect_.topLeft())
            + QPointF(std::round(moved.x() * ratio) / ratio, std::round(moved.y() * ratio) / ratio);
    }
    const auto paintedLive = [this](const Layer& layer) {
        return liveSublayers_.contains(&layer) && !rigidSet_.contains(&layer);
    };
    LayerRenderOptions below = options, above = options, rigid = options;
    below.paintsRoot = above.paintsRoot = rigid.paintsRoot = false;
    below.sublayerFilter = [&](const Layer& layer) { return paintedLive(layer) && layer.zPosition() < splitDepth_; };
    above.sublayerFilter = [&](const Layer& layer) { return paintedLive(layer) && layer.zPosition() >= splitDepth_; };
    rigid.sublayerFilter = [this](const Layer& layer) { return rigidSet_.contains(&layer); };
    for (const QRect& r : rects) {
        below.exposedRect = above.exposedRect = layerRectFromWidget(QRectF(r).adjusted(-1, -1, 1, 1));
        painter.save();
        painter.setClipRect(r);
        painter.drawImage(backdropRect_.topLeft(), backdropBelow_);
        LayerRenderer::render(painter, *root_, below);
        painter.drawImage(backdropRect_.topLeft(), backdropAbove_);
        if (rigidAt) {
            painter.drawImage(*rigidAt, rigidImage_);
        } else if (!rigidSublayers_.empty()) {
            // Layer by layer, those in view where they are drawn.
            painter.save();
            painter.translate(shift);
            rigid.exposedRect = layerRectFromWidget(QRectF(r).translated(-shift).adjusted(-1, -1, 1, 1));
            LayerRenderer::render(painter, *root_, rigid);
            painter.restore();
        }
        LayerRenderer::render(painter, *root_, above);
        painter.restore();
    }
}

} // namespace velquine
