#include "platform/layer/LayerPictureStore.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "platform/layer/Layer.h"

namespace velquine {

namespace pictures {

namespace {

std::size_t cachedBytes = 0;
std::size_t cacheBudget = std::size_t(512) << 20;

// The pictures kept, from the least to the most lately drawn; paints that store or draw them run on the
// thread that owns the trees, as the byte count above assumes.
LayerPictureCache* oldestPicture = nullptr;
LayerPictureCache* newestPicture = nullptr;
// Paints begun: a picture drawn by one of the latest few is not let go (a few partial paints, such as the
// frames of an animation, may each show a different part of what is on screen).
std::uint64_t paintSerial = 0;
constexpr std::uint64_t recentPaints = 64;
constexpr std::size_t minimumKeptBytes = std::size_t(32) << 20;
std::size_t keptBytesSet = 0;  // 0: by the screens

bool isListed(const LayerPictureCache& cache) { return cache.older || oldestPicture == &cache; }

void unlist(LayerPictureCache& cache)
{
    if (!isListed(cache))
        return;
    (cache.older ? cache.older->newer : oldestPicture) = cache.newer;
    (cache.newer ? cache.newer->older : newestPicture) = cache.older;
    cache.older = cache.newer = nullptr;
}

void forgetPicture(LayerPictureCache& cache)
{
    unlist(cache);
    cachedBytes -= std::size_t(cache.image.sizeInBytes());
    cache.image = QImage();
}

// Twice the pixels of the largest screen, at least minimumKeptBytes.
std::size_t keptBytes()
{
    if (keptBytesSet)
        return keptBytesSet;
    double largest = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const double ratio = screen->devicePixelRatio();
        largest = std::max(largest, double(screen->size().width()) * screen->size().height() * ratio * ratio * 4);
    }
    return std::max(minimumKeptBytes, std::size_t(2 * largest));
}

// Scales this close draw a picture to within a thousandth of a pixel over its largest side: rounding in
// working out a paint's transform must not make a picture look out of scale.
bool sameScale(double made, double wanted) { return std::fabs(made - wanted) <= 1e-9 * std::fabs(wanted); }

} // namespace

void markDrawn(LayerPictureCache& cache)
{
    cache.lastPaint = paintSerial;
    if (newestPicture == &cache)
        return;
    unlist(cache);
    cache.older = newestPicture;
    (newestPicture ? newestPicture->newer : oldestPicture) = &cache;
    newestPicture = &cache;
}

void beginPaint() { ++paintSerial; }

void letGoOfUndrawnPictures()
{
    if (!oldestPicture || (!keptBytesSet && cachedBytes <= minimumKeptBytes))
        return;
    const std::size_t keep = keptBytes();
    while (cachedBytes > keep && oldestPicture && oldestPicture->lastPaint + recentPaints <= paintSerial)
        forgetPicture(*oldestPicture);
}

bool store(LayerPictureCache& cache, const Picture& picture, std::uint64_t revision, double sx, double sy)
{
    forgetPicture(cache);
    const auto bytes = std::size_t(picture.image.sizeInBytes());
    if (cachedBytes + bytes > cacheBudget)
        return false;
    cache.image = picture.image;
    cache.offset = picture.offset;
    cache.revision = revision;
    cache.scaleX = sx;
    cache.scaleY = sy;
    cachedBytes += bytes;
    markDrawn(cache);
    return true;
}

CacheUse cacheUse(const LayerPictureCache* cache, const Layer& layer, double sx, double sy, bool mayResample,
                  bool mayRebuild)
{
    if (!cache || cache->image.isNull() || cache->revision != layer.contentRevision())
        return CacheUse::none;
    if (sameScale(cache->scaleX, sx) && sameScale(cache->scaleY, sy))
        return CacheUse::exact;
    if (mayResample && cache->scaleX * sx > 0 && cache->scaleY * sy > 0 && !mayRebuild)
        return CacheUse::resampled;
    return CacheUse::none;
}

} // namespace pictures

using namespace pictures;

LayerPictureCache::~LayerPictureCache() { forgetPicture(*this); }

std::size_t LayerRenderer::cachedPictureBytes() { return cachedBytes; }

void LayerRenderer::setCachedPictureBudget(std::size_t bytes) { cacheBudget = bytes; }

std::size_t LayerRenderer::keptPictureBytes() { return keptBytes(); }

void LayerRenderer::setKeptPictureBytes(std::size_t bytes) { keptBytesSet = bytes; }

} // namespace velquine
