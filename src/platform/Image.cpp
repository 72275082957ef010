#include "platform/Image.h"

#include "platform/PngWriter.h"
#include "platform/SvgImageData.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QLocale>
#include <QPainter>

#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include <sys/mman.h>

namespace velquine {

namespace {

constexpr double metersPerInch = 0.0254;

// Calls visit(type, length, room) for the chunks of a PNG file in order, room being the bytes of the file after
// the chunk's length and type, until visit answers false or a chunk runs past the end. Nothing for data that is
// no PNG.
template <class Visit>
void forEachPngChunk(const Image::Data& data, Visit&& visit)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (data.size() < 8 || std::memcmp(data.data(), signature, 8) != 0)
        return;
    std::size_t pos = 8;
    while (pos + 8 <= data.size()) {
        const std::uint32_t length = (std::uint32_t(data[pos]) << 24) | (std::uint32_t(data[pos + 1]) << 16)
            | (std::uint32_t(data[pos + 2]) << 8) | std::uint32_t(data[pos + 3]);
        const std::string_view type(reinterpret_cast<const char*>(data.data() + pos + 4), 4);
        const std::size_t room = data.size() - pos - 8;
        // The length and the checksum after the data lie within the file, or the walk ends there.
        if (!visit(type, length, room) || std::uint64_t(length) + 4 > room)
            return;
        pos += 8 + std::size_t(length) + 4;
    }
}

// Whether a PNG file carries a pHYs chunk (its resolution). Walks the chunk list up to the image data.
bool pngStatesResolution(const Image::Data& data)
{
    bool found = false;
    forEachPngChunk(data, [&found](std::string_view type, std::uint32_t, std::size_t) {
        found = type == "pHYs";
        return !found && type != "IDAT" && type != "IEND";
    });
    return found;
}

// Why a PNG file is refused before its decoder sees it: a chunk other than the image data whose stated length
// runs past the end of the file (the decoder would set memory aside for the length first). Image data cut
// short still decodes as far as it goes. Nothing for a sound file and for data that is no PNG.
std::optional<std::string> pngDamage(const Image::Data& data)
{
    std::optional<std::string> damage;
    forEachPngChunk(data, [&damage](std::string_view type, std::uint32_t length, std::size_t room) {
        if (type == "IEND")
            return false;
        if (std::uint64_t(length) + 4 > room && type != "IDAT")
            damage = "The PNG picture is damaged: its \u201c" + std::string(type) + "\u201d chunk states "
                + QLocale(QLocale::English).toString(qulonglong(length)).toStdString()
                + " bytes, more than the file holds.";
        return true;
    });
    return damage;
}

// "268 million", or the whole number under a million.
std::string millions(std::int64_t pixels)
{
    const QLocale locale(QLocale::English);
    if (pixels < 1000000)
        return locale.toString(qlonglong(pixels)).toStdString();
    return locale.toString(qlonglong(pixels / 1000000)).toStdString() + " million";
}

// Whether the first directory of a TIFF file holds an XResolution tag.
bool tiffStatesResolution(const Image::Data& data)
{
    if (data.size() < 8)
        return false;
    bool little;
    if (data[0] == 'I' && data[1] == 'I')
        little = true;
    else if (data[0] == 'M' && data[1] == 'M')
        little = false;
    else
        return false;
    auto u16 = [&](std::size_t at) -> std::uint32_t {
        return little ? (data[at] | (data[at + 1] << 8)) : ((data[at] << 8) | data[at + 1]);
    };
    auto u32 = [&](std::size_t at) -> std::uint32_t {
        return little ? (u16(at) | (u16(at + 2) << 16)) : ((u16(at) << 16) | u16(at + 2));
    };
    if (u16(2) != 42)
        return false;
    const std::size_t directory = u32(4);
    if (directory > data.size() - 2 || data.size() < 2)
        return false;
    const std::size_t count = u16(directory);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 2 + i * 12;
        if (entry + 12 > data.size())
            return false;
        if (u16(entry) == 282)
            return true;
    }
    return false;
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
    const auto refuse = [&](std::string why) {
        result.refusal = std::move(why);
        if (budget)
            budget->noteRefusal(result.refusal);
        return std::move(result);
    };
    if (data.empty())
        return result;
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    // An SVG image is drawn from its own bytes alone: whatever it names outside itself is dropped first.
    const bool svg = SvgImageData::isSvg(bytes);
    if (svg) {
        std::string refusal;
        std::optional<QByteArray> selfContained = SvgImageData::selfContained(bytes, &refusal);
        if (!selfContained)
            return refusal.empty() ? std::move(result) : refuse(std::move(refusal));
        bytes = std::move(*selfContained);
    } else if (std::optional<std::string> damage = pngDamage(data)) {
        return refuse(std::move(*damage));
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, svg ? QByteArray("svg") : QByteArray());
    // The pixels are counted from the header before any is decoded.
    const QSize stated = reader.size();
    result.statedSize = stated;
    std::int64_t pixels = stated.isValid() ? std::int64_t(stated.width()) * stated.height() : 0;
    if (pixels > readablePixels()) {
        const QLocale locale(QLocale::English);
        return refuse("The picture has " + locale.toString(stated.width()).toStdString() + " × "
                      + locale.toString(stated.height()).toStdString() + " pixels; Velquine reads pictures of up to "
                      + millions(readablePixels()) + " pixels.");
    }
    const auto overBudget = [&] {
        return refuse("With the pictures read before it, it would make more than " + millions(budget->total())
                      + " pixels together; Velquine reads up to that many at once.");
    };
    if (budget && stated.isValid() && !budget->take(pixels))
        return overBudget();
    QImage bitmap = reader.read();
    if (bitmap.isNull())
        return result;
    // A picture whose header told no size is counted once decoded.
    if (budget && !stated.isValid() && !budget->take(std::int64_t(bitmap.width()) * bitmap.height()))
        return overBudget();
    bitmap.detach();  // the raw bytes belong to the caller
    Size points{double(bitmap.width()), double(bitmap.height())};
    if (pngStatesResolution(data) || tiffStatesResolution(data)) {
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
