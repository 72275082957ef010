#pragma once

// The checks a picture's bytes go through before any pixel is decoded, whatever holds the picture.
//
// The image reader trusts what a file states: a PNG chunk's length is set aside before it is read, a
// progressive JPEG is decoded again for each of its scans, an XPM picture's text is read at every pixel, and a
// format that holds other pictures (an ICO or CUR file of PNG entries, an ICNS icon of PNG parts, a TIFF file of
// JPEG strips, an MNG animation of PNG and JNG pictures) hands them to the reader without a check of its own. Its allocation limit refuses a large picture without saying why. So the
// headers are read here first, by format: the size a picture states and the memory its pixels take, the PNG
// chunks lying within the file, the scans of a JPEG, the characters of an XPM picture, and the pictures a
// container holds, checked in turn the same way. A picture beyond the bounds is refused with a sentence for the
// user; an SVG image's embedded pictures go through the same checks (SvgImageData).

#include <QByteArray>
#include <QSize>

#include <cstdint>
#include <string>

namespace velquine {

// What a picture states about itself, and whether it may be decoded.
struct PictureStatement {
    QSize size;              // the size in pixels it states; invalid when the format is not one read here
    std::int64_t pixels = 0; // the 32-bit pixels its decoding takes (a 64-bit pixel counts twice)
    std::string refusal;     // why it is not decoded, for the user; empty when it may be
    bool statesResolution = false; // a PNG file's pHYs chunk, a TIFF file's XResolution tag
};

class PictureChecks {
public:
    // Reads the headers of the picture (PNG, JPEG, MNG, GIF, BMP, PPM, PGM, PBM, TIFF, XPM, ICO, CUR, ICNS) and of the
    // pictures it holds. A format not read here states nothing and is refused for nothing: the image reader's
    // own header then tells its size (PictureDecoding).
    static PictureStatement inspect(const QByteArray& bytes);

    // Why a picture of W × H pixels of the given bits is not decoded (more than the image reader's allocation
    // limit), or nothing.
    static std::string sizeRefusal(QSize size, int bitsPerPixel);
    // The 32-bit pixels a picture of the size and bits takes (a 64-bit pixel counts twice); none for an invalid size.
    static std::int64_t pixelsOf(QSize size, int bitsPerPixel);

    // The work of a progressive JPEG: each scan is decoded over the whole picture, so its scans times its
    // pixels are at most this (a photo of 33 million pixels in ten scans is 330 million).
    static constexpr std::int64_t maximumScanPixels = std::int64_t(1000) * 1000 * 1000;
    // The text of an XPM picture's pixels is read at about 7 ns a character.
    static constexpr std::int64_t maximumPixmapTextCharacters = std::int64_t(64) * 1000 * 1000;
    // The work of an MNG animation's loops before its first frame shows, in pixels set out (a picture's at least
    // 4,096, each other chunk 64): about a quarter of a second of its decoder's.
    static constexpr std::int64_t maximumLoopPixels = std::int64_t(1000) * 1000 * 1000;
    // Pictures inside pictures are read this deep at most.
    static constexpr int deepestNesting = 4;
};

// "268 million", or the whole number under a million.
std::string millionsOf(std::int64_t count);

} // namespace velquine
