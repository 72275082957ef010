#pragma once

// A PNG encoder for pictures of any size, made for speed: 8-bit RGB when every pixel is opaque, else RGBA
// with straight alpha; every row filtered by its difference to the row above ("Up"), which turns plain
// backgrounds into zeros; deflated at zlib's fastest run-length setting. Large pictures are cut into bands
// of rows that are compressed on several threads and joined into one zlib stream, so the file is one
// ordinary PNG that every reader takes.

#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

namespace velquine {

// The PNG file of the picture, with its resolution (dots per metre, written when both are positive); nothing
// for a null picture or when compression fails.
std::optional<std::vector<std::uint8_t>> writePNG(const QImage& picture, int dotsPerMeterX, int dotsPerMeterY);

} // namespace velquine
