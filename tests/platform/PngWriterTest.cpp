// The fast PNG encoder: files Qt's reader takes back pixel for pixel, a zlib stream whose checksum holds
// across the bands compressed apart, RGB for opaque pictures and RGBA otherwise, and the stated resolution.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cstring>

#include "platform/PngWriter.h"

using namespace velquine;

namespace {

std::uint32_t be32(const std::vector<std::uint8_t>& data, std::size_t at)
{
    return std::uint32_t(data[at]) << 24 | std::uint32_t(data[at + 1]) << 16 | std::uint32_t(data[at + 2]) << 8 | data[at + 3];
}

// The data of all IDAT chunks, joined.
QByteArray imageData(const std::vector<std::uint8_t>& png)
{
    QByteArray joined;
    for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + be32(png, at)) {
        if (std::memcmp(png.data() + at + 4, "IDAT", 4) == 0)
            joined.append(reinterpret_cast<const char*>(png.data() + at + 8), be32(png, at));
    }
    return joined;
}

QImage read(const std::vector<std::uint8_t>& png)
{
    return QImage::fromData(QByteArray(reinterpret_cast<const char*>(png.data()), qsizetype(png.size())), "PNG");
}

// A tall picture, several bands high: a gradient, a half-transparent stripe and a clear corner.
QImage tallPicture()
{
    QImage picture(301, 1700, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 301, 1700);
    gradient.setColorAt(0, QColor(250, 10, 30));
    gradient.setColorAt(1, QColor(20, 200, 90));
    painter.fillRect(QRect(10, 0, 291, 1700), gradient);
    painter.fillRect(QRect(0, 800, 301, 40), QColor(0, 0, 255, 100));
    painter.drawText(QPointF(30, 400), QStringLiteral("Bands of rows"));
    return picture;
}

} // namespace

TEST(PngWriter, PicturesWithTransparencyReadBackPixelForPixel)
{
    const QImage picture = tallPicture();
    const std::optional<std::vector<std::uint8_t>> png = writePNG(picture, 2835, 2835);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->at(25), 6) << "RGBA";
    const QImage back = read(*png);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_ARGB32), picture.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(back.dotsPerMeterX(), 2835);
    EXPECT_EQ(back.dotsPerMeterY(), 2835);

    // The bands join into one zlib stream whose length and checksum are right: zlib's own reader, which
    // checks the checksum, takes it whole.
    QByteArray stream = imageData(*png);
    const std::uint32_t rawSize = 1700u * (1u + 301u * 4u);
    QByteArray expectedSize(4, 0);  // qUncompress wants the size first, big-endian
    for (int i = 0; i < 4; ++i)
        expectedSize[i] = char(rawSize >> (24 - 8 * i));
    stream.prepend(expectedSize);
    EXPECT_EQ(qUncompress(stream).size(), qsizetype(rawSize));
}

TEST(PngWriter, OpaquePicturesAreWrittenAsRgbAndOtherFormatsAreConverted)
{
    QImage picture = tallPicture();
    QImage opaque(picture.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, picture);
    const std::optional<std::vector<std::uint8_t>> png = writePNG(opaque, 0, 0);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->at(25), 2) << "RGB";
    EXPECT_EQ(read(*png).convertToFormat(QImage::Format_RGB32), opaque);

    const QImage grey = opaque.convertToFormat(QImage::Format_Grayscale8);
    const std::optional<std::vector<std::uint8_t>> greyPng = writePNG(grey, 0, 0);
    ASSERT_TRUE(greyPng);
    EXPECT_EQ(read(*greyPng).convertToFormat(QImage::Format_Grayscale8), grey);

    EXPECT_FALSE(writePNG(QImage(), 0, 0));
}

TEST(PngWriter, BandsHandedOverAsPicturesOfTheirOwnJoinIntoTheWhole)
{
    const QImage picture = tallPicture();
    PngEncoder encoder(picture.width(), picture.height(), true, 0, 0);
    for (int first = 0; first < picture.height(); first += 500)
        encoder.addRows(picture.copy(0, first, picture.width(), std::min(500, picture.height() - first)), 0,
                        std::min(500, picture.height() - first));
    const std::optional<std::vector<std::uint8_t>> png = encoder.finish();
    ASSERT_TRUE(png);
    EXPECT_EQ(read(*png).convertToFormat(QImage::Format_ARGB32), picture.convertToFormat(QImage::Format_ARGB32));

    // Rows missing at the end give no file.
    PngEncoder short_(picture.width(), picture.height(), true, 0, 0);
    short_.addRows(picture, 0, 100);
    EXPECT_FALSE(short_.finish());
}
