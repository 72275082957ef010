#include "platform/SvgDrawing.h"

#include "platform/PictureChecks.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QTextItem>

#include <cmath>

namespace velquine {

namespace {

// Hands each drawing operation on to a painter on the bitmap, in the state the drawing's painter has, once the
// pixels its bounds cover there are counted; nothing more once the count passes the bound.
class CoverageEngine : public QPaintEngine {
public:
    explicit CoverageEngine(QImage& target) : QPaintEngine(QPaintEngine::AllFeatures), target_(target) { }

    bool begin(QPaintDevice*) override { return painter_.begin(&target_); }
    bool end() override { return painter_.end(); }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override;

    void drawPath(const QPainterPath& path) override
    {
        const bool outline = painter_.brush().style() == Qt::NoBrush;
        if (cover(path.controlPointRect(), true, path.elementCount(), 1, outline ? path.length() : -1))
            painter_.drawPath(path);
    }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        const QPolygonF polygon(QList<QPointF>(points, points + count));
        double length = -1;
        if (count > 0 && (mode == PolylineMode || painter_.brush().style() == Qt::NoBrush)) {
            QPainterPath path;
            path.addPolygon(polygon);
            length = path.length() + (mode == PolylineMode ? 0 : QLineF(polygon.first(), polygon.last()).length());
        }
        if (!cover(polygon.boundingRect(), true, count, 1, length))
            return;
        if (mode == PolylineMode)
            painter_.drawPolyline(points, count);
        else
            painter_.drawPolygon(points, count, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    }
    void drawPixmap(const QRectF& rect, const QPixmap& pixmap, const QRectF& source) override
    {
        if (cover(rect, false, 0, 3))
            painter_.drawPixmap(rect, pixmap, source);
    }
    void drawImage(const QRectF& rect, const QImage& image, const QRectF& source,
                   Qt::ImageConversionFlags flags) override
    {
        if (cover(rect, false, 0, 3))
            painter_.drawImage(rect, image, source, flags);
    }
    void drawTiledPixmap(const QRectF& rect, const QPixmap& pixmap, const QPointF& offset) override
    {
        if (cover(rect, false, 0, 3))
            painter_.drawTiledPixmap(rect, pixmap, offset);
    }
    void drawTextItem(const QPointF& at, const QTextItem& item) override
    {
        const QRectF bounds(at.x(), at.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        if (cover(bounds, false, std::int64_t(item.text().size()) * 64))
            painter_.drawTextItem(at, item);
    }

    bool exceeded() const { return covered_ > SvgDrawing::maximumCoveredPixels; }

private:
    // Counts the pixels of the bounds (in the drawing's coordinates, widened by the pen when stroked) within the
    // bitmap, `weight` times and three times for a gradient or pattern, and some for each of the parts of the
    // shape; whether it is still within the bound. An outline drawn without a fill (its length given) counts
    // no more than its length times the pen's width: a long diagonal line covers little of its bounds.
    bool cover(QRectF bounds, bool stroked, std::int64_t parts, int weight = 1, double length = -1);

    QImage& target_;
    QPainter painter_;
    std::int64_t covered_ = 0;
};

void CoverageEngine::updateState(const QPaintEngineState& state)
{
    const DirtyFlags flags = state.state();
    if (flags & DirtyTransform)
        painter_.setTransform(state.transform());
    if (flags & DirtyPen)
        painter_.setPen(state.pen());
    if (flags & DirtyBrush)
        painter_.setBrush(state.brush());
    if (flags & DirtyBrushOrigin)
        painter_.setBrushOrigin(state.brushOrigin());
    if (flags & DirtyBackground)
        painter_.setBackground(state.backgroundBrush());
    if (flags & DirtyBackgroundMode)
        painter_.setBackgroundMode(state.backgroundMode());
    if (flags & DirtyFont)
        painter_.setFont(state.font());
    if (flags & DirtyHints) {
        painter_.setRenderHints(~QPainter::RenderHints(), false);
        painter_.setRenderHints(state.renderHints(), true);
    }
    if (flags & DirtyCompositionMode)
        painter_.setCompositionMode(state.compositionMode());
    if (flags & DirtyOpacity)
        painter_.setOpacity(state.opacity());
    if (flags & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled)) {
        // The clip as the drawing's painter has it, in the bitmap's pixels.
        const QPainter* drawing = state.painter();
        if (drawing && drawing->hasClipping()) {
            const QTransform transform = painter_.transform();
            painter_.setTransform(QTransform());
            painter_.setClipPath(drawing->combinedTransform().map(drawing->clipPath()));
            painter_.setTransform(transform);
        } else {
            painter_.setClipping(false);
        }
    }
}

bool CoverageEngine::cover(QRectF bounds, bool stroked, std::int64_t parts, int weight, double length)
{
    if (exceeded())
        return false;
    const QPen& pen = painter_.pen();
    if (stroked && pen.style() != Qt::NoPen) {
        const double margin = std::max(1.0, pen.widthF());
        bounds.adjust(-margin, -margin, margin, margin);
    }
    const QRectF within = painter_.transform().mapRect(bounds) & QRectF(target_.rect());
    std::int64_t pixels = within.isEmpty() ? 0 : std::int64_t(std::ceil(within.width())) * std::int64_t(std::ceil(within.height()));
    if (stroked && length >= 0 && std::isfinite(length)) {
        const double scale = std::sqrt(std::abs(painter_.transform().determinant()));
        const double width = pen.isCosmetic() ? std::max(1.0, pen.widthF()) : std::max(1.0, pen.widthF() * scale);
        const double outline = (length * scale + width) * (width + 2);
        if (outline < double(pixels))
            pixels = std::int64_t(std::ceil(outline));
    }
    const auto plain = [](const QBrush& brush) { return brush.style() <= Qt::DiagCrossPattern; };
    if (!plain(painter_.brush()) || (stroked && !plain(pen.brush())))
        weight *= 3;
    covered_ += pixels * weight + 64 + parts;
    return !exceeded();
}

// A paint device of the bitmap's size and resolution whose engine is the counting one.
class CoverageDevice : public QPaintDevice {
public:
    explicit CoverageDevice(QImage& target) : target_(target), engine_(target) { }
    QPaintEngine* paintEngine() const override { return &engine_; }
    bool exceeded() const { return engine_.exceeded(); }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return target_.width();
        case PdmHeight: return target_.height();
        case PdmWidthMM: return target_.widthMM();
        case PdmHeightMM: return target_.heightMM();
        case PdmNumColors: return target_.colorCount();
        case PdmDepth: return target_.depth();
        case PdmDpiX: return target_.logicalDpiX();
        case PdmDpiY: return target_.logicalDpiY();
        case PdmPhysicalDpiX: return target_.physicalDpiX();
        case PdmPhysicalDpiY: return target_.physicalDpiY();
        case PdmDevicePixelRatio: return int(target_.devicePixelRatio());
        case PdmDevicePixelRatioScaled: return int(target_.devicePixelRatio() * devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QImage& target_;
    mutable CoverageEngine engine_;
};

} // namespace

SvgDrawing::SvgDrawing(const QByteArray& text) : renderer_(std::make_unique<QSvgRenderer>(text)) { }

SvgDrawing::~SvgDrawing() = default;

bool SvgDrawing::isValid() const { return renderer_->isValid(); }

QSize SvgDrawing::size() const { return renderer_->defaultSize(); }

QImage SvgDrawing::draw(std::string* refusal)
{
    QImage bitmap(size(), QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        return bitmap;
    bitmap.fill(Qt::transparent);
    CoverageDevice device(bitmap);
    {
        QPainter painter(&device);
        renderer_->render(&painter);
    }
    if (!device.exceeded())
        return bitmap;
    if (refusal)
        *refusal = "Drawing the SVG picture covers more than " + millionsOf(maximumCoveredPixels)
            + " pixels; Velquine reads SVG pictures whose drawing covers up to that many.";
    return QImage();
}

} // namespace velquine
