#include "platform/layer/LayerRenderer.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/layer/Layer.h"

namespace velquine {

namespace {

std::size_t cachedBytes = 0;
std::size_t cacheBudget = std::size_t(512) << 20;
// Larger pictures are not worth their memory: such layers are drawn directly.
constexpr qint64 maxPicturePixels = qint64(4096) * 4096;

LayerRenderer::Statistics stats;

struct Context {
    bool useCache = true;
};

struct Picture {
    QImage image;
    QPointF offset;  // device offset of the image's top-left from the layer's own origin
};

bool paints(const QColor& color) { return color.isValid() && color.alpha() > 0; }

QRectF toQRectF(const Rect& r) { return {r.origin.x, r.origin.y, r.size.width, r.size.height}; }

void paintLayer(QPainter& painter, const Layer& layer, const Rect& exposed, double parentOpacity, const Context& ctx);

void drawContents(QPainter& painter, const Layer& layer, const Rect& bounds)
{
    const QImage& image = layer.contents();
    const QSizeF size = image.deviceIndependentSize();
    const QRectF target = toQRectF(contentsRect(layer.contentsGravity(), bounds, {size.width(), size.height()}));
    if (painter.deviceTransform().m22() < 0) {
        // Images stay upright under a flipped root transform.
        painter.save();
        painter.translate(0, target.top() + target.bottom());
        painter.scale(1, -1);
        painter.drawImage(target, image);
        painter.restore();
    } else {
        painter.drawImage(target, image);
    }
}

// The layer's own drawing and its sublayers, in its own coordinates, at the given opacity.
void paintContent(QPainter& painter, const Layer& layer, const Rect& exposed, double opacity, const Context& ctx)
{
    ++stats.layersPainted;
    painter.setOpacity(opacity);
    const Rect b = layer.presentationBounds();
    const QRectF qb = toQRectF(b);
    const double radius = std::clamp(layer.cornerRadius(), 0.0, std::min(b.size.width, b.size.height) / 2);
    QPainterPath rounded;
    if (radius > 0)
        rounded.addRoundedRect(qb, radius, radius);
    const bool clip = layer.masksToBounds();
    if (clip) {
        painter.save();
        if (radius > 0)
            painter.setClipPath(rounded, Qt::IntersectClip);
        else
            painter.setClipRect(qb, Qt::IntersectClip);
    }
    if (paints(layer.backgroundColor())) {
        if (radius > 0)
            painter.fillPath(rounded, layer.backgroundColor());
        else
            painter.fillRect(qb, layer.backgroundColor());
    }
    if (!layer.contents().isNull())
        drawContents(painter, layer, b);
    layer.draw(painter);
    for (const Layer* sublayer : layer.sublayersInDrawingOrder())
        paintLayer(painter, *sublayer, exposed, opacity, ctx);
    if (clip)
        painter.restore();
    const double width = layer.borderWidth();
    if (width > 0 && paints(layer.borderColor())) {
        painter.setOpacity(opacity);
        QPen pen(layer.borderColor(), width);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const QRectF r = qb.adjusted(width / 2, width / 2, -width / 2, -width / 2);
        const double inner = std::max(0.0, radius - width / 2);
        if (inner > 0)
            painter.drawRoundedRect(r, inner, inner);
        else
            painter.drawRect(r);
    }
}

void makeGray(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            const int g = std::clamp(int(0.2125 * qRed(c) + 0.7154 * qGreen(c) + 0.0721 * qBlue(c) + 0.5), 0, qAlpha(c));
            line[x] = qRgba(g, g, g, qAlpha(c));
        }
    }
}

bool store(LayerPictureCache& cache, const Picture& picture, std::uint64_t revision, double sx, double sy)
{
    cachedBytes -= std::size_t(cache.image.sizeInBytes());
    cache.image = QImage();
    const auto bytes = std::size_t(picture.image.sizeInBytes());
    if (cachedBytes + bytes > cacheBudget)
        return false;
    cache.image = picture.image;
    cache.offset = picture.offset;
    cache.revision = revision;
    cache.scaleX = sx;
    cache.scaleY = sy;
    cachedBytes += bytes;
    return true;
}

// The layer and its sublayers as an image at the painter's device scale; none when the transform is not a
// plain scale, nothing is drawn or the image would be too large.
std::optional<Picture> pictureOf(const QPainter& painter, const Layer& layer, const Context& ctx, bool cacheable)
{
    const QTransform device = painter.deviceTransform();
    if (device.type() > QTransform::TxScale)
        return std::nullopt;
    const double sx = device.m11(), sy = device.m22();
    LayerPictureCache* cache = cacheable && ctx.useCache ? &layer.pictureCache() : nullptr;
    if (cache && !cache->image.isNull() && cache->revision == layer.contentRevision() && cache->scaleX == sx
        && cache->scaleY == sy) {
        return Picture{cache->image, cache->offset};
    }
    const Rect extent = layer.subtreeExtent();
    if (extent.isEmpty())
        return std::nullopt;
    const double x0 = std::min(sx * extent.minX(), sx * extent.maxX());
    const double x1 = std::max(sx * extent.minX(), sx * extent.maxX());
    const double y0 = std::min(sy * extent.minY(), sy * extent.maxY());
    const double y1 = std::max(sy * extent.minY(), sy * extent.maxY());
    const int left = int(std::floor(x0)) - 1, top = int(std::floor(y0)) - 1;
    const int width = int(std::ceil(x1)) + 1 - left, height = int(std::ceil(y1)) + 1 - top;
    if (width <= 0 || height <= 0 || qint64(width) * height > maxPicturePixels)
        return std::nullopt;
    Picture picture{QImage(width, height, QImage::Format_ARGB32_Premultiplied), QPointF(left, top)};
    picture.image.fill(Qt::transparent);
    {
        QPainter imagePainter(&picture.image);
        imagePainter.setRenderHints(painter.renderHints());
        imagePainter.setTransform(QTransform(sx, 0, 0, sy, -left, -top));
        paintContent(imagePainter, layer, extent, 1.0, ctx);
    }
    if (layer.hasGrayFilter())
        makeGray(picture.image);
    ++stats.picturesRebuilt;
    if (cache)
        store(*cache, picture, layer.contentRevision(), sx, sy);
    return picture;
}

// Draws an image whose top-left corner lies at a device offset from the painter's origin, pixel for pixel.
void drawAtDeviceOffset(QPainter& painter, const QImage& image, QPointF offset)
{
    const QTransform world = painter.worldTransform();
    const QPointF origin = painter.deviceTransform().map(QPointF(0, 0));
    painter.resetTransform();
    const QTransform base = painter.deviceTransform();
    const double scale = base.m11() > 0 ? base.m11() : 1.0;
    const QPointF topLeft = base.inverted().map(origin + offset);
    painter.drawImage(QRectF(topLeft, QSizeF(image.width() / scale, image.height() / scale)), image);
    painter.setWorldTransform(world);
}

// Box blur of every channel, three passes each way: close to a Gaussian of the radius.
QImage blurred(const QImage& source, int radius)
{
    if (radius < 1)
        return source;
    QImage image = source;
    const int w = image.width(), h = image.height();
    std::vector<QRgb> line;
    auto pass = [&](bool horizontal) {
        const int lines = horizontal ? h : w, length = horizontal ? w : h;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> QRgb& {
                return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(l))[i]
                                  : reinterpret_cast<QRgb*>(image.scanLine(i))[l];
            };
            line.resize(std::size_t(length));
            for (int i = 0; i < length; ++i)
                line[std::size_t(i)] = at(i);
            int a = 0, r = 0, g = 0, b = 0;
            const int window = 2 * radius + 1;
            for (int i = -radius; i < length + radius; ++i) {
                if (i + radius < length) {
                    const QRgb c = line[std::size_t(i + radius)];
                    a += qAlpha(c), r += qRed(c), g += qGreen(c), b += qBlue(c);
                }
                if (i - radius - 1 >= 0) {
                    const QRgb c = line[std::size_t(i - radius - 1)];
                    a -= qAlpha(c), r -= qRed(c), g -= qGreen(c), b -= qBlue(c);
                }
                if (i >= 0 && i < length)
                    at(i) = qRgba(r / window, g / window, b / window, a / window);
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    return image;
}

void drawShadow(QPainter& painter, const Layer& layer, const Picture& picture)
{
    const QTransform device = painter.deviceTransform();
    const double scale = std::fabs(device.m11());
    const int radius = int(std::ceil(layer.shadowRadius() * scale / 2));
    const int margin = 3 * radius + 1;
    QImage shadow(picture.image.width() + 2 * margin, picture.image.height() + 2 * margin,
                  QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter p(&shadow);
        p.drawImage(margin, margin, picture.image);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor color = layer.shadowColor();
        color.setAlphaF(float(std::clamp(color.alphaF() * layer.shadowOpacity(), 0.0, 1.0)));
        p.fillRect(shadow.rect(), color);
    }
    shadow = blurred(shadow, radius);
    // The offset's y is upwards: a negative height casts the shadow down on the device.
    const QPointF cast(layer.shadowOffset().width * scale, -layer.shadowOffset().height * std::fabs(device.m22()));
    drawAtDeviceOffset(painter, shadow, picture.offset - QPointF(margin, margin) + cast);
}

void paintLayer(QPainter& painter, const Layer& layer, const Rect& exposed, double parentOpacity, const Context& ctx)
{
    if (layer.isHidden())
        return;
    const double opacity = parentOpacity * layer.presentationOpacity();
    if (!(opacity > 0))
        return;
    const Rect visual = layer.visualBounds();
    if (visual.isNull() || !visual.intersects(exposed))
        return;
    const Rect f = layer.presentationFrame();
    const Rect b = layer.presentationBounds();
    const double dx = f.origin.x - b.origin.x, dy = f.origin.y - b.origin.y;
    painter.translate(dx, dy);
    const Rect own = exposed.offsetBy(-dx, -dy);
    const bool shadow = layer.hasVisibleShadow();
    const bool cached = layer.cachesPicture() && ctx.useCache;
    std::optional<Picture> picture;
    if (shadow || cached || layer.hasGrayFilter())
        picture = pictureOf(painter, layer, ctx, cached);
    if (picture) {
        painter.setOpacity(opacity);
        if (shadow)
            drawShadow(painter, layer, *picture);
        drawAtDeviceOffset(painter, picture->image, picture->offset);
        ++stats.picturesDrawn;
    } else {
        paintContent(painter, layer, own, opacity, ctx);
    }
    painter.translate(-dx, -dy);
}

} // namespace

LayerPictureCache::~LayerPictureCache() { cachedBytes -= std::size_t(image.sizeInBytes()); }

QTransform LayerRenderer::rootTransform(const Rect& source, const QRectF& target, bool flipped)
{
    const double sx = source.size.width != 0 ? target.width() / source.size.width : 1.0;
    const double sy = source.size.height != 0 ? target.height() / source.size.height : 1.0;
    QTransform transform;
    if (flipped) {
        transform.translate(target.left(), target.bottom());
        transform.scale(sx, -sy);
    } else {
        transform.translate(target.left(), target.top());
        transform.scale(sx, sy);
    }
    transform.translate(-source.origin.x, -source.origin.y);
    return transform;
}

void LayerRenderer::render(QPainter& painter, Layer& root, const LayerRenderOptions& options)
{
    root.layoutIfNeeded();
    if (root.isHidden())
        return;
    const Rect source = options.sourceRect.isNull() ? root.presentationBounds() : options.sourceRect.standardized();
    if (source.isEmpty() || !source.origin.isFinite() || !source.size.isFinite())
        return;
    const QRectF target = options.targetRect.value_or(toQRectF(source));
    const Rect exposed = options.exposedRect.isNull() ? source : options.exposedRect.intersection(source);
    if (exposed.isNull())
        return;
    Context ctx{options.usePictureCache};
    painter.save();
    painter.setTransform(rootTransform(source, target, options.flipped), true);
    painter.setClipRect(toQRectF(source), Qt::IntersectClip);
    // The root is drawn in its own coordinates: its position does not count.
    paintContent(painter, root, exposed, root.presentationOpacity(), ctx);
    painter.restore();
}

QImage LayerRenderer::renderToImage(Layer& root, QSize pixelSize, const LayerRenderOptions& options,
                                    double devicePixelRatio)
{
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    LayerRenderOptions o = options;
    if (!o.targetRect)
        o.targetRect = QRectF(0, 0, pixelSize.width() / devicePixelRatio, pixelSize.height() / devicePixelRatio);
    render(painter, root, o);
    return image;
}

LayerRenderer::Statistics& LayerRenderer::statistics() { return stats; }

std::size_t LayerRenderer::cachedPictureBytes() { return cachedBytes; }

void LayerRenderer::setCachedPictureBudget(std::size_t bytes) { cacheBudget = bytes; }

} // namespace velquine
