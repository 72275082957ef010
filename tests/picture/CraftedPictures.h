#pragma once

// Pictures crafted byte by byte: the parts of PNG, MNG, TIFF and GIF files, whose fields a test states.

#include <QByteArray>
#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <cstdint>
#include <initializer_list>

#include <zlib.h>

namespace velquine::testing {

inline QByteArray bigEndian(std::uint32_t value, int length = 4)
{
    QByteArray bytes;
    for (int i = length - 1; i >= 0; --i)
        bytes += char((value >> (8 * i)) & 0xff);
    return bytes;
}

inline QByteArray littleEndian(std::uint32_t value, int length = 4)
{
    QByteArray bytes;
    for (int i = 0; i < length; ++i)
        bytes += char((value >> (8 * i)) & 0xff);
    return bytes;
}

// A PNG or MNG chunk: its length, type, data and checksum.
inline QByteArray chunk(const char* type, const QByteArray& data = {})
{
    const QByteArray typed = QByteArray(type, 4) + data;
    return bigEndian(std::uint32_t(data.size())) + typed
        + bigEndian(std::uint32_t(::crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
}

// The PNG picture with a text chunk whose checksum is wrong: its decoder warns, and decodes it all the same.
inline QByteArray pngWithWarning(const QByteArray& png)
{
    QByteArray text = chunk("tEXt", QByteArray("Comment\0x", 9));
    text[text.size() - 1] = char(text[text.size() - 1] ^ 0xff);
    return png.left(png.size() - 12) + text + png.right(12);
}

// An MNG animation of a frame of the size, of the chunks given, and its end.
inline QByteArray mng(int width, int height, std::initializer_list<QByteArray> chunks)
{
    QByteArray file = QByteArray("\x8aMNG\r\n\x1a\n", 8)
        + chunk("MHDR", bigEndian(width) + bigEndian(height) + bigEndian(1000) + QByteArray(12, '\0') + bigEndian(1));
    for (const QByteArray& part : chunks)
        file += part;
    return file + chunk("MEND");
}

// An MNG animation's loop of the passes, at the level, and its end.
inline QByteArray loop(std::uint32_t passes, int level = 0)
{
    return chunk("LOOP", char(level) + bigEndian(passes));
}

inline QByteArray endOfLoop(int level = 0)
{
    return chunk("ENDL", QByteArray(1, char(level)));
}

// The header of a picture inside an MNG animation (IHDR or BASI) of 8-bit RGB samples.
inline QByteArray pictureHeader(const char* type, int width, int height)
{
    return chunk(type, bigEndian(width) + bigEndian(height) + QByteArray("\x08\x02\0\0\0", 5));
}

// A PNG picture of the size in one colour, as the chunks an MNG animation holds it in.
inline QByteArray mngPicture(int width, int height)
{
    QByteArray rows;
    for (int y = 0; y < height; ++y)
        rows += '\0' + QByteArray(width * 3, '\x60');
    return pictureHeader("IHDR", width, height) + chunk("IDAT", qCompress(rows).mid(4)) + chunk("IEND");
}

// A TIFF file (little-endian) of one directory of the entries, and the bytes after it, which start at
// 14 + 12 × entries.
struct TiffEntry {
    int tag;
    int type; // 3 for 16-bit numbers, 4 for 32-bit ones
    std::uint32_t count;
    std::uint32_t value; // or where the values are
};

inline QByteArray tiff(std::initializer_list<TiffEntry> entries, const QByteArray& after)
{
    QByteArray file = QByteArray("II*\0", 4) + littleEndian(8) + littleEndian(std::uint32_t(entries.size()), 2);
    for (const TiffEntry& entry : entries)
        file += littleEndian(entry.tag, 2) + littleEndian(entry.type, 2) + littleEndian(entry.count)
            + littleEndian(entry.value);
    return file + littleEndian(0) + after;
}

// A GIF file of a screen of the size holding one frame of the size, of one colour.
inline QByteArray gif(int screenWidth, int screenHeight, int frameWidth, int frameHeight)
{
    return "GIF89a" + littleEndian(screenWidth, 2) + littleEndian(screenHeight, 2)
        + QByteArray("\x80\0\0\xff\0\0\0\0\0,", 10) + littleEndian(0) + littleEndian(frameWidth, 2)
        + littleEndian(frameHeight, 2) + QByteArray("\0\x02\x02\x44\x01\0;", 7);
}

// One filled path zig-zagging across a 2,000 × 2,000 picture, each edge from its top to its bottom: a few
// kilobytes that Qt's rasterizer takes tens of seconds to fill, which no check made before drawing can tell.
inline QByteArray zigzagSvg(int edges)
{
    QByteArray path = "M0 0";
    for (int i = 1; i <= edges; ++i)
        path += " L" + QByteArray::number(i * 2000 / edges) + (i % 2 ? " 2000" : " 0");
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"2000\" height=\"2000\"><path d=\"" + path
        + " Z\" fill=\"#345\"/></svg>";
}

// A progressive JPEG of the picture, written by Qt.
inline QByteArray progressiveJpegOf(const QImage& picture)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(picture);
    return jpeg;
}

// The JPEG with its last scan repeated the times after it: each scan costs a pass over the whole picture.
inline QByteArray withLastScanRepeated(const QByteArray& jpeg, int times)
{
    const qsizetype scan = jpeg.lastIndexOf("\xff\xda");
    const qsizetype end = jpeg.lastIndexOf("\xff\xd9");
    return jpeg.left(end) + jpeg.mid(scan, end - scan).repeated(times) + "\xff\xd9";
}

inline QByteArray encoded(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

} // namespace velquine::testing
