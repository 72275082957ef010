#pragma once

// An image as a value: a bitmap and the size in points it is shown at. Copies share the bitmap. File data
// goes in and out as PNG or TIFF (LZW); the size in points travels as the file's resolution.

#include <QImage>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Base64.h"
#include "platform/Geometry.h"

namespace velquine {

// The error of an image that gives no PNG data where PNG data is required.
class ImageExtensionError : public std::runtime_error {
public:
    enum class Kind { unwrappingPNGRepresentationFailed };
    explicit ImageExtensionError(Kind kind)
        : std::runtime_error("The picture could not be converted to PNG data."), kind(kind)
    {
    }
    Kind kind;
};

// What pictures decoded one after another may cost together, in 32-bit pixels: a map's pictures are all in
// memory at once. Each picture takes the pixels it is decoded at (a 64-bit pixel counting twice), an SVG image
// with those of the pictures it embeds; a picture that would take more than are left is refused before it is
// decoded. The pictures refused are counted, with the reason of the first.
class PictureBudget {
public:
    // As many pixels as a map's pictures may have together: 1 GB of 32-bit pixels.
    static constexpr std::int64_t mapPixels = std::int64_t(256) << 20;

    explicit PictureBudget(std::int64_t pixels = mapPixels) : total_(pixels), left_(pixels) { }
    std::int64_t total() const { return total_; }
    std::int64_t pixelsLeft() const { return left_; }
    // Takes the pixels when they fit in what is left; false (taking nothing) when not.
    bool take(std::int64_t pixels);

    void noteRefusal(const std::string& reason);
    int refusedCount() const { return refused_; }
    const std::string& firstRefusal() const { return firstRefusal_; }

private:
    std::int64_t total_;
    std::int64_t left_;
    int refused_ = 0;
    std::string firstRefusal_;
};

struct ImageDecoding;

class Image {
public:
    using Data = Bytes;

    using Decoding = struct ImageDecoding;

    // The null image: no bitmap, size zero.
    Image() = default;
    // One pixel of the bitmap per point.
    explicit Image(QImage bitmap);
    Image(QImage bitmap, Size pointSize);

    // An image decoded from file data (PNG, TIFF, JPEG, GIF, BMP, SVG and the other formats Qt reads). PNG and
    // TIFF files give their size in points through the resolution they state (pixels × 72 / DPI); a file that
    // states none, and every other format, shows one pixel as one point. An SVG image is drawn from the data
    // alone: nothing it names outside itself is opened (SvgImageData). Nothing for data that is not an image.
    static std::optional<Image> fromData(const Data& data);
    // fromData, within bounds checked before the pixels are decoded, whatever format holds the picture
    // (PictureChecks): at most readablePixels for the picture (fewer of more than 32 bits; the pictures an SVG
    // image embeds counted together), at most what is left of the budget when one is given (taken from it), the
    // parts a file states lying within it, and the work of decoding bounded (a JPEG's scans, an XPM picture's
    // text, an SVG image's text, elements and covered pixels: SvgImageData, SvgDrawing).
    static Decoding decode(const Data& data, PictureBudget* budget = nullptr);
    // The most pixels one picture may have: what the image reader's allocation limit lets it decode.
    static std::int64_t readablePixels();

    // A transparent W × H pixel bitmap (32-bit, premultiplied) whose pixels take memory only once drawn: a
    // large bitmap of which a part is ever drawn costs that part (the theme strip's 24 previews at twice their
    // size, one or two of them drawn, took 15 MB less at 10,000 nodes). A null bitmap when there is no memory
    // or a side is not positive.
    static QImage lazilyBackedBitmap(int width, int height);

    bool isNull() const { return bitmap_.isNull(); }
    const QImage& bitmap() const { return bitmap_; }
    Size size() const { return size_; }
    int pixelsWide() const { return bitmap_.width(); }
    int pixelsHigh() const { return bitmap_.height(); }

    // PNG and LZW-compressed TIFF data, with a resolution that gives back the size in points. Nothing for
    // the null image or when the encoder fails.
    std::optional<Data> pngData() const;
    std::optional<Data> tiffData() const;

    // The size in points scaled to fit the box, computed in single precision and cut toward zero to whole
    // numbers; a small image is scaled up. The reference side is the width when the height is less than the
    // width, else the height. Each side is at least 1. The zero size for an image whose size is zero or not
    // finite, or a box that is not finite and positive.
    Size aspectFitSize(double maxWidth, double maxHeight) const;
    // A new W × H pixel bitmap (32-bit with alpha) holding the whole image, shown at W × H points; when the
    // image already fits (its own width at most W and its height at most H) it is redrawn at its own size.
    // A side above zero but under one point becomes one. Nothing when the bitmap cannot be made.
    std::optional<Image> resizedToFit(double width, double height) const;
    // aspectFitSize into the box, then resizedToFit: the form images are stored in. Nothing for the null
    // image or one with a zero or non-finite size.
    std::optional<Image> fittedInto(double maxWidth, double maxHeight) const;

    // The same size in points and the same pixels in the same pixel format (copies of one image compare equal
    // at once).
    friend bool operator==(const Image& a, const Image& b);

private:
    QImage bitmap_;
    Size size_;
};

// What decoding file data gave: the image, or nothing with the reason when the picture would cost more than the
// bounds allow (refusal empty when the data is simply no image).
struct ImageDecoding {
    std::optional<Image> image;
    std::string refusal;
    QSize statedSize; // the size in pixels the picture's header states; invalid when it states none
};

} // namespace velquine
