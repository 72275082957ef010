// Crafted JPEG, TIFF, XPM and GIF files that the checks made before decoding once let through are refused with
// the reason, and the pictures people make still decode.

#include "picture/PictureChecks.h"
#include "picture/PictureDecoding.h"

#include "CraftedPictures.h"

#include <gtest/gtest.h>

#include <QImageWriter>

using namespace velquine;
using namespace velquine::testing;

// A byte after the start-of-image marker, which the decoder skips, once hid a JPEG from every check.
TEST(PictureChecks, AJpegWithBytesBeforeItsFirstSegmentIsChecked)
{
    QImage grey(1000, 1000, QImage::Format_Grayscale8);
    grey.fill(128);
    const QByteArray jpeg = withLastScanRepeated(progressiveJpegOf(grey), 1000);
    const std::string refusal = "The JPEG picture is drawn in 1,006 scans of 1 million pixels; Velquine reads JPEG "
                                "pictures of up to 1,000 million pixels in all their scans together.";
    EXPECT_EQ(PictureDecoding::decode(jpeg).refusal, refusal);
    EXPECT_EQ(PictureDecoding::decode(jpeg.left(2) + '\0' + jpeg.mid(2)).refusal, refusal);
}

// A 122-byte TIFF file whose lists of strips state 4,294,967,295 entries past its end: the entries past the end
// read as zero, so the strips' lengths never added up to more than the file's, and the walk over them took 40
// to 95 s. That this test ends at all is the proof that the walk is bounded.
TEST(PictureChecks, ATiffWhoseListsOfStripsRunPastItsEndIsDamaged)
{
    const QByteArray crafted = tiff({{256, 4, 1, 16}, {257, 4, 1, 16}, {258, 3, 1, 8}, {259, 3, 1, 1}, {262, 3, 1, 1},
                                     {273, 4, 0xffffffff, 110}, {278, 4, 1, 16}, {279, 4, 0xffffffff, 114}},
                                    QByteArray(12, '\0'));
    ASSERT_EQ(crafted.size(), 122);
    EXPECT_EQ(PictureDecoding::decode(crafted).refusal, "The TIFF picture is damaged: its list of strip offsets "
                                                        "states 4,294,967,295 entries, more than the file holds.");
    // A list of byte counts past the end of a file whose offsets lie within it.
    const QByteArray counts = tiff({{256, 4, 1, 16}, {257, 4, 1, 16}, {273, 4, 2, 62}, {279, 3, 8, 70}},
                                   littleEndian(70) + littleEndian(70) + QByteArray(4, '\x10'));
    EXPECT_EQ(PictureChecks::inspect(counts).refusal, "The TIFF picture is damaged: its list of strip byte counts "
                                                      "states 8 entries, more than the file holds.");
}

// The numbers of an XPM picture's header, which its reader reads after any white space: 25 million pixels of 4
// characters, to be read at every pixel.
TEST(PictureChecks, AnXpmHeaderOfTabsIsRead)
{
    const std::string refusal = "The XPM picture has 5,000 × 5,000 pixels of 4 characters each; Velquine reads XPM "
                                "pictures of up to 64 million characters.";
    for (const char* header : {"5000 5000 1 4", "5000\t5000\t1\t4", "\t5000\n5000 \t 1 +4"}) {
        const QByteArray xpm = "/* XPM */\nstatic char* p[] = {\n\"" + QByteArray(header) + "\",\n\"abcd c #ff0000\",\n"
            + "\"abcdabcd\"};\n";
        EXPECT_EQ(PictureDecoding::decode(xpm).refusal, refusal) << header;
    }
}

// A GIF's decoder sets out its screen, not the 1 × 1 first frame it states: the budget is asked before.
TEST(PictureChecks, AGifIsChargedForItsScreenBeforeItIsDecoded)
{
    PictureBudget budget(1000000);
    const DecodedPicture decoded = PictureDecoding::decode(gif(5792, 5792, 1, 1), &budget);
    EXPECT_EQ(decoded.refusal, PictureDecoding::overBudget(1000000));
    EXPECT_EQ(budget.pixelsLeft(), 1000000);
    EXPECT_EQ(PictureChecks::inspect(gif(5792, 5792, 1, 1)).pixels, 5792 * 5792);
    EXPECT_EQ(PictureChecks::inspect(gif(1, 1, 300, 200)).size, QSize(300, 200));
    EXPECT_EQ(PictureChecks::inspect(gif(6000, 20, 1, 6000)).refusal,
              "The picture has 6,000 × 6,000 pixels; Velquine reads pictures of up to 33 million pixels.");
}

// Pictures as people make them pass the checks, charged their pixels (an animation those of its frame and each
// picture): an animation whose frames loop for ever, a GIF whose screen is its frame, an XPM picture whose header
// is separated by spaces, a JPEG and a TIFF file as Qt writes them.
TEST(PictureChecks, PicturesAsPeopleMakeThemStillDecode)
{
    QImage photo(300, 200, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    const QByteArray xpm
        = "/* XPM */\nstatic char* p[] = {\n\"3 2 2 1\",\n\"a c #ff0000\",\n\"b c None\",\n\"aba\",\n\"bab\"};";
    const std::tuple<QByteArray, QSize, int> pictures[] = {
        {mng(16, 16, {loop(0x7fffffff), mngPicture(16, 16), mngPicture(16, 16), endOfLoop()}), {16, 16}, 3 * 256},
        {gif(300, 200, 300, 200), {300, 200}, 60000}, {xpm, {3, 2}, 6}, {encoded(photo, "JPEG"), {300, 200}, 60000},
        {encoded(photo, "TIFF"), {300, 200}, 60000}};
    for (const auto& [bytes, size, pixels] : pictures) {
        PictureBudget budget;
        const DecodedPicture decoded = PictureDecoding::decode(bytes, &budget);
        EXPECT_EQ(decoded.refusal, "");
        EXPECT_EQ(decoded.picture.bitmap.size(), size);
        EXPECT_EQ(budget.pixelsLeft(), budget.total() - pixels) << bytes.left(4).toHex().constData();
    }
}
