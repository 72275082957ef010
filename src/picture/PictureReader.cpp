#include "picture/PictureReader.h"

#include "picture/PictureDecoding.h"
#include "picture/PictureMessages.h"
#include "picture/PictureSandbox.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <QThreadPool>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include <malloc.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace velquine {

namespace {

// The reply written when memory runs out where the reader cannot go on, made before any picture is read.
QByteArray* outOfMemoryFrame = nullptr;

bool readAll(int fd, char* into, std::size_t length)
{
    while (length > 0) {
        const ssize_t got = ::read(fd, into, length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        length -= std::size_t(got);
    }
    return true;
}

bool writeAll(int fd, const char* from, std::size_t length)
{
    while (length > 0) {
        const ssize_t put = ::write(fd, from, length);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        from += put;
        length -= std::size_t(put);
    }
    return true;
}

std::optional<PictureRequest> nextRequest()
{
    char header[PictureMessages::headerBytes];
    if (!readAll(STDIN_FILENO, header, sizeof header))
        return std::nullopt;
    const std::uint64_t length = PictureMessages::bodyLength(header);
    if (length > PictureMessages::longestRequest + 64)
        return std::nullopt;
    QByteArray body(qsizetype(length), Qt::Uninitialized);
    if (!readAll(STDIN_FILENO, body.data(), std::size_t(length)))
        return std::nullopt;
    return PictureMessages::request(body);
}

PictureReader::Bounds boundsFrom(int argc, char** argv)
{
    PictureReader::Bounds bounds;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view option(argv[i]);
        const int value = std::atoi(argv[i + 1]);
        if (option == PictureReader::processorOption && value > 0)
            bounds.processorSeconds = value;
        else if (option == PictureReader::memoryOption && value > 0)
            bounds.memoryMegabytes = value;
    }
    return bounds;
}

double processorSeconds(const rusage& usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

PictureReply answer(const PictureRequest& request, bool (*allocationFailed)())
{
    PictureReply reply;
    std::optional<PictureBudget> budget;
    if (request.budgetTotal >= 0)
        budget.emplace(request.budgetTotal, request.budgetLeft);
    allocationFailed();
    DecodedPicture decoded = PictureDecoding::decode(request.bytes, budget ? &*budget : nullptr);
    reply.stated = decoded.stated;
    reply.taken = budget ? request.budgetLeft - budget->pixelsLeft() : 0;
    if (!decoded.refusal.empty()) {
        reply.outcome = PictureReply::Outcome::refused;
        reply.refusal = std::move(decoded.refusal);
        return reply;
    }
    std::optional<Picture> fitted;
    if (!decoded.picture.bitmap.isNull())
        fitted = request.fitWidth > 0 ? fittedInto(decoded.picture, request.fitWidth, request.fitHeight)
                                      : resizedToFit(decoded.picture, 1e6, 1e6);
    if (fitted) {
        reply.outcome = PictureReply::Outcome::picture;
        reply.bitmap = std::move(fitted->bitmap);
        reply.points = fitted->points;
    } else {
        reply.outcome = allocationFailed() ? PictureReply::Outcome::outOfMemory : PictureReply::Outcome::none;
    }
    return reply;
}

// Qt's image plugins and font database loaded, and every font folder known, before the reader gives up the
// right to open anything else. Its work is its thread's alone (Qt would share big conversions out among
// threads): its processor time and memory are then one picture's, on a busy machine as on an idle one, and
// no thread sets aside an allocation arena of its own within its bound.
void loadWhatDecodingUses()
{
    ::mallopt(M_ARENA_MAX, 1);
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    QImageReader::supportedImageFormats();
    QFontDatabase::families();
}

void outOfMemory()
{
    PictureReader::answerOutOfMemory();
}

} // namespace

std::string PictureReader::tookTooLong(int processorSeconds)
{
    return "The picture took more than " + std::to_string(processorSeconds) + " seconds to read.";
}

std::string PictureReader::neededTooMuch(int memoryMegabytes)
{
    return "The picture needed more than " + std::to_string(memoryMegabytes) + " MB to read.";
}

void PictureReader::answerOutOfMemory()
{
    if (outOfMemoryFrame)
        writeAll(STDOUT_FILENO, outOfMemoryFrame->constData(), std::size_t(outOfMemoryFrame->size()));
    ::_exit(0);
}

int PictureReader::run(int argc, char** argv, bool (*allocationFailed)())
{
    // Ended with the thread that started it, should that end without ending it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    PictureSandbox::endQuietly();
    const Bounds bounds = boundsFrom(argc, argv);
    static char name[] = "velquine-picture-reader";
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    static char* arguments[] = {name, platform, offscreen, nullptr};
    int count = 3;
    QGuiApplication application(count, arguments);
    loadWhatDecodingUses();
    PictureReply outOfMemory;
    outOfMemory.outcome = PictureReply::Outcome::outOfMemory;
    outOfMemory.refusal = neededTooMuch(bounds.memoryMegabytes);
    outOfMemoryFrame = new QByteArray(PictureMessages::frame(outOfMemory));
    std::set_new_handler(velquine::outOfMemory);

    // Its memory is counted from what it has mapped now (read from /proc, which it cannot read once restricted).
    PictureSandbox::limitMemory(bounds.memoryMegabytes);
    PictureSandbox::restrictTo(PictureSandbox::fontFolders());
    while (std::optional<PictureRequest> request = nextRequest()) {
        PictureSandbox::limitProcessorTime(bounds.processorSeconds);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        PictureReply reply = answer(*request, allocationFailed);
        if (reply.outcome == PictureReply::Outcome::outOfMemory)
            reply.refusal = outOfMemory.refusal;
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        reply.processorSeconds = processorSeconds(after) - processorSeconds(before);
        reply.grownKB = after.ru_maxrss - before.ru_maxrss;
        const QByteArray frame = PictureMessages::frame(reply);
        if (!writeAll(STDOUT_FILENO, frame.constData(), std::size_t(frame.size())))
            return 1;
    }
    return 0;
}

} // namespace velquine
