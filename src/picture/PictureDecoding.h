#pragma once

// A picture's bytes decoded into pixels, and pixels fitted into a box.
//
// Decoding runs in the picture reader's process alone (PictureReader): a decoder or Qt's rasterizer may take any
// time and memory a crafted file asks of it, which no count made beforehand can know, so the program hands the
// bytes to a process of its own that the operating system bounds, and takes back the fitted pixels. The checks
// made here before any pixel is decoded (PictureChecks, SvgImageData, SvgDrawing) still refuse what they know to
// cost too much, at once and with the exact reason.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>

#include <cstdint>
#include <optional>
#include <string>

namespace velquine {

// What pictures decoded one after another may cost together, in 32-bit pixels: a map's pictures are all read
// for one open. Each picture takes the pixels it is decoded at (a 64-bit pixel counting twice), an SVG image
// with those of the pictures it embeds; a picture that would take more than are left is refused before it is
// decoded. The pictures refused are counted, with the reason of the first.
class PictureBudget {
public:
    // As many pixels as a map's pictures may have together: 1 GB of 32-bit pixels.
    static constexpr std::int64_t mapPixels = std::int64_t(256) << 20;

    explicit PictureBudget(std::int64_t pixels = mapPixels) : total_(pixels), left_(pixels) { }
    PictureBudget(std::int64_t total, std::int64_t left) : total_(total), left_(left) { }
    std::int64_t total() const { return total_; }
    std::int64_t pixelsLeft() const { return left_; }
    // Takes the pixels when they fit in what is left; false (taking nothing) when not.
    bool take(std::int64_t pixels);
    // Gives back pixels taken for a picture that is then not decoded.
    void giveBack(std::int64_t pixels);

    void noteRefusal(const std::string& reason);
    int refusedCount() const { return refused_; }
    const std::string& firstRefusal() const { return firstRefusal_; }

private:
    std::int64_t total_;
    std::int64_t left_;
    int refused_ = 0;
    std::string firstRefusal_;
};

// A bitmap and the size in points it is shown at.
struct Picture {
    QImage bitmap;
    QSizeF points;
};

// What decoding gave: the picture, or no picture with the reason when it would cost more than the bounds allow
// (refusal empty when the bytes are simply no picture).
struct DecodedPicture {
    Picture picture;         // a null bitmap when there is none
    std::string refusal;
    QSize stated;            // the size in pixels the picture's header states; invalid when it states none
};

class PictureDecoding {
public:
    // The picture in the bytes (PNG, TIFF, JPEG, GIF, BMP, SVG and the other formats Qt reads). PNG and TIFF
    // files give their size in points through the resolution they state (pixels × 72 / DPI); a file that states
    // none, and every other format, shows one pixel as one point. An SVG image is drawn from the bytes alone:
    // nothing it names outside itself is opened (SvgImageData). Decoded within bounds checked before the pixels
    // are (PictureChecks): at most readablePixels for the picture (fewer of more than 32 bits; the pictures an SVG
    // image embeds counted together), at most what is left of the budget when one is given (taken from it), the
    // parts a file states lying within it, and the work of decoding bounded (a JPEG's scans, an XPM picture's
    // text, an SVG image's text, elements and covered pixels).
    static DecodedPicture decode(const QByteArray& bytes, PictureBudget* budget = nullptr);
    // The most pixels one picture may have: what the image reader's allocation limit lets it decode.
    static std::int64_t readablePixels();
    // Why a picture is refused that would take the budget past its total.
    static std::string overBudget(std::int64_t total);
};

// ---- Fitting ----

// The size in points scaled to fit the box, computed in single precision and cut toward zero to whole numbers;
// a small picture is scaled up. The reference side is the width when the height is less than the width, else the
// height. Each side is at least 1. The zero size for a size that is zero or not finite, or a box that is not
// finite and positive.
QSizeF aspectFitSize(QSizeF points, double maxWidth, double maxHeight);
// A new W × H pixel bitmap (32-bit premultiplied, with alpha) holding the whole picture, shown at W × H points;
// when the picture already fits (its own width at most W and its height at most H) it is redrawn at its own
// size. A side above zero but under one point becomes one. Nothing when the bitmap cannot be made.
std::optional<Picture> resizedToFit(const Picture& picture, double width, double height);
// aspectFitSize into the box, then resizedToFit. Nothing for a null bitmap or a zero or non-finite size.
std::optional<Picture> fittedInto(const Picture& picture, double maxWidth, double maxHeight);
// Whether the picture is as fittedInto leaves one in the box: premultiplied 32-bit pixels, one for each whole
// point, within the box. Fitting it again would only redraw it.
bool isFittedInto(const Picture& picture, double maxWidth, double maxHeight);

} // namespace velquine
