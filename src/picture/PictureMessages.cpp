#include "picture/PictureMessages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace velquine {

namespace {

class Writer {
public:
    template <class T>
    void put(T value)
    {
        static_assert(std::is_arithmetic_v<T>);
        char raw[sizeof(T)];
        std::memcpy(raw, &value, sizeof(T));
        body_.append(raw, qsizetype(sizeof(T)));
    }
    void put(const QByteArray& bytes)
    {
        put(std::uint64_t(bytes.size()));
        body_.append(bytes);
    }
    QByteArray framed() const
    {
        QByteArray whole;
        whole.reserve(body_.size() + PictureMessages::headerBytes);
        const std::uint64_t length = std::uint64_t(body_.size());
        char raw[sizeof length];
        std::memcpy(raw, &length, sizeof length);
        whole.append(raw, qsizetype(sizeof length));
        whole.append(body_);
        return whole;
    }

private:
    QByteArray body_;
};

class Reader {
public:
    explicit Reader(const QByteArray& body) : body_(body) { }
    template <class T>
    bool get(T& value)
    {
        if (body_.size() - at_ < qsizetype(sizeof(T)))
            return false;
        std::memcpy(&value, body_.constData() + at_, sizeof(T));
        at_ += qsizetype(sizeof(T));
        return true;
    }
    bool get(QByteArray& bytes, std::uint64_t longest)
    {
        std::uint64_t length = 0;
        if (!get(length) || length > longest || length > std::uint64_t(body_.size() - at_))
            return false;
        bytes = body_.mid(at_, qsizetype(length));
        at_ += qsizetype(length);
        return true;
    }
    bool atEnd() const { return at_ == body_.size(); }

private:
    const QByteArray& body_;
    qsizetype at_ = 0;
};

// Refusals are sentences: a few kilobytes at most.
constexpr std::uint64_t longestRefusal = 64 * 1024;
constexpr std::uint64_t replyFields = 128;

bool fitsBox(int pixels, double box)
{
    return pixels >= 0 && (box <= 0 || pixels <= int(std::min(box, 1e6)) + 1);
}

} // namespace

QByteArray PictureMessages::frame(const PictureRequest& request)
{
    Writer writer;
    writer.put(request.budgetTotal);
    writer.put(request.budgetLeft);
    writer.put(request.fitWidth);
    writer.put(request.fitHeight);
    writer.put(request.bytes);
    return writer.framed();
}

QByteArray PictureMessages::frame(const PictureReply& reply)
{
    Writer writer;
    writer.put(std::uint8_t(reply.outcome));
    writer.put(QByteArray::fromStdString(reply.refusal));
    writer.put(std::int32_t(reply.stated.width()));
    writer.put(std::int32_t(reply.stated.height()));
    writer.put(reply.taken);
    writer.put(reply.processorSeconds);
    writer.put(reply.grownKB);
    const bool pixels = reply.outcome == PictureReply::Outcome::picture && !reply.bitmap.isNull()
        && reply.bitmap.format() == QImage::Format_ARGB32_Premultiplied;
    writer.put(std::int32_t(pixels ? reply.bitmap.width() : 0));
    writer.put(std::int32_t(pixels ? reply.bitmap.height() : 0));
    writer.put(reply.points.width());
    writer.put(reply.points.height());
    QByteArray rows;
    if (pixels) {
        const qsizetype line = qsizetype(reply.bitmap.width()) * 4;
        rows.reserve(line * reply.bitmap.height());
        for (int y = 0; y < reply.bitmap.height(); ++y)
            rows.append(reinterpret_cast<const char*>(reply.bitmap.constScanLine(y)), line);
    }
    writer.put(rows);
    return writer.framed();
}

std::uint64_t PictureMessages::bodyLength(const char* header)
{
    std::uint64_t length = 0;
    std::memcpy(&length, header, sizeof length);
    return length;
}

std::uint64_t PictureMessages::longestReply(double fitWidth, double fitHeight)
{
    const auto side = [](double box) { return std::uint64_t(std::clamp(box, 0.0, 1e6)) + 1; };
    return replyFields + longestRefusal + side(fitWidth) * side(fitHeight) * 4;
}

std::optional<PictureRequest> PictureMessages::request(const QByteArray& body)
{
    Reader reader(body);
    PictureRequest request;
    if (!reader.get(request.budgetTotal) || !reader.get(request.budgetLeft) || !reader.get(request.fitWidth)
        || !reader.get(request.fitHeight) || !reader.get(request.bytes, longestRequest) || !reader.atEnd())
        return std::nullopt;
    return request;
}

std::optional<PictureReply> PictureMessages::reply(const QByteArray& body, double fitWidth, double fitHeight)
{
    Reader reader(body);
    PictureReply reply;
    std::uint8_t outcome = 0;
    QByteArray refusal;
    std::int32_t statedWidth = 0, statedHeight = 0, width = 0, height = 0;
    double pointsWidth = 0, pointsHeight = 0;
    QByteArray rows;
    if (!reader.get(outcome) || outcome > std::uint8_t(PictureReply::Outcome::outOfMemory)
        || !reader.get(refusal, longestRefusal) || !reader.get(statedWidth) || !reader.get(statedHeight)
        || !reader.get(reply.taken) || !reader.get(reply.processorSeconds) || !reader.get(reply.grownKB)
        || !reader.get(width) || !reader.get(height) || !reader.get(pointsWidth) || !reader.get(pointsHeight)
        || !fitsBox(width, fitWidth) || !fitsBox(height, fitHeight)
        || !reader.get(rows, std::uint64_t(width) * std::uint64_t(height) * 4) || !reader.atEnd())
        return std::nullopt;
    reply.outcome = PictureReply::Outcome(outcome);
    reply.refusal = refusal.toStdString();
    reply.stated = QSize(statedWidth, statedHeight);
    if (reply.outcome != PictureReply::Outcome::picture)
        return reply;
    if (width <= 0 || height <= 0 || rows.size() != qsizetype(width) * height * 4 || !std::isfinite(pointsWidth)
        || !std::isfinite(pointsHeight) || !(pointsWidth > 0) || !(pointsHeight > 0))
        return std::nullopt;
    QImage bitmap(width, height, QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        return std::nullopt;
    for (int y = 0; y < height; ++y)
        std::memcpy(bitmap.scanLine(y), rows.constData() + qsizetype(y) * width * 4, std::size_t(width) * 4);
    reply.bitmap = std::move(bitmap);
    reply.points = QSizeF(pointsWidth, pointsHeight);
    return reply;
}

} // namespace velquine
