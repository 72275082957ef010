#pragma once

// A PNG encoder for pictures of any size, made for speed: 8-bit RGB when every pixel is opaque, else RGBA
// with straight alpha; every row filtered by its difference to the row above ("Up"), which turns plain
// backgrounds into zeros; deflated at zlib's fastest run-length setting. Large pictures are cut into bands
// of rows that are compressed on several threads and joined into one zlib stream, so the file is one
// ordinary PNG that every reader takes.

#include <QImage>

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace velquine {

// A PNG file made from bands of rows handed over top to bottom, each compressed on a thread of its own while
// the caller makes the next one (at most one band per core waits at a time).
class PngEncoder {
public:
    // alpha: RGBA rather than RGB (pixels' alpha is dropped without it).
    PngEncoder(int width, int height, bool alpha, int dotsPerMeterX, int dotsPerMeterY);
    ~PngEncoder();
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;

    // Queues rows firstRow to endRow (excluded) of the picture, which is as wide as the file; the picture is
    // shared, not copied, until its rows are compressed.
    void addRows(const QImage& picture, int firstRow, int endRow);
    // The file, once all rows were added; nothing when they were not, or when compression failed.
    std::optional<std::vector<std::uint8_t>> finish();

    // The threads an encoder keeps busy at most.
    static int cores();

    // Internal: the pixel layout of the file's rows and one band's compressed data.
    struct Layout;
    struct Band;

private:
    std::unique_ptr<Layout> layout_;
    int width_;
    int height_;
    int dotsPerMeterX_;
    int dotsPerMeterY_;
    int rowsAdded_ = 0;
    bool failed_ = false;
    std::vector<std::unique_ptr<Band>> bands_;
    std::vector<std::thread> workers_;
    int joined_ = 0;
};

// The PNG file of the picture, with its resolution (dots per metre, written when both are positive); nothing
// for a null picture or when compression fails.
std::optional<std::vector<std::uint8_t>> writePNG(const QImage& picture, int dotsPerMeterX, int dotsPerMeterY);

} // namespace velquine
