#include "picture/SvgDrawing.h"

#include "picture/PictureChecks.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QTextItem>

#include <cmath>

namespace velquine {

namespace {

// Counts the pixels the bounds of each drawing operation cover on the bitmap, in the state the drawing's painter
// has, and draws nothing: the drawing that follows, straight onto the bitmap, is made only when the count stays
// within the bound, and has the pixels the SVG renderer gives on its own.
class CoverageEngine : public QPaintEngine {
public:
    explicit CoverageEngine(QSize target) : QPaintEngine(QPaintEngine::AllFeatures), target_(QPoint(), target) { }

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override
    {
        const DirtyFlags flags = state.state();
        if (flags & DirtyTransform)
            transform_ = state.transform();
        if (flags & DirtyPen)
            pen_ = state.pen();
        if (flags & DirtyBrush)
            brush_ = state.brush();
    }

    void drawPath(const QPainterPath& path) override
    {
        const bool outline = brush_.style() == Qt::NoBrush;
        cover(path.controlPointRect(), true, path.elementCount(), 1, outline ? path.length() : -1);
    }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        const QPolygonF polygon(QList<QPointF>(points, points + count));
        double length = -1;
        if (count > 0 && (mode == PolylineMode || brush_.style() == Qt::NoBrush)) {
            QPainterPath path;
            path.addPolygon(polygon);
            length = path.length() + (mode == PolylineMode ? 0 : QLineF(polygon.first(), polygon.last()).length());
        }
        cover(polygon.boundingRect(), true, count, 1, length);
    }
    void drawPixmap(const QRectF& rect, const QPixmap&, const QRectF&) override { cover(rect, false, 0, 3); }
    void drawImage(const QRectF& rect, const QImage&, const QRectF&, Qt::ImageConversionFlags) override
    {
        cover(rect, false, 0, 3);
    }
    void drawTiledPixmap(const QRectF& rect, const QPixmap&, const QPointF&) override { cover(rect, false, 0, 3); }
    void drawTextItem(const QPointF& at, const QTextItem& item) override
    {
        const QRectF bounds(at.x(), at.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        cover(bounds, false, std::int64_t(item.text().size()) * 64);
    }

    bool exceeded() const { return covered_ > SvgDrawing::maximumCoveredPixels; }

private:
    // Counts the pixels of the bounds (in the drawing's coordinates, widened by the pen when stroked) within the
    // bitmap, `weight` times and three times for a gradient or pattern, and some for each of the parts of the
    // shape. An outline drawn without a fill (its length given) counts no more than its length times the pen's
    // width: a long diagonal line covers little of its bounds.
    void cover(QRectF bounds, bool stroked, std::int64_t parts, int weight = 1, double length = -1);

    QRectF target_;
    QTransform transform_;
    QPen pen_;
    QBrush brush_;
    std::int64_t covered_ = 0;
};

void CoverageEngine::cover(QRectF bounds, bool stroked, std::int64_t parts, int weight, double length)
{
    if (exceeded())
        return;
    const QPen& pen = pen_;
    if (stroked && pen.style() != Qt::NoPen) {
        const double margin = std::max(1.0, pen.widthF());
        bounds.adjust(-margin, -margin, margin, margin);
    }
    const QRectF within = transform_.mapRect(bounds) & target_;
    std::int64_t pixels = within.isEmpty() ? 0 : std::int64_t(std::ceil(within.width())) * std::int64_t(std::ceil(within.height()));
    if (stroked && length >= 0 && std::isfinite(length)) {
        const double scale = std::sqrt(std::abs(transform_.determinant()));
        const double width = pen.isCosmetic() ? std::max(1.0, pen.widthF()) : std::max(1.0, pen.widthF() * scale);
        const double outline = (length * scale + width) * (width + 2);
        if (outline < double(pixels))
            pixels = std::int64_t(std::ceil(outline));
    }
    const auto plain = [](const QBrush& brush) { return brush.style() <= Qt::DiagCrossPattern; };
    if (!plain(brush_) || (stroked && !plain(pen.brush())))
        weight *= 3;
    covered_ += pixels * weight + 64 + parts;
}

// A paint device of the bitmap's size and resolution whose engine is the counting one.
class CoverageDevice : public QPaintDevice {
public:
    explicit CoverageDevice(const QImage& target) : target_(target), engine_(target.size()) { }
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
    const QImage& target_;
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
    CoverageDevice device(bitmap);
    {
        QPainter counting(&device);
        renderer_->render(&counting);
    }
    if (device.exceeded()) {
        if (refusal)
            *refusal = "Drawing the SVG picture covers more than " + millionsOf(maximumCoveredPixels)
                + " pixels; Velquine reads SVG pictures whose drawing covers up to that many.";
        return QImage();
    }
    bitmap.fill(Qt::transparent);
    QPainter painter(&bitmap);
    renderer_->render(&painter);
    return bitmap;
}

} // namespace velquine
