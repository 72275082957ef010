#include "platform/Image.h"

#include "picture/PictureDecoding.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

using namespace velquine;

namespace {

// A bitmap with distinct opaque and translucent pixels, so that pixel comparisons mean something.
QImage pattern(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgba((x * 37) % 256, (y * 53) % 256, (x + y) % 256, (x % 3 == 0) ? 128 : 255));
    return image;
}

QImage plain(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(qRgba(10, 200, 30, 255));
    return image;
}

bool samePixels(const QImage& a, const QImage& b)
{
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

// The largest difference of any channel of any pixel (translucent pixels pass through premultiplied alpha).
int channelDistance(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int worst = 0;
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < x.width(); ++i) {
            const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

std::uint32_t be32(const Image::Data& d, std::size_t at)
{
    return (std::uint32_t(d[at]) << 24) | (std::uint32_t(d[at + 1]) << 16) | (std::uint32_t(d[at + 2]) << 8) | d[at + 3];
}

// The value of a short tag in the first directory of a TIFF file, or -1.
long tiffTag(const Image::Data& d, int tag)
{
    const bool little = d[0] == 'I';
    auto u16 = [&](std::size_t at) { return little ? (d[at] | (d[at + 1] << 8)) : ((d[at] << 8) | d[at + 1]); };
    auto u32 = [&](std::size_t at) {
        return little ? std::uint32_t(u16(at) | (u16(at + 2) << 16)) : std::uint32_t((u16(at) << 16) | u16(at + 2));
    };
    const std::size_t dir = u32(4);
    const int count = u16(dir);
    for (int i = 0; i < count; ++i) {
        const std::size_t e = dir + 2 + std::size_t(i) * 12;
        if (u16(e) == tag)
            return u16(e + 8);
    }
    return -1;
}

// The PNG without its pHYs chunk (its stated resolution).
Image::Data withoutResolution(const Image::Data& png)
{
    Image::Data out(png.begin(), png.begin() + 8);
    std::size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const std::size_t chunk = 12 + be32(png, pos);
        if (std::memcmp(png.data() + pos + 4, "pHYs", 4) != 0)
            out.insert(out.end(), png.begin() + long(pos), png.begin() + long(pos + chunk));
        pos += chunk;
    }
    return out;
}

// The picture in the data as the picture library decodes it, at its own pixels; the picture reader then fits it
// into the box a node keeps it in.
std::optional<Image> decodedHere(const Image::Data& data)
{
    const DecodedPicture decoded
        = PictureDecoding::decode(QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())));
    if (decoded.picture.bitmap.isNull())
        return std::nullopt;
    return Image(decoded.picture.bitmap, Size{decoded.picture.points.width(), decoded.picture.points.height()});
}

} // namespace

TEST(Image, PNGRoundTripKeepsPixelsAndPointSize)
{
    const Image image(pattern(200, 100), Size{100, 50});  // 144 DPI
    const auto png = image.pngData();
    ASSERT_TRUE(png.has_value());
    ASSERT_GT(png->size(), 8u);
    EXPECT_EQ((*png)[1], 'P');
    const auto back = decodedHere(*png);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->size(), (Size{100, 50}));
    EXPECT_EQ(back->pixelsWide(), 200);
    EXPECT_EQ(back->pixelsHigh(), 100);
    EXPECT_TRUE(samePixels(back->bitmap(), image.bitmap()));
    EXPECT_EQ(*back, image);
    // Read for a node, it has a pixel for each point.
    const std::optional<Image> read = Image::fromData(*png);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), (Size{100, 50}));
    EXPECT_EQ(read->pixelsWide(), 100);

    const Image atPixelSize(pattern(64, 48));
    EXPECT_EQ(atPixelSize.size(), (Size{64, 48}));
    EXPECT_EQ(decodedHere(*atPixelSize.pngData())->size(), (Size{64, 48}));
}

TEST(Image, TIFFRoundTripIsLZWCompressedAndKeepsPointSize)
{
    const Image image(pattern(300, 90), Size{100, 30});  // 216 DPI
    const auto tiff = image.tiffData();
    ASSERT_TRUE(tiff.has_value());
    ASSERT_GT(tiff->size(), 8u);
    EXPECT_TRUE(((*tiff)[0] == 'I' && (*tiff)[1] == 'I') || ((*tiff)[0] == 'M' && (*tiff)[1] == 'M'));
    EXPECT_EQ(tiffTag(*tiff, 259), 5);  // Compression: LZW
    const auto back = decodedHere(*tiff);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->size(), (Size{100, 30}));
    EXPECT_LE(channelDistance(back->bitmap(), image.bitmap()), 1);
    EXPECT_TRUE(samePixels(decodedHere(*Image(plain(30, 20)).tiffData())->bitmap(), plain(30, 20)));

    const Image onePerPoint(plain(640, 480));
    EXPECT_EQ(decodedHere(*onePerPoint.tiffData())->size(), (Size{640, 480}));
    // LZW makes a flat image much smaller than its raw 1.2 MB.
    EXPECT_LT(onePerPoint.tiffData()->size(), 100000u);
}

TEST(Image, DataWithoutResolutionShowsOnePixelPerPoint)
{
    const Image image(pattern(40, 20), Size{20, 10});
    const auto stripped = withoutResolution(*image.pngData());
    const auto back = Image::fromData(stripped);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->size(), (Size{40, 20}));
}

TEST(Image, DataThatIsNoImageGivesNothing)
{
    EXPECT_FALSE(Image::fromData({}).has_value());
    EXPECT_FALSE(Image::fromData({'h', 'e', 'l', 'l', 'o'}).has_value());
    auto png = *Image(pattern(20, 20)).pngData();
    png.resize(png.size() / 3);  // cut short inside the image data
    const auto truncated = Image::fromData(png);
    if (truncated) {  // a decoder may give a partial bitmap; it must still be usable
        EXPECT_EQ(truncated->pixelsWide(), 20);
    }
    Image::Data garbage = {'I', 'I', 42, 0, 0xff, 0xff, 0xff, 0x7f, 1, 2, 3};
    EXPECT_FALSE(Image::fromData(garbage).has_value());
}

TEST(Image, NullImageHasNoData)
{
    const Image null;
    EXPECT_TRUE(null.isNull());
    EXPECT_FALSE(null.pngData().has_value());
    EXPECT_FALSE(null.tiffData().has_value());
    EXPECT_FALSE(null.fittedInto(1024, 1024).has_value());
    EXPECT_EQ(null, Image());
}

TEST(Image, AspectFitInSinglePrecision)
{
    auto fit = [](double w, double h) { return Image(QImage(1, 1, QImage::Format_ARGB32), Size{w, h}).aspectFitSize(1024, 1024); };
    EXPECT_EQ(fit(3000, 1999), (Size{1024, 682}));
    EXPECT_EQ(fit(4032, 3024), (Size{1024, 768}));
    EXPECT_EQ(fit(1000, 3000), (Size{341, 1024}));
    EXPECT_EQ(fit(1025, 10), (Size{1024, 9}));
    EXPECT_EQ(fit(2048, 1024), (Size{1024, 512}));
    EXPECT_EQ(fit(1128, 500), (Size{1023, 453}));  // float rounding, not double
    EXPECT_EQ(fit(100, 50), (Size{1024, 512}));      // small images scale up here
    EXPECT_EQ(fit(500, 500), (Size{1024, 1024}));
    // A long thin image keeps one point rather than vanishing.
    EXPECT_EQ(fit(3001, 2), (Size{1024, 1}));
    EXPECT_EQ(fit(0, 100), (Size{}));
    EXPECT_EQ(fit(std::nan(""), 100), (Size{}));
    EXPECT_EQ(fit(std::numeric_limits<double>::infinity(), 100), (Size{}));
}

TEST(Image, FittingRedrawsIntoANewBitmap)
{
    const Image big(plain(2048, 1024));
    const auto fitted = big.fittedInto(1024, 1024);
    ASSERT_TRUE(fitted.has_value());
    EXPECT_EQ(fitted->size(), (Size{1024, 512}));
    EXPECT_EQ(fitted->pixelsWide(), 1024);
    EXPECT_EQ(fitted->pixelsHigh(), 512);
    EXPECT_TRUE(fitted->bitmap().hasAlphaChannel());
    EXPECT_EQ(QColor(fitted->bitmap().pixel(512, 256)), QColor(10, 200, 30));

    // An image that fits is redrawn at its own size, not enlarged.
    const Image small(pattern(640, 480));
    const auto same = small.fittedInto(1024, 1024);
    ASSERT_TRUE(same.has_value());
    EXPECT_EQ(same->size(), (Size{640, 480}));
    EXPECT_EQ(same->pixelsWide(), 640);
    EXPECT_NE(same->bitmap().cacheKey(), small.bitmap().cacheKey());
    EXPECT_LE(channelDistance(same->bitmap(), small.bitmap()), 1);

    // A 144-DPI image of 200 × 100 pixels is 100 × 50 points and is redrawn at one pixel per point.
    const auto hiDpi = Image(pattern(200, 100), Size{100, 50}).fittedInto(1024, 1024);
    ASSERT_TRUE(hiDpi.has_value());
    EXPECT_EQ(hiDpi->size(), (Size{100, 50}));
    EXPECT_EQ(hiDpi->pixelsWide(), 100);

    EXPECT_FALSE(Image(plain(10, 10), Size{0, 10}).fittedInto(1024, 1024).has_value());
    EXPECT_FALSE(small.resizedToFit(std::nan(""), 10).has_value());
}

TEST(Image, EqualityComparesPointSizeAndPixels)
{
    const Image a(pattern(30, 20));
    const Image copy = a;
    EXPECT_EQ(a, copy);
    EXPECT_EQ(a, Image(pattern(30, 20)));
    EXPECT_NE(a, Image(pattern(30, 20), Size{15, 10}));
    EXPECT_NE(a, Image(plain(30, 20)));
}

TEST(Image, LazilyBackedBitmapIsTransparentAndTakesDrawing)
{
    QImage bitmap = Image::lazilyBackedBitmap(3000, 2000);
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(bitmap.size(), QSize(3000, 2000));
    EXPECT_EQ(bitmap.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(bitmap.pixel(2999, 1999), 0u);
    {
        QPainter painter(&bitmap);
        painter.fillRect(QRect(10, 10, 5, 5), Qt::red);
    }
    EXPECT_EQ(bitmap.pixelColor(12, 12), QColor(Qt::red));
    EXPECT_EQ(bitmap.pixel(20, 20), 0u);
    EXPECT_TRUE(Image::lazilyBackedBitmap(0, 10).isNull());
}
