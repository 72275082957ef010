#include "picture/PictureDecoding.h"

#include "picture/PictureChecks.h"
#include "picture/SvgDrawing.h"
#include "picture/SvgImageData.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace velquine {

namespace {

constexpr double metersPerInch = 0.0254;

// What decoding gave before it becomes a picture: the bitmap, or why there is none, with the pixels taken from
// the budget (the budget's own refusal is given as the reason).
struct Decoded {
    QImage bitmap;
    std::string refusal;
    QSize stated;
    std::int64_t taken = 0;
    bool statesResolution = false;
};

// An SVG image is drawn from its own bytes alone (whatever it names outside itself is dropped first), with
// the pictures it embeds counted with its own pixels. The SVG reader decodes those pictures as it reads the
// image, before its size is known: their pixels, which the checks know, are taken from the budget first, and
// given back when the image is then not drawn.
Decoded decodeSvg(const QByteArray& bytes, PictureBudget* budget)
{
    Decoded decoded;
    std::int64_t embedded = 0;
    const std::optional<QByteArray> text = SvgImageData::selfContained(bytes, &decoded.refusal, &embedded);
    if (!text)
        return decoded;
    if (budget && !budget->take(embedded)) {
        decoded.refusal = PictureDecoding::overBudget(budget->total());
        return decoded;
    }
    SvgDrawing drawing(*text);
    bool drawn = drawing.isValid();
    if (drawn) {
        decoded.stated = drawing.size();
        decoded.refusal = PictureChecks::sizeRefusal(decoded.stated, 32);
        drawn = decoded.refusal.empty();
    }
    const std::int64_t pixels = PictureChecks::pixelsOf(decoded.stated, 32);
    if (drawn && budget && !budget->take(pixels)) {
        decoded.refusal = PictureDecoding::overBudget(budget->total());
        drawn = false;
    }
    if (!drawn) {
        if (budget)
            budget->giveBack(embedded);
        return decoded;
    }
    decoded.taken = pixels + embedded;
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
    // A damaged header can make a reader state a format that is none (QImage's table of formats has no row for
    // it): the number is checked before it is taken as a format.
    const int format = reader.imageFormat();
    const bool known = format > QImage::Format_Invalid && format < QImage::NImageFormats;
    const int bits = known ? QImage::toPixelFormat(QImage::Format(format)).bitsPerPixel() : 32;
    if (!decoded.stated.isValid())
        decoded.stated = readerSize;
    decoded.refusal = PictureChecks::sizeRefusal(readerSize, bits);
    if (!decoded.refusal.empty())
        return decoded;
    const std::int64_t pixels = std::max(statement.pixels, PictureChecks::pixelsOf(readerSize, bits));
    if (budget && !budget->take(pixels)) {
        decoded.refusal = PictureDecoding::overBudget(budget->total());
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

} // namespace

bool PictureBudget::take(std::int64_t pixels)
{
    if (pixels < 0 || pixels > left_)
        return false;
    left_ -= pixels;
    return true;
}

void PictureBudget::giveBack(std::int64_t pixels)
{
    left_ = std::min(total_, left_ + std::max<std::int64_t>(pixels, 0));
}

void PictureBudget::noteRefusal(const std::string& reason)
{
    if (refused_++ == 0)
        firstRefusal_ = reason;
}

std::string PictureDecoding::overBudget(std::int64_t total)
{
    return "With the pictures read before it, it would make more than " + millionsOf(total)
        + " pixels together; Velquine reads up to that many at once.";
}

std::int64_t PictureDecoding::readablePixels()
{
    // The reader's limit is in megabytes of 32-bit pixels; zero lifts it.
    const int megabytes = QImageReader::allocationLimit();
    return megabytes <= 0 ? std::numeric_limits<std::int64_t>::max() : std::int64_t(megabytes) * 1024 * 1024 / 4;
}

DecodedPicture PictureDecoding::decode(const QByteArray& bytes, PictureBudget* budget)
{
    DecodedPicture result;
    if (bytes.isEmpty())
        return result;
    Decoded decoded = SvgImageData::isSvg(bytes) ? decodeSvg(bytes, budget) : decodeBitmap(bytes, budget);
    result.stated = decoded.stated;
    // A picture that takes more pixels than its header told (one that told none, or a container that states
    // less than the picture it holds) takes the rest once decoded.
    const std::int64_t more
        = PictureChecks::pixelsOf(decoded.bitmap.size(), decoded.bitmap.depth()) - decoded.taken; // none when null
    if (decoded.refusal.empty() && budget && more > 0 && !budget->take(more))
        decoded.refusal = overBudget(budget->total());
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
    QSizeF points(bitmap.width(), bitmap.height());
    if (decoded.statesResolution)
        points = QSizeF(bitmap.width() * 72.0 / dpiFrom(bitmap.dotsPerMeterX()),
                        bitmap.height() * 72.0 / dpiFrom(bitmap.dotsPerMeterY()));
    result.picture = Picture{std::move(bitmap), points};
    return result;
}

// ---- Fitting ----

QSizeF aspectFitSize(QSizeF points, double maxWidth, double maxHeight)
{
    const float w = float(points.width());
    const float h = float(points.height());
    const float boxW = float(maxWidth);
    const float boxH = float(maxHeight);
    if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h) || !(boxW > 0) || !(boxH > 0)
        || !std::isfinite(boxW) || !std::isfinite(boxH))
        return {0, 0};
    const float factor = h < w ? boxW / w : boxH / h;
    const float fitW = std::trunc(w * factor);
    const float fitH = std::trunc(h * factor);
    // A very long, thin picture keeps at least one point on its short side rather than vanishing.
    return {std::max(1.0, double(fitW)), std::max(1.0, double(fitH))};
}

std::optional<Picture> resizedToFit(const Picture& picture, double width, double height)
{
    if (picture.bitmap.isNull())
        return std::nullopt;
    if (picture.points.width() <= width && picture.points.height() <= height) {
        width = picture.points.width();
        height = picture.points.height();
    }
    // A side under one point (a thin picture at a high resolution) keeps one pixel rather than vanishing.
    if (width > 0 && width < 1)
        width = 1;
    if (height > 0 && height < 1)
        height = 1;
    if (!std::isfinite(width) || !std::isfinite(height) || width < 1 || height < 1 || width > 1e6 || height > 1e6)
        return std::nullopt;
    QImage target(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    if (target.isNull())
        return std::nullopt;
    target.fill(Qt::transparent);
    {
        QPainter painter(&target);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(0, 0, width, height), picture.bitmap);
    }
    return Picture{std::move(target), QSizeF(width, height)};
}

std::optional<Picture> fittedInto(const Picture& picture, double maxWidth, double maxHeight)
{
    const QSizeF fit = aspectFitSize(picture.points, maxWidth, maxHeight);
    if (picture.bitmap.isNull() || fit.width() <= 0 || fit.height() <= 0)
        return std::nullopt;
    return resizedToFit(picture, fit.width(), fit.height());
}

bool isFittedInto(const Picture& picture, double maxWidth, double maxHeight)
{
    const QSizeF points = picture.points;
    return picture.bitmap.format() == QImage::Format_ARGB32_Premultiplied && points.width() >= 1
        && points.height() >= 1 && points.width() <= maxWidth && points.height() <= maxHeight
        && picture.bitmap.width() == int(points.width()) && picture.bitmap.height() == int(points.height());
}

} // namespace velquine
