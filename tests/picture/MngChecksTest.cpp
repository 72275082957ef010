// An MNG animation's pictures, and the loops it plays before its first frame shows, are bounded before its
// decoder reads it.

#include "picture/PictureChecks.h"
#include "picture/PictureDecoding.h"

#include "CraftedPictures.h"

#include <gtest/gtest.h>

using namespace velquine;
using namespace velquine::testing;

namespace {

// DEFI: the pictures that follow are read into the object, hidden or not.
QByteArray object(int id, bool hidden)
{
    return chunk("DEFI", bigEndian(id, 2) + char(hidden ? 1 : 0));
}

} // namespace

// A 181-byte animation whose BASI picture is 20,000 × 20,000 (3.1 GB for a 16 × 16 frame); the map's budget is
// charged for a BASI picture's pixels with the frame's.
TEST(MngChecks, ABasiPictureIsBoundedAndCharged)
{
    EXPECT_EQ(PictureChecks::inspect(mng(16, 16, {pictureHeader("BASI", 20000, 20000), chunk("IEND")})).refusal,
              "The picture has 20,000 × 20,000 pixels; Velquine reads pictures of up to 33 million pixels.");
    EXPECT_EQ(PictureChecks::inspect(mng(16, 16, {pictureHeader("BASI", 3000, 3000), chunk("IEND")})).pixels,
              16 * 16 + 3000 * 3000);
}

// Forty hidden 4,000 × 4,000 objects (640 million pixels), and a 3,000 × 3,000 one copied whole three times.
TEST(MngChecks, AllOfAnAnimationsPicturesAreBoundedTogether)
{
    QByteArray hidden;
    for (int id = 1; id <= 40; ++id)
        hidden += object(id, true) + pictureHeader("IHDR", 4000, 4000) + chunk("IEND");
    EXPECT_EQ(PictureChecks::inspect(mng(16, 16, {hidden})).refusal,
              "The MNG picture sets out 640 million pixels in its frame and pictures together; Velquine reads "
              "pictures of up to 33 million pixels.");
    const QByteArray one = object(1, true) + pictureHeader("IHDR", 3000, 3000) + chunk("IEND");
    EXPECT_EQ(PictureChecks::inspect(mng(16, 16, {one})).pixels, 16 * 16 + 3000 * 3000);
    QByteArray copies;
    for (int id = 2; id <= 4; ++id)
        copies += chunk("CLON", bigEndian(1, 2) + bigEndian(id, 2));
    EXPECT_EQ(PictureChecks::inspect(mng(16, 16, {one, copies})).refusal,
              "The MNG picture sets out 36 million pixels in its frame and pictures together; Velquine reads "
              "pictures of up to 33 million pixels.");
}

namespace {

// FRAM: the framing mode, and the delay before the next frame when one is given.
QByteArray framing(int mode, int delay = -1)
{
    return chunk("FRAM", char(mode) + (delay < 0 ? QByteArray() : QByteArray("\0\2\0\0\0", 5) + bigEndian(delay)));
}

const std::string loopRefusal = "The MNG picture's loops set out more than 1,000 million pixels before its first "
                                "frame shows; Velquine reads MNG pictures whose loops set out up to that many.";

} // namespace

// A 159-byte animation whose loop of 2,147,483,647 passes (which never ends) draws nothing; loops within loops
// that multiply to 100 million passes; a hidden picture set out a thousand times; pictures drawn without a
// delay, or composed into a frame that no FRAM chunk ends: each plays its loop through before any frame shows.
TEST(MngChecks, LoopsPlayedBeforeTheFirstFrameAreBounded)
{
    const QByteArray empty = mng(16, 16, {loop(0x7fffffff), endOfLoop(), mngPicture(16, 16)});
    ASSERT_LT(empty.size(), 160);
    EXPECT_EQ(PictureChecks::inspect(empty).refusal, loopRefusal);
    const QByteArray nested = mng(16, 16, {loop(10000), loop(10000, 1), endOfLoop(1), endOfLoop(), mngPicture(16, 16)});
    EXPECT_EQ(PictureDecoding::decode(nested).refusal, loopRefusal);
    const QByteArray crafted[] = {
        mng(16, 16, {object(1, true), loop(1000), pictureHeader("IHDR", 1000, 1000), chunk("IEND"), endOfLoop()}),
        mng(16, 16, {framing(1, 0), loop(0x7fffffff), mngPicture(16, 16), endOfLoop()}),
        mng(16, 16, {framing(2), loop(0x7fffffff), mngPicture(16, 16), endOfLoop()}),
        mng(16, 16, {mngPicture(16, 16), loop(0x7fffffff), endOfLoop(), mngPicture(16, 16)})};
    for (const QByteArray& animation : crafted)
        EXPECT_EQ(PictureChecks::inspect(animation).refusal, loopRefusal) << animation.toHex().left(200).constData();
}

// Animations as people make them (besides frames looped over for ever, PictureChecks): frames framed by FRAM
// chunks, a first frame before the loop, a hidden picture set out in a short loop.
TEST(MngChecks, AnimationsLoopingOverFramesStillLoad)
{
    const QByteArray animations[] = {
        mng(16, 16, {framing(2, 10), loop(0x7fffffff), framing(0), mngPicture(16, 16), endOfLoop()}),
        mng(16, 16, {mngPicture(16, 16), loop(0x7fffffff), mngPicture(16, 16), endOfLoop()}),
        mng(16, 16,
            {object(1, true), loop(20), mngPicture(300, 300), endOfLoop(), object(2, false), mngPicture(16, 16)})};
    for (const QByteArray& animation : animations) {
        const DecodedPicture decoded = PictureDecoding::decode(animation);
        EXPECT_EQ(decoded.refusal, "");
        EXPECT_EQ(decoded.picture.bitmap.size(), QSize(16, 16)) << animation.toHex().left(200).constData();
    }
}

// A 181-byte animation that magnifies its 16 × 16 picture 2,000 times a side (21 s and 3 GB to decode), in
// MAGN's layout and in the one of two-byte methods that libmng reads too; a picture magnified twice a side is
// charged four times.
TEST(MngChecks, MagnifiedPicturesCountMagnified)
{
    const QByteArray picture = object(1, false) + mngPicture(16, 16);
    const QByteArray objects = bigEndian(1, 2) + bigEndian(1, 2);
    for (const QByteArray& method : {QByteArray(1, '\1'), bigEndian(1, 2)})
        EXPECT_EQ(PictureChecks::inspect(mng(16, 16, {picture, chunk("MAGN", objects + method + bigEndian(2000, 2))}))
                      .refusal,
                  "The MNG picture sets out 1,024 million pixels in its frame and pictures together; Velquine reads "
                  "pictures of up to 33 million pixels.");
    EXPECT_EQ(PictureChecks::inspect(mng(16, 16, {chunk("MAGN", objects + '\1' + bigEndian(2, 2)), picture})).pixels,
              256 + 4 * 256);
}

// Loops of a thousand passes drawn without a delay: of a picture read into object 0, magnified 32 times a side
// (0.7 s), and of object 1 magnified and shown again at each pass (3 GB, then its decoder crashed).
TEST(MngChecks, MagnifiedPicturesInLoopsCountMagnified)
{
    const auto magnify
        = [](int id) { return chunk("MAGN", bigEndian(id, 2) + bigEndian(id, 2) + '\1' + bigEndian(32, 2)); };
    const QByteArray show = chunk("SHOW", bigEndian(1, 2) + bigEndian(1, 2));
    for (const bool magnified : {false, true}) {
        const QByteArray read = mng(16, 16, {framing(1, 0), magnified ? magnify(0) : QByteArray(), loop(1000),
                                             mngPicture(32, 32), endOfLoop()});
        const QByteArray shown = mng(16, 16, {framing(1, 0), object(1, false), mngPicture(32, 32), loop(1000),
                                              magnified ? magnify(1) : QByteArray(), show, endOfLoop()});
        for (const QByteArray& animation : {read, shown})
            EXPECT_EQ(PictureChecks::inspect(animation).refusal, magnified ? loopRefusal : "");
    }
}
