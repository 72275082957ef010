#pragma once

// Picture files made for the window tests.

#include <QByteArray>

#include <zlib.h>

namespace velquine::test {

// A PNG file of the size whose pixels all lie beyond its few bytes of data.
inline QByteArray pngOfSize(quint32 width, quint32 height)
{
    const auto bigEndian = [](quint32 value) {
        const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
        return QByteArray(bytes, 4);
    };
    const auto chunk = [&](const char* type, const QByteArray& data) {
        const QByteArray typed = QByteArray(type) + data;
        const auto crc = quint32(::crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size())));
        return bigEndian(quint32(data.size())) + typed + bigEndian(crc);
    };
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray("\x08\x06\0\0\0", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header)
        + chunk("IDAT", qCompress(QByteArray(64, '\0')).mid(4)) + chunk("IEND", {});
}

} // namespace velquine::test
