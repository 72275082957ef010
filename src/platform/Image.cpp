#include "platform/Image.h"

#include "platform/PictureChecks.h"
#include "platform/PngWriter.h"
#include "platform/SvgDrawing.h"
#include "platform/SvgImageData.h"

#include <QBuffer>
#include <QImageReader>
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

std::string overBudget(const PictureBudget& budget)
{
    return "With the pictures read before it, it would make more than " + millionsOf(budget.total())
        + " pixels together; Velquine reads up to that many at once.";
}

// What decoding gave before it becomes an image: the bitmap, or why there is none, with the pixels taken from
// the budget (the budget's own refusal is given as the reason).
struct Decoded {
    QImage bitmap;
    std::string refusal;
    QSize stated;
    std::int64_t taken = 0;
    bool statesResolution = false;
};

// An SVG image is drawn from its own bytes alone (whatever it names outside itself is dropped first), with
// the pictures it embeds counted with its own pixels.
Decoded decodeSvg(const QByteArray& bytes, PictureBudget* budget)
{
    Decoded decoded;
    std::int64_t embedded = 0;
    const std::optional<QByteArray> text = SvgImageData::selfContained(bytes, &decoded.refusal, &embedded);
    if (!text)
        return decoded;
    SvgDrawing drawing(*text);
    if (!drawing.isValid())
        return decoded;
    decoded.stated = drawing.size();
    decoded.refusal = PictureChecks::sizeRefusal(decoded.stated, 32);
    if (!decoded.refusal.empty())
        return decoded;
    const std::int64_t pixels = PictureChecks::pixelsOf(decoded.stated, 32) + embedded;
    if (budget && !budget->take(pixels)) {
        decoded.refusal = overBudget(*budget);
        return decoded;
    }
    decoded.taken = pixels;
    decoded.bitmap = drawing.draw(&decoded.refusal);
    return decoded;
}

// Any other picture passes the checks made before decoding (PictureChecks), then the image reader's header is
// counted at the depth the reader decodes to.
Decoded decodeBitmap(const QByteArray& bytes, PictureBudget* budget)
{
    Decoded decoded;
    const PictureStatement statement = PictureChecks::inspect(bytes);
    decoded.stated = statement.size;
    decoded.statesResolution = statement.statesResolution;
    decoded.refusal = statement.refusal;
    if (!decoded.refusal.empty())
        return decoded;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize readerSize = reader.size();
    // A damaged header can make a reader state a format that is none (QImage's table of formats has no row for it).
    const QImage::Format format = reader.imageFormat();
    const bool known = format > QImage::Format_Invalid && format < QImage::NImageFormats;
    const int bits = known ? QImage::toPixelFormat(format).bitsPerPixel() : 32;
    if (!decoded.stated.isValid())
        decoded.stated = readerSize;
    decoded.refusal = PictureChecks::sizeRefusal(readerSize, bits);
    if (!decoded.refusal.empty())
        return decoded;
    const std::int64_t pixels = std::max(statement.pixels, PictureChecks::pixelsOf(readerSize, bits));
    if (budget && !budget->take(pixels)) {
        decoded.refusal = overBudget(*budget);
        return decoded;
    }
    decoded.taken = pixels;
    decoded.bitmap = reader.read();
    return decoded;
}

// DPI from dots per metre. Whole-number resolutions come back exactly, although Qt keeps dots per metre as
// integers.
double dpiFrom(int dotsPerMeter)
{
    if (dotsPerMeter <= 0)
        return 72.0;
    const double dpi = dotsPerMeter * metersPerInch;
    const double whole = std::round(dpi);
    return std::fabs(dpi - whole) <= 0.05 && whole > 0 ? whole : dpi;
}

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

bool PictureBudget::take(std::int64_t pixels)
{
    if (pixels < 0 || pixels > left_)
        return false;
    left_ -= pixels;
    return true;
}

void PictureBudget::noteRefusal(const std::string& reason)
{
    if (refused_++ == 0)
        firstRefusal_ = reason;
}

std::int64_t Image::readablePixels()
{
    // The reader's limit is in megabytes of 32-bit pixels; zero lifts it.
    const int megabytes = QImageReader::allocationLimit();
    return megabytes <= 0 ? std::numeric_limits<std::int64_t>::max() : std::int64_t(megabytes) * 1024 * 1024 / 4;
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
    // The bytes stay the caller's: the bitmap is detached from them once decoded.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    Decoded decoded = SvgImageData::isSvg(bytes) ? decodeSvg(bytes, budget) : decodeBitmap(bytes, budget);
    result.statedSize = decoded.stated;
    // A picture that takes more pixels than its header told (one that told none, or a container that states
    // less than the picture it holds) takes the rest once decoded.
    const std::int64_t more
        = PictureChecks::pixelsOf(decoded.bitmap.size(), decoded.bitmap.depth()) - decoded.taken; // none when null
    if (decoded.refusal.empty() && budget && more > 0 && !budget->take(more))
        decoded.refusal = overBudget(*budget);
    if (!decoded.refusal.empty()) {
        result.refusal = std::move(decoded.refusal);
        if (budget)
            budget->noteRefusal(result.refusal);
        return result;
    }
    QImage bitmap = std::move(decoded.bitmap);
    if (bitmap.isNull())
        return result;
    bitmap.detach();
    Size points{double(bitmap.width()), double(bitmap.height())};
    if (decoded.statesResolution) {
        points.width = bitmap.width() * 72.0 / dpiFrom(bitmap.dotsPerMeterX());
        points.height = bitmap.height() * 72.0 / dpiFrom(bitmap.dotsPerMeterY());
    }
    result.image = Image(std::move(bitmap), points);
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
    const float w = float(size_.width);
    const float h = float(size_.height);
    const float boxW = float(maxWidth);
    const float boxH = float(maxHeight);
    if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h) || !(boxW > 0) || !(boxH > 0)
        || !std::isfinite(boxW) || !std::isfinite(boxH))
        return {};
    const float factor = h < w ? boxW / w : boxH / h;
    const float fitW = std::trunc(w * factor);
    const float fitH = std::trunc(h * factor);
    // A very long, thin image keeps at least one point on its short side rather than vanishing.
    return {std::max(1.0, double(fitW)), std::max(1.0, double(fitH))};
}

std::optional<Image> Image::resizedToFit(double width, double height) const
{
    if (isNull())
        return std::nullopt;
    if (size_.width <= width && size_.height <= height) {
        width = size_.width;
        height = size_.height;
    }
    // A side under one point (a thin image at a high resolution) keeps one pixel rather than vanishing.
    if (width > 0 && width < 1)
        width = 1;
    if (height > 0 && height < 1)
        height = 1;
    if (!std::isfinite(width) || !std::isfinite(height) || width < 1 || height < 1 || width > 1e6 || height > 1e6)
        return std::nullopt;
    const int pixelsW = int(width);
    const int pixelsH = int(height);
    QImage target(pixelsW, pixelsH, QImage::Format_ARGB32_Premultiplied);
    if (target.isNull())
        return std::nullopt;
    target.fill(Qt::transparent);
    {
        QPainter painter(&target);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(0, 0, width, height), bitmap_);
    }
    return Image(std::move(target), Size{width, height});
}

std::optional<Image> Image::fittedInto(double maxWidth, double maxHeight) const
{
    const Size fit = aspectFitSize(maxWidth, maxHeight);
    if (isNull() || fit.width <= 0 || fit.height <= 0)
        return std::nullopt;
    return resizedToFit(fit.width, fit.height);
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
