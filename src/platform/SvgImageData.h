#pragma once

// SVG images that reach nothing outside their own bytes.
//
// An SVG image may name other files to draw inside itself (`<image xlink:href="/home/u/photo.png">`), and the
// SVG reader Qt's image formats use opens whatever is named: a file of the user's, a pipe or a device that
// never ends (the program then waits for ever), an address. A node image comes from a map anyone may send, so
// its SVG is rewritten before it is read: every reference that leads out of the image is dropped, and what the
// image holds itself stays. Kept are references into the image itself ("#id") and embedded pictures
// (`data:` addresses) of a format other than SVG, written again in the one form the reader decodes; an
// embedded SVG picture is dropped, as is a style sheet that imports another.

#include <QByteArray>

#include <optional>

namespace velquine {

class SvgImageData {
public:
    // Whether the bytes are an SVG image, plain or compressed (.svgz), as Qt's image reader tells them.
    static bool isSvg(const QByteArray& bytes);
    // The SVG image (plain or compressed) as plain SVG text that refers to nothing outside it; nothing when it
    // is no well-formed SVG document or unpacks to more than maximumTextBytes.
    static std::optional<QByteArray> selfContained(const QByteArray& bytes);

    static constexpr qsizetype maximumTextBytes = 64 << 20;
};

} // namespace velquine
