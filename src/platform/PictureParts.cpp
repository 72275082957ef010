#include "platform/PictureParts.h"

#include <QCoreApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>

#include "platform/LongWork.h"

namespace velquine {

namespace {

// An empty picture: what it reports of its resolution is every picture's.
const QPicture& emptyPicture()
{
    static const QPicture picture;
    return picture;
}

} // namespace

// Hands every call on to a painter on the picture of the current part, in the order a picture's own engine
// records them, and remembers the state so that the next part starts with it.
class PictureParts::Engine : public QPaintEngine {
public:
    explicit Engine(std::function<void(QPicture)> finished)
        : QPaintEngine(QPaintEngine::AllFeatures), finished_(std::move(finished))
    {
    }

    bool begin(QPaintDevice*) override
    {
        drawn_ = false;
        state_ = State{};
        return recording_.begin(&part_);
    }

    bool end() override
    {
        recording_.end();
        handOver();
        return true;
    }

    void cut()
    {
        if (!isActive() || !drawn_ || state_.clipEnabled)
            return;
        recording_.end();
        handOver();
        recording_.begin(&part_);
        recording_.setPen(state_.pen);
        recording_.setBrush(state_.brush);
        recording_.setBrushOrigin(state_.brushOrigin);
        recording_.setFont(state_.font);
        recording_.setBackgroundMode(state_.backgroundMode);
        recording_.setBackground(state_.background);
        recording_.setTransform(state_.transform);
        recording_.setRenderHints(state_.hints);
        recording_.setCompositionMode(state_.composition);
        recording_.setOpacity(state_.opacity);
    }

    void updateState(const QPaintEngineState& state) override
    {
        const DirtyFlags flags = state.state();
        if (flags & DirtyPen)
            recording_.setPen(state_.pen = state.pen());
        if (flags & DirtyBrush)
            recording_.setBrush(state_.brush = state.brush());
        if (flags & DirtyBrushOrigin)
            recording_.setBrushOrigin(state_.brushOrigin = state.brushOrigin());
        if (flags & DirtyFont)
            recording_.setFont(state_.font = state.font());
        if (flags & DirtyBackground)
            recording_.setBackground(state_.background = state.backgroundBrush());
        if (flags & DirtyBackgroundMode)
            recording_.setBackgroundMode(state_.backgroundMode = state.backgroundMode());
        if (flags & DirtyTransform)
            recording_.setTransform(state_.transform = state.transform());
        if (flags & DirtyClipEnabled)
            recording_.setClipping(state_.clipEnabled = state.isClipEnabled());
        if (flags & DirtyClipRegion) {
            recording_.setClipRegion(state.clipRegion(), state.clipOperation());
            state_.clipEnabled = state.clipOperation() != Qt::NoClip;
        }
        if (flags & DirtyClipPath) {
            recording_.setClipPath(state.clipPath(), state.clipOperation());
            state_.clipEnabled = state.clipOperation() != Qt::NoClip;
        }
        if (flags & DirtyHints)
            recording_.setRenderHints(state_.hints = state.renderHints());
        if (flags & DirtyCompositionMode)
            recording_.setCompositionMode(state_.composition = state.compositionMode());
        if (flags & DirtyOpacity)
            recording_.setOpacity(state_.opacity = state.opacity());
    }

    void drawPath(const QPainterPath& path) override { drawn(), recording_.drawPath(path); }
    void drawRects(const QRect* rects, int count) override { drawn(), recording_.drawRects(rects, count); }
    void drawRects(const QRectF* rects, int count) override { drawn(), recording_.drawRects(rects, count); }
    void drawLines(const QLine* lines, int count) override { drawn(), recording_.drawLines(lines, count); }
    void drawLines(const QLineF* lines, int count) override { drawn(), recording_.drawLines(lines, count); }
    void drawEllipse(const QRectF& r) override { drawn(), recording_.drawEllipse(r); }
    void drawEllipse(const QRect& r) override { drawn(), recording_.drawEllipse(r); }
    void drawPoints(const QPointF* points, int count) override { drawn(), recording_.drawPoints(points, count); }
    void drawPoints(const QPoint* points, int count) override { drawn(), recording_.drawPoints(points, count); }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override { polygon(points, count, mode); }
    void drawPolygon(const QPoint* points, int count, PolygonDrawMode mode) override { polygon(points, count, mode); }
    void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override
    {
        drawn(), recording_.drawPixmap(r, pm, sr);
    }
    void drawTiledPixmap(const QRectF& r, const QPixmap& pixmap, const QPointF& s) override
    {
        drawn(), recording_.drawTiledPixmap(r, pixmap, s);
    }
    void drawImage(const QRectF& r, const QImage& pm, const QRectF& sr, Qt::ImageConversionFlags flags) override
    {
        drawn(), recording_.drawImage(r, pm, sr, flags);
    }
    void drawTextItem(const QPointF& p, const QTextItem& textItem) override
    {
        drawn(), recording_.drawTextItem(p, textItem);
    }

    // What the renderer asks to decide how to draw: as into a picture.
    Type type() const override { return QPaintEngine::Picture; }

private:
    void drawn() { drawn_ = true; }

    template <typename Point>
    void polygon(const Point* points, int count, PolygonDrawMode mode)
    {
        drawn();
        if (mode == PolylineMode)
            recording_.drawPolyline(points, count);
        else
            recording_.drawPolygon(points, count, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    }

    void handOver()
    {
        if (drawn_)
            finished_(part_);
        part_ = QPicture();
        drawn_ = false;
    }

    std::function<void(QPicture)> finished_;
    QPicture part_;
    QPainter recording_;
    bool drawn_ = false;
    // The painter's state as the calls so far left it.
    struct State {
        QPen pen;
        QBrush brush;
        QPointF brushOrigin;
        QFont font;
        QBrush background;
        Qt::BGMode backgroundMode = Qt::TransparentMode;
        QTransform transform;
        bool clipEnabled = false;
        QPainter::RenderHints hints;
        QPainter::CompositionMode composition = QPainter::CompositionMode_SourceOver;
        double opacity = 1;
    } state_;
};

PictureParts::PictureParts(QSize size, std::function<void(QPicture part)> finished)
    : engine_(std::make_unique<Engine>(std::move(finished))), size_(size)
{
}

PictureParts::~PictureParts() = default;

void PictureParts::cut() { engine_->cut(); }

QPaintEngine* PictureParts::paintEngine() const { return engine_.get(); }

int PictureParts::metric(PaintDeviceMetric metric) const
{
    // A picture's resolution, so that what is measured for the device holds where the parts are played.
    const QPicture& picture = emptyPicture();
    switch (metric) {
    case PdmWidth:
        return size_.width();
    case PdmHeight:
        return size_.height();
    case PdmWidthMM:
        return int(size_.width() * 25.4 / picture.logicalDpiX());
    case PdmHeightMM:
        return int(size_.height() * 25.4 / picture.logicalDpiY());
    case PdmDpiX:
    case PdmPhysicalDpiX:
        return picture.logicalDpiX();
    case PdmDpiY:
    case PdmPhysicalDpiY:
        return picture.logicalDpiY();
    case PdmNumColors:
        return 16777216;
    case PdmDepth:
        return 24;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    }
    return 0;
}

void PictureQueue::push(QPicture part)
{
    {
        const std::lock_guard lock(mutex_);
        parts_.push_back(std::move(part));
    }
    arrived_.notify_one();
}

void PictureQueue::close()
{
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    arrived_.notify_one();
}

std::optional<QPicture> PictureQueue::pop()
{
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [this] { return closed_ || !parts_.empty(); });
    if (parts_.empty())
        return std::nullopt;
    QPicture part = parts_.front();
    parts_.pop_front();
    return part;
}

void recordWhilePlaying(QSize size, const std::function<void(QPainter&, const std::function<void()>& cut)>& record,
                        const std::function<void(PictureQueue&)>& play)
{
    PictureQueue parts;
    std::exception_ptr thrown;
    const auto playing = [&parts, &play] { play(parts); };
    const auto played = [&thrown](std::exception_ptr error) { thrown = std::move(error); };
    std::shared_ptr<LongWork::Job> job = QCoreApplication::instance() ? LongWork::start(playing, played) : nullptr;
    try {
        PictureParts recording(size, [&parts](QPicture part) { parts.push(std::move(part)); });
        QPainter painter(&recording);
        record(painter, [&recording] { recording.cut(); });
    } catch (...) {
        // The player uses what lives here.
        parts.close();
        LongWork::join(job);
        throw;
    }
    parts.close();
    if (!job)
        job = LongWork::start(playing, played);
    LongWork::waitFor(job);
    if (thrown)
        std::rethrow_exception(thrown);
}

void playParts(QPainter& painter, PictureQueue& parts)
{
    const QPicture& blank = emptyPicture();
    const QPaintDevice& device = *painter.device();
    painter.save();
    painter.scale(double(blank.logicalDpiX()) / device.logicalDpiX(),
                  double(blank.logicalDpiY()) / device.logicalDpiY());
    while (const std::optional<QPicture> part = parts.pop())
        painter.drawPicture(0, 0, *part);
    painter.restore();
}

} // namespace velquine
