#pragma once

// Paints a layer tree onto any QPainter (a widget, a QImage, a PDF page) by one code path. The root
// transform maps a source rectangle of the root layer's own coordinates onto a target rectangle of the
// painter, which scales bounds to a frame; the flipped variant mirrors the geometry top to bottom while text
// and images stay upright. Layers whose visual bounds miss the exposed rectangle are skipped with their
// sublayers. Layers that cache their picture are painted from an image per content revision and device
// scale, and shadows and the grey filter are painted from such an image as well.

#include <QImage>
#include <QRectF>
#include <QTransform>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/Geometry.h"
#include "platform/layer/StrokeRaster.h"

class QPainter;

namespace velquine {

class Layer;
class ShapeLayer;

struct LayerRenderOptions {
    // The part of the root layer's own coordinate space to draw; null draws the root's bounds.
    Rect sourceRect = Rect::null();
    // Where the source goes, in the painter's coordinates; none puts it at the same coordinates.
    std::optional<QRectF> targetRect;
    // Mirrors the geometry top to bottom (y grows upwards), text and images upright.
    bool flipped = false;
    // Only layers that meet this rectangle (root coordinates) are painted; null means the whole source.
    Rect exposedRect = Rect::null();
    // Off for output that should stay vector (PDF): cached pictures are then not used.
    bool usePictureCache = true;
    // Seconds one paint may spend rebuilding pictures that are only out of scale (after a zoom step); once
    // spent, such layers are drawn from their old picture, resampled, and the paint reports itself
    // incomplete so the host can paint again. A positive budget rebuilds at least one such picture per paint,
    // however long the rest took, so paints that follow one another refine them all. Negative: no limit, every
    // picture is exact.
    double pictureRebuildBudget = -1;
    // When set, only the root's sublayers it accepts are painted, and of the root's own drawing (its
    // background and draw()) only with paintsRoot.
    std::function<bool(const Layer&)> sublayerFilter;
    bool paintsRoot = true;
};

// A picture of a layer and its sublayers, kept while its content revision and the device scale stay, and
// while it was drawn lately or the pictures kept take little memory.
struct LayerPictureCache {
    QImage image;
    std::uint64_t revision = 0;
    double scaleX = 0;
    double scaleY = 0;
    // Device position of the image's top-left corner minus that of the layer's own origin.
    QPointF offset;
    // Its place among the pictures kept, from the least to the most lately drawn, and the paint that last
    // drew it (LayerRenderer.cpp).
    LayerPictureCache* older = nullptr;
    LayerPictureCache* newer = nullptr;
    std::uint64_t lastPaint = 0;
    LayerPictureCache() = default;
    LayerPictureCache(const LayerPictureCache&) = delete;
    LayerPictureCache& operator=(const LayerPictureCache&) = delete;
    ~LayerPictureCache();
};

// What a paint reads of a layer that paints nothing but its stroke (a StrokeRaster draws many at once), read
// once for the paints of all parts of an area.
struct PreparedStroke {
    // None: the layer paints more than a plain stroke.
    const ShapeLayer* shape = nullptr;
    // Its path of the instant, as far as the paints of the area may draw it (StrokeRaster::cutToArea), in the
    // elements of the preparation's StrokesOfLayer.
    const StrokeRaster::PathElement* path = nullptr;
    int elementCount = 0;
    bool hidden = false;
    double opacity = 0;
    Rect visual;
    // The frame's origin less the bounds'.
    Point offset;
    QRgb color = 0;
    double colorAlpha = 0;
    double lineWidth = 0;
    bool roundEnds = false;
    // The colour of the run it is drawn in (LayerRenderer::strokeRunColor), and whether it is drawn in one run with
    // the sublayer prepared before it.
    std::optional<QRgb> runColor;
    bool joinsPrevious = false;
};

// What LayerRenderer::prepareSharedPaints found for the paints of the parts of an area.
struct LayerPaintPreparation {
    // Of each layer with many sublayers, those near the area, in drawing order: a part's paint visits these.
    std::unordered_map<const Layer*, std::vector<Layer*>> crowdedSublayers;
    // And of each of those, as a plain stroke, in the same order.
    struct StrokesOfLayer {
        std::vector<PreparedStroke> strokes;
        // Their paths, cut for a run of strokes at a time.
        std::vector<std::vector<StrokeRaster::PathElement>> elements;
    };
    std::unordered_map<const Layer*, StrokesOfLayer> crowdedStrokes;
    // Runs jobs on several threads and returns when all are done; the preparation uses it to work out the
    // bounds of very many changed sublayers and to read the plain strokes of crowded layers. None runs nothing on
    // other threads.
    using RunAll = std::function<void(const std::vector<std::function<void()>>&)>;
    RunAll runAll;
};

class LayerRenderer {
public:
    // Lays out what needs it, then paints the tree. False when some pictures were drawn resampled because
    // the rebuild budget was spent: painting again refines them.
    static bool render(QPainter& painter, Layer& root, const LayerRenderOptions& options = {});
    // The tree painted on a transparent image of the pixel size (at the device pixel ratio), the source
    // filling it.
    // Paints of one tree on several threads at once, each a part of an area (LayerBandPainter): first, on the
    // thread that owns the tree and with the animation clock held still (Animator::FrozenTime) until the last
    // of them ends, prepareSharedPaints() with the painter (its device scale) and the options of the whole
    // area lays out and makes everything a paint computes on first use, cached pictures included. Until the
    // tree next changes, renderShared() then paints any part of that area (options with the part's
    // exposedRect, the same source, target and device scale) reading the tree only, and counts into its own
    // statistics.
    static LayerPaintPreparation prepareSharedPaints(QPainter& painter, Layer& root, const LayerRenderOptions& options,
                                                     const LayerPaintPreparation::RunAll& runAll = {});
    struct Statistics;
    static bool renderShared(QPainter& painter, const Layer& root, const LayerRenderOptions& options,
                             const LayerPaintPreparation& preparation, Statistics& counts);
    static QImage renderToImage(Layer& root, QSize pixelSize, const LayerRenderOptions& options = {},
                                double devicePixelRatio = 1.0);
    // The colour of the run of plain strokes (lines of one colour next to one another in the drawing order, each
    // a ShapeLayer drawing its stroke alone) that paints on screen draw the layer in; none when they draw it
    // alone. A run is drawn in an order of its own (StrokeRaster), so its lines' order among themselves shows
    // nowhere; a line of it whose path a StrokeRaster does not draw (closed, or with corners not round) is drawn
    // by itself after the others. Paints of parts of an area, each visiting some of the lines, draw together those
    // of one run of the whole order, so that each pixel comes out as in a paint of the whole.
    static std::optional<QRgb> strokeRunColor(const Layer& layer);
    // The transform from the root's coordinates to the painter's for a source, target and flip.
    static QTransform rootTransform(const Rect& source, const QRectF& target, bool flipped);

    // What the last paints did (for tests and benchmarks).
    struct Statistics {
        std::size_t layersPainted = 0;
        std::size_t picturesDrawn = 0;
        std::size_t picturesRebuilt = 0;
        std::size_t picturesResampled = 0;
        // Paints of parts of an area that shared the tree with others (renderShared).
        std::size_t sharedPaints = 0;
        // Of those, parts painted right into the rows of the image the painter paints (LayerBandPainter).
        std::size_t bandsPaintedInPlace = 0;
        Statistics& operator+=(const Statistics& other)
        {
            sharedPaints += other.sharedPaints;
            bandsPaintedInPlace += other.bandsPaintedInPlace;
            layersPainted += other.layersPainted;
            picturesDrawn += other.picturesDrawn;
            picturesRebuilt += other.picturesRebuilt;
            picturesResampled += other.picturesResampled;
            return *this;
        }
    };
    static Statistics& statistics();

    // Bytes held by cached pictures, and the most they may take: past it layers are drawn directly.
    static std::size_t cachedPictureBytes();
    static void setCachedPictureBudget(std::size_t bytes);
    // Past this many bytes, pictures that none of the latest few paints drew are let go after a paint, the
    // least lately drawn first, so what scrolled far away or was edited long ago does not pile up. By default
    // twice the pixels of the largest screen, and at least 32 MB.
    static std::size_t keptPictureBytes();
    static void setKeptPictureBytes(std::size_t bytes);
};

} // namespace velquine
