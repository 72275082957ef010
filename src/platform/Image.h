#pragma once

// An image as a value: a bitmap and the size in points it is shown at. Copies share the bitmap. File data
// goes in and out as PNG or TIFF (LZW); the size in points travels as the file's resolution.

#include <QImage>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "picture/PictureDecoding.h"
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

    // The box every picture read from outside the program is fitted into, in points: the one a node keeps it in.
    static constexpr double readBox = 1024.0;

    // The picture in file data (PNG, TIFF, JPEG, GIF, BMP, SVG and the other formats Qt reads), decoded in the
    // picture reader's process (PictureReading) and fitted into readBox as a node keeps it. PNG and TIFF files
    // give their size in points through the resolution they state; every other format shows one pixel as one
    // point. Nothing for data that is not an image.
    static std::optional<Image> fromData(const Data& data);
    // fromData, within the bounds the reader checks before the pixels are decoded (PictureDecoding) and those the
    // operating system sets its process (its processor time and memory), taking from the budget when one is given.
    // Refused with the reason when it would cost more.
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
    double processorSeconds = 0; // what reading it took the reader: processor time, and peak memory gained
    std::int64_t grownKB = 0;
};

} // namespace velquine
