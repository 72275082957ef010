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

} // namespace

struct PngEncoder::Layout {
    bool alpha = false;          // RGBA rather than RGB
    bool premultiplied = false;  // the source's colours are premultiplied by alpha
    std::size_t width = 0;
    std::size_t rowBytes = 0;
};

// One band of rows as raw deflate data: ended by a sync flush (byte-aligned, not final) so that the next
// band's data can follow it, or finished when it is the last band. adler is the checksum of the band's
// filtered bytes alone, to be combined with the others'.
struct PngEncoder::Band {
    QImage picture;
    int firstRow = 0;
    int endRow = 0;
    Bytes deflated;
    std::size_t used = 0;
    uLong adler = 1;
    std::size_t rawSize = 0;
    bool ok = false;
};

namespace {

using Layout = PngEncoder::Layout;
using Band = PngEncoder::Band;

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

void compressBand(const Layout& layout, bool last, Band& band)
{
    const QImage& picture = band.picture;
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK)
        return;
    Bytes previous(layout.rowBytes, 0);
    Bytes current(layout.rowBytes);
    Bytes filtered(layout.rowBytes + 1);
    if (band.firstRow > 0)
        convertRow(picture, band.firstRow - 1, layout, previous.data());
    bool ok = true;
    for (int y = band.firstRow; ok && y < band.endRow; ++y) {
        // "Up", but for a band's first row when the row above is in another picture: "None" (the same
        // bytes against zeros, without telling the reader to add a row it has and this band had not).
        filtered[0] = y == 0 ? 0 : 2;
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
    band.picture = QImage();  // the rows are no longer needed
}

} // namespace

int PngEncoder::cores()
{
    return static_cast<int>(std::max(1u, std::min(8u, std::thread::hardware_concurrency())));
}

PngEncoder::PngEncoder(int width, int height, bool alpha, int dotsPerMeterX, int dotsPerMeterY)
    : layout_(std::make_unique<Layout>()), width_(width), height_(height), dotsPerMeterX_(dotsPerMeterX),
      dotsPerMeterY_(dotsPerMeterY)
{
    layout_->alpha = alpha;
    layout_->width = std::size_t(std::max(0, width));
    layout_->rowBytes = layout_->width * (alpha ? 4 : 3);
}

PngEncoder::~PngEncoder()
{
    for (std::thread& worker : workers_) {
        if (worker.joinable())
            worker.join();
    }
}

void PngEncoder::addRows(const QImage& picture, int firstRow, int endRow)
{
    const QImage::Format format = picture.format();
    const QImage source = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
                                  || format == QImage::Format_ARGB32_Premultiplied
                              ? picture
                              : picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    layout_->premultiplied = source.format() == QImage::Format_ARGB32_Premultiplied;
    if (source.width() != width_ || firstRow < 0 || endRow > source.height() || firstRow >= endRow) {
        failed_ = true;
        return;
    }
    // At most one band per core is waiting or being compressed.
    if (int(workers_.size()) - joined_ >= cores())
        workers_[std::size_t(joined_++)].join();
    auto band = std::make_unique<Band>();
    band->picture = source;
    band->firstRow = firstRow;
    band->endRow = endRow;
    rowsAdded_ += endRow - firstRow;
    const bool last = rowsAdded_ >= height_;
    Band* work = band.get();
    const Layout layout = *layout_;
    bands_.push_back(std::move(band));
    workers_.emplace_back([layout, last, work] { compressBand(layout, last, *work); });
}

std::optional<Bytes> PngEncoder::finish()
{
    for (; joined_ < int(workers_.size()); ++joined_)
        workers_[std::size_t(joined_)].join();
    if (failed_ || rowsAdded_ != height_ || width_ <= 0 || height_ <= 0)
        return std::nullopt;
    Bytes stream{0x78, 0x01};
    uLong adler = 1;
    for (const std::unique_ptr<Band>& band : bands_) {
        if (!band->ok)
            return std::nullopt;
        stream.insert(stream.end(), band->deflated.begin(), band->deflated.begin() + std::ptrdiff_t(band->used));
        adler = adler32_combine(adler, band->adler, static_cast<z_off_t>(band->rawSize));
        *band = Band();
    }
    put32(stream, static_cast<std::uint32_t>(adler));

    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put32(header, static_cast<std::uint32_t>(width_));
    put32(header, static_cast<std::uint32_t>(height_));
    header.insert(header.end(), {8, static_cast<std::uint8_t>(layout_->alpha ? 6 : 2), 0, 0, 0});
    putChunk(out, "IHDR", header.data(), header.size());
    if (dotsPerMeterX_ > 0 && dotsPerMeterY_ > 0) {
        Bytes resolution;
        put32(resolution, static_cast<std::uint32_t>(dotsPerMeterX_));
        put32(resolution, static_cast<std::uint32_t>(dotsPerMeterY_));
        resolution.push_back(1);  // per metre
        putChunk(out, "pHYs", resolution.data(), resolution.size());
    }
    out.reserve(out.size() + stream.size() + (stream.size() / idatChunkSize + 2) * 12);
    for (std::size_t at = 0; at < stream.size(); at += idatChunkSize)
        putChunk(out, "IDAT", stream.data() + at, std::min(idatChunkSize, stream.size() - at));
    putChunk(out, "IEND", nullptr, 0);
    return out;
}

std::optional<Bytes> writePNG(const QImage& picture, int dotsPerMeterX, int dotsPerMeterY)
{
    if (picture.isNull())
        return std::nullopt;
    PngEncoder encoder(picture.width(), picture.height(), !everyPixelOpaque(picture), dotsPerMeterX, dotsPerMeterY);
    const int bandCount = std::clamp(picture.height() / minimumRowsPerBand, 1, PngEncoder::cores());
    for (int i = 0; i < bandCount; ++i)
        encoder.addRows(picture, int(std::int64_t(picture.height()) * i / bandCount),
                        int(std::int64_t(picture.height()) * (i + 1) / bandCount));
    return encoder.finish();
}

} // namespace velquine
