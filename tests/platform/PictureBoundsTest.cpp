// What a picture may cost is bounded before it is decoded: crafted small files that would take gigabytes are
// refused with the reason, and the memory they take stays small.

#include "platform/Image.h"
#include "platform/SvgImageData.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <zlib.h>

#include "support/ChildCost.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

constexpr std::int64_t boundedKB = 150 * 1024;

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

// Decodes in a child: its result is 0 when the picture was refused with a reason, 1 when it decoded, 2 when
// it gave nothing without a reason.
ChildCost decodingCost(const QByteArray& data, std::string* refusal = nullptr)
{
    const ChildCost cost = costInChild([&] {
        const Image::Decoding decoded = Image::decode(bytesOf(data));
        return decoded.image ? 1 : decoded.refusal.empty() ? 2 : 0;
    });
    if (refusal && cost.result == 0)
        *refusal = Image::decode(bytesOf(data)).refusal; // read here once the child has shown it cheap
    return cost;
}

} // namespace

// One 4,000-character entity named 15,000 times expands a 60 KB SVG into 60 million characters.
TEST(PictureBounds, AnSvgWhoseEntitiesExpandPastTheBoundIsRefusedFromItsDeclarations)
{
    const QByteArray bomb = entityBomb(4000, 15000);
    EXPECT_FALSE(SvgImageData::selfContained(bomb).has_value());
    std::string refusal;
    const ChildCost cost = decodingCost(bomb, &refusal);
    EXPECT_EQ(cost.result, 0);
    EXPECT_LT(cost.grownKB, boundedKB);
    EXPECT_NE(refusal.find("with its entities expanded, runs to 60,0"), std::string::npos) << refusal;

    // Entities named a few times, and the same text written out, are read.
    const std::optional<Image> modest = Image::fromData(bytesOf(entityBomb(4000, 50)));
    ASSERT_TRUE(modest);
    EXPECT_EQ(modest->pixelsWide(), 40);
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
    const ChildCost cost = decodingCost(svgWith(20), &refusal);
    EXPECT_EQ(cost.result, 0);
    EXPECT_LT(cost.grownKB, boundedKB);
    EXPECT_NE(refusal.find("pictures embedded in the SVG picture have more than"), std::string::npos) << refusal;
    EXPECT_TRUE(Image::fromData(bytesOf(svgWith(2))));
}

// A 300-byte PNG whose text chunk after the image states 2 GB: its decoder would read on for 17 s and 2 GB.
TEST(PictureBounds, APngWhoseChunkRunsPastItsEndIsRefusedBeforeItsDecoderSeesIt)
{
    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(Qt::red);
    const QByteArray sound = pngOf(small);
    QByteArray crafted = sound.left(sound.size() - 12); // without its end chunk
    appendChunk(crafted, "tEXt", QByteArray(200, 'x'), 0x7fffffff);
    ASSERT_LT(crafted.size(), 300);
    std::string refusal;
    const ChildCost cost = decodingCost(crafted, &refusal);
    EXPECT_EQ(cost.result, 0);
    EXPECT_LT(cost.grownKB, boundedKB);
    EXPECT_EQ(refusal, "The PNG picture is damaged: its “tEXt” chunk states 2,147,483,647 bytes, more than the file holds.");
    EXPECT_TRUE(Image::fromData(bytesOf(sound)));
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
