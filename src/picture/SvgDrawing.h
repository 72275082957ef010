#pragma once

// An SVG image drawn into a bitmap with the pixels its drawing covers counted.
//
// An SVG image of a few kilobytes can state a size of tens of millions of pixels and fill the whole of it
// hundreds of times over (each fill of 25 million pixels takes the rasterizer 10 to 30 ms). What a fill costs
// shows only once the image's transforms and uses are applied, so the image is first drawn onto a paint device
// of our own that draws nothing and counts the pixels the bounds of each operation cover on the bitmap (the
// bounds within the bitmap, a gradient or pattern counting three times, each operation a few more for its
// set-up). Only when the count stays within maximumCoveredPixels is the image drawn onto the bitmap, by the SVG
// renderer as it draws on its own; else it is refused. The count follows from the image alone, never from a
// clock.
//
// The text given is a self-contained SVG image (SvgImageData::selfContained), whose elements the SVG reader
// then walks within SvgImageData's bounds.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <memory>
#include <string>

class QSvgRenderer;

namespace velquine {

class SvgDrawing {
public:
    explicit SvgDrawing(const QByteArray& text);
    ~SvgDrawing();

    // Whether the text was read as an SVG image.
    bool isValid() const;
    // The size in pixels the image states (from its width and height, else its view box).
    QSize size() const;
    // The image drawn at its size on transparent pixels; a null bitmap when it cannot be made, or when drawing
    // would cover more than maximumCoveredPixels (refusal, when given, then says so).
    QImage draw(std::string* refusal = nullptr);

    static constexpr std::int64_t maximumCoveredPixels = std::int64_t(1000) * 1000 * 1000;

private:
    std::unique_ptr<QSvgRenderer> renderer_;
};

} // namespace velquine
