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
//
// What reading the image may cost is bounded before the SVG reader sees it: its text, with the entities its
// document type declares expanded, is at most maximumTextBytes (a short entity named many times makes a few
// kilobytes into many megabytes, and the reader's cost grows with the expanded text), the pictures it
// embeds pass the checks of a picture on its own (PictureChecks) and have at most maximumEmbeddedPixels
// together, and the work of drawing its elements is at most maximumDrawingSteps: an element counts each time
// it is drawn (a `<use>` of a group draws the group again, and groups that use others multiply), and a text
// element and each of its characters cost many times a shape (their layout).

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>

namespace velquine {

class SvgImageData {
public:
    // Whether the bytes are an SVG image, plain or compressed (.svgz), as Qt's image reader tells them.
    static bool isSvg(const QByteArray& bytes);
    // The SVG image (plain or compressed) as plain SVG text that refers to nothing outside it; nothing when it
    // is no well-formed SVG document, or when it costs more than the bounds allow: refusal (when given) then
    // says why in a sentence for the user. embeddedPixels (when given) receives the pixels the pictures it
    // embeds take once decoded.
    static std::optional<QByteArray> selfContained(const QByteArray& bytes, std::string* refusal = nullptr,
                                                   std::int64_t* embeddedPixels = nullptr);
    // Nothing when the text with its declared entities expanded stays within maximumTextBytes; else why not.
    static std::optional<std::string> expansionRefusal(const QByteArray& text);

    static constexpr qsizetype maximumTextBytes = 8 << 20;
    // The pixels of all embedded pictures of one image together: as many as one picture may have.
    static std::int64_t maximumEmbeddedPixels();

    // The work of drawing one image, in steps of about a microsecond of the SVG reader's: an element is 3, a
    // text element 50 and each character of its text 8 (past the first 10,000 of one element, 2).
    static constexpr std::int64_t maximumDrawingSteps = 800000;
    static constexpr std::int64_t elementSteps = 3;
    static constexpr std::int64_t textElementSteps = 50;
    static constexpr std::int64_t characterSteps = 8;
};

} // namespace velquine
