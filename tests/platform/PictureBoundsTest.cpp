// What a picture may cost is bounded before it is decoded: crafted small files that would take gigabytes, or
// tens of seconds, are refused with the reason, whatever format holds them, and the memory and time they take the
// picture reader stay small.

#include "platform/Image.h"
#include "platform/PictureReading.h"
#include "picture/CraftedPictures.h"
#include "picture/PictureSandbox.h"
#include "picture/SvgImageData.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QLocale>

#include <zlib.h>

using namespace velquine;
using velquine::testing::progressiveJpegOf;
using velquine::testing::withLastScanRepeated;

namespace {

constexpr std::int64_t boundedKB = 150 * 1024;
// The processor time a picture may take to be read or refused: the crafted pictures here took 3 to 40 s before
// they were bounded; every picture here takes well under a second now (under two with the sanitizers, whose
// builds have their bounds of time three times as long).
const double boundedSeconds = 3.0 * PictureSandbox::slowdown();

Image::Data bytesOf(const QByteArray& text)
{
    return Image::Data(text.begin(), text.end());
}

// An SVG image whose one entity, `length` characters long, is named `references` times.
QByteArray entityBomb(int length, int references)
{
    QByteArray svg = "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY e \"" + QByteArray(length, 'a')
        + "\">]><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"40\"><text>";
    for (int i = 0; i < references; ++i)
        svg += "&e;";
    return svg + "</text></svg>";
}

QByteArray pngOf(const QImage& picture)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return png;
}

// A picture of varied colours, as a photo's are.
QImage photoOf(int width, int height)
{
    QImage photo(width, height, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x % 256, (x * y) % 251, (x + 2 * y) % 253));
    return photo;
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data, std::uint32_t statedLength)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        png += char((statedLength >> shift) & 0xff);
    const QByteArray typed = QByteArray(type, 4) + data;
    png += typed;
    const std::uint32_t crc = std::uint32_t(::crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size())));
    for (int shift = 24; shift >= 0; shift -= 8)
        png += char((crc >> shift) & 0xff);
}

QByteArray bigEndian(std::uint32_t value)
{
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += char((value >> shift) & 0xff);
    return bytes;
}

QByteArray littleEndian(std::uint32_t value, int length)
{
    QByteArray bytes;
    for (int i = 0; i < length; ++i)
        bytes += char((value >> (8 * i)) & 0xff);
    return bytes;
}

// An 8 × 8 PNG whose text chunk after the image states 2 GB: its decoder would read on for 17 s and 2 GB.
QByteArray damagedPng()
{
    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(Qt::red);
    const QByteArray sound = pngOf(small);
    QByteArray crafted = sound.left(sound.size() - 12); // without its end chunk
    appendChunk(crafted, "tEXt", QByteArray(200, 'x'), 0x7fffffff);
    return crafted;
}

const std::string damagedPngRefusal =
    "The PNG picture is damaged: its “tEXt” chunk states 2,147,483,647 bytes, more than the file holds.";

// An ICO file of one entry, stated as `side` × `side`, holding the picture.
QByteArray iconHolding(const QByteArray& picture, int side)
{
    return littleEndian(0, 2) + littleEndian(1, 2) + littleEndian(1, 2) + char(side) + char(side)
        + QByteArray(2, '\0') + littleEndian(1, 2) + littleEndian(32, 2) + littleEndian(std::uint32_t(picture.size()), 4)
        + littleEndian(22, 4) + picture;
}

// An ICNS icon of one 128 × 128 part holding the PNG.
QByteArray appleIconHolding(const QByteArray& png)
{
    return "icns" + bigEndian(std::uint32_t(16 + png.size())) + "ic07" + bigEndian(std::uint32_t(8 + png.size())) + png;
}

// A `side` × `side` SVG image drawing each picture over the whole of it.
QByteArray svgEmbedding(const QList<QByteArray>& pictures, int side = 40)
{
    const QByteArray length = QByteArray::number(side);
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\""
        + length + "\" height=\"" + length + "\">";
    for (const QByteArray& picture : pictures)
        svg += "<image width=\"" + length + "\" height=\"" + length + "\" xlink:href=\"data:image/png;base64,"
            + picture.toBase64() + "\"/>";
    return svg + "</svg>";
}


// A grey TIFF file of `strips` strips (more than one), each of them the same bytes.
QByteArray tiffOfStrips(int width, int height, int compression, const QByteArray& strip, int strips)
{
    const auto entry = [](int tag, int type, std::uint32_t count, std::uint32_t value) {
        return littleEndian(tag, 2) + littleEndian(type, 2) + littleEndian(count, 4) + littleEndian(value, 4);
    };
    const int entries = 9;
    const std::uint32_t lists = 8 + 2 + entries * 12 + 4;
    const std::uint32_t data = lists + 8 * std::uint32_t(strips);
    QByteArray tiff = QByteArray("II*\0", 4) + littleEndian(8, 4) + littleEndian(entries, 2) + entry(256, 4, 1, width)
        + entry(257, 4, 1, height) + entry(258, 3, 1, 8) + entry(259, 3, 1, compression) + entry(262, 3, 1, 1)
        + entry(273, 4, strips, lists) + entry(277, 3, 1, 1) + entry(278, 4, 1, height / strips)
        + entry(279, 4, strips, lists + 4 * strips) + littleEndian(0, 4);
    for (int i = 0; i < strips; ++i)
        tiff += littleEndian(data, 4);
    for (int i = 0; i < strips; ++i)
        tiff += littleEndian(std::uint32_t(strip.size()), 4);
    return tiff + strip;
}

// A 16 × 16 MNG animation of one picture: its header chunk, and the chunk of its data.
QByteArray mngHolding(const char* header, const QByteArray& fields, const QByteArray& data)
{
    QByteArray mng("\x8aMNG\r\n\x1a\n", 8);
    appendChunk(mng, "MHDR", bigEndian(16) + bigEndian(16) + bigEndian(1000) + QByteArray(12, '\0') + bigEndian(1), 28);
    appendChunk(mng, header, fields, std::uint32_t(fields.size()));
    appendChunk(mng, std::string_view(header) == "JHDR" ? "JDAT" : "IDAT", data, std::uint32_t(data.size()));
    appendChunk(mng, "IEND", QByteArray(), 0);
    appendChunk(mng, "MEND", QByteArray(), 0);
    return mng;
}

// What reading a picture cost the picture reader, and what it came to: 0 when it was refused with a reason, 1
// when it decoded, 2 when it gave nothing without a reason.
struct ReadCost {
    int result = -1;
    std::int64_t grownKB = -1;
    double cpuSeconds = -1;
};

ReadCost decodingCost(const QByteArray& data, std::string* refusal = nullptr)
{
    const Image::Decoding decoded = Image::decode(bytesOf(data));
    if (refusal)
        *refusal = decoded.refusal;
    return {decoded.image ? 1 : decoded.refusal.empty() ? 2 : 0, decoded.grownKB, decoded.processorSeconds};
}

} // namespace

// One 4,000-character entity named 15,000 times expands a 60 KB SVG into 60 million characters.
TEST(PictureBounds, AnSvgWhoseEntitiesExpandPastTheBoundIsRefusedFromItsDeclarations)
{
    const QByteArray bomb = entityBomb(4000, 15000);
    EXPECT_FALSE(SvgImageData::selfContained(bomb).has_value());
    std::string refusal;
    const ReadCost cost = decodingCost(bomb, &refusal);
    EXPECT_EQ(cost.result, 0);
    EXPECT_LT(cost.grownKB, boundedKB);
    EXPECT_NE(refusal.find("with its entities expanded, runs to 60,0"), std::string::npos) << refusal;

    // Entities named a few times, and the same text written out, are read.
    const PictureRead modest = PictureReading::readOne(bytesOf(entityBomb(4000, 50)));
    ASSERT_TRUE(modest.image) << modest.refusal;
    EXPECT_EQ(modest.image->pixelsWide(), 40);
    // Nested entities count with what they expand to.
    QByteArray nested = "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"" + QByteArray(4000, 'a')
        + "\"><!ENTITY b \"&a;\">]><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\"><text>";
    for (int i = 0; i < 5000; ++i)
        nested += "&b;";
    EXPECT_FALSE(SvgImageData::selfContained(nested + "</text></svg>").has_value());
}

// Twenty embedded 2000 × 2000 pictures are 80 million pixels together, each under what one picture may have.
TEST(PictureBounds, ThePicturesAnSvgEmbedsAreBoundedTogether)
{
    QImage square(2000, 2000, QImage::Format_RGB32);
    square.fill(Qt::black);
    const QByteArray address = "data:image/png;base64," + pngOf(square).toBase64();
    const auto svgWith = [&](int pictures) {
        QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                         "width=\"40\" height=\"40\">";
        for (int i = 0; i < pictures; ++i)
            svg += "<image width=\"40\" height=\"40\" xlink:href=\"" + address + "\"/>";
        return svg + "</svg>";
    };
    ASSERT_LT(std::int64_t(2000) * 2000 * 2, SvgImageData::maximumEmbeddedPixels());
    ASSERT_GT(std::int64_t(2000) * 2000 * 20, SvgImageData::maximumEmbeddedPixels());
    std::string refusal;
    const ReadCost cost = decodingCost(svgWith(20), &refusal);
    EXPECT_EQ(cost.result, 0);
    EXPECT_LT(cost.grownKB, boundedKB);
    EXPECT_NE(refusal.find("pictures embedded in the SVG picture have more than"), std::string::npos) << refusal;
    EXPECT_TRUE(Image::fromData(bytesOf(svgWith(2))));
}

// A 300-byte PNG whose text chunk after the image states 2 GB, on its own and inside an ICO file, an ICNS icon,
// an SVG image and an SVG image's ICO file: each is refused with the PNG's reason before any decoder sees it.
TEST(PictureBounds, APngWhoseChunkRunsPastItsEndIsRefusedWhateverHoldsIt)
{
    const QByteArray damaged = damagedPng();
    ASSERT_LT(damaged.size(), 300);
    const std::pair<const char*, QByteArray> holders[] = {
        {"PNG", damaged}, {"ICO", iconHolding(damaged, 8)}, {"ICNS", appleIconHolding(damaged)},
        {"SVG", svgEmbedding({damaged})}, {"SVG of an ICO", svgEmbedding({iconHolding(damaged, 8)})}};
    for (const auto& [holder, data] : holders) {
        std::string refusal;
        const ReadCost cost = decodingCost(data, &refusal);
        EXPECT_EQ(cost.result, 0) << holder;
        EXPECT_LT(cost.grownKB, boundedKB) << holder;
        EXPECT_LT(cost.cpuSeconds, boundedSeconds) << holder;
        EXPECT_NE(refusal.find(damagedPngRefusal), std::string::npos) << holder << ": " << refusal;
    }
    // An icon whose entry runs past the end is damaged too.
    QByteArray cut = iconHolding(pngOf(QImage(8, 8, QImage::Format_RGB32)), 8);
    cut.chop(10);
    EXPECT_EQ(Image::decode(bytesOf(cut)).refusal,
              "The ICO picture is damaged: its first picture states " + std::to_string(cut.size() - 22 + 10)
                  + " bytes, more than the file holds.");
}

// Each picture takes its pixels from the budget; one that no longer fits is refused before it is decoded.
TEST(PictureBounds, PicturesDecodedWithinOneBudgetShareIt)
{
    const QByteArray png = pngOf(QImage(300, 200, QImage::Format_RGB32));
    PictureBudget budget(100000);
    EXPECT_TRUE(Image::decode(bytesOf(png), &budget).image);
    EXPECT_EQ(budget.pixelsLeft(), 40000);
    const Image::Decoding refused = Image::decode(bytesOf(png), &budget);
    EXPECT_FALSE(refused.image);
    EXPECT_EQ(refused.refusal, "With the pictures read before it, it would make more than 100,000 pixels together; "
                               "Velquine reads up to that many at once.");
    EXPECT_EQ(budget.pixelsLeft(), 40000);
    EXPECT_EQ(budget.refusedCount(), 1);
    EXPECT_EQ(budget.firstRefusal(), refused.refusal);
    EXPECT_EQ(PictureBudget().total(), PictureBudget::mapPixels);
}

// The pictures an SVG image embeds take their pixels from the map's budget with the image's own, an icon entry
// stated as 16 × 16 takes the pixels of the PNG it holds, and an MNG animation's pictures are bounded as
// pictures on their own, whatever the size of its frame.
TEST(PictureBounds, WhatAPictureHoldsCountsInTheMapsBudget)
{
    const QByteArray embedded = pngOf(QImage(300, 200, QImage::Format_RGB32));
    const QByteArray svg = svgEmbedding({embedded, embedded});
    PictureBudget budget(200000);
    EXPECT_TRUE(Image::decode(bytesOf(svg), &budget).image);
    EXPECT_EQ(budget.pixelsLeft(), 200000 - 40 * 40 - 2 * 300 * 200);
    const Image::Decoding refused = Image::decode(bytesOf(svg), &budget);
    EXPECT_FALSE(refused.image);
    EXPECT_EQ(refused.refusal, "With the pictures read before it, it would make more than 200,000 pixels together; "
                               "Velquine reads up to that many at once.");

    const QByteArray icon = iconHolding(pngOf(QImage(300, 200, QImage::Format_RGB32)), 16);
    PictureBudget small(50000);
    const Image::Decoding decoded = Image::decode(bytesOf(icon), &small);
    EXPECT_FALSE(decoded.image);
    EXPECT_EQ(decoded.statedSize, QSize(300, 200));
    EXPECT_EQ(small.refusedCount(), 1);

    EXPECT_EQ(Image::decode(bytesOf(mngHolding("IHDR", bigEndian(6000) + bigEndian(6000) + QByteArray("\x08\x02\0\0\0", 5),
                                               QByteArray()))).refusal,
              "The picture has 6,000 × 6,000 pixels; Velquine reads pictures of up to 33 million pixels.");
}

// A 25-million-pixel progressive JPEG of 2,000 scans: its decoder would take 20 s; an XPM picture of 25 million
// pixels of 4 characters: 1 s for each 130 MB of its text.
TEST(PictureBounds, PicturesWhoseDecodingTakesTooMuchWorkAreRefused)
{
    QImage grey(5000, 5000, QImage::Format_Grayscale8);
    grey.fill(128);
    const QByteArray jpeg = progressiveJpegOf(grey);
    const QByteArray crafted = withLastScanRepeated(jpeg, 2000);
    ASSERT_LT(crafted.size(), 200 * 1024);
    std::string refusal;
    const ReadCost cost = decodingCost(crafted, &refusal);
    EXPECT_EQ(cost.result, 0);
    EXPECT_LT(cost.cpuSeconds, boundedSeconds);
    EXPECT_EQ(refusal, "The JPEG picture is drawn in 2,006 scans of 25 million pixels; Velquine reads JPEG "
                       "pictures of up to 1,000 million pixels in all their scans together.");
    // As a TIFF file's two JPEG strips, and as a TIFF file's 2,000 strips all reading the same 1,000 bytes.
    const QByteArray half = withLastScanRepeated(progressiveJpegOf(grey.copy(0, 0, 5000, 2500)), 1000);
    EXPECT_EQ(Image::decode(bytesOf(tiffOfStrips(5000, 5000, 7, half, 2) + half)).refusal,
              "The TIFF picture's JPEG parts are drawn in 2,012 scans of 12 million pixels; Velquine reads JPEG "
              "pictures of up to 1,000 million pixels in all their scans together.");
    const QByteArray overlapping = tiffOfStrips(1000, 2000, 1, QByteArray(1000, 'x'), 2000);
    EXPECT_EQ(Image::decode(bytesOf(overlapping)).refusal,
              "The TIFF picture is damaged: its parts state more bytes together than the file's "
                  + QLocale(QLocale::English).toString(overlapping.size()).toStdString() + ".");
    // As the JNG picture of an MNG animation.
    const QByteArray jng = mngHolding("JHDR", bigEndian(5000) + bigEndian(5000) + QByteArray("\x08\x08\x08\x08\0\0\0\0", 8), crafted);
    EXPECT_EQ(Image::decode(bytesOf(jng)).refusal,
              "The MNG picture's JPEG picture is drawn in 2,006 scans of 25 million pixels; Velquine reads JPEG "
              "pictures of up to 1,000 million pixels in all their scans together.");
    // Its own six scans, and some more, are read.
    const Image::Decoding normal = Image::decode(bytesOf(withLastScanRepeated(jpeg, 30)));
    ASSERT_TRUE(normal.image) << normal.refusal;
    EXPECT_EQ(normal.statedSize, QSize(5000, 5000));

    const QByteArray xpm = "/* XPM */\nstatic char* p[] = {\n\"5000 5000 1 4\",\n\"abcd c #ff0000\",\n\"abcdabcd\"};\n";
    EXPECT_EQ(Image::decode(bytesOf(xpm)).refusal, "The XPM picture has 5,000 × 5,000 pixels of 4 characters each; "
                                                   "Velquine reads XPM pictures of up to 64 million characters.");
}

// SVG images within the size bounds whose drawing would take tens of seconds: 93,206 text elements, groups
// that use groups 200 times over three levels (8 million rectangles), and 200 fills of 16 million pixels.
TEST(PictureBounds, AnSvgWhoseDrawingTakesTooMuchWorkIsRefused)
{
    const QByteArray head = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" ";
    QByteArray texts = head + "width=\"400\" height=\"400\">";
    for (int i = 0; i < 93206; ++i)
        texts += "<text x=\"" + QByteArray::number(i % 400) + "\" y=\"20\">ab</text>";
    QByteArray uses = head + "width=\"100\" height=\"100\"><defs><g id=\"g0\"><rect width=\"3\" height=\"3\"/></g>";
    for (int level = 1; level <= 3; ++level) {
        uses += "<g id=\"g" + QByteArray::number(level) + "\">";
        for (int i = 0; i < 200; ++i)
            uses += "<use xlink:href=\"#g" + QByteArray::number(level - 1) + "\" x=\"" + QByteArray::number(i % 3) + "\"/>";
        uses += "</g>";
    }
    uses += "</defs><use xlink:href=\"#g3\"/>";
    QByteArray fills = head + "width=\"4000\" height=\"4000\">";
    for (int i = 0; i < 200; ++i)
        fills += "<rect width=\"4000\" height=\"4000\" fill=\"#" + QByteArray::number(0x102030 + i * 4111, 16)
            + "\" fill-opacity=\"0.5\"/>";
    const std::pair<QByteArray, const char*> costly[] = {
        {texts + "</svg>", "steps to draw"}, {uses + "</svg>", "steps to draw"}, {fills + "</svg>", "covers more than"}};
    for (const auto& [svg, reason] : costly) {
        ASSERT_LT(svg.size(), SvgImageData::maximumTextBytes);
        std::string refusal;
        const ReadCost cost = decodingCost(svg, &refusal);
        EXPECT_EQ(cost.result, 0) << reason;
        EXPECT_LT(cost.cpuSeconds, boundedSeconds) << reason;
        EXPECT_NE(refusal.find(reason), std::string::npos) << refusal;
    }
}

// Headers the image reader refuses before any check of ours (a 16-bit PNG past its allocation limit, sides
// past what BMP, PPM, JPEG and TIFF readers take) are refused with the reason all the same.
TEST(PictureBounds, PicturesTheReaderRefusesAreRefusedWithTheReason)
{
    QByteArray deepPng("\x89PNG\r\n\x1a\n", 8);
    appendChunk(deepPng, "IHDR", bigEndian(4200) + bigEndian(4200) + QByteArray("\x10\x06\0\0\0", 5), 13);
    appendChunk(deepPng, "IEND", QByteArray(), 0);
    EXPECT_EQ(Image::decode(bytesOf(deepPng)).refusal, "The picture has 4,200 × 4,200 pixels of 64 bits; Velquine "
                                                        "reads such pictures of up to 16 million pixels.");

    QImage small(8, 8, QImage::Format_RGB32);
    QByteArray bmp = "BM" + littleEndian(54, 4) + littleEndian(0, 4) + littleEndian(54, 4) + littleEndian(40, 4)
        + littleEndian(65535, 4) + littleEndian(65535, 4) + littleEndian(1, 2) + littleEndian(24, 2) + QByteArray(24, '\0');
    QByteArray jpeg = progressiveJpegOf(small);
    jpeg.replace(jpeg.indexOf("\xff\xc2") + 5, 4, "\xff\xff\xff\xff");
    QByteArray tiff;
    {
        QBuffer buffer(&tiff);
        buffer.open(QIODevice::WriteOnly);
        small.save(&buffer, "TIFF");
    }
    const int directory = uchar(tiff[4]) | uchar(tiff[5]) << 8;
    for (int i = 0; i < (uchar(tiff[directory]) | uchar(tiff[directory + 1]) << 8); ++i) {
        const int entry = directory + 2 + i * 12;
        const int tag = uchar(tiff[entry]) | uchar(tiff[entry + 1]) << 8;
        if (tag == 256 || tag == 257)
            tiff.replace(entry + 8, 4, littleEndian(65535, 4));
    }
    const std::pair<const char*, QByteArray> headers[] = {
        {"BMP", bmp}, {"PPM", "P6\n65535 65535\n255\n" + QByteArray(100, 'a')}, {"JPEG", jpeg}, {"TIFF", tiff}};
    for (const auto& [format, data] : headers) {
        const Image::Decoding decoded = Image::decode(bytesOf(data));
        EXPECT_EQ(decoded.refusal, "The picture has 65,535 × 65,535 pixels; Velquine reads pictures of up to 33 "
                                   "million pixels.") << format;
        EXPECT_EQ(decoded.statedSize, QSize(65535, 65535)) << format;
    }
}

// Pictures as people make them pass every check: a PNG, JPEG and progressive JPEG photo, a GIF, BMP and TIFF
// file, an ICO file and an ICNS icon of PNG entries, an MNG animation, an SVG image embedding a PNG, and an SVG
// illustration of thousands of paths, lines across it, text labels, gradients and uses.
TEST(PictureBounds, PicturesAsPeopleMakeThemStillLoad)
{
    const QImage photo = photoOf(3000, 2000);
    const auto encoded = [&](const char* format, int side) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        photo.scaled(side, side * 2 / 3).save(&buffer, format);
        return bytes;
    };
    QByteArray illustration = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                              "width=\"1600\" height=\"1200\"><defs><linearGradient id=\"sky\"><stop offset=\"0\" "
                              "stop-color=\"#8cf\"/><stop offset=\"1\" stop-color=\"#fff\"/></linearGradient>"
                              "<g id=\"leaf\"><path d=\"M0 0 q10 -20 20 0 q-10 20 -20 0z\" fill=\"green\"/></g></defs>"
                              "<rect width=\"1600\" height=\"1200\" fill=\"url(#sky)\"/>";
    for (int i = 0; i < 4000; ++i)
        illustration += "<path d=\"M" + QByteArray::number(i % 1600) + " " + QByteArray::number(i * 7 % 1200)
            + " c10 -30 40 -30 50 0 s30 40 10 50z\" fill=\"#" + QByteArray::number(0x203040 + i * 97, 16).right(6)
            + "\" stroke=\"black\"/>";
    for (int i = 0; i < 800; ++i) // lines across the whole picture, whose bounds are all of it
        illustration += "<line x1=\"" + QByteArray::number(i % 10) + "\" y1=\"0\" x2=\"1600\" y2=\"1200\" stroke=\"gray\"/>";
    for (int i = 0; i < 300; ++i)
        illustration += "<use xlink:href=\"#leaf\" x=\"" + QByteArray::number(i * 5) + "\" y=\"600\"/><text x=\""
            + QByteArray::number(i * 5 % 1500) + "\" y=\"" + QByteArray::number(100 + i * 3) + "\">Label "
            + QByteArray::number(i) + "</text>";
    const QByteArray gif("GIF89a\x01\0\x01\0\x80\0\0\xff\0\0\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02" "D\x01\0;", 35);
    const QByteArray icon = pngOf(photo.scaled(256, 256));
    QByteArray rows(16 * 49, '\x60');
    for (int row = 0; row < 16; ++row)
        rows[row * 49] = 0; // no filter
    QByteArray packed(1024, '\0');
    uLongf packedLength = uLongf(packed.size());
    ::compress(reinterpret_cast<Bytef*>(packed.data()), &packedLength, reinterpret_cast<const Bytef*>(rows.data()), uLong(rows.size()));
    const QByteArray mng = mngHolding("IHDR", bigEndian(16) + bigEndian(16) + QByteArray("\x08\x02\0\0\0", 5),
                                      packed.left(qsizetype(packedLength)));
    const std::tuple<const char*, QByteArray, QSize> pictures[] = {
        {"PNG", encoded("PNG", 3000), QSize(3000, 2000)},
        {"JPEG", encoded("JPEG", 3000), QSize(3000, 2000)},
        {"progressive JPEG", progressiveJpegOf(photo), QSize(3000, 2000)},
        {"GIF", gif, QSize(1, 1)},
        {"BMP", encoded("BMP", 600), QSize(600, 400)},
        {"TIFF", encoded("TIFF", 600), QSize(600, 400)},
        {"ICO", iconHolding(icon, 0), QSize(256, 256)},
        {"ICNS", appleIconHolding(pngOf(photo.scaled(128, 128))), QSize(128, 128)},
        {"MNG", mng, QSize(16, 16)},
        {"SVG of a PNG", svgEmbedding({encoded("PNG", 600)}, 300), QSize(300, 300)},
        {"SVG illustration", illustration + "</svg>", QSize(1600, 1200)}};
    // A photo cut short after its first segments gives nothing, and says nothing (its reader states no format).
    for (const int length : {5, 21})
        EXPECT_EQ(decodingCost(encoded("JPEG", 3000).left(length)).result, 2) << length;
    for (const auto& [kind, data, size] : pictures) {
        std::string refusal;
        const ReadCost cost = decodingCost(data, &refusal);
        EXPECT_EQ(cost.result, 1) << kind << ": " << refusal;
        EXPECT_LT(cost.cpuSeconds, boundedSeconds) << kind;
        const Image::Decoding decoded = Image::decode(bytesOf(data));
        ASSERT_TRUE(decoded.image) << kind << ": " << decoded.refusal;
        EXPECT_EQ(decoded.statedSize, size) << kind;
        // The pixels a node showed when the editor decoded its pictures itself.
        const std::optional<Picture> here = fittedInto(PictureDecoding::decode(data).picture, 1024, 1024);
        ASSERT_TRUE(here) << kind;
        EXPECT_EQ(decoded.image->bitmap(), here->bitmap) << kind;
        EXPECT_EQ(decoded.image->size(), (Size{here->points.width(), here->points.height()})) << kind;
    }
}

// Counting what an SVG image's drawing covers changes none of its pixels: the image is drawn as the image reader
// draws it (dashes along a rounded outline, a thin line across it, a gradient, text and an embedded picture).
TEST(PictureBounds, AnSvgWithinTheBoundsHasThePixelsTheImageReaderGives)
{
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                           "width=\"300\" height=\"200\" viewBox=\"0 0 150 100\"><defs><linearGradient id=\"g\">"
                           "<stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/>"
                           "</linearGradient></defs><rect x=\"5\" y=\"5\" width=\"140\" height=\"90\" rx=\"8\" "
                           "fill=\"url(#g)\" stroke=\"black\" stroke-dasharray=\"4 2\"/><line x1=\"0\" y1=\"0\" "
                           "x2=\"150\" y2=\"100\" stroke=\"gray\"/><text x=\"10\" y=\"20\" font-size=\"10\">Hello</text>"
                           "<image x=\"100\" y=\"5\" width=\"40\" height=\"30\" xlink:href=\"data:image/png;base64,"
        + pngOf(photoOf(40, 30)).toBase64() + "\"/></svg>";
    const Image::Decoding decoded = Image::decode(bytesOf(svg));
    ASSERT_TRUE(decoded.image) << decoded.refusal;
    const std::optional<QByteArray> text = SvgImageData::selfContained(svg);
    ASSERT_TRUE(text);
    QBuffer buffer;
    buffer.setData(*text);
    buffer.open(QIODevice::ReadOnly);
    const QImage expected = QImageReader(&buffer, "svg").read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(decoded.image->bitmap().convertToFormat(QImage::Format_ARGB32_Premultiplied), expected);
}
