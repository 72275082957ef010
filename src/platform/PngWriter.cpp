#include "platform/PngWriter.h"

#include <QRgb>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <thread>

namespace velquine {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Below this many rows a band is not worth a thread of its own.
constexpr int minimumRowsPerBand = 256;
constexpr std::size_t idatChunkSize = 1 << 20;

void put32(Bytes& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putChunk(Bytes& out, const char* type, const std::uint8_t* data, std::size_t size)
{
    put32(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    put32(out, static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(size + 4))));
}

bool everyPixelOpaque(const QImage& picture)
{
    if (!picture.hasAlphaChannel())
        return true;
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        if (std::any_of(row, row + width, [](QRgb pixel) { return qAlpha(pixel) != 255; }))
            return false;
    }
    return true;
}

struct Layout {
    bool alpha = false;          // RGBA rather than RGB
    bool premultiplied = false;  // the source's colours are premultiplied by alpha
    std::size_t width = 0;
    std::size_t rowBytes = 0;
};

void convertRow(const QImage& picture, int y, const Layout& layout, std::uint8_t* out)
{
    const auto* pixel = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    const QRgb* end = pixel + layout.width;
    if (!layout.alpha) {
        for (; pixel != end; ++pixel, out += 3) {
            out[0] = static_cast<std::uint8_t>(qRed(*pixel));
            out[1] = static_cast<std::uint8_t>(qGreen(*pixel));
            out[2] = static_cast<std::uint8_t>(qBlue(*pixel));
        }
        return;
    }
    for (; pixel != end; ++pixel, out += 4) {
        const QRgb straight = layout.premultiplied ? qUnpremultiply(*pixel) : *pixel;
        out[0] = static_cast<std::uint8_t>(qRed(straight));
        out[1] = static_cast<std::uint8_t>(qGreen(straight));
        out[2] = static_cast<std::uint8_t>(qBlue(straight));
        out[3] = static_cast<std::uint8_t>(qAlpha(straight));
    }
}

// One band of rows as raw deflate data: ended by a sync flush (byte-aligned, not final) so that the next
// band's data can follow it, or finished when it is the last band. adler is the checksum of the band's
// filtered bytes alone, to be combined with the others'.
struct Band {
    int firstRow = 0;
    int endRow = 0;
    Bytes deflated;
    std::size_t used = 0;
    uLong adler = 1;
    std::size_t rawSize = 0;
    bool ok = false;
};

bool feed(z_stream& stream, const std::uint8_t* data, std::size_t size, int flush, Band& band)
{
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    for (;;) {
        if (band.deflated.size() - band.used < 65536)
            band.deflated.resize(std::max<std::size_t>(band.deflated.size() * 2, band.used + 65536));
        const std::size_t room = std::min<std::size_t>(band.deflated.size() - band.used, 1u << 30);
        stream.next_out = band.deflated.data() + band.used;
        stream.avail_out = static_cast<uInt>(room);
        const int result = deflate(&stream, flush);
        band.used += room - stream.avail_out;
        if (result == Z_STREAM_ERROR)
            return false;
        if (flush == Z_FINISH ? result == Z_STREAM_END : stream.avail_in == 0 && stream.avail_out != 0)
            return true;
    }
}

void compressBand(const QImage& picture, const Layout& layout, bool last, Band& band)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK)
        return;
    Bytes previous(layout.rowBytes, 0);
    Bytes current(layout.rowBytes);
    Bytes filtered(layout.rowBytes + 1);
    filtered[0] = 2;  // "Up"
    if (band.firstRow > 0)
        convertRow(picture, band.firstRow - 1, layout, previous.data());
    bool ok = true;
    for (int y = band.firstRow; ok && y < band.endRow; ++y) {
        convertRow(picture, y, layout, current.data());
        for (std::size_t i = 0; i < layout.rowBytes; ++i)
            filtered[i + 1] = static_cast<std::uint8_t>(current[i] - previous[i]);
        band.adler = adler32(band.adler, filtered.data(), static_cast<uInt>(filtered.size()));
        band.rawSize += filtered.size();
        const int flush = y + 1 < band.endRow ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH;
        ok = feed(stream, filtered.data(), filtered.size(), flush, band);
        std::swap(previous, current);
    }
    deflateEnd(&stream);
    band.ok = ok;
}

// The zlib stream of the filtered rows: header, the bands' deflate data in order, the combined checksum.
std::optional<Bytes> compressRows(const QImage& picture, const Layout& layout)
{
    const int cores = static_cast<int>(std::max(1u, std::min(8u, std::thread::hardware_concurrency())));
    const int bandCount = std::clamp(picture.height() / minimumRowsPerBand, 1, cores);
    std::vector<Band> bands(static_cast<std::size_t>(bandCount));
    for (int i = 0; i < bandCount; ++i) {
        bands[std::size_t(i)].firstRow = int(std::int64_t(picture.height()) * i / bandCount);
        bands[std::size_t(i)].endRow = int(std::int64_t(picture.height()) * (i + 1) / bandCount);
    }
    std::vector<std::thread> helpers;
    for (std::size_t i = 1; i < bands.size(); ++i)
        helpers.emplace_back([&, i] { compressBand(picture, layout, i + 1 == bands.size(), bands[i]); });
    compressBand(picture, layout, bands.size() == 1, bands[0]);
    for (std::thread& helper : helpers)
        helper.join();

    Bytes stream{0x78, 0x01};
    uLong adler = 1;
    for (const Band& band : bands) {
        if (!band.ok)
            return std::nullopt;
        stream.insert(stream.end(), band.deflated.begin(), band.deflated.begin() + std::ptrdiff_t(band.used));
        adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.rawSize));
    }
    put32(stream, static_cast<std::uint32_t>(adler));
    return stream;
}

} // namespace

std::optional<Bytes> writePNG(const QImage& picture, int dotsPerMeterX, int dotsPerMeterY)
{
    if (picture.isNull())
        return std::nullopt;
    const QImage::Format format = picture.format();
    const QImage source = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
                                  || format == QImage::Format_ARGB32_Premultiplied
                              ? picture
                              : picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    Layout layout;
    layout.alpha = !everyPixelOpaque(source);
    layout.premultiplied = source.format() == QImage::Format_ARGB32_Premultiplied;
    layout.width = std::size_t(source.width());
    layout.rowBytes = layout.width * (layout.alpha ? 4 : 3);
    const std::optional<Bytes> rows = compressRows(source, layout);
    if (!rows)
        return std::nullopt;

    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put32(header, static_cast<std::uint32_t>(source.width()));
    put32(header, static_cast<std::uint32_t>(source.height()));
    header.insert(header.end(), {8, static_cast<std::uint8_t>(layout.alpha ? 6 : 2), 0, 0, 0});
    putChunk(out, "IHDR", header.data(), header.size());
    if (dotsPerMeterX > 0 && dotsPerMeterY > 0) {
        Bytes resolution;
        put32(resolution, static_cast<std::uint32_t>(dotsPerMeterX));
        put32(resolution, static_cast<std::uint32_t>(dotsPerMeterY));
        resolution.push_back(1);  // per metre
        putChunk(out, "pHYs", resolution.data(), resolution.size());
    }
    out.reserve(out.size() + rows->size() + (rows->size() / idatChunkSize + 2) * 12);
    for (std::size_t at = 0; at < rows->size(); at += idatChunkSize)
        putChunk(out, "IDAT", rows->data() + at, std::min(idatChunkSize, rows->size() - at));
    putChunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace velquine
