// The picture reader apart from the editor: a picture beyond its processor or memory bound, or one its decoder
// crashes on, is refused with a sentence for the user while the program goes on, and a reading stops at once
// when it is cancelled or the program ends.

#include "platform/PictureReading.h"

#include "picture/PictureReader.h"

#include "picture/PictureSandbox.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>

#include <fstream>
#include <map>
#include <mutex>

#include <sys/stat.h>

#include "picture/CraftedPictures.h"
#include "support/TempFiles.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

std::shared_ptr<const Bytes> bytesOf(const QByteArray& data)
{
    return std::make_shared<const Bytes>(data.begin(), data.end());
}

QByteArray pngOf(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    picture.setDotsPerMeterX(2835); // 72 DPI: a pixel for each point
    picture.setDotsPerMeterY(2835);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return png;
}

std::vector<PictureRead> readAll(const std::vector<std::shared_ptr<const Bytes>>& pictures,
                                 const PictureReading::Limits& limits, PictureBudget* budget = nullptr)
{
    std::vector<PictureRead> reads(pictures.size());
    PictureReading::read(pictures, limits, budget, [&](std::size_t index, PictureRead read) { reads[index] = read; });
    return reads;
}

// A stand-in for the reader's program, written as a shell script.
class FakeReader {
public:
    explicit FakeReader(const std::string& script)
    {
        const std::string path = folder_ / "reader";
        std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
        ::chmod(path.c_str(), 0700);
        PictureReading::setReaderPath(path);
    }
    ~FakeReader() { PictureReading::setReaderPath({}); }

private:
    Folder folder_;
};

} // namespace

// The reader ends a picture at its processor bound and one past its memory bound, each refused with the sentence
// of its bound, and reads the next picture in a reader of its own: the pictures on either side are read.
TEST(PictureReading, APictureBeyondABoundOfTheReaderIsRefusedAndTheNextIsRead)
{
    PictureReading::Limits limits;
    limits.processorSeconds = 1;
    limits.memoryMegabytes = 40;
    const std::vector<std::shared_ptr<const Bytes>> pictures = {
        bytesOf(pngOf(30, 20)), bytesOf(zigzagSvg(1000)), bytesOf(pngOf(4000, 3000)), bytesOf(pngOf(50, 40))};
    PictureBudget budget;
    QElapsedTimer took;
    took.start();
    const std::vector<PictureRead> reads = readAll(pictures, limits, &budget);
    ASSERT_TRUE(reads[0].image);
    EXPECT_EQ(reads[0].image->pixelsWide(), 30);
    EXPECT_EQ(reads[1].refusal, "The picture took more than 1 seconds to read.");
    EXPECT_FALSE(reads[1].image);
    if (!PictureSandbox::underSanitizer())
        EXPECT_EQ(reads[2].refusal, "The picture needed more than 40 MB to read.");
    ASSERT_TRUE(reads[3].image);
    EXPECT_EQ(reads[3].image->pixelsWide(), 50);
    // Under the sanitizers the reader has no memory bound, and reads the third picture.
    const std::int64_t third = reads[2].image ? 4000 * 3000 : 0;
    EXPECT_EQ(budget.pixelsLeft(), budget.total() - 30 * 20 - third - 50 * 40);
    EXPECT_LT(took.elapsed(), 10000) << "ended at its bound of processor time";
}

// A decoder that crashes ends its process alone; a reader that gives no answer, or none that fits what was
// asked, and one that cannot be started, refuse the picture with a sentence, and the program goes on.
TEST(PictureReading, AReaderThatCrashesOrFailsRefusesThePictureAlone)
{
    const std::vector<std::shared_ptr<const Bytes>> one = {bytesOf(pngOf(10, 10))};
    {
        FakeReader crashing("head -c 20 >/dev/null; kill -SEGV $$");
        EXPECT_EQ(readAll(one, {})[0].refusal, PictureReading::crashed());
    }
    {
        // A frame stating more bytes than any answer to the request may have.
        FakeReader lying("head -c 20 >/dev/null; printf '\\377\\377\\377\\377\\377\\377\\377\\177'; sleep 5");
        EXPECT_EQ(readAll(one, {})[0].refusal, PictureReading::crashed());
    }
    PictureReading::setReaderPath("/nonexistent/velquine-picture-reader");
    EXPECT_EQ(readAll(one, {})[0].refusal, PictureReading::notStarted());
    PictureReading::setReaderPath({});
    EXPECT_TRUE(readAll(one, {})[0].image);
}

// Cancelled, stopped by the program's end, or past its deadline, a reading stops at once: the pictures it did
// not read are not answered (or, at the deadline, refused as not read in time).
TEST(PictureReading, AReadingStopsAtOnceWhenCancelledStoppedOrPastItsDeadline)
{
    const std::vector<std::shared_ptr<const Bytes>> slow = {bytesOf(zigzagSvg(1000)), bytesOf(zigzagSvg(1000))};
    PictureReading::Limits sideBySide;
    sideBySide.readers = 2;
    for (const bool all : {false, true}) {
        std::atomic<int> answers{0};
        const auto reading = PictureReading::start(slow, sideBySide, [&](std::size_t, PictureRead) { ++answers; });
        EXPECT_FALSE(reading->waitUntilDone(std::chrono::milliseconds(300)));
        QElapsedTimer took;
        took.start();
        if (all)
            PictureReading::stopAll();
        else
            reading->cancel();
        EXPECT_TRUE(reading->waitUntilDone(std::chrono::milliseconds(1000)));
        EXPECT_LT(took.elapsed(), 1000);
        EXPECT_EQ(answers, 0);
    }
    PictureReading::Limits limits;
    limits.deadline = std::chrono::milliseconds(400);
    const std::vector<PictureRead> reads = readAll({slow[0], slow[1], bytesOf(pngOf(10, 10))}, limits);
    for (const PictureRead& read : reads)
        EXPECT_EQ(read.refusal, PictureReading::pastDeadline(limits.deadline));
    EXPECT_EQ(PictureReading::pastDeadline(std::chrono::milliseconds(8000)),
              "The map's pictures took more than 8 seconds to read together; this one was not read in that time.");
}

// Pictures shared among readers side by side come back each in its place.
TEST(PictureReading, PicturesReadSideBySideComeBackInTheirPlaces)
{
    std::vector<std::shared_ptr<const Bytes>> pictures;
    for (int width = 1; width <= 7; ++width)
        pictures.push_back(bytesOf(pngOf(width, 3)));
    PictureReading::Limits limits;
    limits.readers = 3;
    std::mutex mutex;
    std::map<std::size_t, int> widths;
    const auto reading = PictureReading::start(pictures, limits, [&](std::size_t index, PictureRead read) {
        const std::lock_guard lock(mutex);
        EXPECT_TRUE(widths.emplace(index, read.image ? int(read.image->bitmap().width()) : 0).second) << index;
    });
    ASSERT_TRUE(reading->waitUntilDone(std::chrono::seconds(30)));
    ASSERT_EQ(widths.size(), pictures.size());
    for (const auto& [index, width] : widths)
        EXPECT_EQ(width, int(index) + 1);
}
