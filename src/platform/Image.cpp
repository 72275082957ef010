#include "platform/Image.h"

#include "platform/PictureReading.h"
#include "platform/PngWriter.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

#include <sys/mman.h>

namespace velquine {

namespace {

constexpr double metersPerInch = 0.0254;

std::optional<Image::Data> encode(const QImage& bitmap, Size points, const char* format, int compression)
{
    if (bitmap.isNull())
        return std::nullopt;
    QImage out = bitmap;
    if (points.width > 0 && std::isfinite(points.width) && points.height > 0 && std::isfinite(points.height)) {
        const double dpiX = bitmap.width() * 72.0 / points.width;
        const double dpiY = bitmap.height() * 72.0 / points.height;
        const double maxDpm = std::numeric_limits<int>::max();
        out.setDotsPerMeterX(int(std::clamp(std::round(dpiX / metersPerInch), 1.0, maxDpm)));
        out.setDotsPerMeterY(int(std::clamp(std::round(dpiY / metersPerInch), 1.0, maxDpm)));
    }
    if (std::string_view(format) == "png")
        return writePNG(out, out.dotsPerMeterX(), out.dotsPerMeterY());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (compression >= 0)
        writer.setCompression(compression);
    if (!writer.write(out))
        return std::nullopt;
    return Image::Data(bytes.begin(), bytes.end());
}

} // namespace

Image::Image(QImage bitmap) : bitmap_(std::move(bitmap)), size_{double(bitmap_.width()), double(bitmap_.height())}
{
}

Image::Image(QImage bitmap, Size pointSize) : bitmap_(std::move(bitmap)), size_(pointSize) { }

std::int64_t Image::readablePixels()
{
    return PictureDecoding::readablePixels();
}

std::optional<Image> Image::fromData(const Data& data)
{
    return decode(data).image;
}

Image::Decoding Image::decode(const Data& data, PictureBudget* budget)
{
    Decoding result;
    if (data.empty())
        return result;
    PictureRead read = PictureReading::readOne(data, budget);
    result.image = std::move(read.image);
    result.refusal = std::move(read.refusal);
    result.statedSize = read.stated;
    result.processorSeconds = read.processorSeconds;
    result.grownKB = read.grownKB;
    return result;
}

QImage Image::lazilyBackedBitmap(int width, int height)
{
    if (width <= 0 || height <= 0)
        return QImage();
    // Fresh anonymous pages read as zero, which is transparent in a premultiplied format, and stay unbacked
    // until written.
    const qsizetype bytesPerLine = qsizetype(width) * 4;
    const std::size_t length = std::size_t(bytesPerLine) * std::size_t(height);
    void* pixels = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pixels == MAP_FAILED)
        return QImage();
    const auto release = [](void* info) {
        auto* mapping = static_cast<std::pair<void*, std::size_t>*>(info);
        ::munmap(mapping->first, mapping->second);
        delete mapping;
    };
    return QImage(static_cast<uchar*>(pixels), width, height, bytesPerLine, QImage::Format_ARGB32_Premultiplied,
                  release, new std::pair<void*, std::size_t>(pixels, length));
}

std::optional<Image::Data> Image::pngData() const { return encode(bitmap_, size_, "png", -1); }

// Qt's TIFF writer takes compression 1 as LZW.
std::optional<Image::Data> Image::tiffData() const { return encode(bitmap_, size_, "tiff", 1); }

Size Image::aspectFitSize(double maxWidth, double maxHeight) const
{
    const QSizeF fit = velquine::aspectFitSize(QSizeF(size_.width, size_.height), maxWidth, maxHeight);
    return {fit.width(), fit.height()};
}

namespace {

std::optional<Image> imageOf(const std::optional<Picture>& picture)
{
    if (!picture)
        return std::nullopt;
    return Image(picture->bitmap, Size{picture->points.width(), picture->points.height()});
}

} // namespace

std::optional<Image> Image::resizedToFit(double width, double height) const
{
    return imageOf(velquine::resizedToFit(Picture{bitmap_, QSizeF(size_.width, size_.height)}, width, height));
}

std::optional<Image> Image::fittedInto(double maxWidth, double maxHeight) const
{
    const Picture picture{bitmap_, QSizeF(size_.width, size_.height)};
    // A picture read from outside is fitted already: fitting it again would only redraw it.
    if (isFittedInto(picture, maxWidth, maxHeight))
        return *this;
    return imageOf(velquine::fittedInto(picture, maxWidth, maxHeight));
}

bool operator==(const Image& a, const Image& b)
{
    if (a.size_ != b.size_)
        return false;
    if (a.bitmap_.cacheKey() == b.bitmap_.cacheKey())
        return true;
    return a.bitmap_ == b.bitmap_;
}

} // namespace velquine
