// What an SVG image costs is counted as the SVG reader will draw it, and the pictures it embeds are charged to
// the map's budget before the reader decodes them.

#include "picture/PictureDecoding.h"
#include "picture/SvgImageData.h"

#include "CraftedPictures.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>

using namespace velquine;
using namespace velquine::testing;

namespace {

const QByteArray head = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" ";

// Groups that each use the group below them 200 times, three deep (8 million rectangles drawn), their ids in
// the attribute given, each reference written between the texts given, after the elements given.
QByteArray groupsOfUses(const char* idAttribute, const char* before, const char* after, const QByteArray& first = {})
{
    QByteArray svg = head + "width=\"100\" height=\"100\"><defs>" + first + "<g " + idAttribute
        + "=\"g0\"><rect width=\"3\" height=\"3\"/></g>";
    for (int level = 1; level <= 3; ++level) {
        svg += "<g " + QByteArray(idAttribute) + "=\"g" + QByteArray::number(level) + "\">";
        for (int i = 0; i < 200; ++i)
            svg += "<use xlink:href=\"" + QByteArray(before) + "g" + QByteArray::number(level - 1) + after + "\"/>";
        svg += "</g>";
    }
    return svg + "</defs><use xlink:href=\"#g3\"/></svg>";
}

// A 40 × 40 SVG image drawing the PNG picture over the whole of it.
QByteArray svgEmbedding(const QByteArray& png)
{
    return head + "width=\"40\" height=\"40\"><image width=\"40\" height=\"40\" xlink:href=\"data:image/png;base64,"
        + png.toBase64() + "\"/></svg>";
}

int decoderWarnings = 0;

void countDecoderWarnings(QtMsgType, const QMessageLogContext&, const QString& message)
{
    decoderWarnings += message.contains(QLatin1String("libpng warning"));
}

} // namespace

// References with white space around them (which the rewriting trims, so that the reader follows them), ids
// given as xml:id, and ids given first to elements that draw nothing: the reader draws each use, so each counts.
TEST(SvgChecks, EveryUseTheReaderDrawsIsCounted)
{
    const std::pair<const char*, QByteArray> images[] = {
        {"plain", groupsOfUses("id", "#", "")},
        {"space before", groupsOfUses("id", " #", "")},
        {"line before, space after", groupsOfUses("id", "\n#", " ")},
        {"xml:id", groupsOfUses("xml:id", "#", "")},
        {"ids given before", groupsOfUses("id", "#", "", "<g id=\"g0\"/><g id=\"g1\"/><g id=\"g2\"/><g id=\"g3\"/>")}};
    for (const auto& [kind, svg] : images) {
        std::string refusal;
        EXPECT_FALSE(SvgImageData::selfContained(svg, &refusal)) << kind;
        EXPECT_EQ(refusal, "The SVG picture takes more than 800,000 steps to draw (an element counted each time it "
                           "is used, a text and each of its characters as many); Velquine reads SVG pictures of up "
                           "to that many.") << kind;
    }
}

// The SVG reader decodes the pictures an image embeds as it reads the image (twenty SVG images embedding
// 5,792 × 5,792 PNGs took 0.4 s each to be refused): their pixels are asked of the budget before. The embedded
// PNG's decoder warns when it decodes it.
TEST(SvgChecks, EmbeddedPicturesAreChargedBeforeTheReaderDecodesThem)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.info=true"));
    const QtMessageHandler previous = qInstallMessageHandler(countDecoderWarnings);
    const QByteArray svg = svgEmbedding(pngWithWarning(encoded(QImage(300, 200, QImage::Format_RGB32), "PNG")));
    PictureBudget budget(50000);
    EXPECT_EQ(PictureDecoding::decode(svg, &budget).refusal, PictureDecoding::overBudget(50000));
    EXPECT_EQ(decoderWarnings, 0);
    EXPECT_EQ(budget.pixelsLeft(), 50000);
    // With room for the embedded picture and not for the image's own pixels, it is given back.
    PictureBudget tight(60100);
    EXPECT_EQ(PictureDecoding::decode(svg, &tight).refusal, PictureDecoding::overBudget(60100));
    EXPECT_EQ(tight.pixelsLeft(), 60100);
    PictureBudget roomy(100000);
    EXPECT_EQ(PictureDecoding::decode(svg, &roomy).picture.bitmap.size(), QSize(40, 40));
    EXPECT_EQ(roomy.pixelsLeft(), 100000 - 300 * 200 - 40 * 40);
    EXPECT_GT(decoderWarnings, 0);
    qInstallMessageHandler(previous);
}
