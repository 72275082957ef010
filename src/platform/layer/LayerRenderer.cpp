#include "platform/layer/LayerRenderer.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

#include "platform/QtGeometry.h"
#include "platform/layer/Animator.h"
#include "platform/layer/Layer.h"
#include "platform/layer/LayerImageEffects.h"
#include "platform/layer/LayerPictureStore.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/StrokeRaster.h"

namespace velquine {

namespace {

using namespace pictures;

// Larger pictures are not worth their memory: such layers are drawn directly.
constexpr qint64 maxPicturePixels = qint64(4096) * 4096;
// The most pixels a StrokeRaster covers at once (each thread keeps two bytes for each).
constexpr qint64 maxRasterPixels = qint64(1024) * 1024;

LayerRenderer::Statistics stats;

bool paints(const QColor& color) { return color.isValid() && color.alpha() > 0; }

// Layers with more sublayers than this visit only those near the area: those the preparation found for the
// paints of parts of an area, or, in a paint of its own, those the layer finds near.
constexpr std::size_t crowded = 32;

// The painter's own mapping of world coordinates to its device (viewport, window, redirection to a backing
// store, device pixel ratio), read under an identity world transform: undoing the world transform from the
// device transform instead would leave rounding that differs from one world transform to the next.
QTransform worldToDevice(QPainter& painter)
{
    const QTransform world = painter.worldTransform();
    if (world.isIdentity())
        return painter.deviceTransform();
    painter.setWorldTransform(QTransform());
    const QTransform device = painter.deviceTransform();
    painter.setWorldTransform(world);
    return device;
}

// One paint of a tree. Layers only translate, so the renderer keeps the painter's transform itself: a layer
// whose origin lies at (x, y) in root coordinates draws under translate(x, y) × root, and pictures are
// copied in device pixels. The painter's transform and opacity change only when they must.
class Painting {
public:
    using Clock = std::chrono::steady_clock;

    // device maps the painter's world coordinates to its device (worldToDevice): the root's device transform
    // is made from it and rootWorld by multiplying alone, so every paint of a root transform at one device
    // scale, whatever else its world transform holds, sees the same scale to the last bit.
    Painting(QPainter& painter, const QTransform& rootWorld, const QTransform& device, bool useCache,
             LayerRenderer::Statistics& counts, const LayerPaintPreparation* shared,
             std::optional<Clock::time_point> rebuildDeadline = std::nullopt)
        : painter_(painter), useCache_(useCache), shared_(shared), counts_(counts), rootWorld_(rootWorld),
          rebuildDeadline_(rebuildDeadline), device_(device), rootDevice_(rootWorld * device),
          deviceWorld_(device.inverted())
    {
    }

    QPainter& painter() { return painter_; }
    bool useCache() const { return useCache_; }
    // Other threads paint the same tree at the same time: the tree is only read, no picture is stored.
    bool isShared() const { return shared_ != nullptr; }
    const LayerPaintPreparation* preparation() const { return shared_; }
    LayerRenderer::Statistics& counts() { return counts_; }
    // The sublayers to visit for a paint of the exposed area (the layer's own coordinates), in drawing order:
    // of a crowded layer, only those near it, found by its preparation or, in a paint of its own, put in near.
    const std::vector<Layer*>& sublayersToVisit(const Layer& layer, const Rect& exposed, std::vector<Layer*>& near) const
    {
        if (shared_ && !shared_->crowdedSublayers.empty()) {
            const auto it = shared_->crowdedSublayers.find(&layer);
            if (it != shared_->crowdedSublayers.end())
                return it->second;
        }
        if (shared_ || layer.sublayers().size() <= crowded)
            return layer.sublayersInDrawingOrder();
        return layer.sublayersNear(exposed, near);
    }
    // The plain strokes prepared for the sublayers sublayersToVisit() gives of the layer, in their order; none
    // when they were not prepared.
    const LayerPaintPreparation::StrokesOfLayer* preparedStrokes(const Layer& layer) const
    {
        if (!shared_ || shared_->crowdedStrokes.empty())
            return nullptr;
        const auto it = shared_->crowdedStrokes.find(&layer);
        return it != shared_->crowdedStrokes.end() ? &it->second : nullptr;
    }
    // Whether pictures that are only out of scale may still be rebuilt in this paint: while the budget lasts,
    // and the first one always when the budget is not nothing, so that paint after paint refines them.
    bool mayRebuild() const
    {
        return !rebuildDeadline_ || Clock::now() < *rebuildDeadline_ || (rebuildsOne_ && rebuilt_ == 0);
    }
    void setRebuildsOne(bool rebuildsOne) { rebuildsOne_ = rebuildsOne; }
    void noteRebuilt()
    {
        ++rebuilt_;
        ++counts_.picturesRebuilt;
    }
    bool isComplete() const { return complete_; }
    void markIncomplete() { complete_ = false; }
    const QTransform& rootDevice() const { return rootDevice_; }
    // Whether plain strokes are drawn together by a StrokeRaster: on raster devices under a plain scale.
    bool drawsStrokesTogether()
    {
        if (!strokesTogether_)
            strokesTogether_ = StrokeRaster::suits(painter_, rootDevice_);
        return *strokesTogether_;
    }
    const QTransform& rootWorld() const { return rootWorld_; }
    const QTransform& device() const { return device_; }

    // The painter in the coordinates of a layer whose origin is at (x, y) of the root.
    void layerCoordinates(double x, double y)
    {
        if (mode_ == Mode::layer && x_ == x && y_ == y)
            return;
        painter_.setWorldTransform(QTransform::fromTranslate(x, y) * rootWorld_);
        mode_ = Mode::layer;
        x_ = x;
        y_ = y;
    }
    // Draws an image pixel for pixel with its top-left corner at a device position (whole pixels, so the
    // raster engine copies it without resampling).
    void drawDeviceImage(QPointF topLeft, const QImage& image)
    {
        if (mode_ != Mode::device) {
            painter_.setWorldTransform(deviceWorld_);
            mode_ = Mode::device;
        }
        painter_.drawImage(QPointF(onDevicePixel(topLeft.x()), onDevicePixel(topLeft.y())), image);
    }
    // The whole device pixel a position is drawn at. Halves go up whatever the sign: a paint of part of the
    // view (a band, a strip) has its device origin elsewhere than a paint of the whole, and rounding halves
    // away from zero would put a picture a pixel apart in the two. A position within a millionth of a pixel of
    // a half counts as the half: the same place reached through another device origin differs in its last bits,
    // to either side.
    static double onDevicePixel(double v) { return std::floor(v + 0.5 + 1e-6); }
    // The same, resampled into a device rectangle: a stand-in until the next paint, so nearest pixels do.
    void drawDeviceImage(const QRectF& target, const QImage& image)
    {
        if (mode_ != Mode::device) {
            painter_.setWorldTransform(deviceWorld_);
            mode_ = Mode::device;
        }
        const bool smooth = painter_.testRenderHint(QPainter::SmoothPixmapTransform);
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter_.drawImage(target, image);
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    }
    void setOpacity(double opacity)
    {
        if (opacity != opacity_) {
            painter_.setOpacity(opacity);
            opacity_ = opacity;
        }
    }
    // After the painter's state was restored behind the tracking's back.
    void forgetState()
    {
        mode_ = Mode::unknown;
        opacity_ = -1;
    }

private:
    enum class Mode { unknown, layer, device };
    QPainter& painter_;
    bool useCache_;
    const LayerPaintPreparation* shared_;
    LayerRenderer::Statistics& counts_;
    QTransform rootWorld_;
    std::optional<Clock::time_point> rebuildDeadline_;
    bool rebuildsOne_ = false;
    std::size_t rebuilt_ = 0;
    bool complete_ = true;
    QTransform device_;
    QTransform rootDevice_;
    QTransform deviceWorld_;
    Mode mode_ = Mode::unknown;
    std::optional<bool> strokesTogether_;
    double x_ = 0, y_ = 0;
    double opacity_ = -1;
};

void paintLayer(Painting& p, const Layer& layer, const Rect& exposed, Point origin, double parentOpacity);

// The layer as a ShapeLayer when all it paints, but for a cached picture of itself, is its stroke.
const ShapeLayer* strokeAlone(const Layer& layer)
{
    const auto* shape = dynamic_cast<const ShapeLayer*>(&layer);
    if (!shape || !layer.sublayers().empty() || paints(layer.backgroundColor()) || !layer.contents().isNull()
        || (layer.borderWidth() > 0 && paints(layer.borderColor())) || layer.masksToBounds()
        || layer.hasVisibleShadow() || layer.hasGrayFilter())
        return nullptr;
    return shape;
}

// The layer as a ShapeLayer when all it paints is its stroke, for a StrokeRaster to draw.
const ShapeLayer* plainStroke(Painting& p, const Layer& layer)
{
    const ShapeLayer* shape = strokeAlone(layer);
    return shape && !(layer.cachesPicture() && p.useCache()) ? shape : nullptr;
}

// The layer as the plain stroke a StrokeRaster draws, with the path it is drawn with; shape none when it is not
// one. Its elements are left for the caller to read.
PreparedStroke plainStrokeOf(Painting& p, const Layer& layer, QPainterPath& drawn)
{
    PreparedStroke stroke;
    const ShapeLayer* shape = plainStroke(p, layer);
    if (!shape)
        return stroke;
    drawn = shape->presentationPath();
    if (!shape->strokesPlainly(drawn))
        return stroke;
    stroke.shape = shape;
    stroke.hidden = layer.isHidden();
    stroke.opacity = layer.presentationOpacity();
    stroke.visual = layer.visualBounds();
    const Rect f = layer.presentationFrame();
    const Rect b = layer.presentationBounds();
    stroke.offset = {f.origin.x - b.origin.x, f.origin.y - b.origin.y};
    const QColor color = shape->strokeColor();
    stroke.color = color.rgb();
    stroke.colorAlpha = color.alphaF();
    stroke.lineWidth = shape->lineWidth();
    stroke.roundEnds = shape->lineCap() == LineCap::round;
    return stroke;
}

// A stroke of a run as its rasters take it.
struct RunStroke {
    const PreparedStroke* prepared;
    // Of a paint without a preparation: the stroke, its elements in the run's own array from the first on.
    PreparedStroke own;
    std::size_t first;
    QTransform toDevice;
    double alpha;
};

// Draws the strokes of a run, of one colour, with StrokeRasters over the paintable pixels their extent (device
// pixels) meets.
void rasterizeRun(Painting& p, const std::vector<RunStroke>& strokes,
                  const std::vector<StrokeRaster::PathElement>& ownElements, QRgb color, const QRectF& extent,
                  const QRect& paintable)
{
    // Cut to the paintable pixels before it is rounded to whole ones: a line to a node millions of pixels away
    // reaches further than an int counts.
    const QRectF near = QRectF(paintable).adjusted(-2, -2, 2, 2);
    const QRect pixels = paintable.intersected(extent.intersected(near).toAlignedRect().adjusted(-1, -1, 1, 1));
    if (strokes.empty() || pixels.isEmpty())
        return;
    p.setOpacity(1);
    // A large area (an export of a whole map) is drawn a slab of rows at a time, each with the strokes that reach it.
    const int slabRows = std::max(StrokeRaster::stripRows, int(maxRasterPixels / std::max(1, pixels.width())));
    for (int top = pixels.top(); top <= pixels.bottom(); top += slabRows) {
        StrokeRaster raster(QRect(pixels.left(), top, pixels.width(), std::min(slabRows, pixels.bottom() + 1 - top)));
        for (const RunStroke& stroke : strokes) {
            const PreparedStroke& s = stroke.prepared ? *stroke.prepared : stroke.own;
            raster.addStroke(stroke.prepared ? s.path : ownElements.data() + stroke.first, s.elementCount,
                             stroke.toDevice, s.lineWidth, s.roundEnds, stroke.alpha);
        }
        raster.drawStrips(QColor::fromRgb(color), [&p](QPoint topLeft, const QImage& strip) {
            p.drawDeviceImage(QPointF(topLeft), strip);
        });
    }
}

// Draws the run of plain strokes of one colour from sublayers[from] on (those the filter, when given, accepts)
// with a StrokeRaster, as paintLayer would draw each; returns how many sublayers it took, none when the first is
// not such a stroke or the paint does not draw strokes together. The run takes the sublayers listed after the
// first that joins (SublayerOrder::markRuns), when given, marks; else those of the same run colour. Prepared
// strokes, when given, stand for the sublayers. A stroke of the run whose path a StrokeRaster does not draw (a
// closed line, corners not round) is drawn by itself after the others, in every paint that meets it.
std::size_t paintStrokeRun(Painting& p, const std::vector<Layer*>& sublayers,
                           const LayerPaintPreparation::StrokesOfLayer* prepared,
                           const std::vector<std::uint8_t>* joins, std::size_t from, const Rect& exposed,
                           Point origin, double parentOpacity, const std::function<bool(const Layer&)>* filter)
{
    if (!p.drawsStrokesTogether())
        return 0;
    const auto runColor = [&](std::size_t i) {
        return prepared ? prepared->strokes[i].runColor : LayerRenderer::strokeRunColor(*sublayers[i]);
    };
    const std::optional<QRgb> color = runColor(from);
    const std::optional<QRect> paintable =
        color ? StrokeRaster::paintablePixels(p.painter(), p.device()) : std::nullopt;
    if (!paintable)
        return 0;
    std::size_t end = from + 1;
    while (end < sublayers.size()
           && (prepared ? prepared->strokes[end].joinsPrevious : joins ? (*joins)[end] != 0 : runColor(end) == color))
        ++end;
    // What a paint without a preparation reads of each layer, the elements of the paths it draws in an array of
    // its own.
    std::vector<StrokeRaster::PathElement> ownElements;
    std::vector<RunStroke> strokes;
    std::vector<std::size_t> alone;
    const QTransform superToDevice = QTransform::fromTranslate(origin.x, origin.y) * p.rootDevice();
    QRectF extent;
    for (std::size_t i = from; i < end; ++i) {
        if (filter && !(*filter)(*sublayers[i]))
            continue;
        QPainterPath drawn;
        PreparedStroke own;
        if (!prepared)
            own = plainStrokeOf(p, *sublayers[i], drawn);
        const PreparedStroke& stroke = prepared ? prepared->strokes[i] : own;
        if (!stroke.shape) {
            alone.push_back(i);
            continue;
        }
        // What paintLayer leaves out paints nothing here either.
        const double opacity = parentOpacity * stroke.opacity;
        if (stroke.hidden || !(opacity > 0) || stroke.visual.isNull() || !extentsMeet(stroke.visual, exposed))
            continue;
        ++p.counts().layersPainted;
        const QTransform toDevice = QTransform::fromTranslate(stroke.offset.x, stroke.offset.y) * superToDevice;
        RunStroke& added = strokes.emplace_back(
            RunStroke{prepared ? &stroke : nullptr, {}, ownElements.size(), toDevice, opacity * stroke.colorAlpha});
        if (!prepared) {
            added.own = stroke;
            StrokeRaster::appendElements(drawn, ownElements);
            added.own.elementCount = int(ownElements.size() - added.first);
        }
        extent |= superToDevice.mapRect(toQRectF(stroke.visual));
    }
    rasterizeRun(p, strokes, ownElements, *color, extent, *paintable);
    for (const std::size_t i : alone)
        paintLayer(p, *sublayers[i], exposed, origin, parentOpacity);
    return end - from;
}

// Paints the sublayers (of a layer whose origin lies at origin of the root) in order, those the filter, when
// given, accepts: plain strokes of one colour next to one another together.
void paintSublayers(Painting& p, const Layer& layer, const std::vector<Layer*>& sublayers, const Rect& exposed,
                    Point origin, double opacity, const std::function<bool(const Layer&)>* filter = nullptr)
{
    const LayerPaintPreparation::StrokesOfLayer* prepared = p.preparedStrokes(layer);
    // A paint that visits only some sublayers (those near a crowded layer's area) draws together those the whole
    // order puts in one run.
    std::vector<std::uint8_t> joins;
    const bool some =
        !prepared && !p.isShared() && sublayers.size() < layer.sublayers().size() && p.drawsStrokesTogether();
    if (some)
        layer.markSublayerRuns(sublayers, joins);
    for (std::size_t i = 0; i < sublayers.size();) {
        if (const std::size_t taken =
                paintStrokeRun(p, sublayers, prepared, some ? &joins : nullptr, i, exposed, origin, opacity, filter)) {
            i += taken;
            continue;
        }
        if (!filter || (*filter)(*sublayers[i]))
            paintLayer(p, *sublayers[i], exposed, origin, opacity);
        ++i;
    }
}

// The part of the exposed area (the layer's own coordinates) its sublayers are visited for: of a layer that
// masks to its bounds, the part within them. Paints and their preparation visit the same sublayers by it: a
// paint of part of an area that visited one lying wholly outside the mask would find it unprepared.
Rect sublayerArea(const Layer& layer, const Rect& exposed)
{
    return layer.masksToBounds() ? exposed.intersection(layer.presentationBounds()) : exposed;
}

// Fills a layer's rectangle with its background colour. Where the painter maps it onto whole device pixels it
// is filled as such: Qt's anti-aliased fill of a rectangle reaching past the clip shades the last column
// inside it by where the rectangle was cut (which differs between the bands of one paint), and whole pixels
// are filled faster too.
void fillBackground(QPainter& painter, const QRectF& rect, const QColor& color)
{
    const QTransform& toDevice = painter.deviceTransform();
    const QRectF mapped = toDevice.mapRect(rect);
    const auto whole = [](double v) { return std::fabs(v - std::round(v)) < 1e-6; };
    if (!painter.testRenderHint(QPainter::Antialiasing) || toDevice.type() > QTransform::TxScale
        || !(whole(mapped.left()) && whole(mapped.top()) && whole(mapped.right()) && whole(mapped.bottom()))) {
        painter.fillRect(rect, color);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect, color);
    painter.setRenderHint(QPainter::Antialiasing, true);
}

// The root's sublayers the options accept, painted in drawing order over the root's own drawing when asked.
void paintFilteredRoot(Painting& p, const Layer& root, const Rect& exposed, const LayerRenderOptions& options)
{
    const double opacity = root.presentationOpacity();
    if (options.paintsRoot) {
        // The root's own drawing alone: its sublayers are painted below, filtered.
        QPainter& painter = p.painter();
        p.setOpacity(opacity);
        p.layerCoordinates(0, 0);
        const Rect b = root.presentationBounds();
        if (paints(root.backgroundColor()))
            fillBackground(painter, toQRectF(b), root.backgroundColor());
        root.draw(painter);
    }
    std::vector<Layer*> near;
    paintSublayers(p, root, p.sublayersToVisit(root, exposed, near), exposed, {0, 0}, opacity, &options.sublayerFilter);
}

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

void drawBorder(QPainter& painter, const Layer& layer, const QRectF& bounds, double radius)
{
    const double width = layer.borderWidth();
    QPen pen(layer.borderColor(), width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF r = bounds.adjusted(width / 2, width / 2, -width / 2, -width / 2);
    const double inner = std::max(0.0, radius - width / 2);
    if (inner > 0)
        painter.drawRoundedRect(r, inner, inner);
    else
        painter.drawRect(r);
}

// The layer's own drawing and its sublayers at the given opacity; the layer's origin lies at origin of the
// root, exposed is in its own coordinates.
void paintContent(Painting& p, const Layer& layer, const Rect& exposed, Point origin, double opacity)
{
    ++p.counts().layersPainted;
    // A paint of its own makes what the layer's drawing works out ahead, as the preparation of shared paints does.
    if (!p.isShared())
        layer.prepareForDrawing(exposed);
    QPainter& painter = p.painter();
    p.setOpacity(opacity);
    const Rect b = layer.presentationBounds();
    const QRectF qb = toQRectF(b);
    const double radius = std::clamp(layer.cornerRadius(), 0.0, std::min(b.size.width, b.size.height) / 2);
    QPainterPath rounded;
    if (radius > 0)
        rounded.addRoundedRect(qb, radius, radius);
    p.layerCoordinates(origin.x, origin.y);
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
            fillBackground(painter, qb, layer.backgroundColor());
    }
    if (!layer.contents().isNull())
        drawContents(painter, layer, b);
    layer.draw(painter);
    const Rect area = sublayerArea(layer, exposed);
    std::vector<Layer*> near;
    if (!area.isNull())
        paintSublayers(p, layer, p.sublayersToVisit(layer, area, near), area, origin, opacity);
    if (clip) {
        painter.restore();
        p.forgetState();
    }
    if (layer.borderWidth() > 0 && paints(layer.borderColor())) {
        p.setOpacity(opacity);
        p.layerCoordinates(origin.x, origin.y);
        drawBorder(painter, layer, qb, radius);
    }
}

// The layer and its sublayers as an image at the paint's device scale; none when the transform is not a plain
// scale, nothing is drawn or the image would be too large.
// The image is the cache's, or scratch's when the layer keeps no picture.
struct PictureView {
    const QImage* image;
    QPointF offset;
    // Device scale the picture was made at over the scale it is drawn at (1 unless resampled).
    double factorX = 1, factorY = 1;
};

std::optional<PictureView> pictureOf(Painting& p, const Layer& layer, bool cacheable, Picture& scratch,
                                     bool mayResample)
{
    const QTransform& device = p.rootDevice();
    if (device.type() > QTransform::TxScale)
        return std::nullopt;
    const double sx = device.m11(), sy = device.m22();
    // A shared paint reads the cache its preparation made and never stores: what the cache cannot give is
    // made for this paint alone.
    LayerPictureCache* cache = nullptr;
    const LayerPictureCache* found = nullptr;
    if (cacheable && p.useCache())
        found = p.isShared() ? layer.existingPictureCache() : (cache = &layer.pictureCache());
    const CacheUse use = cacheUse(found, layer, sx, sy, mayResample, !p.isShared() && p.mayRebuild());
    if (cache && use != CacheUse::none)
        markDrawn(*cache);
    switch (use) {
    case CacheUse::exact:
        return PictureView{&found->image, found->offset};
    case CacheUse::resampled:
        p.markIncomplete();
        ++p.counts().picturesResampled;
        return PictureView{&found->image, found->offset, sx / found->scaleX, sy / found->scaleY};
    case CacheUse::none:
        break;
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
        imagePainter.setRenderHints(p.painter().renderHints());
        Painting inner(imagePainter, QTransform(sx, 0, 0, sy, -left, -top), worldToDevice(imagePainter), p.useCache(),
                       p.counts(), p.preparation());
        paintContent(inner, layer, extent, {0, 0}, 1.0);
    }
    if (layer.hasGrayFilter())
        makeGray(picture.image);
    p.noteRebuilt();
    if (cache && store(*cache, picture, layer.contentRevision(), sx, sy))
        return PictureView{&cache->image, cache->offset};
    scratch = std::move(picture);
    return PictureView{&scratch.image, scratch.offset};
}

void drawShadow(Painting& p, const Layer& layer, const PictureView& picture, QPointF deviceOrigin)
{
    const QTransform& device = p.rootDevice();
    const double scale = std::fabs(device.m11());
    const int radius = int(std::ceil(layer.shadowRadius() * scale / 2));
    const int margin = 3 * radius + 1;
    QImage shadow(picture.image->width() + 2 * margin, picture.image->height() + 2 * margin,
                  QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter painter(&shadow);
        painter.drawImage(margin, margin, *picture.image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor color = layer.shadowColor();
        color.setAlphaF(float(std::clamp(color.alphaF() * layer.shadowOpacity(), 0.0, 1.0)));
        painter.fillRect(shadow.rect(), color);
    }
    shadow = blurred(shadow, radius);
    // The offset's y is upwards: a negative height casts the shadow down on the device.
    const QPointF cast(layer.shadowOffset().width * scale, -layer.shadowOffset().height * std::fabs(device.m22()));
    p.drawDeviceImage(deviceOrigin + picture.offset - QPointF(margin, margin) + cast, shadow);
}

void paintLayer(Painting& p, const Layer& layer, const Rect& exposed, Point origin, double parentOpacity)
{
    if (layer.isHidden())
        return;
    const double opacity = parentOpacity * layer.presentationOpacity();
    if (!(opacity > 0))
        return;
    const Rect visual = layer.visualBounds();
    if (visual.isNull() || !extentsMeet(visual, exposed))
        return;
    const Rect f = layer.presentationFrame();
    const Rect b = layer.presentationBounds();
    const double dx = f.origin.x - b.origin.x, dy = f.origin.y - b.origin.y;
    const Point own{origin.x + dx, origin.y + dy};
    const bool shadow = layer.hasVisibleShadow();
    const bool cached = layer.cachesPicture() && p.useCache();
    Picture scratch;
    std::optional<PictureView> picture;
    if (shadow || cached || layer.hasGrayFilter())
        picture = pictureOf(p, layer, cached, scratch, !shadow);
    if (!picture) {
        paintContent(p, layer, exposed.offsetBy(-dx, -dy), own, opacity);
        return;
    }
    p.setOpacity(opacity);
    const QPointF deviceOrigin = p.rootDevice().map(QPointF(own.x, own.y));
    if (shadow)
        drawShadow(p, layer, *picture, deviceOrigin);
    if (picture->factorX == 1 && picture->factorY == 1) {
        p.drawDeviceImage(deviceOrigin + picture->offset, *picture->image);
    } else {
        const double fx = picture->factorX, fy = picture->factorY;
        p.drawDeviceImage(QRectF(deviceOrigin + QPointF(picture->offset.x() * fx, picture->offset.y() * fy),
                                 QSizeF(picture->image->width() * fx, picture->image->height() * fy)),
                          *picture->image);
    }
    ++p.counts().picturesDrawn;
}

// The preparation of shared paints: what a paint of an area computes on first use, made ahead on the calling
// thread (extents, drawing orders, laid-out text and cached pictures) for every layer a paint of that area or
// of any part of it visits. The walk follows paintLayer's and paintContent's; paints of parts of the area may
// then run on other threads at once, reading the tree only.

bool prepareLayer(Painting& p, LayerPaintPreparation& made, const Layer& layer, const Rect& exposed,
                  double parentOpacity);

// Whether a paint of the exposed area visits the layer.
bool near(const Layer& layer, const Rect& exposed, double parentOpacity)
{
    if (layer.isHidden() || !(parentOpacity * layer.presentationOpacity() > 0))
        return false;
    const Rect visual = layer.visualBounds();
    return !visual.isNull() && extentsMeet(visual, exposed);
}

// A plain stroke as the paints of the area (its superlayer's coordinates, pixelsPerUnit device pixels to the
// unit) read it: its path cut to the area (StrokeRaster::cutToArea), appended to out (scratch holds it as read),
// its visual extent bounded by what of it they may draw. Its path pointer is left for the caller to set.
PreparedStroke readStroke(Painting& p, const Layer& layer, const Rect& area, double pixelsPerUnit,
                          std::vector<StrokeRaster::PathElement>& scratch, std::vector<StrokeRaster::PathElement>& out)
{
    QPainterPath drawn;
    PreparedStroke stroke = plainStrokeOf(p, layer, drawn);
    if (!stroke.shape)
        return stroke;
    scratch.clear();
    StrokeRaster::appendElements(drawn, scratch);
    const std::size_t first = out.size();
    const Point o = stroke.offset;
    const QRectF inPath = toQRectF(area).translated(-o.x, -o.y);
    const std::optional<QRectF> kept =
        StrokeRaster::cutToArea(scratch.data(), int(scratch.size()), inPath, pixelsPerUnit, stroke.lineWidth, out);
    stroke.elementCount = int(out.size() - first);
    // What it may draw lies within the line's reach, and a pixel, of what is kept of its path.
    const double reach = stroke.lineWidth / 2 + 1.5 / pixelsPerUnit;
    stroke.visual = kept ? stroke.visual.intersection(Rect(kept->x() + o.x - reach, kept->y() + o.y - reach,
                                                            kept->width() + 2 * reach, kept->height() + 2 * reach))
                         : Rect::null();
    return stroke;
}

// Prepares the sublayers of a crowded layer for paints of the area (the layer's coordinates), listing those the
// paints visit and reading their plain strokes. Most of a crowded layer's sublayers are plain strokes of their
// own (branch lines), whose preparation reads and writes only their own layer: they are looked at on several
// threads at once, a run of them each; the others in order, as prepareLayer prepares them.
void prepareCrowdedStrokes(Painting& p, LayerPaintPreparation& made, const Layer& layer,
                           const std::vector<Layer*>& sublayers, const Rect& area, double opacity,
                           std::vector<Layer*>& visited, LayerPaintPreparation::StrokesOfLayer& strokes)
{
    const double scale = std::fabs(p.rootDevice().m11());
    enum class Found : std::uint8_t { unknown, away, stroke };
    // Of each sublayer: what the runs found, and where its elements start in the array of its run.
    struct Entry {
        Found found = Found::unknown;
        PreparedStroke stroke;
        std::size_t first = 0;
    };
    std::vector<Entry> entries(sublayers.size());
    constexpr std::size_t perRun = 1024;
    const std::size_t runs = (sublayers.size() + perRun - 1) / perRun;
    // An array of elements for each run, and one for the sublayers prepared in order.
    strokes.elements.assign(runs + 1, {});
    const auto lookAt = [&](std::size_t run) {
        std::vector<StrokeRaster::PathElement> scratch;
        for (std::size_t i = run * perRun; i < std::min(sublayers.size(), (run + 1) * perRun); ++i) {
            const Layer& sublayer = *sublayers[i];
            if (!sublayer.sublayers().empty() || !plainStroke(p, sublayer))
                continue;
            if (!near(sublayer, area, opacity)) {
                entries[i].found = Found::away;
                continue;
            }
            // One that is not stroked plainly (dashed) is left to be prepared in order.
            const std::size_t first = strokes.elements[run].size();
            PreparedStroke stroke = readStroke(p, sublayer, area, scale, scratch, strokes.elements[run]);
            if (stroke.shape)
                entries[i] = {Found::stroke, std::move(stroke), first};
        }
    };
    if (made.runAll && runs > 1) {
        std::vector<std::function<void()>> jobs;
        for (std::size_t run = 0; run < runs; ++run)
            jobs.emplace_back([&lookAt, run] { lookAt(run); });
        made.runAll(jobs);
    } else {
        for (std::size_t run = 0; run < runs; ++run)
            lookAt(run);
    }
    std::vector<StrokeRaster::PathElement> scratch;
    std::vector<std::pair<std::size_t, std::size_t>> where;
    for (std::size_t i = 0; i < sublayers.size(); ++i) {
        Entry& entry = entries[i];
        std::size_t run = i / perRun;
        if (entry.found == Found::away)
            continue;
        if (entry.found == Found::unknown) {
            if (!prepareLayer(p, made, *sublayers[i], area, opacity))
                continue;
            run = runs;
            entry.first = strokes.elements[run].size();
            entry.stroke = readStroke(p, *sublayers[i], area, scale, scratch, strokes.elements[run]);
        }
        visited.push_back(sublayers[i]);
        strokes.strokes.push_back(entry.stroke);
        where.emplace_back(run, entry.first);
    }
    // The paints visit only these: they draw together those the whole order puts in one run.
    std::vector<std::uint8_t> joins;
    layer.markSublayerRuns(visited, joins);
    for (std::size_t k = 0; k < strokes.strokes.size(); ++k) {
        PreparedStroke& stroke = strokes.strokes[k];
        stroke.path = strokes.elements[where[k].first].data() + where[k].second;
        stroke.joinsPrevious = joins[k] != 0;
        // A run's colour is its first line's.
        stroke.runColor =
            stroke.joinsPrevious ? strokes.strokes[k - 1].runColor : LayerRenderer::strokeRunColor(*visited[k]);
    }
}

void prepareContent(Painting& p, LayerPaintPreparation& made, const Layer& layer, const Rect& exposed, double opacity)
{
    // A stroke a StrokeRaster draws needs only its path of the instant (which reading it works out).
    const ShapeLayer* shape = p.drawsStrokesTogether() ? plainStroke(p, layer) : nullptr;
    if (!shape || !shape->strokesPlainly(shape->presentationPath()))
        layer.prepareForDrawing(exposed);
    // Of a crowded layer, only the sublayers near the area are looked at, and those the paints visit listed.
    const bool isCrowded = layer.sublayers().size() > crowded;
    const Rect area = sublayerArea(layer, exposed);
    if (area.isNull())
        return;
    std::vector<Layer*> near;
    const std::vector<Layer*>& sublayers =
        isCrowded ? layer.sublayersNear(area, near, made.runAll) : layer.sublayersInDrawingOrder();
    std::vector<Layer*>* visited = isCrowded ? &made.crowdedSublayers[&layer] : nullptr;
    // What the paints draw of those as plain strokes, read once for all of them.
    if (isCrowded && p.drawsStrokesTogether()) {
        prepareCrowdedStrokes(p, made, layer, sublayers, area, opacity, *visited, made.crowdedStrokes[&layer]);
        return;
    }
    for (Layer* sublayer : sublayers)
        if (prepareLayer(p, made, *sublayer, area, opacity) && visited)
            visited->push_back(sublayer);
}

// Prepares the layer for paints of the area; false when they do not visit it.
bool prepareLayer(Painting& p, LayerPaintPreparation& made, const Layer& layer, const Rect& exposed,
                  double parentOpacity)
{
    if (!near(layer, exposed, parentOpacity))
        return false;
    const double opacity = parentOpacity * layer.presentationOpacity();
    const Rect f = layer.presentationFrame();
    const Rect b = layer.presentationBounds();
    const bool shadow = layer.hasVisibleShadow();
    const bool cached = layer.cachesPicture() && p.useCache();
    if (!shadow && !cached && !layer.hasGrayFilter()) {
        prepareContent(p, made, layer, exposed.offsetBy(b.origin.x - f.origin.x, b.origin.y - f.origin.y), opacity);
        return true;
    }
    const QTransform& device = p.rootDevice();
    if (cached) {
        Picture scratch;
        pictureOf(p, layer, true, scratch, !shadow);
        if (device.type() <= QTransform::TxScale
            && cacheUse(layer.existingPictureCache(), layer, device.m11(), device.m22(), !shadow, false) != CacheUse::none)
            return true;
    }
    // Drawn from a picture each paint makes of the whole subtree, as a picture is made: with no rebuild budget.
    Painting whole(p.painter(), p.rootWorld(), p.device(), p.useCache(), p.counts(), nullptr);
    prepareContent(whole, made, layer, layer.subtreeExtent(), 1.0);
    return true;
}

// The exposed area of a paint in the root's coordinates, the source and the target; nothing when there is
// nothing to paint.
struct Framing {
    Rect source;
    QRectF target;
    Rect exposed;
};

std::optional<Framing> framing(const Layer& root, const LayerRenderOptions& options)
{
    if (root.isHidden())
        return std::nullopt;
    const Rect source = options.sourceRect.isNull() ? root.presentationBounds() : options.sourceRect.standardized();
    if (source.isEmpty() || !source.origin.isFinite() || !source.size.isFinite())
        return std::nullopt;
    const QRectF target = options.targetRect.value_or(toQRectF(source));
    const Rect exposed = options.exposedRect.isNull() ? source : options.exposedRect.intersection(source);
    if (exposed.isNull())
        return std::nullopt;
    return Framing{source, target, exposed};
}

std::optional<Painting::Clock::time_point> rebuildDeadline(const LayerRenderOptions& options)
{
    if (options.pictureRebuildBudget < 0)
        return std::nullopt;
    return Painting::Clock::now() + std::chrono::duration_cast<Painting::Clock::duration>(
                                        std::chrono::duration<double>(options.pictureRebuildBudget));
}

// Paints the tree by the options, counting into counts; false when some picture was drawn resampled.
bool paintTree(QPainter& painter, const Layer& root, const LayerRenderOptions& options,
               LayerRenderer::Statistics& counts, const LayerPaintPreparation* shared)
{
    const std::optional<Framing> frame = framing(root, options);
    if (!frame)
        return true;
    painter.save();
    const QTransform rootWorld = LayerRenderer::rootTransform(frame->source, frame->target, options.flipped)
                                 * painter.worldTransform();
    const QTransform device = worldToDevice(painter);
    painter.setWorldTransform(rootWorld);
    painter.setClipRect(toQRectF(frame->source), Qt::IntersectClip);
    Painting paint(painter, rootWorld, device, options.usePictureCache, counts, shared, rebuildDeadline(options));
    paint.setRebuildsOne(options.pictureRebuildBudget > 0);
    // The root is drawn in its own coordinates: its position does not count.
    if (options.sublayerFilter)
        paintFilteredRoot(paint, root, frame->exposed, options);
    else
        paintContent(paint, root, frame->exposed, {0, 0}, root.presentationOpacity());
    painter.restore();
    return paint.isComplete();
}

} // namespace

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

std::optional<QRgb> LayerRenderer::strokeRunColor(const Layer& layer)
{
    const ShapeLayer* shape = strokeAlone(layer);
    if (!shape || layer.cachesPicture() || !shape->hasPlainStrokeStyle())
        return std::nullopt;
    return shape->strokeColor().rgb();
}

bool LayerRenderer::render(QPainter& painter, Layer& root, const LayerRenderOptions& options)
{
    root.layoutIfNeeded();
    beginPaint();
    Statistics counts;
    const bool complete = paintTree(painter, root, options, counts, nullptr);
    stats += counts;
    letGoOfUndrawnPictures();
    StrokeRaster::releaseThreadStorage();
    return complete;
}

LayerPaintPreparation LayerRenderer::prepareSharedPaints(QPainter& painter, Layer& root,
                                                        const LayerRenderOptions& options,
                                                        const LayerPaintPreparation::RunAll& runAll)
{
    root.layoutIfNeeded();
    beginPaint();
    // What animating layers present at this frame's instant is worked out once for every part's paint.
    const Animator::HeldValues held;
    LayerPaintPreparation made;
    // Each job reads and writes layers of its own: what it works out is kept for the jobs and paints after it.
    if (runAll)
        made.runAll = [runAll](const std::vector<std::function<void()>>& jobs) {
            std::vector<std::function<void()>> holding;
            holding.reserve(jobs.size());
            for (const auto& job : jobs)
                holding.emplace_back([&job] {
                    const Animator::HeldForJob held;
                    job();
                });
            runAll(holding);
        };
    if (const std::optional<Framing> frame = framing(root, options)) {
        const QTransform rootWorld =
            rootTransform(frame->source, frame->target, options.flipped) * painter.worldTransform();
        Painting paint(painter, rootWorld, worldToDevice(painter), options.usePictureCache, stats, nullptr,
                       rebuildDeadline(options));
        paint.setRebuildsOne(options.pictureRebuildBudget > 0);
        prepareContent(paint, made, root, frame->exposed, root.presentationOpacity());
    }
    // The parts' paints draw only pictures drawn here.
    letGoOfUndrawnPictures();
    return made;
}

bool LayerRenderer::renderShared(QPainter& painter, const Layer& root, const LayerRenderOptions& options,
                                 const LayerPaintPreparation& preparation, Statistics& counts)
{
    ++counts.sharedPaints;
    return paintTree(painter, root, options, counts, &preparation);
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

} // namespace velquine
