#pragma once

// Pictures of the kinds people put in maps, as the programs that make them write them: a photo as JPEG, a PNG
// with alpha, an LZW TIFF, a BMP, a WebP, an animated GIF and an SVG illustration of curves and labels.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velquine::testing {

// Varied colours, as a photo's are; the seed shifts them.
inline QImage photoOf(int width, int height, int seed = 0)
{
    QImage photo(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x + seed) % 256, (x * y / 7 + seed) % 251, (x + 2 * y) % 253);
    }
    return photo;
}

inline QByteArray written(const QImage& picture, const char* format, int compression = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (compression >= 0)
        writer.setCompression(compression);
    writer.write(picture);
    return bytes;
}

// A GIF animation of frames of 256 colours, its data written as codes that compress nothing (a clear code
// every 254 pixels keeps every code 9 bits long), as simple encoders write it.
inline QByteArray animatedGif(int width, int height, int frames)
{
    const auto le16 = [](int value) { return QByteArray(1, char(value & 0xff)) + char((value >> 8) & 0xff); };
    QByteArray gif = "GIF89a" + le16(width) + le16(height) + QByteArray("\xf7\0\0", 3);
    for (int i = 0; i < 256; ++i)
        gif += QByteArray(1, char(i)) + char((i * 3) & 0xff) + char(255 - i);
    gif += QByteArray("\x21\xff\x0bNETSCAPE2.0\x03\x01\0\0\0", 19);
    for (int frame = 0; frame < frames; ++frame) {
        gif += QByteArray("\x21\xf9\x04\x04", 4) + le16(20) + QByteArray("\0\0", 2);
        gif += "," + le16(0) + le16(0) + le16(width) + le16(height) + QByteArray("\0\x08", 2);
        QByteArray packed;
        std::uint32_t bits = 0;
        int count = 0;
        const auto put = [&](int code) {
            bits |= std::uint32_t(code) << count;
            for (count += 9; count >= 8; count -= 8, bits >>= 8)
                packed += char(bits & 0xff);
        };
        for (int pixel = 0; pixel < width * height; ++pixel) {
            if (pixel % 254 == 0)
                put(256);
            put((pixel % width + pixel / width + frame * 40) % 256);
        }
        put(257);
        if (count > 0)
            packed += char(bits & 0xff);
        for (qsizetype at = 0; at < packed.size(); at += 255) {
            const QByteArray block = packed.mid(at, 255);
            gif += char(block.size()) + block;
        }
        gif += '\0';
    }
    return gif + ';';
}

// An illustration of curves and text labels over a gradient.
inline QByteArray svgIllustration(int curves, int labels, int seed = 0)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1200\" height=\"900\"><defs><linearGradient "
                     "id=\"sky\"><stop offset=\"0\" stop-color=\"#8cf\"/><stop offset=\"1\" stop-color=\"#fff\"/>"
                     "</linearGradient></defs><rect width=\"1200\" height=\"900\" fill=\"url(#sky)\"/>";
    for (int i = 0; i < curves; ++i)
        svg += "<path d=\"M" + QByteArray::number((i * 37 + seed) % 1200) + " " + QByteArray::number(i * 53 % 900)
            + " c20 -40 60 -40 80 0 s40 50 10 60\" fill=\"none\" stroke=\"#"
            + QByteArray::number(0x203040 + i * 97 + seed, 16).right(6) + "\" stroke-width=\"2\"/>";
    for (int i = 0; i < labels; ++i)
        svg += "<text x=\"" + QByteArray::number(i * 61 % 1100) + "\" y=\"" + QByteArray::number(20 + i * 43 % 870)
            + "\" font-size=\"14\">Label " + QByteArray::number(i + seed) + "</text>";
    return svg + "</svg>";
}

// Three pictures of each kind, each its own: 21 in all.
inline std::vector<std::pair<std::string, QByteArray>> ordinaryPictures()
{
    std::vector<std::pair<std::string, QByteArray>> pictures;
    for (int seed = 0; seed < 3; ++seed) {
        QImage alpha = photoOf(512, 512, seed).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x)
                alpha.setPixel(x, y, (alpha.pixel(x, y) & 0x00ffffff) | (std::uint32_t((x + y) / 4 % 256) << 24));
        pictures.emplace_back("JPEG photo", written(photoOf(2400, 1600, seed), "JPEG"));
        pictures.emplace_back("PNG with alpha", written(alpha, "PNG"));
        pictures.emplace_back("LZW TIFF", written(photoOf(800, 600, seed), "TIFF", 1));
        pictures.emplace_back("BMP", written(photoOf(640, 480, seed), "BMP"));
        pictures.emplace_back("WebP", written(photoOf(800, 600, seed), "WEBP"));
        pictures.emplace_back("animated GIF", animatedGif(200 + seed, 150, 4));
        pictures.emplace_back("SVG illustration", svgIllustration(1500, 200, seed));
    }
    return pictures;
}

} // namespace velquine::testing
