#include "platform/layer/LayerBandPainter.h"

#include <QBrush>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/SystemInformation.h"
#include "platform/layer/Animator.h"
#include "platform/layer/Layer.h"
#include "platform/layer/StrokeRaster.h"

namespace velquine {

namespace {

// Below this many device pixels an area is painted at once: threads would cost more than they save.
constexpr qint64 minBandedPixels = qint64(256) * 256;
// Every band has at least this many device pixels: a smaller part costs less to paint on the calling
// thread than to hand to another one and wait for.
constexpr qint64 minPixelsPerBand = qint64(256) * 320;
// Every band has at least this many device rows.
constexpr int minBandRows = 2;
// An area is cut into bands only when it has this many device rows per band.
constexpr int rowsPerBand = 64;
// More bands than this gain little: copying the bands in and walking the tree once per band cost too.
constexpr int maxAutomaticBands = 6;
// An area too small to be cut by its pixels is cut still when its rows cost this many seconds by what the last
// paint measured: a strip that a scroll brings into view may cross thousands of lines.
constexpr double minBandedCost = 0.006;
// An area too small to be cut by its pixels or its cost is cut still when the last preparation read this many
// lines of crowded layers near the area it prepared: where thousands of lines meet (a node with thousands of
// children), every paint near them, however narrow, reads them all, and reads them faster on several threads.
constexpr std::size_t manyStrokes = 4096;
std::atomic<int> bandLimit{0};

// The threads a paint runs on, at most a few: by default as many as the processors other programs leave idle
// now, so that on a machine busy with other work a paint takes no more than one thread's share of it.
std::size_t threadCount()
{
    const int limit = bandLimit.load();
    return std::size_t(limit > 0 ? limit : std::min(idleCoreCount(), maxAutomaticBands));
}

// How many bands an area of that many device pixels is painted in on at most that many threads.
int bandsFor(QSize devicePixels, int most)
{
    if (most < 2 || qint64(devicePixels.width()) * devicePixels.height() < minBandedPixels)
        return 1;
    const qint64 pixels = qint64(devicePixels.width()) * devicePixels.height();
    return std::clamp(int(std::min<qint64>(devicePixels.height() / rowsPerBand, pixels / minPixelsPerBand)), 1, most);
}

// The threads that paint bands, made as first needed. They are kept for the life of the program and never
// stopped: fonts that text drawing looks up on a thread belong to that thread's font cache, and laid-out
// text drawn there may keep using them after the paint.
class BandThreads {
public:
    static BandThreads& shared()
    {
        static BandThreads* threads = new BandThreads;
        return *threads;
    }

    // How the calling thread takes part in a run.
    enum class Caller {
        // It runs jobs too: the first at once, then any no thread has taken. Suits many small jobs (those of a
        // paint's preparation, several runs a frame), which would otherwise each wait for the threads to wake.
        works,
        // It only waits: suits one long job per thread (a paint's bands). The scheduler tends to put a thread it
        // wakes on the waker's own processor, and a caller painting a band there shared it with that thread, both
        // at half speed, while other processors idled. What waiting buys (the real window, a Tab on a node with
        // 2,000 children, the paints of the glide's first frames): 7.2 -> 6.0 ms a paint, its bands' time past
        // the longest band's own 1.9 -> 0.9 ms.
        waits,
    };

    // Runs every job, calling finished(i) on the calling thread as each job i is done, and returns once all are.
    void run(const std::vector<std::function<void()>>& jobs, std::size_t threads,
             const std::function<void(std::size_t)>& finished, Caller caller)
    {
        if (jobs.empty())
            return;
        const std::lock_guard runs(running_);
        const std::size_t first = caller == Caller::works ? 1 : 0;
        {
            const std::lock_guard lock(mutex_);
            while (threads_.size() + first < std::min(threads, jobs.size())) {
                QThread* thread = QThread::create([this] { work(); });
                thread->setObjectName(QStringLiteral("layer-bands"));
                thread->start();
                threads_.push_back(thread);
            }
            for (std::size_t i = first; i < jobs.size(); ++i)
                queue_.push_back({&jobs[i], i});
        }
        wake_.notify_all();
        if (caller == Caller::works) {
            jobs.front()();
            finished(0);
        }
        std::size_t left = jobs.size() - first;
        std::unique_lock lock(mutex_);
        while (left > 0) {
            if (!completed_.empty()) {
                const std::size_t done = completed_.front();
                completed_.pop_front();
                lock.unlock();
                finished(done);
                lock.lock();
                --left;
            } else if (caller == Caller::works && !queue_.empty()) {
                const Job job = queue_.front();
                queue_.pop_front();
                lock.unlock();
                (*job.run)();
                finished(job.index);
                lock.lock();
                --left;
            } else {
                done_.wait(lock, [this, caller] {
                    return !completed_.empty() || (caller == Caller::works && !queue_.empty());
                });
            }
        }
    }

private:
    struct Job {
        const std::function<void()>* run;
        std::size_t index;
    };

    void work()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !queue_.empty(); });
            const Job job = queue_.front();
            queue_.pop_front();
            lock.unlock();
            (*job.run)();
            lock.lock();
            completed_.push_back(job.index);
            done_.notify_one();
        }
    }

    std::mutex running_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Job> queue_;
    std::deque<std::size_t> completed_;
    std::vector<QThread*> threads_;
};

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Band {
    QRect rect;  // painter coordinates
    LayerRenderOptions options;
    QImage image;  // the whole of the painter's image or of a picture of its device
    QRect deviceRect;  // the band's pixels in the image
    bool inPlace = false;  // image is the painter's own
    LayerRenderer::Statistics counts;
    bool complete = true;
    double cost = 0;  // thread seconds
    // How many lines visited each of its device rows, as differences (StrokeRaster::noteVisitedRows()).
    std::vector<std::int32_t> visits;
};

// What a band's painter takes over from the one the area is painted with.
struct PainterState {
    QPainter::RenderHints hints;
    QPen pen;
    QBrush brush;
    double ratio = 1;
};

// A band painted into its rows of the image. The band's painter sees the whole image as its device but only
// the band's rows as the area it paints (the engine's system clip): Qt strokes a line no wider than a pixel
// by cutting it at the device's edges and shades the pixels by where it cut, so every band must cut where a
// paint of the whole cuts, while anti-aliased fills are rasterized only in the rows the engine paints; a
// band that saw rows around its own would rasterize the costliest rows (where many branches meet, which the
// cut gives thin bands) once for each band near them.
void paintBand(Band& band, const PainterState& target, const Layer& root, const LayerPaintPreparation& preparation)
{
    const double start = threadSeconds();
    band.image.paintEngine()->setSystemClip(QRegion(band.deviceRect));
    {
        QPainter painter(&band.image);
        painter.setRenderHints(target.hints);
        painter.setPen(target.pen);
        painter.setBrush(target.brush);
        painter.translate(QPointF(band.deviceRect.topLeft()) / target.ratio - band.rect.topLeft());
        painter.setClipRect(band.rect);
        band.visits.assign(std::size_t(band.deviceRect.height()) + 1, 0);
        StrokeRaster::noteVisitedRows(&band.visits, band.deviceRect.top());
        band.complete = LayerRenderer::renderShared(painter, root, band.options, preparation, band.counts);
        StrokeRaster::noteVisitedRows(nullptr, 0);
    }
    StrokeRaster::releaseThreadStorage();
    band.cost = threadSeconds() - start;
}

// The image the painter paints into as it goes, when a band can be painted right into its rows there, as
// the painter itself would paint them: no clip of the painter's own and none of the device's cutting the
// area, full opacity, plain blending, whole device pixels. deviceArea is where the area lies in it.
QImage* imagePaintedInPlace(QPainter& painter, const QRect& area, QRect& deviceArea)
{
    QPaintEngine* const engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || painter.hasClipping() || painter.opacity() != 1
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return nullptr;
    QPaintDevice* const device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* const image = static_cast<QImage*>(device);
    const QTransform toDevice = painter.deviceTransform();
    const QRectF mapped = toDevice.mapRect(QRectF(area));
    deviceArea = mapped.toRect();
    if (toDevice.type() > QTransform::TxScale || QRectF(deviceArea) != mapped || !image->rect().contains(deviceArea)
        || image->depth() != 32)
        return nullptr;
    const QRegion deviceClip = engine->systemClip();
    if (!deviceClip.isEmpty() && !(QRegion(deviceArea) - deviceClip).isEmpty())
        return nullptr;
    return image;
}

// Draws a band painted apart, its own pixels of the picture, into the painter at the band's place.
void drawBandInto(QPainter& painter, const Band& band, bool blendsAtOnce)
{
    const QRect& own = band.deviceRect;
    painter.save();
    painter.resetTransform();
    if (blendsAtOnce)
        painter.drawImage(QRectF(band.rect), band.image, QRectF(own));
    else
        painter.drawImage(band.rect.topLeft(), band.image.copy(own));
    painter.restore();
}

} // namespace

const QImage& LayerBandPainter::pictureFor(const QPainter& painter, const QRect& area, int ratio, QRect& deviceArea)
{
    // The area where the painter's raster device has it, so that lines are cut at that device's edges, as a
    // paint straight into it cuts them; on any other device, or one far larger than the area, at the area's.
    QSize pixels = area.size() * ratio;
    deviceArea = QRect(QPoint(0, 0), pixels);
    const QPaintEngine* const engine = painter.paintEngine();
    const QPaintDevice* const device = engine ? engine->paintDevice() : nullptr;
    if (engine && device && engine->type() == QPaintEngine::Raster) {
        const QRect devicePixels(0, 0, device->width(), device->height());
        const QRectF mapped = painter.deviceTransform().mapRect(QRectF(area));
        const qint64 most = std::max(qint64(4) * pixels.width() * pixels.height(), qint64(4096) * 4096);
        if (painter.deviceTransform().type() <= QTransform::TxScale && QRectF(mapped.toRect()) == mapped
            && devicePixels.contains(mapped.toRect()) && qint64(devicePixels.width()) * devicePixels.height() <= most) {
            pixels = devicePixels.size();
            deviceArea = mapped.toRect();
        }
    }
    if (picture_.size() != pixels)
        picture_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    // Cleared where the bands paint.
    const int rowBytes = deviceArea.width() * 4;
    for (int y = deviceArea.top(); y <= deviceArea.bottom(); ++y)
        std::memset(picture_.scanLine(y) + qsizetype(deviceArea.left()) * 4, 0, std::size_t(rowBytes));
    return picture_;
}

int LayerBandPainter::bandCount(QSize devicePixels) { return bandsFor(devicePixels, int(threadCount())); }

void LayerBandPainter::setMaximumBands(int bands) { bandLimit.store(std::max(0, bands)); }

int LayerBandPainter::maximumBands() { return bandLimit.load(); }

LayerBandPainter::Placement LayerBandPainter::placementOf(const QPainter& painter, const Layer& root,
                                                          const LayerRenderOptions& options)
{
    const Rect source = options.sourceRect.isNull() ? root.presentationBounds() : options.sourceRect.standardized();
    const QRectF target =
        options.targetRect.value_or(QRectF(source.origin.x, source.origin.y, source.size.width, source.size.height));
    const QTransform toPainter = LayerRenderer::rootTransform(source, target, options.flipped) * painter.worldTransform();
    return {toPainter.dy(), toPainter.m22()};
}

int LayerBandPainter::rowsMovedSince(const Placement& placement) const
{
    // At another scale the rows are taken as they were.
    if (placement.rowsPerUnit != costPlacement_.rowsPerUnit || !std::isfinite(placement.rowOfOrigin)
        || !std::isfinite(costPlacement_.rowOfOrigin))
        return 0;
    const double moved = placement.rowOfOrigin - costPlacement_.rowOfOrigin;
    return std::fabs(moved) < 1e6 ? int(std::lround(moved)) : 0;
}

double LayerBandPainter::measuredCost(int row, int shift, double unmeasured) const
{
    const int i = row - shift - costTop_;
    return i >= 0 && i < int(rowCosts_.size()) && !std::isnan(rowCosts_[std::size_t(i)]) ? rowCosts_[std::size_t(i)]
                                                                                        : unmeasured;
}

std::vector<QRect> LayerBandPainter::cut(const QRect& area, int count, int minRows, const Placement& placement) const
{
    const int rows = area.height();
    // What the last paint measured follows the tree: a canvas that grew above what it shows shifts the tree
    // down the painter, and its costly rows with it.
    const int shift = rowsMovedSince(placement);
    double mean = 0;
    std::size_t measured = 0;
    for (double cost : rowCosts_)
        if (!std::isnan(cost)) {
            mean += cost;
            ++measured;
        }
    mean = measured == 0 || !(mean > 0) ? 1.0 : mean / double(measured);
    // Rows the last paint did not measure cost the mean; none costs nothing (each is filled and copied).
    std::vector<double> prefix(std::size_t(rows) + 1, 0.0);
    for (int r = 0; r < rows; ++r) {
        const double cost = measuredCost(area.top() + r, shift, mean);
        prefix[std::size_t(r) + 1] = prefix[std::size_t(r)] + std::max(cost, mean / 32);
    }
    std::vector<QRect> bands;
    int top = 0;
    for (int k = 1; k <= count; ++k) {
        int bottom = rows;
        if (k < count) {
            const double goal = prefix.back() * k / count;
            bottom = int(std::lower_bound(prefix.begin(), prefix.end(), goal) - prefix.begin());
            bottom = std::clamp(bottom, top + minRows, rows - (count - k) * minRows);
        }
        bands.emplace_back(area.left(), area.top() + top, area.width(), bottom - top);
        top = bottom;
    }
    return bands;
}

double LayerBandPainter::expectedCost(const QRect& area, const Placement& placement) const
{
    if (rowCosts_.empty() || costWidth_ <= 0)
        return 0;
    const int shift = rowsMovedSince(placement);
    double cost = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        cost += measuredCost(y, shift, 0);
    return cost * std::min(1.0, double(area.width()) / costWidth_);
}

namespace {

// How many rows beyond a paint's own the measured costs of earlier paints are kept.
constexpr int keptRows = 4096;

// Of a band's cost, what is spread evenly over its rows, for a share of one spread by the lines visiting them.
constexpr double evenShare = 0.1;

// The lines that visited each of a band's painter rows, from its differences of visits per device row (ratio of
// them to a painter row).
std::vector<double> visitsPerRow(const std::vector<std::int32_t>& changes, int rows, int ratio)
{
    std::vector<double> visits(std::size_t(std::max(0, rows)), 0.0);
    std::int64_t running = 0;
    for (std::size_t row = 0; row + 1 < changes.size(); ++row) {
        running += changes[row];
        const std::size_t at = row / std::size_t(std::max(1, ratio));
        if (at < visits.size())
            visits[at] += double(running);
    }
    return visits;
}

} // namespace

void LayerBandPainter::remember(const std::vector<QRect>& bands, const std::vector<double>& costs,
                                const Placement& placement, const std::vector<std::vector<double>>& work)
{
    const QRect area = bands.front().united(bands.back());
    // Rows measured at the same scale across the same width are kept beside this paint's.
    const bool keeps = !rowCosts_.empty() && placement.rowsPerUnit == costPlacement_.rowsPerUnit
                       && costWidth_ == area.width();
    // The last estimate, moved to where the tree lies now.
    costTop_ += rowsMovedSince(placement);
    costPlacement_ = placement;
    std::vector<double> rows(std::size_t(area.height()), 0.0);
    for (std::size_t b = 0; b < bands.size(); ++b) {
        const int height = std::max(1, bands[b].height());
        // A band's cost is spread over its rows by how many lines visited each (where many lines meet, a few rows
        // of a band cost most of it), a tenth of it evenly for what else it drew; all evenly when no line did.
        const std::vector<double>* visits = b < work.size() && int(work[b].size()) == height ? &work[b] : nullptr;
        double visited = 0;
        if (visits)
            for (double v : *visits)
                visited += v;
        const auto costOf = [&](int i) {
            if (!(visited > 0))
                return costs[b] / height;
            return costs[b] * (evenShare * visited / height + (*visits)[std::size_t(i)]) / ((1 + evenShare) * visited);
        };
        for (int y = bands[b].top(); y <= bands[b].bottom(); ++y) {
            const double cost = costOf(y - bands[b].top());
            // Half the last estimate, half this paint's.
            const double last = measuredCost(y, 0, std::numeric_limits<double>::quiet_NaN());
            rows[std::size_t(y - area.top())] = std::isnan(last) ? cost : (last + cost) / 2;
        }
    }
    int top = area.top();
    if (keeps) {
        // Rows this paint did not measure keep what earlier paints measured of them, a few views' worth around
        // it: a scroll paints a strip at a time, and the paint of the whole view that follows (the first frame
        // of a glide) is cut by what the paints before the scroll measured of the rest.
        const int oldEnd = costTop_ + int(rowCosts_.size());
        top = std::max(std::min(costTop_, area.top()), area.top() - keptRows);
        const int end = std::min(std::max(oldEnd, area.bottom() + 1), area.bottom() + 1 + keptRows);
        std::vector<double> kept(std::size_t(end - top), std::numeric_limits<double>::quiet_NaN());
        for (int y = std::max(top, costTop_); y < std::min(end, oldEnd); ++y)
            kept[std::size_t(y - top)] = rowCosts_[std::size_t(y - costTop_)];
        std::copy(rows.begin(), rows.end(), kept.begin() + (area.top() - top));
        rows = std::move(kept);
    }
    rowCosts_ = std::move(rows);
    costTop_ = top;
    costWidth_ = area.width();
}

// The strokes a paint's preparation found crowded together, over all its layers.
static std::size_t crowdedStrokeCount(const LayerPaintPreparation& preparation)
{
    std::size_t count = 0;
    for (const auto& [layer, strokes] : preparation.crowdedStrokes)
        count += strokes.strokes.size();
    return count;
}

bool LayerBandPainter::render(QPainter& painter, Layer& root, LayerRenderOptions options, const QRect& area,
                              const std::function<Rect(const QRect&)>& exposedOf)
{
    const double ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    options.exposedRect = exposedOf(area);
    // Bands are copied in as they are, which needs the painter's own coordinates, and start on whole device
    // rows only when every row of the painter is a whole number of them.
    const bool bandable = painter.worldTransform().type() == QTransform::TxNone && ratio == std::round(ratio)
                          && ratio >= 1;
    const Placement placement = placementOf(painter, root, options);
    // Asked once: the whole paint, its preparation included, runs on that many threads.
    const std::size_t threads = threadCount();
    int count = bandable ? bandsFor(area.size() * ratio, int(threads)) : 1;
    if (bandable && count < 2 && threads >= 2 && expectedCost(area, placement) > minBandedCost)
        count = std::clamp(area.height() * int(ratio) / rowsPerBand, 1, int(threads));
    // Its cost measured by a part cut for the lines it meets would say little of its rows.
    const bool cutForLines = bandable && count < 2 && strokesLastPrepared_ >= manyStrokes && threads >= 2
                             && area.height() * int(ratio) >= 2 * minBandRows;
    if (cutForLines)
        count = std::clamp(area.height() * int(ratio) / rowsPerBand, 2, int(threads));
    if (count < 2) {
        painter.save();
        painter.setClipRect(area);
        const bool complete = LayerRenderer::render(painter, root, options);
        painter.restore();
        return complete;
    }
    // Every band sees the animations at one instant, the one the preparation saw; laid out before, so that
    // what the layout starts starts now.
    root.layoutIfNeeded();
    const Animator::FrozenTime frozen;
    const LayerPaintPreparation preparation =
        LayerRenderer::prepareSharedPaints(painter, root, options, [threads](const auto& jobs) {
            BandThreads::shared().run(jobs, threads, [](std::size_t) {}, BandThreads::Caller::works);
        });
    strokesLastPrepared_ = crowdedStrokeCount(preparation);
    const std::vector<QRect> rects = cut(area, count, int(std::ceil(minBandRows / ratio)), placement);
    std::vector<Band> bands(rects.size());
    // Read here: while bands are painted, finished ones are drawn into the painter.
    const PainterState state{painter.renderHints(), painter.pen(), painter.brush(), ratio};
    QRect deviceArea;
    QImage* const target = imagePaintedInPlace(painter, area, deviceArea);
    const QImage& canvas = target ? *target : pictureFor(painter, area, ratio, deviceArea);
    // Written through the painter's own image with no copy made of it (which bits() could make).
    uchar* const bits = const_cast<uchar*>(canvas.constBits());
    std::vector<std::function<void()>> jobs;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        Band& band = bands[i];
        band.rect = rects[i];
        // The whole canvas, of which the band paints its own rows only: bands share no pixel.
        band.image = QImage(bits, canvas.width(), canvas.height(), canvas.bytesPerLine(), canvas.format());
        band.image.setDevicePixelRatio(ratio);
        band.deviceRect = QRect(deviceArea.left(), deviceArea.top() + (band.rect.top() - area.top()) * int(ratio),
                                deviceArea.width(), band.rect.height() * int(ratio));
        band.inPlace = target != nullptr;
        band.options = options;
        band.options.exposedRect = exposedOf(band.rect);
        jobs.emplace_back([&band, &state, &root, &preparation] { paintBand(band, state, root, preparation); });
    }
    // The raster engine blends a band in at once; others (a recorded picture) may keep what they are given,
    // which must then not be the picture the next paint overwrites.
    const bool blendsAtOnce = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster;
    bool complete = true;
    BandThreads::shared().run(jobs, threads, [&](std::size_t i) {
        Band& band = bands[i];
        if (band.inPlace)
            ++band.counts.bandsPaintedInPlace;
        else
            drawBandInto(painter, band, blendsAtOnce);
        band.image = QImage();
        LayerRenderer::statistics() += band.counts;
        complete = complete && band.complete;
    }, BandThreads::Caller::waits);
    if (cutForLines)
        return complete;
    std::vector<double> costs;
    std::vector<std::vector<double>> work;
    for (const Band& band : bands) {
        costs.push_back(band.cost);
        work.push_back(visitsPerRow(band.visits, band.rect.height(), int(ratio)));
    }
    remember(rects, costs, placement, work);
    return complete;
}

} // namespace velquine
